#include "QLed.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

QLed::QLed(QWidget *parent) : QWidget(parent), m_renderer(new QSvgRenderer())
{
}

QLed::~QLed()
{
    delete m_renderer;
}

void QLed::setValue(bool value)
{
    m_value = value;
    update();
}

void QLed::setOnColor(ledColor color)
{
    m_onColor = color;
    update();
}

void QLed::setOffColor(ledColor color)
{
    m_offColor = color;
    update();
}

void QLed::setShape(ledShape shape)
{
    m_shape = shape;
    update();
}

void QLed::toggleValue()
{
    m_value = !m_value;
    update();
}

void QLed::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QString path = m_shapes.value(m_shape) + m_colors.value(m_value ? m_onColor : m_offColor);
    // A path that names no picture draws nothing; it is checked first so that the
    // renderer does not warn on every repaint.
    if (!QFile::exists(path))
        return;
    m_renderer->load(path);
    if (m_renderer->isValid())
        m_renderer->render(&painter, QRectF(rect()));
}
