#pragma once
// A level bar: a text-less progress bar showing a value as a percentage of a decade
// scale, tick marks and scale labels under it, and a slider over it whose position
// is turned back into a value on the same scale.

#include <QWidget>

class QHBoxLayout;
class QLayout;
class QProgressBar;
class QSlider;

namespace Ui {
class Slider;
}

class Slider : public QWidget
{
    Q_OBJECT

public:
    explicit Slider(QWidget *parent = nullptr);
    ~Slider() override;

    // Rebuilds the label row for `steps` equal parts of min..max (the tick row is
    // left as it is) and stores the scale.
    void buildScale(int steps, float min, float max);
    // Empties the label row and the tick row.
    void clearScale();
    // Percentage of the scale, clamped to 0..100, shown by the bar.
    void setBarValue(float value);
    // Takes every item out of `layout`, recursing into nested layouts.
    static void clearLayout(QLayout *layout, bool deleteWidgets);

    float scaleMin() const { return m_min; }
    float scaleMax() const { return m_max; }

signals:
    void valueChanged(float value);

public slots:
    void signalSender(int val);
    // Rescales to the smallest decade 10^e not below `value` and shows it.
    void setValue(float value);

private:
    Ui::Slider *ui;
    QProgressBar *m_bar;
    QSlider *m_slider;
    QHBoxLayout *m_labels;
    QHBoxLayout *m_ticks;
    float m_min = 0.0f;
    float m_max = 1.0f;
};
