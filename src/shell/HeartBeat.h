#pragma once
// Status panel at the top of the "Control" dock: every second it shows the PID state
// as an LED and a text, labels the feedback button by that state and polls the user
// level from the controller, enabling or disabling itself and announcing the level.

#include <QWidget>

#include "DeviceRecords.h"

namespace Ui {
class HeartBeat;
}

class HeartBeat : public QWidget
{
    Q_OBJECT

public:
    explicit HeartBeat(QWidget *parent = nullptr);
    ~HeartBeat() override;

    // Text, icon and check state of the feedback button, and feedbackWanted, from the
    // last polled PID status.
    void updateFeedbackButton();

    // The feedback state the button stands for: the polled one, or the one just sent.
    bool feedbackWanted = false;

signals:
    void userLevelChanged(int userLevel);

public slots:
    void checkUserLevel();
    void updateHeartbeat(PID_Status_Type PID_Status);
    void fdbkStatusChanged();
    void refreshFields();
    void resetPIDControllerPressed();

private:
    // Whether switching the feedback on must wait: another owner holds the outputs,
    // or a regulated loop's BPM has no encoder box. Says why when it does.
    bool refusesFeedbackOn();

    Ui::HeartBeat *ui;
};
