#include <gtest/gtest.h>

#include <fftw3.h>

#include <complex>
#include <new>
#include <random>
#include <stdexcept>
#include <vector>

#include "FloatFFT.h"

TEST(FloatFFT, SizeBitsAndBitReversal)
{
    EXPECT_EQ(FloatFFT(8).bitCount(), 2);
    EXPECT_EQ(FloatFFT(1024).bitCount(), 9);
    EXPECT_EQ(FloatFFT::bitReverse(1, 2), 4);
    EXPECT_EQ(FloatFFT::bitReverse(6, 2), 3);
    EXPECT_EQ(FloatFFT::bitReverse(7, -1), 0);
    EXPECT_THROW(FloatFFT(-4), std::bad_array_new_length);
    // Other lengths would send the butterflies past the arrays.
    EXPECT_THROW(FloatFFT(6), std::invalid_argument);
    EXPECT_THROW(FloatFFT(1000), std::invalid_argument);
    FloatFFT single(1);
    const float point[2] = {2.0f, 3.0f};
    single.load(point);
    single.compute();
    EXPECT_EQ(single.real()[0], 0.0f);
    EXPECT_EQ(single.imag()[0], 0.0f);
}

// Forward kernel, and 6.2831854 (a little above 2 pi) for the full turn: half a
// turn leaves a sine of about 4.6e-8 where 2 pi itself would leave 1e-16.
TEST(FloatFFT, TwiddleConstants)
{
    EXPECT_EQ(FloatFFT::cosTwiddle(0, 8), 1.0f);
    EXPECT_FLOAT_EQ(FloatFFT::sinTwiddle(1, 4), -1.0f);
    EXPECT_FLOAT_EQ(FloatFFT::cosTwiddle(1, 2), -1.0f);
    EXPECT_NEAR(FloatFFT::sinTwiddle(1, 2), 4.64e-8f, 0.01e-8f);
}

// Constant input: the means go first, so everything is zero, bin 0 included.
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
        EXPECT_NEAR(fft.magnitude(k), 0.0f, 1e-5f) << k;
    }
}

// The complex transform against FFTW's of the same mean-free points, and the
// unpacked magnitudes against FFTW's r2c of the 2N real samples (bins 1 .. N-1 do
// not see the two means).
TEST(FloatFFT, MatchesFftwOnRandomData)
{
    std::mt19937 gen(1234);
    std::uniform_real_distribution<float> dist(-3.0f, 5.0f);
    for (int N : {2, 8, 256, 4096}) {
        SCOPED_TRACE(N);
        std::vector<float> signal(2 * N);
        for (float &x : signal)
            x = dist(gen);
        FloatFFT fft(N);
        fft.load(signal.data());
        fft.compute();

        std::vector<std::complex<double>> z(N), Z(N), X(N + 1);
        std::complex<double> mean;
        for (int k = 0; k < N; ++k)
            mean += z[k] = {signal[2 * k], signal[2 * k + 1]};
        for (auto &v : z)
            v -= mean / double(N);
        fftw_plan plan = fftw_plan_dft_1d(N, reinterpret_cast<fftw_complex *>(z.data()),
                                          reinterpret_cast<fftw_complex *>(Z.data()),
                                          FFTW_FORWARD, FFTW_ESTIMATE);
        fftw_execute(plan);
        fftw_destroy_plan(plan);
        std::vector<double> x(signal.begin(), signal.end());
        plan = fftw_plan_dft_r2c_1d(2 * N, x.data(), reinterpret_cast<fftw_complex *>(X.data()),
                                    FFTW_ESTIMATE);
        fftw_execute(plan);
        fftw_destroy_plan(plan);

        const double tol = 2e-6 * N + 1e-4;   // single precision, growing with the sums
        for (int k = 0; k < N; ++k) {
            EXPECT_NEAR(fft.real()[k], Z[k].real(), tol) << "point " << k;
            EXPECT_NEAR(fft.imag()[k], Z[k].imag(), tol) << "point " << k;
            if (k > 0) {
                EXPECT_NEAR(fft.magnitude(k), std::abs(X[k]), tol) << "bin " << k;
            }
        }
    }
}

// Bin 0 pairs point 0 with itself (there is no point N): |re[0] + im[0]|, the DC
// of the packed signal; outside 0 .. N-1 there is no bin.
TEST(FloatFFT, MagnitudeAtTheEdges)
{
    FloatFFT fft(4);
    for (int k = 0; k < 4; ++k) {
        fft.real()[k] = 100.0f + k;
        fft.imag()[k] = 200.0f + k;
    }
    fft.real()[0] = 3.0f;
    fft.imag()[0] = 4.5f;
    EXPECT_FLOAT_EQ(fft.magnitude(0), 7.5f);
    EXPECT_EQ(fft.magnitude(4), 0.0f);
    EXPECT_EQ(fft.magnitude(-1), 0.0f);
}
