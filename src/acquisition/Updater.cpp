#include "Updater.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "GraphRefill.h"
#include "Logger.h"
#include "NivraLibrary.h"
#include "OutputsGuard.h"
#include "Spectrum.h"

Updater::Updater(QObject *parent)
    : QObject(parent), displayBuffer(new DisplayRecord[DisplayBufferRecords])
{
    for (int kind = 0; kind < GraphDataKindCount; ++kind)
        for (int index = 0; index < graphIndexCount(kind); ++index)
            graphData[kind][index] = QSharedPointer<QCPGraphDataContainer>::create();
}

Updater::~Updater() = default;

void Updater::setGraphData(int kind, int index,
                           const QSharedPointer<QCPGraphDataContainer> &container)
{
    if (static_cast<unsigned>(kind) >= static_cast<unsigned>(GraphDataKindCount))
        return;
    if (kind == GraphXYBpm1 || kind == GraphXYBpm2)
        index = 0;   // one scatter per BPM
    else if (static_cast<unsigned>(index) >= static_cast<unsigned>(graphIndexCount(kind)))
        return;
    graphData[kind][index] = container;
}

void Updater::setFFTlength(int length)
{
    fftLength = length;
}

void Updater::setFFTselector(int selector)
{
    fftSelector = selector;
}

void Updater::setTimer(QTimer *timer)
{
    acquisitionTimer = timer;
}

void Updater::ChangeFFTremoveDC(bool removeDC)
{
    fftRemoveDC = removeDC;
}

void Updater::ChangeFFTgraph(int index)
{
    fftMode = index != 0 ? 1 : 0;
}

void Updater::updateTovashes()
{
    const char *nodes[2] = {DeviceNodeName::Meter1, DeviceNodeName::Meter2};
    for (int k = 0; k < 2; ++k) {
        const int fd = DeviceNode::open(nodes[k], O_RDONLY);
        meterPresent[k] = fd >= 0;
        if (fd >= 0) {
            DeviceNode::ioctl(fd, METER_IOC_SNAPSHOT, &meterStatus[k]);
            DeviceNode::close(fd);
        }
    }
}

void Updater::updateGraphs()
{
    // A cycle started from inside the open fatal message (the timer of a caller
    // that did not hand it over, or a direct call) must not open a second one.
    if (fatalMessageOpen)
        return;

    updateTovashes();
    const int f = SAMP_FREQ;
    // Without a positive rate every time and frequency key would be infinite or NaN:
    // the graphs keep what they show until a usable rate is set.
    if (paused || f <= 0)
        return;

    // Never ask for more than the buffer holds, whatever the setting says.
    const int m = std::clamp(DISP_BUF_SIZE / 256, 0, DisplayBufferRecords);
    const int n = getBuffer(displayBuffer.get(), m);
    LOG_DEBUG() << "updateGraphs read" << n << "samples";
    if (n != m) {
        reportFatalFetch();
        return;
    }

    refillDisplayGraphs(graphData, displayBuffer.get(), n, f, meterPresent);
    refillSpectra(n, f);
    emit replotGraphs();
}

void Updater::reportFatalFetch()
{
    // The message runs a nested event loop in which the timer would go on firing.
    if (acquisitionTimer)
        acquisitionTimer->stop();
    fatalMessageOpen = true;

    // A running procedure ends first and hands the outputs back, as on Exit; main
    // then switches the generator off. One that runs in this thread returns at its
    // next point, maybe from the very event processing this cycle runs in: the
    // message waits for it, so that no scan sits at one of its voltages with the
    // feedback off for as long as nobody answers.
    OutputsGuard::stopHolder();
    if (!OutputsGuard::heldInGuiThread()) {
        showFatalFetchAndQuit();
        return;
    }
    auto *waiting = new QObject(this);
    auto shown = std::make_shared<bool>(false);
    OutputsGuard::watch(waiting, [this, waiting, shown] {
        if (*shown || OutputsGuard::heldInGuiThread())
            return;
        *shown = true;
        waiting->deleteLater();
        showFatalFetchAndQuit();
    });
}

void Updater::showFatalFetchAndQuit()
{
    QMessageBox::critical(nullptr, QStringLiteral("Cannot open file"),
                          QStringLiteral("System file /dev/nivra_dma_displ could not be opened.\n\n"
                                         "Please check if NIVRA driver is loaded.\n"
                                         "Application will now quit.\n"),
                          QMessageBox::Ok);
    fatalMessageOpen = false;
    // A non-zero status, so that a supervising script can tell this from Exit.
    QCoreApplication::exit(EXIT_FAILURE);
}

void Updater::refillSpectra(int n, double sampleRate)
{
    const SpectrumSettings settings{fftLength, fftSelector, fftRemoveDC, fftMode};
    for (int b = 0; b < 2; ++b) {
        const QSharedPointer<QCPGraphDataContainer> &container = graphData[GraphSpectrum][b];
        if (!container)
            continue;
        if (!meterPresent[b]) {
            container->clear();
            continue;
        }
        computeSpectrum(*container, displayBuffer.get(), n, b, settings, sampleRate);
    }
}
