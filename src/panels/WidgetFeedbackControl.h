#pragma once
// "Feedback" page of the control dock: which position loops regulate, which BPM
// feeds each loop and which DAC output each drives, and the X/Y setpoints.
// Values are taken from the form at the moment they are sent; nothing is cached.

#include <QWidget>

#include <cstdint>

namespace Ui {
class WidgetFeedbackControl;
}

class WidgetFeedbackControl : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetFeedbackControl(QWidget *parent = nullptr);
    ~WidgetFeedbackControl() override;

    // DAC output channel (0..3) selected for the X and the Y loop.
    void getDACoutputs(std::uint8_t &posX, std::uint8_t &posY) const;
    // Selects both DAC channels and announces them with updateDACLabel.
    void setDACoutputs(int posX, int posY);
    // Each "Regulate:" box is checked exactly when its value is 1.
    void setRegulateChecks(int xEnable, int yEnable);
    // Stores and sends the DAC channels of the X, Y and I0 loops. Returns 0, or -1
    // when X and Y share a channel (refused with a warning, nothing sent).
    int sendDACoutputs();
    // Whether each loop that the PID configuration `code` regulates takes its position
    // from a BPM (0 or 1) with an encoder box. When one does not, or the controller's
    // answer is unreadable, says so in a warning box and returns false.
    static bool sourcesHaveBoxes(QWidget *parent, int code, int sourceX, int sourceY);

signals:
    void somethingChanged();
    void BPMselectorChanged();
    void updateDACLabel(int posX, int posY);

public slots:
    void updateXYfields();
    void confChanged(int item);
    void checkUserLevel();
    // Shows the process-wide BPM sources in the source combos.
    void showSources();

private slots:
    void sendNewSetpoint();
    void updateButtonPressed();

private:
    Ui::WidgetFeedbackControl *ui;
};
