// The XY graph: rectangles from the store, the setpoint marker for each PID
// configuration, and setpoint clicks with their ROI test and gating.

#include <QFile>
#include <QPushButton>
#include <QSignalSpy>

#include <cmath>

#include "DialogAnswerer.h"
#include "GraphTestSupport.h"
#include "NivraLibrary.h"
#include "WidgetGraphXY.h"

namespace {

struct Point {
    double x;
    double y;
};

class WidgetGraphXYTest : public GraphEnvironment
{
protected:
    void SetUp() override
    {
        GraphEnvironment::SetUp();
        // BPM1: ROI 100 x 50, ROC 80 %; BPM2: ROI 200 x 120, ROC 50 %.
        store.writeConfigROCandROI(0, 100, 50, 0, 0, 80);
        store.writeConfigROCandROI(1, 200, 120, 0, 0, 50);
    }

    void TearDown() override
    {
        graphs[0].reset();
        graphs[1].reset();
        GraphEnvironment::TearDown();
    }

    WidgetGraphXY *make(int index)
    {
        graphs[index] = std::make_unique<WidgetGraphXY>(index, nullptr);
        WidgetGraphXY *w = graphs[index].get();
        showAt(w, 435, 336);
        return w;
    }

    static void setCode(int code)
    {
        ASSERT_GE(setPIDconf(std::int8_t(code)), 0);
    }

    static void setSetpoints(double x, double y)
    {
        ASSERT_GE(setSetpoint2(0, x), 0);
        ASSERT_GE(setSetpoint2(1, y), 0);
    }

    static double deviceSetpoint(int axis)
    {
        double v = NAN;
        EXPECT_GE(getSetpoint2(axis, &v), 0);
        return v;
    }

    static void pressTargetEnable(WidgetGraphXY *w)
    {
        QPushButton *button = child<QPushButton>(w, "targetEnable");
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Pixel nearest to a plot coordinate, and the coordinate the graph reads back there.
    static QPoint pixelOf(WidgetGraphXY *w, double x, double y)
    {
        QCustomPlot *plot = plotOf(w);
        return QPoint(int(std::lround(plot->xAxis->coordToPixel(x))),
                      int(std::lround(plot->yAxis->coordToPixel(y))));
    }
    static Point coordOf(WidgetGraphXY *w, QPoint pixel)
    {
        QCustomPlot *plot = plotOf(w);
        return {plot->xAxis->pixelToCoord(pixel.x()), plot->yAxis->pixelToCoord(pixel.y())};
    }

    static void click(WidgetGraphXY *w, QPoint pixel, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(plotOf(w), button, Qt::NoModifier, pixel);
    }

    static QList<Point> marker(WidgetGraphXY *w)
    {
        QList<Point> points;
        for (const QCPGraphData &d : *plotOf(w)->graph(1)->data())
            points.append({d.key, d.value});
        return points;
    }

    std::unique_ptr<WidgetGraphXY> graphs[2];
    DialogAnswerer answerer;
};

TEST_F(WidgetGraphXYTest, RectanglesAndZoomComeFromTheStore)
{
    WidgetGraphXY *w = make(0);
    QCustomPlot *plot = plotOf(w);
    EXPECT_EQ(plot->xAxis->label(), "Horizontal position BPM1 [um]");
    EXPECT_EQ(plot->yAxis->label(), "Vertical position BPM1 [um]");
    EXPECT_EQ(child<QPushButton>(w, "resetZoomButton")->text(), "Reset Zoom");
    EXPECT_EQ(child<QPushButton>(w, "targetEnable")->text(), "Target Enable");
    EXPECT_TRUE(child<QPushButton>(w, "targetEnable")->isCheckable());
    EXPECT_FALSE(child<QPushButton>(w, "targetEnable")->isChecked());

    ASSERT_EQ(plot->itemCount(), 2);
    auto *roi = qobject_cast<QCPItemRect *>(plot->item(0));
    auto *roc = qobject_cast<QCPItemRect *>(plot->item(1));
    ASSERT_TRUE(roi && roc);
    EXPECT_EQ(roi->topLeft->coords(), QPointF(100, -50));
    EXPECT_EQ(roi->bottomRight->coords(), QPointF(-100, 50));
    EXPECT_EQ(roc->topLeft->coords(), QPointF(80, -40));
    EXPECT_EQ(roc->bottomRight->coords(), QPointF(-80, 40));
    EXPECT_EQ(roi->pen().color(), QColor(50, 250, 50, 240));
    EXPECT_EQ(roc->pen().color(), QColor(250, 70, 70, 240));
    EXPECT_EQ(roi->brush().style(), Qt::NoBrush);
    EXPECT_DOUBLE_EQ(plot->xAxis->range().lower, -80.8);
    EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, 80.8);
    EXPECT_DOUBLE_EQ(plot->yAxis->range().lower, -40.4);
    EXPECT_DOUBLE_EQ(plot->yAxis->range().upper, 40.4);
    EXPECT_FALSE(plot->graph(1)->visible());

