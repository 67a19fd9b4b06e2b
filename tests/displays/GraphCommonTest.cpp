// What the five live graph widgets share: the containers they hand to the engine,
// the autoscale rule, the background, the axes and the channel colours.

#include <QLabel>
#include <QSignalSpy>

#include <functional>

#include "GraphLook.h"
#include "GraphTestSupport.h"
#include "WidgetGraphCurrents.h"
#include "WidgetGraphFFT.h"
#include "WidgetGraphPos.h"
#include "WidgetGraphRad.h"
#include "WidgetGraphXY.h"

namespace {

struct Kind {
    const char *name;
    int graphs;   // data graphs
    std::function<QWidget *()> make;
    std::function<GraphContainer(QWidget *, int)> data;
    const char *autoscale;   // object name of the autoscale box; null for the XY graph
};

template <typename W>
std::function<GraphContainer(QWidget *, int)> indexedData()
{
    return [](QWidget *w, int i) { return static_cast<W *>(w)->graphData(i); };
}

QList<Kind> kinds()
{
    return {
        {"FFT", 2, [] { return new WidgetGraphFFT(nullptr, 2); }, indexedData<WidgetGraphFFT>(),
         "checkBoxAutoscale"},
        {"Currents2", 2, [] { return new WidgetGraphCurrents(nullptr, 2); },
         indexedData<WidgetGraphCurrents>(), "buttonAutoscale"},
        {"Currents4", 4, [] { return new WidgetGraphCurrents(nullptr, 4); },
         indexedData<WidgetGraphCurrents>(), "buttonAutoscale"},
        {"Pos", 2, [] { return new WidgetGraphPos(nullptr, 0, 2); }, indexedData<WidgetGraphPos>(),
         "buttonAutoscale"},
        {"Rad", 2, [] { return new WidgetGraphRad(nullptr, 1, 2); }, indexedData<WidgetGraphRad>(),
         "buttonAutoscale"},
    };
}

class GraphCommonTest : public GraphEnvironment
{
};

TEST_F(GraphCommonTest, GraphDataHandsOutTheDrawnContainersAndNothingElse)
{
    for (const Kind &kind : kinds()) {
        SCOPED_TRACE(kind.name);
        std::unique_ptr<QWidget> w(kind.make());
        QCustomPlot *plot = plotOf(w.get());
        ASSERT_EQ(plot->graphCount(), kind.graphs);
        EXPECT_TRUE(kind.data(w.get(), -1).isNull());
        EXPECT_TRUE(kind.data(w.get(), kind.graphs).isNull());
        EXPECT_TRUE(kind.data(w.get(), 1000).isNull());
        for (int i = 0; i < kind.graphs; ++i) {
            GraphContainer c = kind.data(w.get(), i);
            ASSERT_FALSE(c.isNull());
            EXPECT_EQ(c.data(), plot->graph(i)->data().data());
            EXPECT_TRUE(c->isEmpty());
            EXPECT_TRUE(c->autoSqueeze());
            // Each graph its own container.
            for (int j = 0; j < i; ++j)
                EXPECT_NE(c.data(), kind.data(w.get(), j).data());
        }
    }

    WidgetGraphXY xy(0, nullptr);
    ASSERT_FALSE(xy.graphData().isNull());
    EXPECT_EQ(xy.graphData().data(), plotOf(&xy)->graph(0)->data().data());
    EXPECT_NE(xy.graphData().data(), plotOf(&xy)->graph(1)->data().data());
}

TEST_F(GraphCommonTest, ContainersOutliveTheWidgetAndAreNeverWrittenByIt)
{
    for (const Kind &kind : kinds()) {
        SCOPED_TRACE(kind.name);
        std::unique_ptr<QWidget> w(kind.make());
        showAt(w.get(), 800, 400);
        GraphContainer c = kind.data(w.get(), 0);
        fill(c, 0, 5, -1, 1, 11);
        const QVector<double> before = [&] {
            QVector<double> v;
            for (const QCPGraphData &d : *c)
                v << d.key << d.value;
            return v;
        }();
        QMetaObject::invokeMethod(w.get(), "replot");
        if (kind.autoscale)
            setChecked(child<QCheckBox>(w.get(), kind.autoscale), false);
        QMetaObject::invokeMethod(w.get(), "replot");
        QVector<double> after;
        for (const QCPGraphData &d : *c)
            after << d.key << d.value;
        EXPECT_EQ(before, after);

        w.reset();
        // The engine's reference keeps the container alive.
        EXPECT_EQ(c->size(), 11);
    }
}

TEST_F(GraphCommonTest, AutoscaleFollowsTheDataOrKeepsTheOperatorsRanges)
{
    for (const Kind &kind : kinds()) {
        SCOPED_TRACE(kind.name);
        std::unique_ptr<QWidget> w(kind.make());
        showAt(w.get(), 800, 400);
        QCustomPlot *plot = plotOf(w.get());
        for (int i = 0; i < kind.graphs; ++i)
            fill(kind.data(w.get(), i), 20 + i, 400 + i, 1e-3 * (i + 1), 50.0 * (i + 1));

        // Checked at start: the first redraw fits the visible data.
        ASSERT_TRUE(child<QCheckBox>(w.get(), kind.autoscale)->isChecked());
        QMetaObject::invokeMethod(w.get(), "replot");
        EXPECT_DOUBLE_EQ(plot->xAxis->range().lower, 20);
        EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, 400 + kind.graphs - 1);
        EXPECT_DOUBLE_EQ(plot->yAxis->range().lower, 1e-3);
        EXPECT_DOUBLE_EQ(plot->yAxis->range().upper, 50.0 * kind.graphs);

        // Unchecked: the operator zooms and drags; refills and redraws keep that view.
        setChecked(child<QCheckBox>(w.get(), kind.autoscale), false);
        plot->replot(QCustomPlot::rpImmediateRefresh);
        const QPoint c = plotCentre(plot);
        wheel(plot, c, 2);
        drag(plot, c, c + QPoint(30, -20));
        const QCPRange x = plot->xAxis->range();
        const QCPRange y = plot->yAxis->range();
        EXPECT_NE(x.lower, 20);
        for (int i = 0; i < kind.graphs; ++i)
            fill(kind.data(w.get(), i), 0, 900, -7, 700);
        QMetaObject::invokeMethod(w.get(), "replot");
        EXPECT_EQ(plot->xAxis->range(), x);
        EXPECT_EQ(plot->yAxis->range(), y);

        // Checked again: the next redraw fits the data again.
        setChecked(child<QCheckBox>(w.get(), kind.autoscale), true);
        QMetaObject::invokeMethod(w.get(), "replot");
        if (plot->xAxis->scaleType() == QCPAxis::stLinear) {
            EXPECT_DOUBLE_EQ(plot->xAxis->range().lower, 0);
            EXPECT_DOUBLE_EQ(plot->yAxis->range().lower, -7);
        }
        EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, 900);
        EXPECT_DOUBLE_EQ(plot->yAxis->range().upper, 700);
    }
}

