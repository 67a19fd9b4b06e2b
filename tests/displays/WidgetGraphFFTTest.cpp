// The spectrum graph: the engine settings its controls send, the current meters at
// start, the hide operation, Lin/Log switching and the cursor fields.

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

#include <vector>

#include "GraphTestSupport.h"
#include "NivraLibrary.h"
#include "Spectrum.h"
#include "WidgetGraphFFT.h"

namespace {

using Points = QVector<QCPGraphData>;

Points pointsOf(const QCPGraphDataContainer &c)
{
    return Points(c.constBegin(), c.constEnd());
}

class WidgetGraphFFTTest : public GraphEnvironment
{
protected:
    std::unique_ptr<WidgetGraphFFT> make()
    {
        auto w = std::make_unique<WidgetGraphFFT>(nullptr, 2);
        engine->setGraphData(GraphSpectrum, 0, w->graphData(0));
        engine->setGraphData(GraphSpectrum, 1, w->graphData(1));
        showAt(w.get(), 556, 425);
        return w;
    }

    // The spectrum of BPM `bpm` for these settings, from the records the simulator
    // delivers now (its clock stands still, so the engine's next fetch is the same).
    static Points expected(int bpm, int length, int selector, bool removeDC, int mode)
    {
        const int n = DISP_BUF_SIZE / 256;
        std::vector<DisplayRecord> records(n);
        const int got = getBuffer(records.data(), n);
        EXPECT_EQ(got, n);
        SpectrumSettings s;
        s.length = length;
        s.selector = selector;
        s.removeDC = removeDC;
        s.mode = mode;
        QCPGraphDataContainer out;
        computeSpectrum(out, records.data(), got, bpm, s, SAMP_FREQ);
        return pointsOf(out);
    }

    // Runs one engine cycle and compares both spectra with what these settings give.
    void expectEngineUses(WidgetGraphFFT *w, int length, int selector, bool removeDC, int mode)
    {
        SCOPED_TRACE(QStringLiteral("length %1 selector %2 removeDC %3 mode %4")
                         .arg(length).arg(selector).arg(removeDC).arg(mode).toStdString());
        const Points want0 = expected(0, length, selector, removeDC, mode);
        const Points want1 = expected(1, length, selector, removeDC, mode);
        engine->updateGraphs();
        for (int bpm = 0; bpm < 2; ++bpm) {
            const Points &want = bpm == 0 ? want0 : want1;
            const Points got = pointsOf(*w->graphData(bpm));
            ASSERT_EQ(got.size(), want.size()) << "bpm " << bpm;
            ASSERT_FALSE(got.isEmpty());
            for (int i = 0; i < got.size(); ++i) {
                ASSERT_DOUBLE_EQ(got[i].key, want[i].key) << i;
                ASSERT_NEAR(got[i].value, want[i].value, 1e-9 * (1 + std::abs(want[i].value))) << i;
            }
        }
    }

