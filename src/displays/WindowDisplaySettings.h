#pragma once
// "Display Settings" dialog: display sample rate, display samples per acquisition
// cycle, and pausing the graph refills.

#include <QDialog>

namespace Ui {
class WindowDisplaySettings;
}

class WindowDisplaySettings : public QDialog
{
    Q_OBJECT

public:
    explicit WindowDisplaySettings(QWidget *parent = nullptr);
    ~WindowDisplaySettings() override;

    // Shows the dialog filled with the settings in force.
    void showWindow();

private slots:
    void saveSettings();
    void pauseButtonChanged(bool checked);

private:
    void showRateInForce();

    Ui::WindowDisplaySettings *ui;
};