    WidgetGraphXY *w2 = make(1);
    EXPECT_EQ(plotOf(w2)->xAxis->label(), "Horizontal position BPM2 [um]");
    EXPECT_DOUBLE_EQ(plotOf(w2)->xAxis->range().upper, 101);
    EXPECT_DOUBLE_EQ(plotOf(w2)->yAxis->range().upper, 60.6);

    // New limits from the ROC/ROI window move the rectangles; the view stays until
    // "Reset Zoom", which changes the ranges without a redraw of its own.
    w->drawROIandROC(10, 20, 0.5);
    EXPECT_EQ(roi->topLeft->coords(), QPointF(10, -20));
    EXPECT_EQ(roc->bottomRight->coords(), QPointF(-5, 10));
    EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, 80.8);
    QSignalSpy redraws(plot, &QCustomPlot::afterReplot);
    QTest::mouseClick(child<QPushButton>(w, "resetZoomButton"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(plot->xAxis->range().lower, -5.05);
    EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, 5.05);
    EXPECT_DOUBLE_EQ(plot->yAxis->range().upper, 10.1);
    EXPECT_EQ(redraws.count(), 0);
}

TEST_F(WidgetGraphXYTest, WheelZoomsButNeverDragsOrSelects)
{
    WidgetGraphXY *w = make(0);
    QCustomPlot *plot = plotOf(w);
    const QCPRange x = plot->xAxis->range();
    const QCPRange y = plot->yAxis->range();
    drag(plot, plotCentre(plot), plotCentre(plot) + QPoint(40, 40));
    EXPECT_EQ(plot->xAxis->range(), x);
    EXPECT_EQ(plot->yAxis->range(), y);
    wheel(plot, plotCentre(plot), 1);
    EXPECT_LT(plot->xAxis->range().size(), x.size());
    EXPECT_LT(plot->yAxis->range().size(), y.size());
    QTest::mouseClick(child<QPushButton>(w, "resetZoomButton"), Qt::LeftButton);
    EXPECT_EQ(plot->xAxis->range(), x);
}

TEST_F(WidgetGraphXYTest, ClickOnTheRoiBorderIsAcceptedAndBeyondItRefused)
{
    setCode(0);
    WidgetGraphXY *w = make(0);
    pressTargetEnable(w);
    QSignalSpy changed(w, &WidgetGraphXY::XYchanged);

    // Make the ROI border fall exactly on a pixel's coordinate.
    const QPoint border = pixelOf(w, 70, 0);
    const Point c = coordOf(w, border);
    store.writeConfigROCandROI(0, std::abs(c.x), 50, 0, 0, 80);
    nivraSimClearCallLog();
    click(w, border);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 1);
    EXPECT_DOUBLE_EQ(deviceSetpoint(0), c.x);
    EXPECT_EQ(changed.count(), 1);
    // The marker follows: a vertical line at x across the ROC rectangle.
    EXPECT_TRUE(plotOf(w)->graph(1)->visible());
    const QList<Point> line = marker(w);
    ASSERT_EQ(line.size(), 2);
    EXPECT_DOUBLE_EQ(line[0].x, c.x);
    EXPECT_DOUBLE_EQ(line[1].x, c.x);

