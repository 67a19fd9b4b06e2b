// The time graphs: multi-channel (encoder counts, DAC outputs) and the position
// and angle graphs of both BPMs. Start ranges, check boxes, hide operations and
// mouse zoom.

#include <QLabel>

#include <functional>

#include "GraphTestSupport.h"
#include "WidgetGraphCurrents.h"
#include "WidgetGraphPos.h"
#include "WidgetGraphRad.h"

namespace {

class WidgetGraphTimeTest : public GraphEnvironment
{
protected:
    // Both BPM classes behave alike; every BPM test runs on each.
    static std::vector<std::function<WidgetGraphBpmTime *()>> bpmGraphs()
    {
        return {[] { return new WidgetGraphPos(nullptr, 0, 2); },
                [] { return new WidgetGraphRad(nullptr, 1, 2); }};
    }
};

TEST_F(WidgetGraphTimeTest, StartRangesUseWholeSeconds)
{
    struct Case {
        int records;
        int rate;
        int seconds;
    };
    for (const Case &c : {Case{14336, 1000, 14}, Case{1024, 1000, 1}, Case{14336, 5000, 2},
                          Case{8192, 3000, 2}}) {
        SCOPED_TRACE(c.records);
        DISP_BUF_SIZE = c.records * 256;
        SAMP_FREQ = c.rate;
        std::vector<std::unique_ptr<QWidget>> widgets;
        widgets.emplace_back(new WidgetGraphCurrents(nullptr, 2));
        widgets.emplace_back(new WidgetGraphCurrents(nullptr, 4));
        widgets.emplace_back(new WidgetGraphPos(nullptr, 0, 2));
        widgets.emplace_back(new WidgetGraphRad(nullptr, 1, 2));
        for (auto &w : widgets) {
            QCustomPlot *plot = plotOf(w.get());
            EXPECT_EQ(plot->xAxis->range(), QCPRange(0, c.seconds));
            EXPECT_EQ(plot->yAxis->range(), QCPRange(-5e-5, 5e-5));
        }
    }
}

TEST_F(WidgetGraphTimeTest, FirstRedrawWidensTheTimeAxisToTheData)
{
    WidgetGraphCurrents dac(nullptr, 4);
    WidgetGraphPos pos(nullptr, 0, 2);
    for (int i = 0; i < 4; ++i)
        engine->setGraphData(GraphDacOutput, i, dac.graphData(i));
    engine->setGraphData(GraphPositionX, 0, pos.graphData(0));
    engine->setGraphData(GraphPositionX, 1, pos.graphData(1));
    QObject::connect(engine.get(), &Updater::replotGraphs, &dac, &WidgetGraphCurrents::replot);
    QObject::connect(engine.get(), &Updater::replotGraphs, &pos, &WidgetGraphPos::replot);
    showAt(&dac, 879, 332);
    showAt(&pos, 879, 395);
    ASSERT_EQ(plotOf(&dac)->xAxis->range(), QCPRange(0, 14));

    engine->updateGraphs();
    ASSERT_EQ(dac.graphData(0)->size(), 14336);
    EXPECT_DOUBLE_EQ(plotOf(&dac)->xAxis->range().lower, 0);
    EXPECT_DOUBLE_EQ(plotOf(&dac)->xAxis->range().upper, 14.335);
    EXPECT_DOUBLE_EQ(plotOf(&pos)->xAxis->range().upper, 14.335);

    // Unchecked: later changes of rate or length leave the view alone.
    WidgetGraphCurrents enc(nullptr, 2);
    for (int i = 0; i < 2; ++i)
        engine->setGraphData(GraphEncoderBpm1, i, enc.graphData(i));
    QObject::connect(engine.get(), &Updater::replotGraphs, &enc, &WidgetGraphCurrents::replot);
    showAt(&enc, 879, 332);
    setChecked(child<QCheckBox>(&enc, "buttonAutoscale"), false);
    SAMP_FREQ = 2000;
    DISP_BUF_SIZE = 1024 * 256;
    engine->updateGraphs();
    EXPECT_EQ(plotOf(&enc)->xAxis->range(), QCPRange(0, 14));
    EXPECT_EQ(plotOf(&enc)->yAxis->range(), QCPRange(-5e-5, 5e-5));
    EXPECT_DOUBLE_EQ(plotOf(&dac)->xAxis->range().upper, 1023.0 / 2000);
}

TEST_F(WidgetGraphTimeTest, ChannelBoxesDecideVisibility)
{
    WidgetGraphCurrents dac(nullptr, 4);
    showAt(&dac, 879, 332);
    QCustomPlot *plot = plotOf(&dac);
    const char *boxes[] = {"CheckCh1", "CheckCh2", "CheckCh3", "CheckCh4"};
    const char *texts[] = {"Ch 1", "Ch 2", "Ch 3", "Ch 4"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(child<QCheckBox>(&dac, boxes[i])->isChecked());
        EXPECT_EQ(child<QCheckBox>(&dac, boxes[i])->text(), texts[i]);
        EXPECT_TRUE(plot->graph(i)->visible());
    }
    setChecked(child<QCheckBox>(&dac, "CheckCh2"), false);
    EXPECT_FALSE(plot->graph(1)->visible());
    setChecked(child<QCheckBox>(&dac, "CheckCh4"), false);
    EXPECT_FALSE(plot->graph(3)->visible());
    EXPECT_TRUE(plot->graph(0)->visible());
    EXPECT_TRUE(plot->graph(2)->visible());
    setChecked(child<QCheckBox>(&dac, "CheckCh2"), true);
    EXPECT_TRUE(plot->graph(1)->visible());

    // Two channels: boxes 3 and 4 govern nothing; no presence rule applies.
    nivraSimSetTovash(0, 0);
    nivraSimSetTovash(1, 0);
    WidgetGraphCurrents enc(nullptr, 2);
    showAt(&enc, 879, 332);
    setChecked(child<QCheckBox>(&enc, "CheckCh3"), false);
    setChecked(child<QCheckBox>(&enc, "CheckCh4"), false);
    EXPECT_TRUE(plotOf(&enc)->graph(0)->visible());
    EXPECT_TRUE(plotOf(&enc)->graph(1)->visible());
    setChecked(child<QCheckBox>(&enc, "CheckCh1"), false);
    EXPECT_FALSE(plotOf(&enc)->graph(0)->visible());
    EXPECT_TRUE(plotOf(&enc)->graph(1)->visible());
}

TEST_F(WidgetGraphTimeTest, EncoderSetUpOfTheMultiChannelGraph)
{
    WidgetGraphCurrents enc(nullptr, 2);
    showAt(&enc, 879, 332);
    enc.setLabels("Time [s]", "Counts", {"Enc1", "Enc2"});
    enc.setValueAxisFormat("f", 0);
    enc.setChannelTexts("Enc 1", "Enc 2", "", "");
    enc.setChannelsHidden(false, false, true, true);
    QCustomPlot *plot = plotOf(&enc);
    EXPECT_EQ(plot->xAxis->label(), "Time [s]");
    EXPECT_EQ(plot->yAxis->label(), "Counts");
    EXPECT_NE(plot->graph(0)->name(), "Enc1");
    EXPECT_EQ(plot->yAxis->numberFormat(), "f");
    EXPECT_EQ(plot->yAxis->numberPrecision(), 0);
    EXPECT_EQ(child<QCheckBox>(&enc, "CheckCh1")->text(), "Enc 1");
    EXPECT_EQ(child<QCheckBox>(&enc, "CheckCh2")->text(), "Enc 2");
    int shown = 0;
    for (QCheckBox *box : enc.findChildren<QCheckBox *>())
        if (box->objectName().startsWith("CheckCh") && box->isVisible())
            ++shown;
    EXPECT_EQ(shown, 2);
    EXPECT_FALSE(child<QLabel>(&enc, "label_3_color")->isVisible());
    EXPECT_FALSE(child<QLabel>(&enc, "label_4_color")->isVisible());
    EXPECT_TRUE(child<QLabel>(&enc, "label_2_color")->isVisible());
    // Whole counts on the axis.
    plot->yAxis->setRange(-1000, 1000);
    plot->replot(QCustomPlot::rpImmediateRefresh);
    ASSERT_FALSE(plot->yAxis->tickVectorLabels().isEmpty());
    for (const QString &label : plot->yAxis->tickVectorLabels())
        EXPECT_FALSE(label.contains('.') || label.contains('e')) << label.toStdString();

    // Hiding a box leaves its graph as it is.
    setChecked(child<QCheckBox>(&enc, "CheckCh2"), false);
    enc.setChannelsHidden(false, true, true, true);
    EXPECT_FALSE(plot->graph(1)->visible());
    enc.setChannelsHidden(false, false, true, true);
    EXPECT_FALSE(plot->graph(1)->visible());
}

TEST_F(WidgetGraphTimeTest, MultiChannelWheelZoomsBothAxes)
{
    WidgetGraphCurrents dac(nullptr, 4);
    showAt(&dac, 879, 332);
    QCustomPlot *plot = plotOf(&dac);
    const QCPRange x = plot->xAxis->range();
    const QCPRange y = plot->yAxis->range();
    wheel(plot, plotCentre(plot), 1);
    EXPECT_LT(plot->xAxis->range().size(), x.size());
    EXPECT_LT(plot->yAxis->range().size(), y.size());
}

TEST_F(WidgetGraphTimeTest, BpmGraphsStartWithBothBoxesTicked)
{
    for (auto &make : bpmGraphs()) {
        std::unique_ptr<WidgetGraphBpmTime> w(make());
        SCOPED_TRACE(w->metaObject()->className());
        showAt(w.get(), 879, 395);
        EXPECT_EQ(child<QCheckBox>(w.get(), "CheckCh1")->text(), "BPM1");
        EXPECT_EQ(child<QCheckBox>(w.get(), "CheckCh2")->text(), "BPM2");
        EXPECT_TRUE(child<QCheckBox>(w.get(), "CheckCh1")->isChecked());
        EXPECT_TRUE(child<QCheckBox>(w.get(), "CheckCh2")->isChecked());
        EXPECT_TRUE(child<QLabel>(w.get(), "label_2_color")->isVisible());

        w->setLabels("Time [s]", "Position [um]", {"X (BPM1)", "X (BPM2)", "ignored"});
        QCustomPlot *plot = plotOf(w.get());
        EXPECT_EQ(plot->xAxis->label(), "Time [s]");
        EXPECT_EQ(plot->yAxis->label(), "Position [um]");
        EXPECT_EQ(plot->graph(0)->name(), "X (BPM1)");
        EXPECT_EQ(plot->graph(1)->name(), "X (BPM2)");
        EXPECT_FALSE(plot->legend->visible());
        w->setLabels("t", "a", {"only one"});
        EXPECT_EQ(plot->graph(0)->name(), "only one");
        EXPECT_EQ(plot->graph(1)->name(), "X (BPM2)");
    }
}

TEST_F(WidgetGraphTimeTest, BpmGraphsHideAbsentBpmsWithTheirGraphs)
{
    for (auto &make : bpmGraphs()) {
        nivraSimReset(1);
        std::unique_ptr<WidgetGraphBpmTime> w(make());
        SCOPED_TRACE(w->metaObject()->className());
        showAt(w.get(), 879, 395);
        QCheckBox *bpm1 = child<QCheckBox>(w.get(), "CheckCh1");
        QCheckBox *bpm2 = child<QCheckBox>(w.get(), "CheckCh2");
        QCPGraph *g0 = plotOf(w.get())->graph(0);
        QCPGraph *g1 = plotOf(w.get())->graph(1);

        // Encoder box of BPM2 gone: the main window hides BPM2 with its swatch and graph.
        nivraSimSetTovash(1, 0);
        w->setChannelsHidden(false, true);
        EXPECT_FALSE(bpm2->isVisible());
        EXPECT_FALSE(child<QLabel>(w.get(), "label_2_color")->isVisible());
        EXPECT_TRUE(g0->visible());
        EXPECT_FALSE(g1->visible());
        setChecked(bpm1, false);
        EXPECT_FALSE(g0->visible());
        setChecked(bpm1, true);
        EXPECT_TRUE(g0->visible());
        EXPECT_FALSE(g1->visible());

        // Back with BPM2's box: shown again, and its graph with it...
        nivraSimSetTovash(1, 1);
        w->setChannelsHidden(false, false);
        EXPECT_TRUE(bpm2->isVisible());
        EXPECT_TRUE(child<QLabel>(w.get(), "label_2_color")->isVisible());
        EXPECT_TRUE(g1->visible());
        // ... but not while its box is unticked.
        setChecked(bpm2, false);
        w->setChannelsHidden(false, false);
        EXPECT_FALSE(g1->visible());
    }
}

TEST_F(WidgetGraphTimeTest, BpmGraphsZoomOnlyTheValueAxisWithTheWheel)
{
    for (auto &make : bpmGraphs()) {
        std::unique_ptr<WidgetGraphBpmTime> w(make());
        SCOPED_TRACE(w->metaObject()->className());
        showAt(w.get(), 879, 395);
        QCustomPlot *plot = plotOf(w.get());
        const QCPRange x = plot->xAxis->range();
        const QCPRange y = plot->yAxis->range();
        wheel(plot, plotCentre(plot), 2);
        EXPECT_EQ(plot->xAxis->range(), x);
        EXPECT_LT(plot->yAxis->range().size(), y.size());
        wheel(plot, plotCentre(plot), -4);
        EXPECT_EQ(plot->xAxis->range(), x);
        EXPECT_GT(plot->yAxis->range().size(), y.size());

        // Dragging moves both axes.
        const QCPRange y2 = plot->yAxis->range();
        drag(plot, plotCentre(plot), plotCentre(plot) + QPoint(50, 30));
        EXPECT_NE(plot->xAxis->range().lower, x.lower);
        EXPECT_NE(plot->yAxis->range().lower, y2.lower);
        EXPECT_DOUBLE_EQ(plot->xAxis->range().size(), x.size());
    }
}

} // namespace
