#include "MailboxComm.h"

#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include "AcquisitionSettings.h"
#include "Logger.h"
#include "NivraLibrary.h"
#include "ShutdownReport.h"

namespace {

// Logs the failure text of a device operation at Warn when the library reports a
// negative result, and hands the result through.
int checked(int result, const char *failureText)
{
    if (result < 0)
        LOG_WARN() << failureText;
    return result;
}

// A version word as the controller's release notes write it: bytes 0 and 1, then
// bytes 2 and 3 run together ("4.3.21" for the bytes 4, 3, 2, 1).
QString versionText(std::uint32_t word)
{
    return QString::number(word & 0xFFu) + QLatin1Char('.') + QString::number((word >> 8) & 0xFFu)
        + QLatin1Char('.') + QString::number((word >> 16) & 0xFFu)
        + QString::number((word >> 24) & 0xFFu);
}

} // namespace

MailboxComm::MailboxComm(QObject *parent) : QObject(parent) {}

MailboxComm::~MailboxComm() = default;

int MailboxComm::getSystemVersion(QString *hwTimestamp, QString *swVersion, QString *pidVersion)
{
    std::uint32_t w0 = 0, w1 = 0, w2 = 0;
    if (checked(::getSystemVersion(&w0, &w1, &w2), "getSystemVersion() failed") < 0) {
        // The library need not have written the words: show zeros, not stale memory.
        w0 = w1 = w2 = 0;
    }
    if (hwTimestamp)
        *hwTimestamp = QString::number(w0);
    if (swVersion)
        *swVersion = versionText(w1);
    if (pidVersion)
        *pidVersion = versionText(w2);
    return 0;
}

int MailboxComm::setCtrlReset()
{
    return checked(::setCtrlReset(), "setCtrlReset() failed");
}

int MailboxComm::setPIDconf(std::int8_t code)
{
    return checked(::setPIDconf(code), "setPIDconf() failed");
}

int MailboxComm::setFBenable(std::uint8_t on)
{
    return checked(::setFBenable(on), "setFBenable() failed");
}

int MailboxComm::setSetpointX(double x)
{
    return checked(::setSetpoint2(0, x), "setSetpoint(X) failed");
}

int MailboxComm::setSetpointY(double y)
{
    return checked(::setSetpoint2(1, y), "setSetpoint(Y) failed");
}

int MailboxComm::setSetpointXY(double x, double y)
{
    const int result = setSetpointX(x);
    if (result < 0)
        return result;
    return setSetpointY(y);
}

int MailboxComm::setSetpoint(double x, double y, double i0)
{
    const int result = setSetpointXY(x, y);
    if (result < 0)
        return result;
    return checked(::setSetpoint2(2, i0), "setSetpoint(i0) failed");
}

int MailboxComm::getSetpoint(double *x, double *y, double *i0)
{
    int result = checked(::getSetpoint2(0, x), "getSetpoint(X) failed");
    if (result < 0)
        return result;
    result = checked(::getSetpoint2(1, y), "getSetpoint(Y) failed");
    if (result < 0)
        return result;
    result = checked(::getSetpoint2(2, i0), "getSetpoint(i0) failed");
    if (result < 0)
        return result;
    return 0;
}

int MailboxComm::getPIDconf()
{
    std::int8_t code = 0;
    if (checked(::getPIDconf(&code), "getPIDconf() failed") < 0)
        code = 0;
    return code;
}

int MailboxComm::setWindAvg(int axis, int window)
{
    return checked(::setWindAvg(axis, window), "setWindAvg() failed");
}

int MailboxComm::tovashEncoderSelect(int select, std::uint8_t bpm)
{
    return checked(::tovashEncoderSelect(select, bpm), "tovashEncoderSelect() failed");
}

int MailboxComm::getOutputMux()
{
    std::uint8_t mux = 0;
    // A failure stays negative: 0 would read as "outputs driven by the host".
    const int result = checked(::getOutputMux(&mux), "getOutputMux() failed");
    return result < 0 ? result : mux;
}

int MailboxComm::setBPMselector(int x, int y, int i0)
{
    return checked(::setBPMselector(x, y, i0), "setBPMselector() failed");
}

int MailboxComm::setPIDoutSel(std::uint8_t x, std::uint8_t y, std::uint8_t i0)
{
    return checked(::setPIDoutSel(x, y, i0), "setPIDoutSel() failed");
}

int MailboxComm::setDisplayFreq(std::uint8_t mode)
{
    return checked(::setDisplayFreq(SAMP_FREQ, mode), "setDisplayFreq() failed");
}

int MailboxComm::setROClimits(int channel, double lower, double upper)
{
    return checked(::setROClimits(channel, lower, upper), "setROClimits() failed");
}

int MailboxComm::setTovashSumDiff(std::uint8_t mathFunction, std::uint8_t bpm)
{
    // The library takes the BPM first.
    return checked(::setTovashSumDiff(bpm, mathFunction), "setTovashSumDiff() failed");
}

int MailboxComm::getBPMselector(int *x, int *y, int *i0)
{
    return checked(::getBPMselector(x, y, i0), "getBPMselector() failed");
}

int MailboxComm::setBPMscale(int bpm, double scaleX, double scaleY)
{
    return checked(::setBPMscale(bpm, scaleX, scaleY), "setBPMscale() failed");
}

int MailboxComm::setOffset(double x, double y, double i0)
{
    return checked(::setOffset(x, y, i0), "setOffset() failed");
}

int MailboxComm::setBPMoffsetTovash(int bpm, int encoderType, double offsetX, double offsetY)
{
    return checked(::setBPMoffsetTovash(bpm, encoderType, offsetX, offsetY),
                   "setBPMoffsetTovash() failed");
}

