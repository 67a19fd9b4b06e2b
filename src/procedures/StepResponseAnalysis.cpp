#include "StepResponseAnalysis.h"

#include <armadillo>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Half-widths of the centred moving averages, samples: light at the 10 % point,
// where the response is steep and bends at the end of the dead time; wider at the
// 90 % point, where it is flat and the noise moves the crossing most.
constexpr int kHalf10 = 2;
constexpr int kHalf90 = 25;
// Half-widths of the local slope fits at the crossings, samples.
constexpr int kSlope10 = 2;
// Samples whose mean is the level just before an edge.
constexpr int kStartSamples = 25;
// The response counts as settled after this fraction of the step's length; its
// 90 % crossing must come within half of that.
constexpr double kSettleFraction = 0.1;
// Where the record holds no step the same measurement is made every this many
// samples; fewer positions than the minimum give no usable uncertainty.
constexpr int kNullStride = 10;
constexpr int kMinNullPositions = 50;
// Shifts of the level fit's weights over its residual, samples apart.
constexpr int kShiftStride = 50;

// A number is shown when its uncertainty keeps it well inside what an operator
// would call right: the gain to within about 10 %, the dead time to within a few
// samples, the rise time to within about half of itself.
constexpr double kMaxGainSigma = 0.035;
constexpr double kMaxDeadSigmaSamples = 2.0;
constexpr double kMaxRiseSigma = 0.22;   // of the rise time

std::vector<double> movingAverage(const QVector<double> &v, int n, int half)
{
    std::vector<double> sum(n + 1, 0.0), out(n);
    for (int k = 0; k < n; ++k)
        sum[k + 1] = sum[k] + v[k];
    for (int k = 0; k < n; ++k) {
        const int a = std::max(0, k - half), b = std::min(n, k + half + 1);
        out[k] = (sum[b] - sum[a]) / (b - a);
    }
    return out;
}

// Solves m x = y for a 3 x 3 system; false when it is singular.
bool solve3(const double m[3][3], const double y[3], double x[3])
{
    arma::mat33 a;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a(i, j) = m[i][j];
    arma::vec3 solution;
    // No least-squares fallback: a singular fit has no levels to show.
    if (!arma::solve(solution, a, arma::vec3{y[0], y[1], y[2]}, arma::solve_opts::no_approx))
        return false;
    std::copy(solution.begin(), solution.end(), x);
    return true;
}

// Crossings of one edge, as indices of the last sample at or below each level.
struct Edge {
    int i10 = -1;
    int i90 = -1;
};

} // namespace

