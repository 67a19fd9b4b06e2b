#pragma once
// A light-emitting-diode picture: an SVG from the resources chosen by shape and by
// the on or off colour. Only the rounded family is shipped (green, grey, yellow, red,
// purple); any other combination names no picture and the widget stays empty.

#include <QStringList>
#include <QWidget>

class QSvgRenderer;

class QLed : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool value READ value WRITE setValue)
    Q_PROPERTY(ledColor onColor READ onColor WRITE setOnColor)
    Q_PROPERTY(ledColor offColor READ offColor WRITE setOffColor)
    Q_PROPERTY(ledShape shape READ shape WRITE setShape)

public:
    enum ledColor { Red = 0, Green, Yellow, Grey, Orange, Purple, Blue };
    Q_ENUM(ledColor)
    enum ledShape { Circle = 0, Square, Triangle, Rounded };
    Q_ENUM(ledShape)

    explicit QLed(QWidget *parent = nullptr);
    ~QLed() override;

    bool value() const { return m_value; }
    ledColor onColor() const { return m_onColor; }
    ledColor offColor() const { return m_offColor; }
    ledShape shape() const { return m_shape; }

public slots:
    void setValue(bool value);
    void setOnColor(ledColor color);
    void setOffColor(ledColor color);
    void setShape(ledShape shape);
    void toggleValue();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_value = false;
    ledColor m_onColor = Red;
    ledColor m_offColor = Grey;
    ledShape m_shape = Circle;
    const QStringList m_shapes{QStringLiteral(":/resources/circle_"),
                               QStringLiteral(":/resources/square_"),
                               QStringLiteral(":/resources/triang_"),
                               QStringLiteral(":/resources/round_")};
    const QStringList m_colors{QStringLiteral("red.svg"),    QStringLiteral("green.svg"),
                               QStringLiteral("yellow.svg"), QStringLiteral("grey.svg"),
                               QStringLiteral("orange.svg"), QStringLiteral("purple.svg"),
                               QStringLiteral("blue.svg")};
    QSvgRenderer *m_renderer;
};