    // The same on the left, mirrored.
    const QPoint left = pixelOf(w, -70, 0);
    store.writeConfigROCandROI(0, std::abs(coordOf(w, left).x), 50, 0, 0, 80);
    click(w, left);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_DOUBLE_EQ(deviceSetpoint(0), coordOf(w, left).x);

    // The ROI a hair smaller: refused with the message, nothing sent or redrawn.
    store.writeConfigROCandROI(0, std::nextafter(std::abs(c.x), 0.0), 50, 0, 0, 80);
    nivraSimClearCallLog();
    changed.clear();
    QSignalSpy redraws(plotOf(w), &QCustomPlot::afterReplot);
    click(w, border);
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(answerer.last().kind, "information");
    EXPECT_EQ(answerer.last().title, "Invalid setpoint");
    EXPECT_EQ(answerer.last().text, "Setpoint was set outside Region of Interest.\n\n");
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 0);
    EXPECT_EQ(nivraSimCallCount("getSetpoint2"), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(redraws.count(), 0);
}

TEST_F(WidgetGraphXYTest, VerticalLoopTestsOnlyY)
{
    setCode(3);
    WidgetGraphXY *w = make(0);
    pressTargetEnable(w);
    // Far outside in x, on the border in y: Y alone is regulated, so it is accepted.
    const QPoint p = pixelOf(w, -79, 30);
    const Point c = coordOf(w, p);
    store.writeConfigROCandROI(0, 1, std::abs(c.y), 0, 0, 80);
    nivraSimClearCallLog();
    click(w, p);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 1);
    EXPECT_DOUBLE_EQ(deviceSetpoint(1), c.y);
    // Horizontal marker line across the ROC at y (the container orders by key).
    const QList<Point> line = marker(w);
    ASSERT_EQ(line.size(), 2);
    EXPECT_DOUBLE_EQ(line[0].x, -80);
    EXPECT_DOUBLE_EQ(line[1].x, 80);
    EXPECT_DOUBLE_EQ(line[0].y, c.y);
    EXPECT_EQ(plotOf(w)->graph(1)->scatterStyle().shape(), QCPScatterStyle::ssNone);
    EXPECT_EQ(plotOf(w)->graph(1)->lineStyle(), QCPGraph::lsLine);

    store.writeConfigROCandROI(0, 1000, std::abs(c.y) - 0.001, 0, 0, 80);
    click(w, p);
    EXPECT_EQ(answerer.count(), 1);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 1);

    // Y with I0 (code 4) regulates the same position axis.
    setCode(4);
    store.writeConfigROCandROI(0, 1, std::abs(c.y), 0, 0, 80);
    click(w, p);
    EXPECT_EQ(answerer.count(), 1);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 2);
    ASSERT_EQ(marker(w).size(), 2);
    EXPECT_DOUBLE_EQ(marker(w)[1].y, c.y);
}

