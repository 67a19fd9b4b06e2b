#pragma once
// "Stats" page of the control dock: once a second, mean and standard deviations of
// the X and Y beam position of each BPM present, in micrometres.

#include <QWidget>

class QTimer;

namespace Ui {
class WidgetStats;
}

class WidgetStats : public QWidget
{
    Q_OBJECT

public:
    explicit WidgetStats(QWidget *parent = nullptr);
    ~WidgetStats() override;

public slots:
    // Shows the table of each BPM present and hides the others.
    void nr_tovashes_changed();

private slots:
    void refreshFields();

private:
    Ui::WidgetStats *ui;
    QTimer *timer = nullptr;
};