    static bool differ(const Points &a, const Points &b)
    {
        if (a.size() != b.size())
            return true;
        for (int i = 0; i < a.size(); ++i)
            if (std::abs(a[i].value - b[i].value) > 1e-9 * (1 + std::abs(a[i].value)))
                return true;
        return false;
    }
};

TEST_F(WidgetGraphFFTTest, StartsOnLogAxes)
{
    auto w = make();
    EXPECT_EQ(child<QCheckBox>(w.get(), "CheckCh1")->text(), "BPM1");
    EXPECT_EQ(child<QCheckBox>(w.get(), "CheckCh2")->text(), "BPM2");
    QCustomPlot *plot = plotOf(w.get());
    EXPECT_EQ(plot->xAxis->range(), QCPRange(10, 1000));
    EXPECT_EQ(plot->yAxis->range(), QCPRange(1e-12, 1000));
    for (auto [axis, ticks] : {std::pair{plot->xAxis, 4}, std::pair{plot->yAxis, 6}}) {
        EXPECT_EQ(axis->scaleType(), QCPAxis::stLogarithmic);
        auto log = qSharedPointerDynamicCast<QCPAxisTickerLog>(axis->ticker());
        ASSERT_TRUE(log);
        EXPECT_EQ(log->tickCount(), ticks);
    }
}

TEST_F(WidgetGraphFFTTest, ControlsSendTheEngineSettings)
{
    // The test means something only if the settings change the result.
    ASSERT_TRUE(differ(expected(0, 8192, 24, false, 0), expected(0, 8192, 25, false, 0)));
    ASSERT_TRUE(differ(expected(0, 8192, 0, false, 0), expected(0, 8192, 1, false, 0)));
    ASSERT_TRUE(differ(expected(0, 8192, 24, false, 0), expected(0, 8192, 24, true, 0)));

    // Construction sends the selector of "Enc 1"; the length is the engine's own.
    auto w = make();
    expectEngineUses(w.get(), 8192, 24, false, 0);

    QComboBox *length = child<QComboBox>(w.get(), "fFTLengthComboBox");
    chooseItem(length, 5);   // "2048"
    expectEngineUses(w.get(), 2048, 24, false, 0);
    EXPECT_EQ(w->graphData(0)->size(), 1025);
    chooseItem(length, 6);   // "8192"
    expectEngineUses(w.get(), 8192, 24, false, 0);
    EXPECT_EQ(w->graphData(0)->size(), 4097);
    chooseItem(length, 0);   // "64"
    expectEngineUses(w.get(), 64, 24, false, 0);
    chooseItem(length, 4);   // "1024"
    expectEngineUses(w.get(), 1024, 24, false, 0);
    // A cleared box sends 64.
    length->setCurrentIndex(-1);
    expectEngineUses(w.get(), 64, 24, false, 0);
    EXPECT_EQ(w->graphData(1)->size(), 33);
    chooseItem(length, 1);   // "128"
    expectEngineUses(w.get(), 128, 24, false, 0);

    QComboBox *selector = child<QComboBox>(w.get(), "selectorComboBox");
    chooseItem(selector, 3);   // "PosY"
    expectEngineUses(w.get(), 128, 1, false, 0);
    chooseItem(selector, 1);   // "Enc 2"
    expectEngineUses(w.get(), 128, 25, false, 0);
    chooseItem(selector, 2);   // "PosX"
    expectEngineUses(w.get(), 128, 0, false, 0);

    setChecked(child<QCheckBox>(w.get(), "removeDCCheckBox"), true);
    expectEngineUses(w.get(), 128, 0, true, 0);

    QComboBox *graph = child<QComboBox>(w.get(), "comboBoxGraph");
    chooseItem(graph, 1);   // "CSP"
    expectEngineUses(w.get(), 128, 0, true, 1);
    EXPECT_EQ(w->graphData(0)->size(), 64);
    setChecked(child<QCheckBox>(w.get(), "removeDCCheckBox"), false);
    chooseItem(graph, 0);   // "FFT"
    expectEngineUses(w.get(), 128, 0, false, 0);
}

TEST_F(WidgetGraphFFTTest, CurrentMetersPresentAtStartTickTheBoxes)
{
    nivraSimSetMeterPresent(1, 0);
    auto w = make();
    EXPECT_TRUE(child<QCheckBox>(w.get(), "CheckCh1")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(w.get(), "CheckCh2")->isChecked());
    // Both graphs show until a box is toggled.
    EXPECT_TRUE(plotOf(w.get())->graph(0)->visible());
    EXPECT_TRUE(plotOf(w.get())->graph(1)->visible());

    nivraSimSetMeterPresent(1, 1);
    nivraSimSetMeterPresent(0, 0);
    auto w2 = make();
    EXPECT_FALSE(child<QCheckBox>(w2.get(), "CheckCh1")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(w2.get(), "CheckCh2")->isChecked());

    nivraSimFailCall("getOscalons", -1);
    auto w3 = make();
    EXPECT_FALSE(child<QCheckBox>(w3.get(), "CheckCh1")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(w3.get(), "CheckCh2")->isChecked());
}

TEST_F(WidgetGraphFFTTest, HidingABpmHidesItsBoxAndSwatchButNotItsGraph)
{
    auto w = make();
    QCPGraph *g0 = plotOf(w.get())->graph(0);
    w->setChannelsHidden(true, false);
    EXPECT_FALSE(child<QCheckBox>(w.get(), "CheckCh1")->isVisible());
    EXPECT_FALSE(child<QLabel>(w.get(), "label_1_color")->isVisible());
    EXPECT_TRUE(child<QCheckBox>(w.get(), "CheckCh2")->isVisible());
    EXPECT_TRUE(child<QLabel>(w.get(), "label_2_color")->isVisible());
    EXPECT_TRUE(g0->visible());

    nivraSimSetTovash(0, 0);
    setChecked(child<QCheckBox>(w.get(), "CheckCh2"), false);
    ASSERT_FALSE(g0->visible());
    w->setChannelsHidden(false, true);
    EXPECT_TRUE(child<QCheckBox>(w.get(), "CheckCh1")->isVisible());
    EXPECT_TRUE(child<QLabel>(w.get(), "label_1_color")->isVisible());
    EXPECT_FALSE(child<QLabel>(w.get(), "label_2_color")->isVisible());
    EXPECT_FALSE(g0->visible());

    // Labels only; the graphs carry no names.
    w->setLabels("Frequency [Hz]", "", {"BPM1", "BPM2"});
    EXPECT_EQ(plotOf(w.get())->xAxis->label(), "Frequency [Hz]");
    EXPECT_EQ(plotOf(w.get())->yAxis->label(), "");
    EXPECT_NE(g0->name(), "BPM1");
}

TEST_F(WidgetGraphFFTTest, LinLogSwitching)
{
    auto w = make();
    QCustomPlot *plot = plotOf(w.get());
    setChecked(child<QCheckBox>(w.get(), "checkBoxAutoscale"), false);
    QComboBox *xBox = child<QComboBox>(w.get(), "xAxisComboBox");
    QComboBox *yBox = child<QComboBox>(w.get(), "yAxisComboBox");
    QSignalSpy redraws(plot, &QCustomPlot::afterReplot);

    chooseItem(xBox, 1);   // "Lin"
    EXPECT_EQ(plot->xAxis->scaleType(), QCPAxis::stLinear);
    EXPECT_FALSE(qSharedPointerDynamicCast<QCPAxisTickerLog>(plot->xAxis->ticker()));
    EXPECT_EQ(plot->xAxis->range(), QCPRange(10, 1000));
    EXPECT_EQ(redraws.count(), 0);

    // The operator drags the linear axis below zero; back on "Log" it restarts at 10.
    plot->replot(QCustomPlot::rpImmediateRefresh);
    const QPoint c = plotCentre(plot);
    drag(plot, c, c + QPoint(plot->axisRect()->width() / 2, 0));
    const QCPRange dragged = plot->xAxis->range();
    ASSERT_LT(dragged.lower, 0);
    redraws.clear();
    chooseItem(xBox, 0);   // "Log"
    EXPECT_EQ(plot->xAxis->scaleType(), QCPAxis::stLogarithmic);
    EXPECT_DOUBLE_EQ(plot->xAxis->range().lower, 10);
    EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, dragged.upper);
    auto log = qSharedPointerDynamicCast<QCPAxisTickerLog>(plot->xAxis->ticker());
    ASSERT_TRUE(log);
    EXPECT_EQ(log->tickCount(), 4);
    EXPECT_EQ(log->subTickCount(), 8);
    EXPECT_EQ(redraws.count(), 0);