TEST_F(GraphCommonTest, AutoscaleCountsOnlyVisibleGraphs)
{
    nivraSimSetTovash(0, 1);
    nivraSimSetTovash(1, 1);
    WidgetGraphPos w(nullptr, 0, 2);
    showAt(&w, 800, 400);
    fill(w.graphData(0), 0, 10, -1, 1);
    fill(w.graphData(1), 0, 20, -100, 100);
    setChecked(child<QCheckBox>(&w, "CheckCh2"), false);
    w.replot();
    EXPECT_DOUBLE_EQ(plotOf(&w)->xAxis->range().upper, 10);
    EXPECT_DOUBLE_EQ(plotOf(&w)->yAxis->range().upper, 1);
}

// The spectrum, position and angle graphs show a BPM's graph only while its encoder
// box is present and its check box ticked, asking the controller at each toggle.
TEST_F(GraphCommonTest, BpmGraphsFollowEncoderBoxesAndCheckBoxes)
{
    for (const Kind &kind : kinds()) {
        if (QByteArray(kind.name).startsWith("Currents"))
            continue;
        SCOPED_TRACE(kind.name);
        nivraSimReset(1);
        std::unique_ptr<QWidget> w(kind.make());
        showAt(w.get(), 800, 400);
        QCheckBox *bpm1 = child<QCheckBox>(w.get(), "CheckCh1");
        QCheckBox *bpm2 = child<QCheckBox>(w.get(), "CheckCh2");
        QCPGraph *g0 = plotOf(w.get())->graph(0);
        QCPGraph *g1 = plotOf(w.get())->graph(1);
        ASSERT_TRUE(bpm1->isChecked());
        ASSERT_TRUE(bpm2->isChecked());

        // (1, 1): each graph follows its box.
        setChecked(bpm2, false);
        EXPECT_TRUE(g0->visible());
        EXPECT_FALSE(g1->visible());

        // (1, 0): BPM2 stays hidden even when ticked.
        nivraSimSetTovash(1, 0);
        setChecked(bpm2, true);
        EXPECT_TRUE(g0->visible());
        EXPECT_FALSE(g1->visible());
        setChecked(bpm1, false);
        EXPECT_FALSE(g0->visible());

        // (0, 1): the mirror image.
        nivraSimSetTovash(0, 0);
        nivraSimSetTovash(1, 1);
        setChecked(bpm1, true);
        EXPECT_FALSE(g0->visible());
        EXPECT_TRUE(g1->visible());

        // (0, 0): every toggle hides both.
        nivraSimSetTovash(1, 0);
        setChecked(bpm2, false);
        setChecked(bpm2, true);
        EXPECT_FALSE(g0->visible());
        EXPECT_FALSE(g1->visible());

        // A failed query counts as no box present.
        nivraSimSetTovash(0, 1);
        nivraSimSetTovash(1, 1);
        nivraSimFailCall("getTovashes", -1);
        setChecked(bpm1, false);
        setChecked(bpm1, true);
        EXPECT_FALSE(g0->visible());
        EXPECT_FALSE(g1->visible());
        nivraSimClearFaults();
        setChecked(bpm1, false);
        setChecked(bpm1, true);
        EXPECT_TRUE(g0->visible());
        EXPECT_TRUE(g1->visible());
    }
}

