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

public slots:
    // OK: applies, and closes unless the settings were refused.
    void accept() override;

private slots:
    // Applies the form; false when refused (nothing applied).
    bool saveSettings();
    void pauseButtonChanged(bool checked);

private:
    void showRateInForce();

    Ui::WindowDisplaySettings *ui;
    // The rate the field was last given as the one in force; another value there was
    // typed by the operator.
    double m_rateShown = 0;
};