    // Dragged wholly below zero: back on "Log" the axis restarts on its start range,
    // where autoscale can fit the spectra again.
    chooseItem(xBox, 1);
    plot->xAxis->setRange(-500, -100);
    chooseItem(xBox, 0);
    EXPECT_EQ(plot->xAxis->range(), QCPRange(10, 1000));
    fill(w->graphData(0), 2, 400, 1e-6, 3);
    setChecked(child<QCheckBox>(w.get(), "checkBoxAutoscale"), true);
    w->replot();
    EXPECT_DOUBLE_EQ(plot->xAxis->range().lower, 2);
    EXPECT_DOUBLE_EQ(plot->xAxis->range().upper, 400);
    setChecked(child<QCheckBox>(w.get(), "checkBoxAutoscale"), false);

    // A positive range survives the round trip.
    chooseItem(yBox, 1);
    EXPECT_EQ(plot->yAxis->scaleType(), QCPAxis::stLinear);
    plot->yAxis->setRange(2, 500);
    chooseItem(yBox, 0);
    EXPECT_EQ(plot->yAxis->range(), QCPRange(2, 500));
    log = qSharedPointerDynamicCast<QCPAxisTickerLog>(plot->yAxis->ticker());
    ASSERT_TRUE(log);
    EXPECT_EQ(log->tickCount(), 6);
}

TEST_F(WidgetGraphFFTTest, CursorFieldsShowTheClickedCoordinates)
{
    auto w = make();
    QCustomPlot *plot = plotOf(w.get());
    QLineEdit *cx = child<QLineEdit>(w.get(), "lineEditCursorX");
    QLineEdit *cy = child<QLineEdit>(w.get(), "lineEditCursorY");
    const QRect r = plot->axisRect()->rect();

    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, QPoint(r.left(), r.center().y()));
    EXPECT_EQ(cx->text(), "1.000e+01");
    EXPECT_EQ(cy->text(), QString::number(plot->yAxis->pixelToCoord(r.center().y()), 'e', 3));

    // Any button; the value is the log-axis coordinate of the pixel.
    const QPoint p(r.left() + r.width() / 2, r.top() + 7);
    QTest::mouseClick(plot, Qt::RightButton, Qt::NoModifier, p);
    EXPECT_EQ(cx->text(), "1.000e+02");
    EXPECT_EQ(cy->text(), QString::number(plot->yAxis->pixelToCoord(p.y()), 'e', 3));
    QTest::mouseClick(plot, Qt::MiddleButton, Qt::NoModifier, QPoint(r.right() + 1, p.y()));
    EXPECT_EQ(cx->text(), "1.000e+03");

    // Half pixels round away from zero.
    const QPointF half(r.left() + 10.5, r.top() + 20.5);
    QMouseEvent press(QEvent::MouseButtonPress, half, plot->mapToGlobal(half), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &press);
    EXPECT_EQ(cx->text(), QString::number(plot->xAxis->pixelToCoord(r.left() + 11), 'e', 3));
    EXPECT_EQ(cy->text(), QString::number(plot->yAxis->pixelToCoord(r.top() + 21), 'e', 3));
    QMouseEvent release(QEvent::MouseButtonRelease, half, plot->mapToGlobal(half), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &release);
}

} // namespace
