#pragma once
// The about box: maker's logo, program name and version with its build number, the
// maker's links and the controller's version strings read at start. The texts are
// fixed when the box is built.

#include <QDialog>

namespace Ui {
class about;
}

class about : public QDialog
{
    Q_OBJECT

public:
    explicit about(QWidget *parent = nullptr);
    ~about() override;

private:
    Ui::about *ui;
};