TEST_F(WidgetGraphXYTest, BothLoopsFromOneBpm)
{
    setCode(1);
    bpmSelX = 0;
    bpmSelY = 0;
    WidgetGraphXY *w1 = make(0);
    WidgetGraphXY *w2 = make(1);
    pressTargetEnable(w1);
    pressTargetEnable(w2);
    QSignalSpy changed2(w2, &WidgetGraphXY::XYchanged);

    // Inside BPM1's ROI: both setpoints, and a cross at (x, y).
    const QPoint p = pixelOf(w1, 20, -10);
    const Point c = coordOf(w1, p);
    nivraSimClearCallLog();
    click(w1, p);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 2);
    EXPECT_DOUBLE_EQ(deviceSetpoint(0), c.x);
    EXPECT_DOUBLE_EQ(deviceSetpoint(1), c.y);
    const QList<Point> cross = marker(w1);
    ASSERT_EQ(cross.size(), 1);
    EXPECT_DOUBLE_EQ(cross[0].x, c.x);
    EXPECT_DOUBLE_EQ(cross[0].y, c.y);
    EXPECT_EQ(plotOf(w1)->graph(1)->scatterStyle().shape(), QCPScatterStyle::ssCross);
    EXPECT_DOUBLE_EQ(plotOf(w1)->graph(1)->scatterStyle().size(), 6);

    // BPM1's ROI test fails in y only: refused.
    const QPoint high = pixelOf(w1, 20, 39);
    store.writeConfigROCandROI(0, 100, 30, 0, 0, 80);
    click(w1, high);
    EXPECT_EQ(answerer.count(), 1);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 2);

    // The BPM2 graph feeds neither loop: its click sets nothing and draws nothing,
    // but still counts as handled.
    nivraSimClearCallLog();
    click(w2, pixelOf(w2, 5, 5));
    EXPECT_EQ(answerer.count(), 1);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 0);
    EXPECT_EQ(changed2.count(), 1);
    EXPECT_TRUE(plotOf(w2)->graph(1)->visible());
    EXPECT_TRUE(marker(w2).isEmpty());
    // ... and still tests against its own ROI.
    click(w2, pixelOf(w2, 5, 59));
    EXPECT_EQ(answerer.count(), 1);
    store.writeConfigROCandROI(1, 200, 50, 0, 0, 50);
    click(w2, pixelOf(w2, 5, 59));
    EXPECT_EQ(answerer.count(), 2);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 0);
}

TEST_F(WidgetGraphXYTest, EachLoopFromItsOwnBpm)
{
    setCode(1);
    bpmSelX = 0;
    bpmSelY = 1;
    setSetpoints(12.5, -7.25);
    WidgetGraphXY *w1 = make(0);
    WidgetGraphXY *w2 = make(1);
    w1->updateGraphXY();
    w2->updateGraphXY();

    // BPM1 feeds X: a vertical line at x across its ROC; BPM2 feeds Y: a horizontal line.
    QList<Point> v = marker(w1);
    ASSERT_EQ(v.size(), 2);
    EXPECT_DOUBLE_EQ(v[0].x, 12.5);
    EXPECT_DOUBLE_EQ(v[0].y, -40);
    EXPECT_DOUBLE_EQ(v[1].x, 12.5);
    EXPECT_DOUBLE_EQ(v[1].y, 40);
    QList<Point> h = marker(w2);
    ASSERT_EQ(h.size(), 2);
    EXPECT_DOUBLE_EQ(h[0].x, -100);
    EXPECT_DOUBLE_EQ(h[0].y, -7.25);
    EXPECT_DOUBLE_EQ(h[1].x, 100);
    EXPECT_DOUBLE_EQ(h[1].y, -7.25);

    // A click on BPM1's graph inside both limits sets only X.
    pressTargetEnable(w1);
    const QPoint p = pixelOf(w1, -30, 15);
    nivraSimClearCallLog();
    click(w1, p);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 1);
    EXPECT_DOUBLE_EQ(deviceSetpoint(0), coordOf(w1, p).x);
    EXPECT_DOUBLE_EQ(deviceSetpoint(1), -7.25);
}

