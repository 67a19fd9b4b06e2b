#include "HeartBeat.h"
#include "ui_HeartBeat.h"

#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

#include "AcquisitionSettings.h"
#include "MailboxComm.h"
#include "NivraLibrary.h"
#include "OutputsGuard.h"
#include "WidgetFeedbackControl.h"

HeartBeat::HeartBeat(QWidget *parent) : QWidget(parent), ui(new Ui::HeartBeat)
{
    ui->setupUi(this);

    ui->buttonFdbk->setCheckable(true);
    ui->buttonFdbk->setIconSize(QSize(24, 24));
    ui->buttonFdbk->setText(QStringLiteral("Enable Feedback"));
    ui->buttonFdbk->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));

    ui->heartbeatLed->setShape(QLed::Rounded);

    connect(ui->buttonFdbk, &QPushButton::toggled, this, &HeartBeat::fdbkStatusChanged);
    connect(ui->resetPIDbutton, &QPushButton::released, this,
            &HeartBeat::resetPIDControllerPressed);

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &HeartBeat::refreshFields);
    timer->start(1000);

    checkUserLevel();
    refreshFields();
}

HeartBeat::~HeartBeat()
{
    delete ui;
}

void HeartBeat::checkUserLevel()
{
    userLevel = getLockStatus();
    if (userLevel == 0)
        setDisabled(true);
    else if (userLevel == 1 || userLevel == 2)
        setEnabled(true);
    emit userLevelChanged(userLevel);
}

void HeartBeat::updateHeartbeat(PID_Status_Type PID_Status)
{
    switch (PID_Status) {
    case PID_FEEDBACK_OFF:
        ui->heartbeatLed->setOffColor(QLed::Grey);
        ui->heartbeatLabel->setText(QStringLiteral("Feedback OFF"));
        break;
    case PID_FAULT_OUT_OF_ROC:
        ui->heartbeatLed->setOffColor(QLed::Red);
        ui->heartbeatLabel->setText(QStringLiteral("FAULT: Out of ROC"));
        break;
    case PID_BEAM_OFF:
        ui->heartbeatLed->setOffColor(QLed::Purple);
        ui->heartbeatLabel->setText(QStringLiteral("Beam OFF"));
        break;
    case PID_FEEDBACK_ON:
        ui->heartbeatLed->setOffColor(QLed::Green);
        ui->heartbeatLabel->setText(QStringLiteral("Feedback ON"));
        break;
    default:
        // A failed status read (negative) or an unknown word keeps the last display.
        break;
    }
}

void HeartBeat::updateFeedbackButton()
{
    // A press asks for the opposite of what the controller last reported, whoever
    // switched the feedback since (a procedure, another client): bring the button and
    // the flag in step without sending anything.
    const bool running = mailboxComm->pidStatus != 0;
    if (ui->buttonFdbk->isChecked() != running) {
        const QSignalBlocker quiet(ui->buttonFdbk);
        ui->buttonFdbk->setChecked(running);
    }
    feedbackWanted = running;

    // Only a change of state sets the icon: each new standard icon leaves a new
    // pixmap of its disabled look in the pixmap cache, once a second for days.
    const QString label = running ? QStringLiteral("Disable Feedback")
                                  : QStringLiteral("Enable Feedback");
    if (ui->buttonFdbk->text() == label)
        return;
    ui->buttonFdbk->setText(label);
    ui->buttonFdbk->setIcon(
        style()->standardIcon(running ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
}

void HeartBeat::fdbkStatusChanged()
{
    // Switching the feedback off is never refused: it is how the loop is stopped,
    // whoever holds the outputs. The press already moved the button: a refusal puts
    // it back to the polled state.
    if (!feedbackWanted && refusesFeedbackOn())
        return updateFeedbackButton();
    feedbackWanted = !feedbackWanted;
    mailboxComm->setFBenable(feedbackWanted ? 1 : 0);
}

bool HeartBeat::refusesFeedbackOn()
{
    if (OutputsGuard::refuses(this, QStringLiteral("Enable Feedback")))
        return true;
    // The loops as the controller would run them; a failed read of the sources
    // leaves the process-wide ones.
    int x = 0, y = 0, i0 = 0;
    const bool read = mailboxComm->getBPMselector(&x, &y, &i0) >= 0;
    const int sourceX = read ? x : int(bpmSelX);
    const int sourceY = read ? y : int(bpmSelY);
    return !WidgetFeedbackControl::sourcesHaveBoxes(this, mailboxComm->getPIDconf(), sourceX,
                                                    sourceY);
}

void HeartBeat::refreshFields()
{
    updateHeartbeat(static_cast<PID_Status_Type>(static_cast<int>(mailboxComm->pidStatus)));
    updateFeedbackButton();
    checkUserLevel();
}

void HeartBeat::resetPIDControllerPressed()
{
    mailboxComm->setCtrlReset();
}
