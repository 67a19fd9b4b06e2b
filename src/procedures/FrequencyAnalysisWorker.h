#pragma once
// One frequency-response sweep of a position loop's plant, run on a thread of its
// own. For each frequency the worker sets the display rate, drives one DAC output
// with the controller's function generator, waits for the response to settle, reads
// the display buffer and demodulates the measured position against the generator's
// own in-phase and quadrature references (a lock-in). Each frequency's magnitude
// and phase go out through frequencyStepDone.
//
// Threads: run() executes in the worker's thread; stop() may be called from any
// thread. The stop flag lives under m_mutex; the settling wait is on m_wake with
// that mutex and the display is read in short pieces, so a stop ends either at once.

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>

#include <armadillo>

class FrequencyAnalysisWorker : public QObject
{
    Q_OBJECT

public:
    // `fd` is the display node, opened read-only; the worker closes it at the end of
    // run(). The frequency list is copied here, on the constructing thread, so the
    // sweep never reads the caller's vector while the caller may replace it.
    // `amplitudes` are peak-to-peak volts per DAC channel, `offsets` the volts each
    // channel holds; `inputWord` is the DisplayRecord word of the measured position.
    FrequencyAnalysisWorker(int fd, const arma::vec *frequencies, bool savedDisplayMode,
                            int plotId, int outputChannel, const QList<float> &amplitudes,
                            const QList<float> &offsets, int inputWord, bool useScaling,
                            double scale, QObject *parent = nullptr);
    ~FrequencyAnalysisWorker() override;

    // Display rate in Hz for a stimulus frequency; the number of recorded periods
    // and the extra settling time in ms through the out-parameters.
    static int acquisitionParams(float freq, int *periods, int *extraMs);
    // Whole wait of one step in ms: the recorded periods plus the settling time.
    static int stepWaitMs(float freq);
    // `raw` (degrees) moved by at most one turn to lie within 180 degrees of `previous`.
    static double unwrapPhase(double previous, double raw);

    // Waits up to `ms` milliseconds; false when a stop was asked for before or during it.
    bool waitOrStopped(int ms);

    // The call whose failure ended the sweep against the operator's will (or that
    // failed as it ended), empty otherwise, and what that failure left. Read once
    // run() has returned.
    QString failedCall() const { return m_failedCall; }
    QString failureConsequence() const { return m_consequence; }
    // The DAC output (0 to 3) the generator may still drive because switching it off
    // failed, -1 otherwise. Read once run() has returned.
    int outputLeftDriven() const { return m_generatorMayBeOn ? m_outputChannel : -1; }
    // True once the sweep switched the generator off at all, whether or not that worked.
    bool generatorSwitched() const { return m_generatorSwitched; }

    // Records the demodulation uses from each step.
    static constexpr int kDemodSamples = 3583;
    // The sample buffer's bytes: room for 14336 records of 256 bytes.
    static constexpr int kBufferBytes = 3670016;

signals:
    void progressUpdated(int percent);
    void frequencyStepDone(int graph_id, double freq, double amp, double pha);
    void finished();

public slots:
    void run();
    void stop();

private:
    bool stopRequested();
    // Sends one frequency's point and the progress unless a stop came first (false).
    // Receivers must be queued: a direct one that called stop() would deadlock.
    bool reportUnlessStopped(double freq, double amp, double pha, int percent);
    void closeNode();
    enum class ReadEnd { Complete, Stopped, Failed };
    // Reads the records the demodulation uses into `buffer`, a piece at a time.
    ReadEnd readDemodRecords(unsigned char *buffer, int rate);
    // Keeps the failed call and what it left (later ones are added), and logs it.
    void fail(const QString &call, const QString &consequence);
    // Generator off; false (with the failure kept) when the controller refused.
    bool generatorOff();

    int m_fd;
    arma::vec m_frequencies;
    bool m_savedDisplayMode;
    int m_plotId;
    int m_outputChannel;
    QList<float> m_amplitudes;
    QList<float> m_offsets;
    int m_inputWord;
    bool m_useScaling;
    double m_scale;

    QMutex m_mutex;           // guards m_stop
    QWaitCondition m_wake;    // woken only by stop()
    bool m_stop = false;
    QString m_failedCall;
    QString m_consequence;
    bool m_generatorMayBeOn = false;
    bool m_generatorSwitched = false;
};