TEST_F(WidgetGraphXYTest, HorizontalLoopFedByTheOtherBpm)
{
    setCode(2);
    bpmSelX = 1;
    WidgetGraphXY *w1 = make(0);
    WidgetGraphXY *w2 = make(1);
    pressTargetEnable(w1);
    const QPoint p = pixelOf(w1, 44, 0);
    nivraSimClearCallLog();
    click(w1, p);
    // Sent whichever BPM feeds the loop; only this graph's ROI was tested.
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 1);
    EXPECT_DOUBLE_EQ(deviceSetpoint(0), coordOf(w1, p).x);
    EXPECT_TRUE(marker(w1).isEmpty());
    w2->updateGraphXY();
    const QList<Point> line = marker(w2);
    ASSERT_EQ(line.size(), 2);
    EXPECT_DOUBLE_EQ(line[0].x, coordOf(w1, p).x);
    EXPECT_DOUBLE_EQ(line[0].y, -60);
}

TEST_F(WidgetGraphXYTest, CodesWithoutPositionLoopsSetNothing)
{
    for (int code : {5, 6}) {
        SCOPED_TRACE(code);
        setCode(code);
        WidgetGraphXY *w1 = make(0);
        WidgetGraphXY *w2 = make(1);
        pressTargetEnable(w1);
        QSignalSpy changed(w1, &WidgetGraphXY::XYchanged);
        QSignalSpy redraws(plotOf(w1), &QCustomPlot::afterReplot);
        nivraSimClearCallLog();
        // Even far outside the ROI: no test, no message.
        click(w1, pixelOf(w1, 79, 39));
        EXPECT_EQ(answerer.count(), 0);
        EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 0);
        EXPECT_EQ(changed.count(), 1);
        EXPECT_GE(redraws.count(), 1);
        EXPECT_TRUE(plotOf(w1)->graph(1)->visible());
        EXPECT_TRUE(marker(w1).isEmpty());
        w2->updateGraphXY();
        EXPECT_TRUE(marker(w2).isEmpty());
    }
}

TEST_F(WidgetGraphXYTest, MarkerKeepsItsLastShapeWhenNothingIsDrawn)
{
    setCode(1);
    setSetpoints(3, 4);
    WidgetGraphXY *w = make(0);
    w->updateGraphXY();
    ASSERT_EQ(marker(w).size(), 1);
    EXPECT_EQ(plotOf(w)->graph(1)->scatterStyle().shape(), QCPScatterStyle::ssCross);
    setCode(5);
    w->updateGraphXY();
    EXPECT_TRUE(marker(w).isEmpty());
    EXPECT_EQ(plotOf(w)->graph(1)->scatterStyle().shape(), QCPScatterStyle::ssCross);
    EXPECT_DOUBLE_EQ(plotOf(w)->graph(1)->scatterStyle().size(), 6);
}

TEST_F(WidgetGraphXYTest, FailedSetpointReadMarksTheOrigin)
{
    setCode(1);
    WidgetGraphXY *w = make(0);
    nivraSimFailCall("getSetpoint2", -1);
    w->updateGraphXY();
    const QList<Point> cross = marker(w);
    ASSERT_EQ(cross.size(), 1);
    EXPECT_EQ(cross[0].x, 0.0);
    EXPECT_EQ(cross[0].y, 0.0);
}

TEST_F(WidgetGraphXYTest, ClicksNeedTargetEnableAndAUserLevel)
{
    setCode(0);
    WidgetGraphXY *w = make(0);
    QSignalSpy changed(w, &WidgetGraphXY::XYchanged);
    const QPoint inside = pixelOf(w, 10, 0);
    const QPoint outside = pixelOf(w, 80, 0);
    store.writeConfigROCandROI(0, 50, 50, 0, 0, 80);
    nivraSimClearCallLog();

    // "Target Enable" released: ignored silently, inside or outside.
    click(w, inside);
    click(w, outside);
    // Pressed, but level 0 (and an unknown level): still ignored.
    pressTargetEnable(w);
    for (int level : {0, 3, -1}) {
        userLevel = level;
        click(w, inside);
        click(w, outside);
    }
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 0);
    EXPECT_EQ(nivraSimCallCount("getPIDconf"), 0);
    EXPECT_EQ(changed.count(), 0);

    for (int level : {1, 2}) {
        userLevel = level;
        click(w, inside, Qt::RightButton);
    }
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 2);
    EXPECT_EQ(changed.count(), 2);

    // Released again: ignored.
    pressTargetEnable(w);
    click(w, inside);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 2);
}

