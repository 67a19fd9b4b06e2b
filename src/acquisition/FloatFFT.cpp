#include "FloatFFT.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {
// The constant the transform uses for 2 pi.
constexpr double kTwoPi = 6.2831854;
} // namespace

FloatFFT::FloatFFT(int N)
    : re(new float[N]), im(new float[N]), size(N),
      bits(N > 0 ? static_cast<int>(std::log2(static_cast<double>(N)) - 1.0) : -1)
{
    // The butterflies pair points h apart up to N: any other length than a power of
    // two would take them past the ends of the arrays.
    if (N > 1 && (N & (N - 1)) != 0)
        throw std::invalid_argument("FloatFFT: the length must be a power of two");
}

FloatFFT::~FloatFFT() = default;

void FloatFFT::load(const float *p)
{
    for (int k = 0; k < size; ++k) {
        re[k] = p[2 * k];
        im[k] = p[2 * k + 1];
    }
}

int FloatFFT::bitReverse(int x, int b)
{
    int r = 0;
    for (int i = 0; i <= b; ++i)
        if (x & (1 << i))
            r |= 1 << (b - i);
    return r;
}

float FloatFFT::cosTwiddle(int k, int n)
{
    return static_cast<float>(std::cos(k * kTwoPi / n));
}

float FloatFFT::sinTwiddle(int k, int n)
{
    return static_cast<float>(-std::sin(k * kTwoPi / n));
}

void FloatFFT::removeMean()
{
    if (size < 1)
        return;
    float sumRe = 0.0f;
    float sumIm = 0.0f;
    for (int k = 0; k < size; ++k) {
        sumRe += re[k];
        sumIm += im[k];
    }
    const float meanRe = sumRe / size;
    const float meanIm = sumIm / size;
    for (int k = 0; k < size; ++k) {
        re[k] -= meanRe;
        im[k] -= meanIm;
    }
}

void FloatFFT::compute()
{
    removeMean();
    const int N = size;
    if (N < 2)
        return;

    float *r = re.get();
    float *i = im.get();
    std::vector<float> tr(N), ti(N);

    // Multiplication by the twiddle of index 0 (that is, by 1) of the odd points.
    {
        const float c = cosTwiddle(0, N);
        const float s = sinTwiddle(0, N);
        for (int k = 1; k < N; k += 2) {
            const int j = bitReverse(k, bits);
            const float a = r[j];
            const float b = i[j];
            r[j] = c * a - s * b;
            i[j] = s * a + c * b;
        }
    }

    // First stage, reading the input in bit-reversed order.
    for (int k = 0; k < N; k += 2) {
        const int j0 = bitReverse(k, bits);
        const int j1 = bitReverse(k + 1, bits);
        tr[k] = r[j0] + r[j1];
        ti[k] = i[j0] + i[j1];
        tr[k + 1] = r[j0] - r[j1];
        ti[k + 1] = i[j0] - i[j1];
    }

    int h = 2;
    for (;;) {
        std::copy(tr.begin(), tr.end(), r);
        std::copy(ti.begin(), ti.end(), i);
        if (N <= h)
            break;
        const int span = 2 * h;
        for (int m = 0; m < h; ++m) {
            // 64-bit product: N * m overflows an int from N = 65536 on.
            const int t = static_cast<int>((static_cast<std::int64_t>(N) * m) / span);
            const float c = cosTwiddle(t, N);
            const float s = sinTwiddle(t, N);
            for (int j = h + m; j < N; j += span) {
                const float a = r[j];
                const float b = i[j];
                r[j] = c * a - s * b;
                i[j] = a * s + b * c;
            }
        }
        for (int m = 0; m < h; ++m) {
            for (int j = m; j < N; j += span) {
                tr[j] = r[j] + r[j + h];
                ti[j] = i[j] + i[j + h];
            }
        }
        for (int j0 = h; j0 < span; ++j0) {
            for (int j = j0; j < N; j += span) {
                tr[j] = r[j - h] - r[j];
                ti[j] = i[j - h] - i[j];
            }
        }
        h = span;
    }
}

float FloatFFT::magnitude(int k) const
{
    if (k < 0 || k >= size)
        return 0.0f;
    // Bin k pairs point k with point N - k; for k = 0 that is point 0 itself
    // (index N does not exist), which turns the formula into |re[0] + im[0]|.
    const int mirror = k == 0 ? 0 : size - k;
    const float s = sinTwiddle(k, 2 * size);
    const float c = cosTwiddle(k, 2 * size);
    const float a = re[k];
    const float b = im[k];
    const float p = re[mirror];
    const float q = im[mirror];
    // Even half (Z[k] + conj Z[N-k]) / 2 plus the twiddled odd half
    // (c + i s)(Z[k] - conj Z[N-k]) / 2i: the sine, like the cosine, carries the 1/2.
    const float hs = 0.5f * s;
    const float X = a * (hs + 0.5f) + 0.5f * c * b + (0.5f - hs) * p + 0.5f * c * q;
    const float Y = 0.5f * c * p + b * (hs + 0.5f) - 0.5f * c * a - (0.5f - hs) * q;
    return std::sqrt(X * X + Y * Y);
}
