// LED indicator: which shape and colour combinations have a picture, and repaints.
#include <QImage>

#include <functional>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "QLed.h"

namespace {

QImage drawn(QLed &led)
{
    QImage image(led.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    led.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

bool anythingDrawn(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}

class CountingLed : public QLed
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        QLed::paintEvent(event);
    }
};

} // namespace

TEST(QLed, DrawsOnlyTheFiveShippedRoundedPictures)
{
    const QList<QLed::ledColor> shipped{QLed::Red, QLed::Green, QLed::Yellow, QLed::Grey,
                                        QLed::Purple};
    for (int shape = QLed::Circle; shape <= QLed::Rounded; ++shape) {
        for (int color = QLed::Red; color <= QLed::Blue; ++color) {
            const bool expected =
                shape == QLed::Rounded && shipped.contains(static_cast<QLed::ledColor>(color));
            // Off colour while off...
            QLed off;
            off.resize(100, 50);
            off.setShape(static_cast<QLed::ledShape>(shape));
            off.setOffColor(static_cast<QLed::ledColor>(color));
            EXPECT_EQ(anythingDrawn(drawn(off)), expected) << "off, shape " << shape << " colour " << color;
            // ...and on colour while on.
            QLed on;
            on.resize(100, 50);
            on.setShape(static_cast<QLed::ledShape>(shape));
            on.setOffColor(QLed::Grey);
            on.setOnColor(static_cast<QLed::ledColor>(color));
            on.setValue(true);
            EXPECT_EQ(anythingDrawn(drawn(on)), expected) << "on, shape " << shape << " colour " << color;
        }
    }
}

TEST(QLed, PictureFollowsValueAndFillsTheWidget)
{
    QLed led;
    EXPECT_FALSE(led.value());
    EXPECT_EQ(led.onColor(), QLed::Red);
    EXPECT_EQ(led.offColor(), QLed::Grey);
    EXPECT_EQ(led.shape(), QLed::Circle);

    led.resize(140, 30);
    EXPECT_FALSE(anythingDrawn(drawn(led))) << "a fresh LED (circle, grey) has no picture";

    // Properties, as a form would set them.
    ASSERT_TRUE(led.setProperty("shape", QVariant::fromValue(QLed::Rounded)));
    ASSERT_TRUE(led.setProperty("onColor", QVariant::fromValue(QLed::Green)));
    ASSERT_TRUE(led.setProperty("offColor", QVariant::fromValue(QLed::Red)));
    EXPECT_EQ(led.shape(), QLed::Rounded);

    // Off: the red picture, stretched over the whole widget (corners of the bezel
    // are rounded, so look at points inside).
    QImage image = drawn(led);
    QColor centre = image.pixelColor(70, 15);
    EXPECT_GT(centre.red(), centre.green() + 60);
    EXPECT_NE(qAlpha(image.pixel(70, 1)), 0);
    EXPECT_NE(qAlpha(image.pixel(20, 15)), 0);
    EXPECT_NE(qAlpha(image.pixel(120, 15)), 0);

    led.toggleValue();
    EXPECT_TRUE(led.value());
    centre = drawn(led).pixelColor(70, 15);
    EXPECT_GT(centre.green(), centre.red() + 60);

    led.toggleValue();
    EXPECT_FALSE(led.value());
}

TEST(QLed, SettingTheSameValueTwiceRepaintsTwice)
{
    CountingLed led;
    led.resize(100, 50);
    led.setShape(QLed::Rounded);
    led.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&led));
    QCoreApplication::processEvents();

    auto repaintsAfter = [&](const std::function<void()> &change) {
        const int before = led.paints;
        change();
        return QTest::qWaitFor([&] { return led.paints > before; }, 1000);
    };
    EXPECT_TRUE(repaintsAfter([&] { led.setValue(true); }));
    EXPECT_TRUE(repaintsAfter([&] { led.setValue(true); }));
}
