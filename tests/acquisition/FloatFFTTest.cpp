#include <gtest/gtest.h>

#include <fftw3.h>

#include <cmath>
#include <complex>
#include <new>
#include <random>
#include <vector>

#include "FloatFFT.h"

namespace {

std::vector<float> randomSignal(int samples, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-3.0f, 5.0f);
    std::vector<float> v(samples);
    for (float &x : v)
        x = dist(gen);
    return v;
}

} // namespace

TEST(FloatFFT, SizeBitsAndBitReversal)
{
    FloatFFT fft(8);
    EXPECT_EQ(fft.length(), 8);
    EXPECT_EQ(fft.bitCount(), 2);
    EXPECT_EQ(FloatFFT::bitReverse(1, 2), 4);
    EXPECT_EQ(FloatFFT::bitReverse(6, 2), 3);
    EXPECT_EQ(FloatFFT::bitReverse(5, 2), 5);
    EXPECT_EQ(FloatFFT::bitReverse(1, 0), 1);
    EXPECT_EQ(FloatFFT::bitReverse(7, -1), 0);
    EXPECT_EQ(FloatFFT(1024).bitCount(), 9);
    EXPECT_THROW(FloatFFT(-4), std::bad_array_new_length);
}

TEST(FloatFFT, TwiddlesUseTheFixedTwoPiConstant)
{
    EXPECT_FLOAT_EQ(FloatFFT::cosTwiddle(0, 8), 1.0f);
    EXPECT_FLOAT_EQ(FloatFFT::sinTwiddle(2, 8), -1.0f);   // -sin(pi / 2)
    EXPECT_EQ(FloatFFT::cosTwiddle(1, 16), static_cast<float>(std::cos(6.2831854 / 16)));
    EXPECT_EQ(FloatFFT::sinTwiddle(3, 16), static_cast<float>(-std::sin(3 * 6.2831854 / 16)));
}

TEST(FloatFFT, ConstantInputTransformsToZero)
{
    FloatFFT fft(64);
    std::vector<float> p(128);
    for (int k = 0; k < 64; ++k) {
        p[2 * k] = 7.25f;
        p[2 * k + 1] = -3.5f;
    }
    fft.load(p.data());
    fft.compute();
    for (int k = 0; k < 64; ++k) {
        EXPECT_NEAR(fft.real()[k], 0.0f, 1e-5f) << k;
        EXPECT_NEAR(fft.imag()[k], 0.0f, 1e-5f) << k;
    }
    for (int k = 0; k < 64; ++k)
        EXPECT_NEAR(fft.magnitude(k), 0.0f, 1e-5f) << k;
}

// The complex transform against FFTW's double-precision one of the same (mean-free)
// points, and the unpacked real-signal magnitudes against FFTW's r2c of 2N samples.
TEST(FloatFFT, MatchesFftwOnRandomData)
{
    for (int N : {2, 8, 256, 4096}) {
        SCOPED_TRACE(N);
        const std::vector<float> signal = randomSignal(2 * N, 1234u + N);

        FloatFFT fft(N);
        fft.load(signal.data());
        fft.compute();

        // Reference: the complex points with their means removed, as compute() does.
        std::vector<std::complex<double>> z(N);
        std::complex<double> mean;
        for (int k = 0; k < N; ++k) {
            z[k] = {signal[2 * k], signal[2 * k + 1]};
            mean += z[k];
        }
        mean /= N;
        for (auto &v : z)
            v -= mean;
        std::vector<std::complex<double>> Z(N);
        fftw_plan plan = fftw_plan_dft_1d(N, reinterpret_cast<fftw_complex *>(z.data()),
                                          reinterpret_cast<fftw_complex *>(Z.data()),
                                          FFTW_FORWARD, FFTW_ESTIMATE);
        fftw_execute(plan);
        fftw_destroy_plan(plan);
        double peak = 0.0;
        for (const auto &v : Z)
            peak = std::max(peak, std::abs(v));
        const double tol = 1e-5 * peak + 1e-4;
        for (int k = 0; k < N; ++k) {
            EXPECT_NEAR(fft.real()[k], Z[k].real(), tol) << "bin " << k;
            EXPECT_NEAR(fft.imag()[k], Z[k].imag(), tol) << "bin " << k;
        }

        // Bins 1 .. N-1 of the 2N-sample real signal do not see the two means removed.
        std::vector<double> x(signal.begin(), signal.end());
        std::vector<std::complex<double>> X(N + 1);
        plan = fftw_plan_dft_r2c_1d(2 * N, x.data(), reinterpret_cast<fftw_complex *>(X.data()),
                                    FFTW_ESTIMATE);
        fftw_execute(plan);
        fftw_destroy_plan(plan);
        for (int k = 1; k < N; ++k)
            EXPECT_NEAR(fft.magnitude(k), std::abs(X[k]), tol) << "bin " << k;
    }
}

// Bin 0 pairs point 0 with itself (there is no point N): the DC of the packed
// signal, |re[0] + im[0]|; outside 0 .. N-1 there is no bin.
TEST(FloatFFT, MagnitudeAtTheEdges)
{
    FloatFFT fft(4);
    float *re = fft.real();
    float *im = fft.imag();
    for (int k = 0; k < 4; ++k) {
        re[k] = 100.0f + k;
        im[k] = 200.0f + k;
    }
    re[0] = 3.0f;
    im[0] = 4.5f;
    EXPECT_FLOAT_EQ(fft.magnitude(0), 7.5f);
    EXPECT_EQ(fft.magnitude(4), 0.0f);
    EXPECT_EQ(fft.magnitude(-1), 0.0f);

    // After compute() the means are gone, so the DC bin is zero.
    const std::vector<float> signal = randomSignal(8, 99u);
    fft.load(signal.data());
    fft.compute();
    EXPECT_NEAR(fft.magnitude(0), 0.0f, 1e-5f);
}
