#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "AcquisitionTestSupport.h"
#include "Spectrum.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Points {
    std::vector<double> keys, values;
};

Points pointsOf(const QCPGraphDataContainer &c)
{
    Points p;
    for (auto it = c.constBegin(); it != c.constEnd(); ++it) {
        p.keys.push_back(it->key);
        p.values.push_back(it->value);
    }
    return p;
}

SpectrumSettings settings(int length, int selector, bool removeDC, int mode)
{
    SpectrumSettings s;
    s.length = length;
    s.selector = selector;
    s.removeDC = removeDC;
    s.mode = mode;
    return s;
}

class Spectrum : public AcquisitionGlobals {};

} // namespace

TEST(SpectrumHelpers, ModulusAndInputScale)
{
    const double c[2] = {3.0, -4.0};
    EXPECT_DOUBLE_EQ(fftw_abs(c), 5.0);
    BPM_SCALE_X[0] = 2.0;
    BPM_SCALE_Y[0] = 3.0;
    BPM_SCALE_X[1] = 5.0;
    BPM_SCALE_Y[1] = 7.0;
    EXPECT_EQ(spectrumInputScale(0), 2.0);
    EXPECT_EQ(spectrumInputScale(1), 3.0);
    EXPECT_EQ(spectrumInputScale(4), 5.0);
    EXPECT_EQ(spectrumInputScale(5), 7.0);
    EXPECT_EQ(spectrumInputScale(24), 1.0);
    EXPECT_EQ(spectrumInputScale(29), 1.0);
    BPM_SCALE_X[0] = BPM_SCALE_Y[0] = BPM_SCALE_X[1] = BPM_SCALE_Y[1] = 1.0;
}

// A sine centred on bin k0 lands there with its amplitude (times the word's scale);
// every other bin stays near zero. BPM2 takes the word four places further.
TEST_F(Spectrum, SineLandsInItsBinWithItsAmplitude)
{
    const int N = 1024, k0 = 37;
    const double amplitude = 0.75, f = 2000.0;
    BPM_SCALE_X[0] = 2.0;
    BPM_SCALE_X[1] = 10.0;
    auto records = zeroRecords(N);
    for (int j = 0; j < N; ++j) {
        setWord(records[j], 0, amplitude * std::sin(2 * kPi * k0 * j / N));
        setWord(records[j], 4, amplitude * std::cos(2 * kPi * k0 * j / N));
        setWord(records[j], 24, 50.0 * std::sin(2 * kPi * k0 * j / N));
    }

    struct Case { int bpm, selector; double expected; };
    for (const Case &c : {Case{0, 0, 2.0 * amplitude}, Case{1, 0, 10.0 * amplitude},
                          Case{0, 24, 50.0}}) {
        SCOPED_TRACE(c.bpm * 100 + c.selector);
        QCPGraphDataContainer out;
        computeSpectrum(out, records.data(), N, c.bpm, settings(N, c.selector, false, 0), f);
        const Points p = pointsOf(out);
        ASSERT_EQ(p.keys.size(), size_t(N / 2 + 1));
        EXPECT_DOUBLE_EQ(p.keys[k0], k0 * f / N);
        EXPECT_NEAR(p.values[k0], c.expected, 1e-9 * c.expected);
        for (int i = 0; i <= N / 2; ++i) {
            if (i != k0) {
                EXPECT_NEAR(p.values[i], 0.0, 1e-9 * c.expected) << "bin " << i;
            }
        }
    }
}

TEST_F(Spectrum, ConstantInputWithAndWithoutDcRemoval)
{
    const int N = 256;
    BPM_SCALE_Y[0] = 4.0;
    auto records = zeroRecords(N);
    for (auto &r : records)
        setWord(r, 1, 2.5);

    QCPGraphDataContainer out;
    computeSpectrum(out, records.data(), N, 0, settings(N, 1, true, 0), 1000.0);
    Points p = pointsOf(out);
    ASSERT_EQ(p.values.size(), size_t(N / 2 + 1));
    for (double v : p.values)
        EXPECT_NEAR(v, 0.0, 1e-12);

    computeSpectrum(out, records.data(), N, 0, settings(N, 1, false, 0), 1000.0);
    p = pointsOf(out);
    EXPECT_DOUBLE_EQ(p.values[0], 2.0 * 4.0 * 2.5);   // twice the constant, like every bin
    for (size_t i = 1; i < p.values.size(); ++i)
        EXPECT_NEAR(p.values[i], 0.0, 1e-12);
}