StepResponseAnalysis::Result StepResponseAnalysis::analyse(const QVector<double> &stimulus,
                                                           QVector<double> &response, double bias,
                                                           double step, double rate)
{
    constexpr double kNone = std::numeric_limits<double>::infinity();
    Result result;
    result.gainSigma = result.deadSigma = result.riseSigma = kNone;
    const int n = std::min(stimulus.size(), response.size());
    if (n < 2)
        return result;

    // A response that falls while the stimulus is up (a negative gain, an inverted
    // display) is turned over so that the levels and crossings below hold. The
    // test is the sign of the covariance, so a beam sitting at a negative position
    // does not count as inverted.
    double meanS = 0.0, meanR = 0.0;
    for (int k = 0; k < n; ++k) {
        meanS += stimulus[k];
        meanR += response[k];
    }
    meanS /= n;
    meanR /= n;
    double covariance = 0.0;
    for (int k = 0; k < n; ++k)
        covariance += (stimulus[k] - meanS) * (response[k] - meanR);
    result.inverted = covariance < 0.0;
    if (result.inverted)
        for (double &r : response)
            r = -r;

    // The step instant iS and the last sample of the step iF, each the last sample
    // before the stimulus passes half the step.
    const double half = bias + 0.5 * step;
    int iS = -1, iF = -1;
    for (int k = 0; k < n; ++k)
        if (stimulus[k] > half) {
            iS = k - 1;
            break;
        }
    for (int k = iS + 1; iS >= 0 && k < n; ++k)
        if (stimulus[k] <= half) {
            iF = k - 1;
            break;
        }
    result.tS = (iS >= 0 ? iS : n - 1) / rate;
    const int settle = static_cast<int>(kSettleFraction * (iF - iS));
    if (!(step > 0.0) || iS < kStartSamples || iF < 0 || settle < 2 * kHalf90
        || n - 1 - iF < 2 * settle)
        return result;

    // Levels: one fit of the bias before and after the step and of the settled
    // step, with a straight drift; y0 is the level at the step instant.
    auto plateau = [&](int k) { return k > iS + settle && k <= iF; };
    auto used = [&](int k) { return k <= iS || plateau(k) || k > iF + settle; };
    auto basis = [&](int k, double x[3]) {
        x[0] = 1.0;
        x[1] = double(k - iS) / n;
        x[2] = plateau(k) ? 1.0 : 0.0;
    };
    double m[3][3] = {}, y[3] = {}, c[3];
    for (int k = 0; k < n; ++k) {
        if (!used(k))
            continue;
        double x[3];
        basis(k, x);
        for (int i = 0; i < 3; ++i) {
            y[i] += x[i] * response[k];
            for (int j = 0; j < 3; ++j)
                m[i][j] += x[i] * x[j];
        }
    }
    if (!solve3(m, y, c))
        return result;
    const double dc = c[2];
    result.y0 = c[0];
    result.y1 = c[0] + dc;
    if (!(dc > 0.0))
        return result;

    // The fit's step is a weighted sum of the record, w(k) = W0 + W1 (k - iS) / n +
    // W2 on the settled step; the same weights laid over the fit's residual at many
    // shifts show how much the beam's own motion moves it. Sums over the record
    // taken twice make each shift a few look-ups.
    double inverse[3];
    {
        const double unit[3] = {0.0, 0.0, 1.0};
        if (!solve3(m, unit, inverse))   // the last row of m's inverse: m is symmetric
            return result;
    }
    std::vector<double> sum0(2 * n + 1, 0.0), sumK(2 * n + 1, 0.0);
    for (int i = 0; i < 2 * n; ++i) {
        const int k = i % n;
        double residual = 0.0;
        if (used(k)) {
            double x[3];
            basis(k, x);
            residual = response[k] - (c[0] * x[0] + c[1] * x[1] + c[2] * x[2]);
        }
        sum0[i + 1] = sum0[i] + residual;
        sumK[i + 1] = sumK[i] + double(i) * residual;
    }
    const int segments[3][2] = {{0, iS + 1}, {iS + 1 + settle, iF + 1}, {iF + 1 + settle, n}};
    double shifted = 0.0;
    int shifts = 0;
    for (int t = kShiftStride; t < n; t += kShiftStride, ++shifts) {
        double sum = 0.0;
        for (int g = 0; g < 3; ++g) {
            const int a = segments[g][0] + t, b = segments[g][1] + t;
            const double s0 = sum0[b] - sum0[a];
            const double sk = sumK[b] - sumK[a] - double(t) * s0;   // sum of k r(k + t)
            const double w0 = inverse[0] + (g == 1 ? inverse[2] : 0.0) - inverse[1] * iS / n;
            sum += w0 * s0 + inverse[1] / n * sk;
        }
        shifted += sum * sum;
    }
    const double dcSigma = shifts > 0 ? std::sqrt(shifted / shifts) : kNone;

    // Crossings on each edge from the level just before it: the beam may have
    // wandered from the fitted level by then.
    const std::vector<double> s10 = movingAverage(response, n, kHalf10);
    const std::vector<double> s90 = movingAverage(response, n, kHalf90);
    const double *r = response.constData();
    auto startAt = [&](int p) {
        double sum = 0.0;
        for (int k = p + 1 - kStartSamples; k <= p; ++k)
            sum += r[k];
        return sum / kStartSamples;
    };
    // sign +1 for the rising edge at e, -1 for the falling one; the levels are
    // raised by d10 and d90. The 10 % crossing is found back from the half-way
    // crossing, so that noise before the edge cannot stand for it; the 90 %
    // crossing must follow within the settling allowance.
    auto edgeAt = [&](int e, int end, double sign, double d10, double d90, Edge &edge) {
        const double start = startAt(e);
        auto above = [&](const std::vector<double> &s, int k, double level) {
            return sign * (s[k] - start) > level;
        };
        int i50 = -1;
        for (int k = e + 1; k < end && i50 < 0; ++k)
            if (above(s10, k, 0.5 * dc))
                i50 = k - 1;
        if (i50 < 0)
            return false;
        int k = i50;
        while (k > e && above(s10, k, 0.1 * dc + d10))
            --k;
        edge.i10 = k;
        edge.i90 = -1;
        for (k = i50; k < std::min(end, e + 1 + settle / 2) && edge.i90 < 0; ++k)
            if (above(s90, k, 0.9 * dc + d90))
                edge.i90 = k - 1;
        return edge.i90 >= 0;
    };
    Edge up, down;
    if (!edgeAt(iS, iF + 1, 1.0, 0.0, 0.0, up) || !edgeAt(iF, n, -1.0, 0.0, 0.0, down))
        return result;
    const double dead = 0.5 * ((up.i10 - iS) + (down.i10 - iF));
    const double rise = 0.5 * ((up.i90 - up.i10) + (down.i90 - down.i10));
    result.t10 = result.tS + dead / rate;
    result.t90 = result.t10 + rise / rate;
    result.gainSigma = dcSigma / dc;

    // The same crossings where the record holds no step: how far the smoothed
    // response strays from the level before, at the lags of the two crossings.
    const int lag10 = static_cast<int>(std::lround(dead));
    const int lag90 = static_cast<int>(std::lround(dead + rise));
    const int quiet[3][2] = {{0, iS}, {iS + 1 + settle, iF}, {iF + 1 + settle, n - 1}};
    double stray10 = 0.0, stray90 = 0.0;
    int positions = 0;
    for (const auto &q : quiet)
        for (int p = q[0] + kStartSamples - 1; p + lag90 + kHalf90 < q[1]; p += kNullStride) {
            const double start = startAt(p);
            const double a = s10[p + lag10] - start, b = s90[p + lag90] - start;
            stray10 += a * a;
            stray90 += b * b;
            ++positions;
        }
    if (positions < kMinNullPositions)
        return result;

    // Slopes at the crossings, per sample, from a local line fit.
    auto slopeAt = [&](const std::vector<double> &s, int i, int w, double sign) {
        double sxx = 0.0, sxy = 0.0;
        for (int k = std::max(0, i - w); k <= std::min(n - 1, i + w); ++k) {
            sxx += double(k - i) * (k - i);
            sxy += (k - i) * sign * s[k];
        }
        return sxy / sxx;
    };
    const int w90 = std::max(kHalf90, (up.i90 - up.i10) / 4);
    const double slopes[4] = {slopeAt(s10, up.i10, kSlope10, 1.0), slopeAt(s10, down.i10, kSlope10, -1.0),
                              slopeAt(s90, up.i90, w90, 1.0), slopeAt(s90, down.i90, w90, -1.0)};
    if (!std::all_of(std::begin(slopes), std::end(slopes), [](double s) { return s > 0.0; }))
        return result;
    const double slope10 = 2.0 / (1.0 / slopes[0] + 1.0 / slopes[1]);
    const double slope90 = 2.0 / (1.0 / slopes[2] + 1.0 / slopes[3]);

    // Two edges halve the stray's variance; the level's error is common to both
    // and moves the 90 % crossing most.
    const double at10 = std::sqrt(stray10 / positions / 2.0) / slope10;
    const double at90 = std::sqrt(stray90 / positions / 2.0) / slope90;
    const double fromLevel = dcSigma * (0.9 / slope90 - 0.1 / slope10);
    result.deadSigma = at10 / rate;
    result.riseSigma = std::sqrt(at10 * at10 + at90 * at90 + fromLevel * fromLevel) / rate;

    result.resolved = result.gainSigma <= kMaxGainSigma
                      && result.deadSigma <= kMaxDeadSigmaSamples / rate
                      && result.riseSigma <= kMaxRiseSigma * rise / rate;
    return result;
}