int MailboxComm::setEncType(std::uint8_t bpm, std::uint8_t encoderType)
{
    return checked(::setTovashType(bpm, encoderType), "setEncType() failed");
}

int MailboxComm::setROCenable(std::uint8_t bpm1X, std::uint8_t bpm1Y, std::uint8_t bpm1BeamOff,
                              std::uint8_t bpm2X, std::uint8_t bpm2Y, std::uint8_t bpm2BeamOff)
{
    return checked(::setROCenable(bpm1X, bpm1Y, bpm1BeamOff, bpm2X, bpm2Y, bpm2BeamOff),
                   "setROCenable() failed");
}

int MailboxComm::setCrossBar(std::uint8_t top, std::uint8_t right, std::uint8_t bottom,
                             std::uint8_t left, std::uint8_t bpm)
{
    // The library takes the BPM first.
    return checked(::setCrossBar(bpm, top, right, bottom, left), "setCrossBar() failed");
}

int MailboxComm::getROCenable(std::uint8_t *bpm1X, std::uint8_t *bpm1Y, std::uint8_t *bpm1BeamOff,
                              std::uint8_t *bpm2X, std::uint8_t *bpm2Y, std::uint8_t *bpm2BeamOff)
{
    return checked(::getROCenable(bpm1X, bpm1Y, bpm1BeamOff, bpm2X, bpm2Y, bpm2BeamOff),
                   "getROCenable() failed");
}

double MailboxComm::getDisplayFreq(bool *mode)
{
    int freq = 0;
    std::uint8_t displayMode = 0;
    if (checked(::getDisplayFreq(&freq, &displayMode), "getDisplayFreq() failed") < 0) {
        freq = 0;
        displayMode = 0;
    }
    if (mode)
        *mode = displayMode != 0;
    return static_cast<double>(freq);
}

int MailboxComm::setPIDparams(std::int8_t axis, double p0, double p1, double p2, double p3,
                              double p4, double p5, double p6, double p7)
{
    return checked(::setPIDparams(axis, p0, p1, p2, p3, p4, p5, p6, p7), "setPIDparams() failed");
}

int MailboxComm::setOutputMux(std::uint8_t mux)
{
    const int result = ::setOutputMux(mux);
    if (result < 0)
        LOG_WARN() << "setOutputMux(" << int(mux) << ") failed";
    else
        ShutdownReport::outputsSwitched();   // no longer left on the host unowned
    return result;
}

// ---------------------------------------------------------------------------
// Status polling

void MailboxComm::setupThread(QThread *linkThread)
{
    thread = linkThread;
    connect(linkThread, &QThread::started, this, &MailboxComm::refreshData);
    connect(this, &MailboxComm::finished, linkThread, &QThread::quit);
    connect(this, &MailboxComm::finished, this, &MailboxComm::deleteLater);
}

void MailboxComm::doSetupOnNewThread()
{
    // Parented to this object, so the timer lives and fires on the device-link thread.
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MailboxComm::refreshData);
    timer->start(1000);
    scanSFP();
}

void MailboxComm::refreshData()
{
    scanSFP();

    // The library fills a private block, which then replaces the published one in one
    // step. Starting from the previous block keeps it when a failed read writes nothing.
    BpmStats block = bpmStatsSnapshot();
    ::getBPMStats(&block);
    {
        QMutexLocker lock(&m_statusMutex);
        bpmStats = block;
    }

    pidStatus = ::getPIDstatus();
}

void MailboxComm::scanSFP()
{
    SfpTable scanned{};
    for (int port = 0; port < 4; ++port) {
        std::uint16_t id = 0;
        std::uint32_t hwVersion = 0, version = 0, serial = 0;
        if (::getSFPinfo(port, &id, &hwVersion, &version, &serial) >= 0)
            scanned[port] = SfpRecord{id, hwVersion, version, serial};
        else
            LOG_WARN() << "getSFPinfo(" << port << ") failed";
    }

    int count = 0;
    std::uint32_t flag = 0;
    for (const SfpRecord &record : scanned) {
        if (SfpClass::isAcquisitionModule(record.deviceId))
            ++count;
        if (SfpClass::isEncoderBox(record.deviceId))
            flag = 1;
    }

    // Publish the new table and count before announcing anything, so a receiver that
    // asks sfpTable() or deviceCount() sees what the signal reports.
    const int previousCount = acqModuleCount;
    {
        QMutexLocker lock(&m_statusMutex);
        sfpRecords = scanned;
    }
    acqModuleCount = count;

    if ((flag != 0) != (tovashPresent != 0)) {
        LOG_DEBUG() << "Tovash change detected";
        emit nrTovashesChanged(count);
        tovashPresent = flag;
        pidBaseClock = 5000;
    } else {
        tovashPresent = flag;
    }

    if (count != previousCount) {
        LOG_DEBUG() << "Number of acquisition devices changed";
        int x = 0, y = 0, i0 = 0;
        if (getBPMselector(&x, &y, &i0) >= 0) {   // a failed read keeps the current sources
            bpmSelX = x;
            bpmSelY = y;
            bpmSelI0 = i0;
        }
        emit nrTovashesChanged(count);
    }
}

void MailboxComm::announceDeviceCount()
{
    emit nrTovashesChanged(acqModuleCount);
}

int MailboxComm::deviceCount() const
{
    return acqModuleCount;
}

MailboxComm::SfpTable MailboxComm::sfpTable() const
{
    QMutexLocker lock(&m_statusMutex);
    return sfpRecords;
}

BpmStats MailboxComm::bpmStatsSnapshot() const
{
    QMutexLocker lock(&m_statusMutex);
    return bpmStats;
}
