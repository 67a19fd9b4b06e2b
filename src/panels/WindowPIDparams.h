#pragma once
// Dialog showing a picture of the PID loop structure; it loads and sends nothing.

#include <QDialog>

namespace Ui {
class WindowPIDparams;
}

class WindowPIDparams : public QDialog
{
    Q_OBJECT

public:
    explicit WindowPIDparams(QWidget *parent = nullptr);
    ~WindowPIDparams() override;

    void showWindow();

private:
    Ui::WindowPIDparams *ui;
};
