#pragma once
// "PicoAmperMeter" dialog: the channel currents of the two current meters (one per
// BPM) side by side, refreshed about once a second from the records the acquisition
// engine keeps. It only reads; a BPM without an encoder box has its pane hidden.

#include <QDialog>

namespace Ui {
class WindowPico;
}

class WindowPico : public QDialog
{
    Q_OBJECT

public:
    explicit WindowPico(QWidget *parent = nullptr);
    ~WindowPico() override;

private slots:
    void refreshFields();

private:
    Ui::WindowPico *ui;
};
