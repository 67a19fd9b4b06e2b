#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "AcquisitionSettings.h"
#include "AcquisitionTestSupport.h"
#include "SavedSettings.h"
#include "Spectrum.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

SpectrumSettings settings(int length, int selector, bool removeDC, int mode)
{
    return {length, selector, removeDC, mode};
}

double lastValue(const QCPGraphDataContainer &c)
{
    return (c.constEnd() - 1)->value;
}

// The tests change the rate and the calibration; they are put back afterwards.
class Spectrum : public ::testing::Test
{
protected:
    SavedSettings saved;
};

} // namespace

// A sine centred on bin k0 lands there with its amplitude times the word's scale
// (positions by their own BPM and axis, encoder counts not); BPM2 takes the word
// four places further.
TEST_F(Spectrum, SineLandsInItsBinWithItsAmplitude)
{
    const int N = 1024, k0 = 37;
    BPM_SCALE_X[0] = 2.0;
    BPM_SCALE_X[1] = 10.0;
    BPM_SCALE_Y[1] = 3.0;
    auto records = zeroRecords(N);
    for (int j = 0; j < N; ++j) {
        setWord(records[j], 0, 0.75 * std::sin(2 * kPi * k0 * j / N));
        setWord(records[j], 4, 0.75 * std::cos(2 * kPi * k0 * j / N));
        setWord(records[j], 5, 0.75 * std::sin(2 * kPi * k0 * j / N));
        setWord(records[j], 24, 50.0 * std::sin(2 * kPi * k0 * j / N));
    }
    struct Case { int bpm, selector; double expected; };
    for (const Case &c : {Case{0, 0, 1.5}, Case{1, 0, 7.5}, Case{1, 1, 2.25}, Case{0, 24, 50.0}}) {
        SCOPED_TRACE(c.bpm * 100 + c.selector);
        QCPGraphDataContainer out;
        computeSpectrum(out, records.data(), N, c.bpm, settings(N, c.selector, false, 0), 2000.0);
        ASSERT_EQ(out.size(), N / 2 + 1);
        for (int i = 0; i <= N / 2; ++i) {
            EXPECT_NEAR(out.at(i)->value, i == k0 ? c.expected : 0.0, 1e-9 * c.expected) << i;
        }
        EXPECT_DOUBLE_EQ(out.at(k0)->key, k0 * 2000.0 / N);
    }
}

TEST_F(Spectrum, ConstantInputWithAndWithoutDcRemoval)
{
    BPM_SCALE_Y[0] = 4.0;
    auto records = zeroRecords(256);
    for (auto &r : records)
        setWord(r, 1, 2.5);
    for (bool removeDC : {true, false}) {
        QCPGraphDataContainer out;
        computeSpectrum(out, records.data(), 256, 0, settings(256, 1, removeDC, 0), 1000.0);
        ASSERT_EQ(out.size(), 129);
        // Without removal the DC point is twice the (scaled) constant, like every bin.
        EXPECT_NEAR(out.at(0)->value, removeDC ? 0.0 : 2.0 * 4.0 * 2.5, 1e-12);
        for (int i = 1; i < out.size(); ++i)
            EXPECT_NEAR(out.at(i)->value, 0.0, 1e-12);
    }
}

// N 8192 at 1000 Hz: 4097 amplitude points from 0 to 500 Hz spaced 1000/8192 Hz;
// 4096 cumulative points from 1000/8192 Hz. With no content at N/2, the last
// cumulative point is the RMS of the signal about its mean.
TEST_F(Spectrum, PointsOfBothPresentationsAndTheRmsAboveDc)
{
    const int N = 8192;
    auto records = zeroRecords(N);
    std::vector<double> x(N);
    double mean = 0.0, var = 0.0;
    for (int j = 0; j < N; ++j) {
        x[j] = 40.0 + 3.0 * std::sin(2 * kPi * 5 * j / N) + 1.5 * std::cos(2 * kPi * 300 * j / N)
               + 0.5 * std::sin(2 * kPi * 777.3 * j / N);
        setWord(records[j], 25, x[j]);
        mean += x[j] / N;
    }
    for (double v : x)
        var += (v - mean) * (v - mean) / N;

    QCPGraphDataContainer out;
    computeSpectrum(out, records.data(), N, 0, settings(N, 25, false, 0), 1000.0);
    ASSERT_EQ(out.size(), 4097);
    for (int i = 0; i < out.size(); ++i)
        ASSERT_DOUBLE_EQ(out.at(i)->key, i * 1000.0 / 8192);

    for (bool removeDC : {false, true}) {
        computeSpectrum(out, records.data(), N, 0, settings(N, 25, removeDC, 1), 1000.0);
        ASSERT_EQ(out.size(), 4096);
        EXPECT_DOUBLE_EQ(out.at(0)->key, 1000.0 / 8192);
        EXPECT_DOUBLE_EQ(out.at(4095)->key, 500.0);
        EXPECT_NEAR(lastValue(out), std::sqrt(var), 1e-4);
    }
}

// More records than the FFT length: the newest N are transformed, not the oldest.
TEST_F(Spectrum, TransformsTheNewestRecords)
{
    const int N = 256, n = 3 * N;
    auto records = zeroRecords(n);
    for (int j = 0; j < n; ++j)
        setWord(records[j], 24, std::sin(2 * kPi * (j < n - N ? 10 : 20) * j / N));
    QCPGraphDataContainer out;
    computeSpectrum(out, records.data(), n, 0, settings(N, 24, false, 0), 1000.0);
    ASSERT_EQ(out.size(), N / 2 + 1);
    EXPECT_NEAR(out.at(20)->value, 1.0, 1e-9);
    EXPECT_NEAR(out.at(10)->value, 0.0, 1e-9);
}

// Fewer records than the FFT length: all of them are transformed, never one before
// the first (the garbage in front would wreck the spectrum), so amplitudes stay
// true and only the bins get coarser.
TEST_F(Spectrum, LengthAboveTheRecordCountUsesTheRecordsThereAre)
{
    const int n = 1024, k0 = 64;
    auto storage = zeroRecords(2 * n);
    for (int j = 0; j < n; ++j) {
        setWord(storage[j], 24, 1e200);
        setWord(storage[n + j], 24, 3.0 * std::sin(2 * kPi * k0 * j / n));
    }
    const DisplayRecord *records = storage.data() + n;
    QCPGraphDataContainer out;
    computeSpectrum(out, records, n, 0, settings(8192, 24, false, 0), 1000.0);
    ASSERT_EQ(out.size(), n / 2 + 1);
    EXPECT_DOUBLE_EQ(out.at(1)->key, 1000.0 / n);
    EXPECT_NEAR(out.at(k0)->value, 3.0, 1e-9);
    computeSpectrum(out, records, n, 0, settings(8192, 24, false, 1), 1000.0);
    EXPECT_NEAR(lastValue(out), 3.0 / std::sqrt(2.0), 1e-9);

    // Nothing to transform, a word outside the record, a single point without a
    // cumulative value: an empty spectrum.
    computeSpectrum(out, records, 0, 0, settings(8192, 24, false, 0), 1000.0);
    EXPECT_TRUE(out.isEmpty());
    computeSpectrum(out, records, n, 1, settings(64, 30, false, 0), 1000.0);
    EXPECT_TRUE(out.isEmpty());
    computeSpectrum(out, records, n, 0, settings(1, 24, false, 1), 1000.0);
    EXPECT_TRUE(out.isEmpty());
}
