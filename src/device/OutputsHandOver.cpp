#include "OutputsHandOver.h"

#include <QStringList>

#include <optional>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "NonBlockingWarning.h"
#include "ShutdownReport.h"

namespace {

// The last record the DAC took; none before the program's first.
std::optional<DacOutputs> &lastTaken()
{
    static std::optional<DacOutputs> record;
    return record;
}

QString handBackFailure(const QString &procedure)
{
    QString levels = QStringLiteral("the voltages they last held");   // this program set none
    if (const auto &record = lastTaken())
        levels = OutputsHandOver::voltages(*record);
    return QStringLiteral("%1: setOutputMux(1) failed. The DAC outputs could not be handed back "
                          "to the feedback.\n\nThey stay on the host at %2, where the feedback "
                          "cannot reach them.")
        .arg(procedure, levels);
}

} // namespace

bool OutputsHandOver::feedbackOff(QWidget *parent, const QString &procedure)
{
    if (mailboxComm->setFBenable(0) >= 0)
        return true;
    stoppedBy(parent, procedure, QStringLiteral("setFBenable(0)"),
              QStringLiteral("The feedback could not be switched off; nothing was measured."));
    return false;
}

bool OutputsHandOver::outputsToHost(QWidget *parent, const QString &procedure)
{
    if (mailboxComm->setOutputMux(0) >= 0)
        return true;
    stoppedBy(parent, procedure, QStringLiteral("setOutputMux(0)"),
              QStringLiteral("The DAC outputs could not be taken from the feedback, which is "
                             "now off; nothing was measured."));
    return false;
}

bool OutputsHandOver::outputsToFeedback(QWidget *parent, const QString &procedure)
{
    if (mailboxComm->setOutputMux(1) >= 0)
        return true;
    const QString text = handBackFailure(procedure);
    LOG_ERROR() << text;
    // The outputs stay on the host after the program, unless a later switch takes
    // them: main tells it at the end, with what they hold by then. On the way out a
    // box would go unseen.
    ShutdownReport::note(QStringLiteral("setOutputMux(1)"),
                         [procedure] { return handBackFailure(procedure).simplified(); });
    if (!ShutdownReport::isLeaving())
        NonBlockingWarning::show(parent, QStringLiteral("DAC outputs not handed back"), text);
    return false;
}

int OutputsHandOver::setOutputs(int dacFd, DacOutputs record)
{
    const int result = DeviceNode::ioctl(dacFd, DAC_IOC_SET_OUTPUTS, &record);
    if (result >= 0)
        lastTaken() = record;
    return result;
}

QString OutputsHandOver::voltages(const DacOutputs &record)
{
    QStringList channels;
    for (int c = 0; c < 4; ++c)
        channels << QStringLiteral("CH%1 %2 V").arg(c + 1).arg(record.volts[c], 0, 'g', 6);
    return channels.join(QStringLiteral(", "));
}

void OutputsHandOver::reset()
{
    lastTaken().reset();
}

void OutputsHandOver::stoppedBy(QWidget *parent, const QString &procedure, const QString &call,
                                const QString &consequence)
{
    const QString text = QStringLiteral("%1 stopped: %2 failed.\n\n%3").arg(procedure, call, consequence);
    LOG_ERROR() << text;
    // On the way out nobody would see the box; what outlives the program is told by main.
    if (!ShutdownReport::isLeaving())
        NonBlockingWarning::show(parent, procedure, text);
}
