#pragma once
// One frequency-response sweep of a position loop's plant, run on a thread of its
// own. For each frequency the worker sets the display rate, drives one DAC output
// with the controller's function generator, waits for the response to settle, reads
// the display buffer and demodulates the measured position against the generator's
// own in-phase and quadrature references (a lock-in). Each frequency's magnitude
// and phase go out through frequencyStepDone.
//
// Threads: run() executes in the worker's thread; stop() may be called from any
// thread. The stop flag lives under m_mutex, and the only long wait is on m_wake
// with that mutex, so a stop ends it at once.

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

    // Why the sweep ended early against the operator's will (the generator or the
    // display node failed), empty otherwise. Read once run() has returned.
    QString failure() const { return m_failure; }

    // Records the demodulation uses from each read.
    static constexpr int kDemodSamples = 3583;
    // Bytes asked of the display node per step: 14336 records of 256 bytes.
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
    void closeNode();
    // Keeps the first reason the sweep could not go on, and logs it.
    void fail(const QString &reason);
    // Generator off; false (with the reason kept) when the controller refused.
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
    QString m_failure;
};