TEST_F(Spectrum, PointCountsAndSpacingAt8192And1000Hz)
{
    const int N = 8192;
    auto records = zeroRecords(N);
    for (int j = 0; j < N; ++j)
        setWord(records[j], 24, j % 7);

    QCPGraphDataContainer out;
    computeSpectrum(out, records.data(), N, 0, settings(N, 24, false, 0), 1000.0);
    Points p = pointsOf(out);
    ASSERT_EQ(p.keys.size(), 4097u);
    EXPECT_EQ(p.keys.front(), 0.0);
    EXPECT_DOUBLE_EQ(p.keys.back(), 500.0);
    for (size_t i = 0; i < p.keys.size(); ++i)
        EXPECT_DOUBLE_EQ(p.keys[i], i * 1000.0 / 8192);

    computeSpectrum(out, records.data(), N, 0, settings(N, 24, false, 1), 1000.0);
    p = pointsOf(out);
    ASSERT_EQ(p.keys.size(), 4096u);
    EXPECT_DOUBLE_EQ(p.keys.front(), 1000.0 / 8192);
    EXPECT_DOUBLE_EQ(p.keys.back(), 500.0);
    for (size_t i = 1; i < p.values.size(); ++i)
        EXPECT_GE(p.values[i], p.values[i - 1]);   // cumulative
}

// With no content at N/2, the last cumulative point is the RMS of the signal about
// its mean, whatever the DC and whether it is removed.
TEST_F(Spectrum, CumulativeRmsEndsAtTheSignalRmsAboveDc)
{
    const int N = 2048;
    auto records = zeroRecords(N);
    std::vector<double> x(N);
    double mean = 0.0;
    for (int j = 0; j < N; ++j) {
        x[j] = 40.0 + 3.0 * std::sin(2 * kPi * 5 * j / N) + 1.5 * std::cos(2 * kPi * 300 * j / N)
               + 0.5 * std::sin(2 * kPi * 777.3 * j / N);
        mean += x[j];
    }
    mean /= N;
    double var = 0.0;
    for (double v : x)
        var += (v - mean) * (v - mean);
    const double rms = std::sqrt(var / N);
    for (int j = 0; j < N; ++j)
        setWord(records[j], 25, x[j]);

    for (bool removeDC : {false, true}) {
        QCPGraphDataContainer out;
        computeSpectrum(out, records.data(), N, 0, settings(N, 25, removeDC, 1), 1000.0);
        ASSERT_EQ(out.size(), N / 2);
        // Only leakage of the off-bin tone reaches N/2; it changes the RMS far below 1e-3.
        EXPECT_NEAR((out.constEnd() - 1)->value, rms, 1e-3 * rms) << removeDC;
    }
}

// The display may hold fewer records than the FFT length: all of them are
// transformed (never a record before the first), so amplitudes stay true and
// only the bins get coarser.
TEST_F(Spectrum, LengthAboveTheRecordCountUsesTheRecordsThereAre)
{
    const int n = 1024, k0 = 64;
    const double f = 1000.0;
    // Garbage in front of the records: reading it would wreck the spectrum.
    auto storage = zeroRecords(2 * n);
    for (int j = 0; j < n; ++j)
        setWord(storage[j], 24, 1e200);
    for (int j = 0; j < n; ++j)
        setWord(storage[n + j], 24, 3.0 * std::sin(2 * kPi * k0 * j / n));

    QCPGraphDataContainer out;
    computeSpectrum(out, storage.data() + n, n, 0, settings(8192, 24, false, 0), f);
    Points p = pointsOf(out);
    ASSERT_EQ(p.keys.size(), size_t(n / 2 + 1));
    EXPECT_DOUBLE_EQ(p.keys[1], f / n);
    EXPECT_NEAR(p.values[k0], 3.0, 1e-9);
    for (double v : p.values)
        EXPECT_LT(v, 3.0 + 1e-9);

    computeSpectrum(out, storage.data() + n, n, 0, settings(8192, 24, false, 1), f);
    ASSERT_EQ(out.size(), n / 2);
    EXPECT_NEAR((out.constEnd() - 1)->value, 3.0 / std::sqrt(2.0), 1e-9);

    // Nothing to transform, or a word outside the record: an empty spectrum.
    computeSpectrum(out, storage.data() + n, 0, 0, settings(8192, 24, false, 0), f);
    EXPECT_TRUE(out.isEmpty());
    computeSpectrum(out, storage.data() + n, n, 1, settings(64, 30, false, 0), f);
    EXPECT_TRUE(out.isEmpty());
    computeSpectrum(out, storage.data() + n, n, 0, settings(1, 24, false, 1), f);
    EXPECT_TRUE(out.isEmpty());
}