TEST_F(GraphCommonTest, XYGraphNeverRescales)
{
    config.setValue("ROCandROI/RoiX", 100.0);
    config.setValue("ROCandROI/RoiY", 50.0);
    config.setValue("ROCandROI/RocX", 80.0);
    WidgetGraphXY w(0, nullptr);
    showAt(&w, 435, 336);
    const QCPRange x = plotOf(&w)->xAxis->range();
    const QCPRange y = plotOf(&w)->yAxis->range();
    fill(w.graphData(), -1000, 1000, -900, 900);
    w.replot();
    EXPECT_EQ(plotOf(&w)->xAxis->range(), x);
    EXPECT_EQ(plotOf(&w)->yAxis->range(), y);
}

TEST_F(GraphCommonTest, GradientCoversTheTop200PixelsUntilTheFirstResize)
{
    auto all = kinds();
    for (const Kind &kind : all) {
        SCOPED_TRACE(kind.name);
        std::unique_ptr<QWidget> w(kind.make());
        QCustomPlot *plot = plotOf(w.get());
        // Rendered at 300 x 400 before any resize: grey at the top, dark from 200 down.
        EXPECT_EQ(backgroundAt(plot, 0, 300, 400), QColor(100, 100, 100));
        EXPECT_EQ(backgroundAt(plot, 200, 300, 400), QColor(30, 30, 30));
        EXPECT_EQ(backgroundAt(plot, 390, 300, 400), QColor(30, 30, 30));
        const QColor mid = backgroundAt(plot, 100, 300, 400);
        EXPECT_NEAR(mid.red(), 65, 1);

        // After a resize the gradient spans the whole plot.
        showAt(w.get(), 700, 560);
        const int h = plot->height();
        ASSERT_GT(h, 400);
        EXPECT_EQ(backgroundAt(plot, 0), QColor(100, 100, 100));
        EXPECT_NEAR(backgroundAt(plot, (h - 1) / 2).red(), 65, 1);
        EXPECT_NEAR(backgroundAt(plot, h - 1).red(), 30, 1);

        w->resize(700, 360);
        QCoreApplication::processEvents();
        const int h2 = plot->height();
        ASSERT_LT(h2, h);
        EXPECT_NEAR(backgroundAt(plot, (h2 - 1) / 2).red(), 65, 1);
    }
}

