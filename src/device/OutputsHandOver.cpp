#include "OutputsHandOver.h"

#include <QStringList>

#include "AcquisitionSettings.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "NonBlockingWarning.h"
#include "ShutdownReport.h"

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

bool OutputsHandOver::outputsToFeedback(QWidget *parent, const QString &procedure,
                                        const double (&volts)[4])
{
    if (mailboxComm->setOutputMux(1) >= 0)
        return true;
    QStringList levels;
    for (int c = 0; c < 4; ++c)
        levels << QStringLiteral("CH%1 %2 V").arg(c + 1).arg(volts[c], 0, 'g', 6);
    const QString text =
        QStringLiteral("%1: setOutputMux(1) failed. The DAC outputs could not be handed back "
                       "to the feedback.\n\nThey stay on the host at %2, where the feedback "
                       "cannot reach them.")
            .arg(procedure, levels.join(QStringLiteral(", ")));
    LOG_ERROR() << text;
    // The outputs stay on the host after the program, unless a later switch takes
    // them: main tells it at the end. On the way out a box would go unseen.
    ShutdownReport::note(QStringLiteral("setOutputMux(1)"), text.simplified());
    if (!ShutdownReport::isLeaving())
        NonBlockingWarning::show(parent, QStringLiteral("DAC outputs not handed back"), text);
    return false;
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
