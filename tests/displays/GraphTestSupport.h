#pragma once
// Shared by the graph tests: the program's environment with an operator logged in
// at "user" level, and helpers that show a graph and read or fill its plot.

#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <memory>

#include "AcquisitionSettings.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "ProgramEnvironment.h"
#include "WidgetLookup.h"

inline QCustomPlot *plotOf(const QWidget *widget)
{
    return child<QCustomPlot>(widget, "graph");
}

// Centre of the plot's axis rect, in plot pixels.
inline QPoint plotCentre(QCustomPlot *plot)
{
    return plot->axisRect()->rect().center();
}

// Shows a widget at a given size and lays its plot out, so that pixels and axis
// coordinates correspond.
inline void showAt(QWidget *widget, int width, int height)
{
    widget->resize(width, height);
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
    QCustomPlot *plot = plotOf(widget);
    plot->replot(QCustomPlot::rpImmediateRefresh);
}

inline void fill(const QSharedPointer<QCPGraphDataContainer> &data, double key0, double key1,
                 double value0, double value1, int points = 101)
{
    data->clear();
    for (int i = 0; i < points; ++i) {
        const double t = double(i) / (points - 1);
        data->add(QCPGraphData(key0 + t * (key1 - key0), value0 + t * (value1 - value0)));
    }
}

// Colour of the plot's rendering in row y, two pixels from the right edge, where
// nothing but the background is drawn. A width and height render at that size.
inline QColor backgroundAt(QCustomPlot *plot, int y, int width = 0, int height = 0)
{
    const QImage image = plot->toPixmap(width, height).toImage();
    return image.pixelColor(image.width() - 2, y);
}

class GraphEnvironment : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        userLevel = 1;
    }
};