TEST_F(GraphCommonTest, XYGradientFollowsThePlotHeight)
{
    WidgetGraphXY w(1, nullptr);
    showAt(&w, 435, 500);
    QCustomPlot *plot = plotOf(&w);
    const int h = plot->height();
    ASSERT_GT(h, 300);
    EXPECT_EQ(backgroundAt(plot, 0), QColor(100, 100, 100));
    EXPECT_NEAR(backgroundAt(plot, (h - 1) / 2).red(), 65, 1);
    EXPECT_NEAR(backgroundAt(plot, h - 1).red(), 30, 1);
}

// The settings that keep the once-a-second redraw cheap, and no legend.
TEST_F(GraphCommonTest, TimeAndSpectrumGraphsDrawWithoutAntialiasing)
{
    for (const Kind &kind : kinds()) {
        SCOPED_TRACE(kind.name);
        std::unique_ptr<QWidget> w(kind.make());
        QCustomPlot *plot = plotOf(w.get());
        EXPECT_FALSE(plot->legend->visible());
        EXPECT_TRUE(plot->noAntialiasingOnDrag());
        for (int i = 0; i < plot->graphCount(); ++i) {
            EXPECT_FALSE(plot->graph(i)->antialiased());
            EXPECT_TRUE(plot->graph(i)->adaptiveSampling());
        }
    }
    WidgetGraphXY xy(0, nullptr);
    EXPECT_FALSE(plotOf(&xy)->legend->visible());
}

TEST_F(GraphCommonTest, SwatchesAndGraphsShowTheChannelColours)
{
    WidgetGraphCurrents dac(nullptr, 4);
    WidgetGraphFFT fft(nullptr, 2);
    showAt(&dac, 879, 332);
    showAt(&fft, 556, 425);
    for (int ch = 1; ch <= 4; ++ch) {
        const QByteArray name = "label_" + QByteArray::number(ch) + "_color";
        QLabel *swatch = child<QLabel>(&dac, name.constData());
        EXPECT_EQ(swatch->size(), QSize(20, 20));
        EXPECT_EQ(swatch->grab().toImage().pixelColor(10, 10), GraphLook::channelColor(ch));
        EXPECT_EQ(plotOf(&dac)->graph(ch - 1)->pen().color(), GraphLook::channelColor(ch));
        if (ch <= 2) {
            EXPECT_EQ(child<QLabel>(&fft, name.constData())->grab().toImage().pixelColor(10, 10),
                      GraphLook::channelColor(ch));
        }
    }
    const QColor colours[] = {{255, 255, 135}, {255, 130, 255}, {130, 255, 130}, {130, 210, 250}};
    for (int ch = 1; ch <= 4; ++ch)
        EXPECT_EQ(GraphLook::channelColor(ch), colours[ch - 1]) << ch;
    WidgetGraphXY xy1(0, nullptr);
    WidgetGraphXY xy2(1, nullptr);
    EXPECT_EQ(plotOf(&xy1)->graph(0)->pen().color(), GraphLook::channelColor(1));
    EXPECT_EQ(plotOf(&xy2)->graph(0)->pen().color(), GraphLook::channelColor(2));
}

} // namespace
