#include "Slider.h"
#include "ui_Slider.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QSpacerItem>

#include <cmath>

namespace {
QSpacerItem *scaleSpacer()
{
    return new QSpacerItem(1, 10, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
}

QFrame *tickLine(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
} // namespace

Slider::Slider(QWidget *parent)
    : QWidget(parent), ui(new Ui::Slider), m_bar(new QProgressBar(this)),
      m_slider(new QSlider(Qt::Horizontal, this)), m_labels(new QHBoxLayout()),
      m_ticks(new QHBoxLayout())
{
    ui->setupUi(this);

    connect(m_slider, &QSlider::valueChanged, this, &Slider::signalSender);

    m_slider->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
    m_bar->setTextVisible(false);
    m_bar->setMinimumHeight(30);

    // Slider, bar and ticks share one cell and are drawn over each other.
    ui->gridLayout->addWidget(m_slider, 0, 0);
    ui->gridLayout->addWidget(m_bar, 0, 0, Qt::AlignBottom);
    ui->gridLayout->addLayout(m_ticks, 0, 0, Qt::AlignBottom);
    ui->gridLayout->addLayout(m_labels, 1, 0, Qt::AlignTop);

    buildScale(5, 0.0f, 1.0f);
}

Slider::~Slider()
{
    delete ui;
}

void Slider::clearLayout(QLayout *layout, bool deleteWidgets)
{
    if (!layout)
        return;
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (deleteWidgets) {
            if (QWidget *widget = item->widget())
                delete widget;
        }
        if (QLayout *child = item->layout())
            clearLayout(child, deleteWidgets);
        delete item;
    }
}

void Slider::clearScale()
{
    clearLayout(m_labels, true);
    clearLayout(m_ticks, true);
}

void Slider::buildScale(int steps, float min, float max)
{
    clearLayout(m_labels, true);
    m_min = min;
    m_max = max;
    const float step = (max - min) / steps;

    for (int i = 0; i < steps; ++i) {
        auto *label = new QLabel(QString::number(min + i * step, 'g', 6), this);
        m_labels->addWidget(label, 0, Qt::AlignCenter);
        m_labels->addItem(scaleSpacer());
    }
    m_labels->addWidget(new QLabel(QString::number(max, 'e', 0), this), 0, Qt::AlignRight);

    for (int i = 0; i < steps; ++i) {
        m_ticks->addWidget(tickLine(this));
        m_ticks->addItem(scaleSpacer());
    }
    m_ticks->addWidget(tickLine(this));
}

void Slider::setBarValue(float value)
{
    int percent = 0;
    if (value > m_max) {
        percent = 100;
    } else if (value >= m_min) {
        // An empty or unbounded scale gives 0/0 or inf/inf: show an empty bar then
        // rather than converting a NaN.
        const float share = (value - m_min) * 100.0f / (m_max - m_min);
        if (share >= 100.0f)
            percent = 100;
        else if (share > 0.0f)
            percent = static_cast<int>(share);
    }
    m_bar->setValue(percent);
}

void Slider::signalSender(int val)
{
    emit valueChanged(m_min + val / 100.0f * (m_max - m_min));
}

void Slider::setValue(float value)
{
    clearScale();
    // Zero, negative and NaN values have no decade: they show the unit scale with an
    // empty bar rather than a scale from log10 of nothing.
    float top = 1.0f;
    if (value > 0.0f) {
        const float e = std::ceil(std::log10(value));
        top = std::pow(10.0f, e);
    }
    buildScale(5, 0.0f, top);
    setBarValue(value > 0.0f ? value : 0.0f);
}