TEST_F(WidgetGraphXYTest, UnusableStoredRoiRefuses)
{
    // A fresh system: no ROI, so the ROI collapses and the view waits for the beam;
    // any click off the centre is refused.
    QFile::remove(config.path());
    setCode(1);
    WidgetGraphXY *w = make(0);
    EXPECT_GT(plotOf(w)->xAxis->range().size(), 0);
    w->updateGraphXY();
    w->replot();
    pressTargetEnable(w);
    nivraSimClearCallLog();
    click(w, plotCentre(plotOf(w)) + QPoint(15, 0));
    EXPECT_EQ(answerer.count(), 1);

    // Limits edited by hand into something that is not a number refuse too, rather
    // than let every click through.
    config.setValue("ROCandROI/RoiX", "nan");
    config.setValue("ROCandROI/RoiY", "nan");
    click(w, plotCentre(plotOf(w)) + QPoint(15, -10));
    EXPECT_EQ(answerer.count(), 2);
    EXPECT_EQ(nivraSimCallCount("setSetpoint2"), 0);
}

TEST_F(WidgetGraphXYTest, RoiThatFramesNothingLeavesTheViewOnTheBeam)
{
    // BPM1's limits as the file may hold them; the beam sits near (12, -8).
    const struct { const char *ini; bool rocShown; } rows[] = {
        {"RoiX=0\nRoiY=50\nRocX=0\nRocY=40\n", false},   // ROC percent 0/0
        {"RoiY=50\nRocX=80\nRocY=40\n", false},           // RoiX missing
        {"RoiX=abc\nRoiY=50\nRocX=80\nRocY=40\n", false},
        {"RoiX=100\nRoiY=50\nRocX=0\nRocY=0\n", true},   // a zero ROC in a good ROI
        {"", false},                                      // nothing: both axes on the beam
    };
    // Finite ranges with width; once the beam is there, holding it.
    const auto expectView = [](QCustomPlot *plot, bool onBeam) {
        for (const auto &[r, low, high] : {std::tuple{plot->xAxis->range(), 11, 13}, {plot->yAxis->range(), -9, -7}})
            EXPECT_TRUE(std::isfinite(r.size()) && r.size() > 0 && (!onBeam || (r.contains(low) && r.contains(high))));
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.ini);
        ASSERT_TRUE(config.writeText(QByteArray("[ROCandROI]\n") + row.ini));
        WidgetGraphXY *w = make(0);
        QCustomPlot *plot = plotOf(w);
        EXPECT_EQ(plot->item(1)->visible(), row.rocShown) << "the ROC, drawn only from finite values";
        expectView(plot, false);

        fill(w->graphData(), 11, 13, -9, -7);
        w->replot();
        expectView(plot, true);
        // Fitted once only: the operator's zoom stays until "Reset Zoom".
        plot->xAxis->setRange(200, 300);
        plot->yAxis->setRange(200, 300);
        w->replot();
        EXPECT_EQ(plot->xAxis->range(), QCPRange(200, 300));
        QTest::mouseClick(child<QPushButton>(w, "resetZoomButton"), Qt::LeftButton);
        expectView(plot, true);

        for (int code : {0, 3}) {   // a vertical, then a horizontal line
            setCode(code);
            w->updateGraphXY();
            ASSERT_EQ(marker(w).size(), 2);
            EXPECT_TRUE(std::isfinite(marker(w)[0].x + marker(w)[0].y + marker(w)[1].x + marker(w)[1].y));
        }
    }
}

} // namespace
