// Level bar: decade scales, bar percentages, labels and ticks, and the slider value.
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSlider>

#include <gtest/gtest.h>

#include <limits>

#include "Slider.h"

namespace {

QStringList labelTexts(const Slider &slider)
{
    QStringList texts;
    for (QLabel *label : slider.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly))
        texts << label->text();
    return texts;
}

int tickCount(const Slider &slider)
{
    int n = 0;
    for (QFrame *frame : slider.findChildren<QFrame *>(QString(), Qt::FindDirectChildrenOnly))
        if (frame->frameShape() == QFrame::VLine)
            ++n;
    return n;
}

int barValue(const Slider &slider)
{
    return slider.findChild<QProgressBar *>()->value();
}

} // namespace

TEST(Slider, ScaleFollowsTheDecadeOfTheValue)
{
    Slider slider;
    // As built: 0 to 1 in five steps.
    EXPECT_EQ(labelTexts(slider),
              QStringList({"0", "0.2", "0.4", "0.6", "0.8", "1e+00"}));
    EXPECT_EQ(tickCount(slider), 6);
    EXPECT_FALSE(slider.findChild<QProgressBar *>()->isTextVisible());

    slider.setValue(0.37f);
    EXPECT_FLOAT_EQ(slider.scaleMin(), 0.0f);
    EXPECT_FLOAT_EQ(slider.scaleMax(), 1.0f);
    EXPECT_EQ(labelTexts(slider), QStringList({"0", "0.2", "0.4", "0.6", "0.8", "1e+00"}));
    EXPECT_EQ(barValue(slider), 37);

    slider.setValue(1.0f);
    EXPECT_FLOAT_EQ(slider.scaleMax(), 1.0f);
    EXPECT_EQ(barValue(slider), 100);

    slider.setValue(1.5f);
    EXPECT_FLOAT_EQ(slider.scaleMax(), 10.0f);
    EXPECT_EQ(labelTexts(slider), QStringList({"0", "2", "4", "6", "8", "1e+01"}));
    EXPECT_EQ(barValue(slider), 15);

    slider.setValue(420.0f);
    EXPECT_FLOAT_EQ(slider.scaleMax(), 1000.0f);
    EXPECT_EQ(barValue(slider), 42);

    slider.setValue(0.004f);
    EXPECT_FLOAT_EQ(slider.scaleMax(), 0.01f);
    EXPECT_EQ(barValue(slider), 40);
}

TEST(Slider, RowsNeverGrowOverRepeatedValues)
{
    Slider slider;
    for (float v : {0.37f, 1.5f, 99.0f, 0.001f, 7.0f, 1.0f, 12345.0f}) {
        slider.setValue(v);
        EXPECT_EQ(labelTexts(slider).size(), 6) << v;
        EXPECT_EQ(tickCount(slider), 6) << v;
    }
}

TEST(Slider, BarClampsAndValuesWithoutADecade)
{
    Slider slider;
    slider.buildScale(5, 2.0f, 4.0f);
    slider.setBarValue(1.0f);
    EXPECT_EQ(barValue(slider), 0);
    slider.setBarValue(5.0f);
    EXPECT_EQ(barValue(slider), 100);
    slider.setBarValue(3.0f);
    EXPECT_EQ(barValue(slider), 50);
    slider.setBarValue(2.999f);
    EXPECT_EQ(barValue(slider), 49) << "truncated toward zero";
    slider.setBarValue(std::numeric_limits<float>::infinity());
    EXPECT_EQ(barValue(slider), 100);
    slider.setBarValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(barValue(slider), 0);

    // A scale without width shows an empty bar, not a converted NaN.
    slider.buildScale(5, 2.0f, 2.0f);
    slider.setBarValue(2.0f);
    EXPECT_EQ(barValue(slider), 0);

    // Values without a decade show an empty unit scale.
    for (float v : {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN()}) {
        slider.setValue(v);
        EXPECT_FLOAT_EQ(slider.scaleMax(), 1.0f) << v;
        EXPECT_EQ(barValue(slider), 0) << v;
        EXPECT_EQ(labelTexts(slider).size(), 6) << v;
    }
}

TEST(Slider, SliderPositionIsAnnouncedOnTheScale)
{
    Slider slider;
    slider.setValue(1.5f);   // scale 0 to 10
    QSignalSpy spy(&slider, &Slider::valueChanged);
    auto *handle = slider.findChild<QSlider *>();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->minimum(), 0);
    EXPECT_EQ(handle->maximum(), 99);
    handle->setValue(50);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_FLOAT_EQ(spy.at(0).at(0).toFloat(), 5.0f);

    slider.signalSender(25);
    EXPECT_FLOAT_EQ(spy.at(1).at(0).toFloat(), 2.5f);
}
