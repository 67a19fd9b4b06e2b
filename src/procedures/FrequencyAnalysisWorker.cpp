#include "FrequencyAnalysisWorker.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "NivraLibrary.h"

namespace {

constexpr int kRecordBytes = static_cast<int>(sizeof(DisplayRecord));
constexpr int kRecordWords = kRecordBytes / 8;
constexpr std::size_t kInPhaseByte = offsetof(DisplayRecord, refInPhase);
constexpr std::size_t kQuadratureByte = offsetof(DisplayRecord, refQuadrature);
constexpr double kPi = 3.141592653589793;

// Milliseconds from a single-precision time, truncated toward zero. A frequency of
// zero or one that is not a number would give an infinite or undefined time: such a
// time saturates instead of overflowing the int.
int truncatedMs(float ms)
{
    if (!(ms >= 0.0f))
        return 0;
    if (ms >= static_cast<float>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(ms);
}

double wordAt(const unsigned char *record, int word)
{
    double v;
    std::memcpy(&v, record + 8 * word, sizeof v);
    return v;
}

float floatAt(const unsigned char *record, std::size_t byte)
{
    float v;
    std::memcpy(&v, record + byte, sizeof v);
    return v;
}

} // namespace

FrequencyAnalysisWorker::FrequencyAnalysisWorker(int fd, const arma::vec *frequencies,
                                                 bool savedDisplayMode, int plotId,
                                                 int outputChannel, const QList<float> &amplitudes,
                                                 const QList<float> &offsets, int inputWord,
                                                 bool useScaling, double scale, QObject *parent)
    : QObject(parent),
      m_fd(fd),
      m_frequencies(frequencies ? *frequencies : arma::vec()),
      m_savedDisplayMode(savedDisplayMode),
      m_plotId(plotId),
      m_outputChannel(outputChannel),
      m_amplitudes(amplitudes),
      m_offsets(offsets),
      m_inputWord(inputWord),
      m_useScaling(useScaling),
      m_scale(scale)
{
}

FrequencyAnalysisWorker::~FrequencyAnalysisWorker()
{
    // The node is ours from construction: a worker whose run() never came (its
    // thread did not start) must not leak it.
    closeNode();
}

int FrequencyAnalysisWorker::acquisitionParams(float freq, int *periods, int *extraMs)
{
    int p = 10;
    int extra = 0;
    int rate = 100;
    if (freq >= 10.0f) {
        p = 8;
        extra = 1000;
        rate = 10000;
    } else if (freq >= 1.0f) {
        p = 8;
        extra = truncatedMs(8000.0f / (2.0f * freq));
        rate = 2000;
    } else {
        extra = truncatedMs(10000.0f / freq);
        if (freq >= 0.5f)
            rate = 500;
        else if (freq >= 0.25f)
            rate = 200;
    }
    if (periods)
        *periods = p;
    if (extraMs)
        *extraMs = extra;
    return rate;
}

int FrequencyAnalysisWorker::stepWaitMs(float freq)
{
    int periods = 0;
    int extraMs = 0;
    acquisitionParams(freq, &periods, &extraMs);
    // The periods' time in single precision, then scaled in double: 8 periods of
    // 100 Hz come to 79 ms, not 80.
    const double recordMs = static_cast<double>(static_cast<float>(periods) / freq) * 1000.0;
    int periodMs = 0;
    if (recordMs >= 0.0 && recordMs < static_cast<double>(std::numeric_limits<int>::max()))
        periodMs = static_cast<int>(recordMs);
    else if (recordMs >= 0.0)
        periodMs = std::numeric_limits<int>::max();
    if (periodMs > std::numeric_limits<int>::max() - extraMs)
        return std::numeric_limits<int>::max();
    return periodMs + extraMs;
}

double FrequencyAnalysisWorker::unwrapPhase(double previous, double raw)
{
    double d = raw - previous;
    if (d > 180.0)
        d -= 360.0;
    else if (d < -180.0)
        d += 360.0;
    return previous + d;
}

bool FrequencyAnalysisWorker::waitOrStopped(int ms)
{
    QMutexLocker lock(&m_mutex);
    if (m_stop)
        return false;
    // A wait condition may wake without a stop; only a stop or the deadline ends the wait.
    QDeadlineTimer deadline(ms < 0 ? 0 : ms);
    while (!m_stop && !deadline.hasExpired())
        m_wake.wait(&m_mutex, deadline);
    return !m_stop;
}

void FrequencyAnalysisWorker::stop()
{
    QMutexLocker lock(&m_mutex);
    m_stop = true;
    m_wake.wakeAll();
}

bool FrequencyAnalysisWorker::stopRequested()
{
    QMutexLocker lock(&m_mutex);
    return m_stop;
}

bool FrequencyAnalysisWorker::reportUnlessStopped(double freq, double amp, double pha, int percent)
{
    // Checked and sent under the stop flag's lock: once stop() has returned, no
    // further point is on its way, so nothing measured across a Stop is drawn.
    QMutexLocker lock(&m_mutex);
    if (m_stop)
        return false;
    emit frequencyStepDone(m_plotId, freq, amp, pha);
    emit progressUpdated(percent);
    return true;
}

void FrequencyAnalysisWorker::closeNode()
{
    if (m_fd >= 0)
        DeviceNode::close(m_fd);
    m_fd = -1;
}

void FrequencyAnalysisWorker::fail(const QString &call, const QString &consequence)
{
    LOG_ERROR() << "Frequency analysis:" << call << "failed." << consequence;
    if (m_failedCall.isEmpty()) {
        m_failedCall = call;
        m_consequence = consequence;
    } else {
        m_consequence += QStringLiteral("\n\n%1 failed too. %2").arg(call, consequence);
    }
}

bool FrequencyAnalysisWorker::generatorOff()
{
    m_generatorMayBeOn = funcGenEnable(0) < 0;
    m_generatorSwitched = true;
    if (!m_generatorMayBeOn)
        return true;
    fail(QStringLiteral("funcGenEnable(0)"),
         QStringLiteral("The function generator could not be switched off: DAC output %1 may "
                        "still carry the stimulus. Nothing further was measured.")
             .arg(m_outputChannel + 1));
    return false;
}

FrequencyAnalysisWorker::ReadEnd FrequencyAnalysisWorker::readDemodRecords(unsigned char *buffer,
                                                                            int rate)
{
    // One read of the whole buffer lasts 143 s at 100 Hz, beyond the step's wait,
    // and no stop could end it. Pieces of an eighth of a second at any rate keep a
    // stop prompt; the node is a stream, so pieces read one after another join
    // without a gap.
    const std::size_t wanted = std::size_t(kDemodSamples) * kRecordBytes;
    const std::size_t piece = std::size_t(std::max(1, rate / 8)) * kRecordBytes;
    std::size_t got = 0;
    while (got < wanted) {
        if (stopRequested())
            return ReadEnd::Stopped;
        const ssize_t n = DeviceNode::read(m_fd, buffer + got, std::min(piece, wanted - got));
        if (n < 1)
            return ReadEnd::Failed;
        got += static_cast<std::size_t>(n);
    }
    return ReadEnd::Complete;
}

void FrequencyAnalysisWorker::run()
{
    // The stop flag is not cleared here: it starts clear at construction, and a
    // stop that arrives before the thread gets to run() must still end the sweep.
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kBufferBytes]);
    if (!buffer) {
        fail(QStringLiteral("Allocating the sample buffer"), QStringLiteral("Nothing was measured."));
        closeNode();
        emit finished();
        return;
    }
    const int savedRate = SAMP_FREQ;

    arma::vec response(kDemodSamples, arma::fill::zeros);
    arma::vec inPhase(kDemodSamples, arma::fill::zeros);
    arma::vec quadrature(kDemodSamples, arma::fill::zeros);
    const arma::uword count = m_frequencies.n_elem;
    arma::vec magnitude(count, arma::fill::zeros);
    arma::vec phase(count, arma::fill::zeros);

    const bool validWord = m_inputWord >= 0 && m_inputWord < kRecordWords;
    if (!validWord)
        LOG_WARN() << "Frequency analysis: no record word" << m_inputWord;
    // Without a stimulus (no such DAC output, or no amplitude on it) every magnitude
    // would be a division by zero.
    const bool driven = m_outputChannel >= 0 && m_outputChannel < 4
                        && m_amplitudes.value(m_outputChannel, 0.0f) > 0.0f;
    if (!driven)
        LOG_WARN() << "Frequency analysis: no stimulus on DAC output" << m_outputChannel;

    // Nothing to demodulate or nothing driven means nothing to measure: the sweep
    // ends before its first step.
    const bool measurable = validWord && driven;
    for (arma::uword k = 0; measurable && k < count && !stopRequested(); ++k) {
        const float f = static_cast<float>(m_frequencies(k));

        int periods = 0;
        int extraMs = 0;
        const int rate = acquisitionParams(f, &periods, &extraMs);
        SAMP_FREQ = rate;
        // At the display's old rate the records would not hold what the step's wait
        // and the demodulation assume: nothing is measured without the new one.
        if (mailboxComm->setDisplayFreq(0) < 0) {
            fail(QStringLiteral("setDisplayFreq(%1, 0)").arg(rate),
                 QStringLiteral("The display rate of %1 Hz needed at %2 Hz could not be set, so "
                                "nothing was measured there.")
                     .arg(rate)
                     .arg(f));
            break;
        }

        float amplitude[4];
        float offset[4];
        for (int c = 0; c < 4; ++c) {
            amplitude[c] = c == m_outputChannel ? 0.5f * m_amplitudes.value(c, 0.0f) : 0.0f;
            offset[c] = m_offsets.value(c, 0.0f);
        }
        // Without the generator running as configured the step would demodulate
        // noise against stale references: the sweep ends instead.
        if (funcGenConfig(amplitude, offset, f) < 0) {
            fail(QStringLiteral("funcGenConfig"),
                 QStringLiteral("The function generator refused its settings at %1 Hz, so nothing "
                                "was measured there.")
                     .arg(f));
            generatorOff();
            break;
        }
        if (funcGenEnable(1) < 0) {
            fail(QStringLiteral("funcGenEnable(1)"),
                 QStringLiteral("The function generator could not be switched on at %1 Hz, so "
                                "nothing was measured there.")
                     .arg(f));
            generatorOff();
            break;
        }

        if (!waitOrStopped(stepWaitMs(f))) {
            generatorOff();
            break;
        }

        const ReadEnd read = readDemodRecords(buffer.get(), rate);
        if (read != ReadEnd::Complete) {
            if (read == ReadEnd::Failed)
                fail(QStringLiteral("read of %1").arg(QLatin1String(DeviceNodeName::Display)),
                     QStringLiteral("The display data at %1 Hz did not arrive, so nothing was "
                                    "measured there.")
                         .arg(f));
            generatorOff();
            break;
        }

        for (arma::uword j = 0; j < arma::uword(kDemodSamples); ++j) {
            const unsigned char *record = buffer.get() + j * kRecordBytes;
            double r = wordAt(record, m_inputWord);
            if (m_useScaling)
                r *= m_scale;
            response(j) = r;
            inPhase(j) = floatAt(record, kInPhaseByte);
            quadrature(j) = floatAt(record, kQuadratureByte);
        }
        response -= arma::mean(response);
        inPhase -= arma::mean(inPhase);
        quadrature -= arma::mean(quadrature);
        const double x = arma::mean(response % inPhase);
        const double y = arma::mean(response % quadrature);

        magnitude(k) = 2.0 * std::sqrt(x * x + y * y) / amplitude[m_outputChannel];
        phase(k) = std::atan2(y, x) * 180.0 / kPi;
        if (k > 0)
            phase(k) = unwrapPhase(phase(k - 1), phase(k));

        // Measured with the generator on: the point holds even when switching it
        // off fails, but the sweep goes no further.
        const bool off = generatorOff();
        if (!reportUnlessStopped(static_cast<double>(f), magnitude(k), phase(k),
                                 static_cast<int>(100 * (k + 1) / count))
            || !off)
            break;
    }

    SAMP_FREQ = savedRate;
    const int mode = m_savedDisplayMode ? 1 : 0;
    if (mailboxComm->setDisplayFreq(static_cast<std::uint8_t>(mode)) < 0)
        fail(QStringLiteral("setDisplayFreq(%1, %2)").arg(savedRate).arg(mode),
             QStringLiteral("The display could not be set back to %1 Hz; the live graphs may "
                            "show a wrong time scale until the rate is set again.")
                 .arg(savedRate));
    buffer.reset();
    closeNode();
    emit finished();
}
