// The 1-D rocking curve window: its axes, the DAC records and the electrode
// currents of a scan for each output, the voltage sequences, form changes during a
// scan, Stop at every moment it can come, closing the window and a second Start during a scan, node and map
// failures, and the rocking peaks of the simulator's beam.

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <qcustomplot.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "DialogAnswerer.h"
#include "LogCapture.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "OutputsGuard.h"
#include "ProgramEnvironment.h"
#include "ShutdownReport.h"
#include "SimCallLog.h"
#include "WidgetLookup.h"
#include "WindowRockingCurve.h"

namespace {

// Numbers between the braces of a record in a call-log line.
QVector<double> recordValues(const QString &line)
{
    const int open = line.indexOf(QLatin1Char('{'));
    const int close = line.indexOf(QLatin1Char('}'), open);
    QVector<double> values;
    for (const QString &item : line.mid(open + 1, close - open - 1).split(QStringLiteral(", ")))
        values.append(item.toDouble());
    return values;
}

QList<QVector<double>> recordsOf(const char *request)
{
    QList<QVector<double>> records;
    for (const QString &line : SimCallLog::callsTo("ioctl"))
        if (line.contains(QLatin1String(request)))
            records.append(recordValues(line));
    return records;
}

// The DAC records written, each {ch1, ch2, ch3, ch4, 1}.
QList<QVector<double>> dacWrites()
{
    return recordsOf("0x40084228");
}

// The CurrentReadings records read, indices 0 to 3.
QList<QVector<double>> meterReads()
{
    return recordsOf("0x8008421e");
}

// The voltages plotted, or only those measured: a point not measured is a gap, its value NaN.
QVector<double> keys(const QCPGraph *graph, bool measuredOnly = false)
{
    QVector<double> k;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        if (!measuredOnly || !std::isnan(it->value))
            k.append(it->key);
    return k;
}

QVector<double> values(const QCPGraph *graph)
{
    QVector<double> v;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        v.append(it->value);
    return v;
}

// Whether the plot's picture shows `graph`'s pen colour at pixel `at` (the third
// graph's pen is translucent).
bool drawnAt(const QImage &image, const QCPGraph *graph, QPointF at)
{
    const QRgb pen = graph->pen().color().rgb(), seen = image.pixel(at.toPoint());
    return qAbs(qRed(pen) - qRed(seen)) + qAbs(qGreen(pen) - qGreen(seen)) + qAbs(qBlue(pen) - qBlue(seen)) < 30;
}

// The key of the largest value.
double peakKey(const QCPGraph *graph)
{
    double key = 0.0, best = -1.0;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        if (it->value > best) {
            best = it->value;
            key = it->key;
        }
    return key;
}

class RockingCurveTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        // Electrodes on meter channels Top 3, Right 1, Bottom 4, Left 2.
        config.setValue(QStringLiteral("BPM1/Top"), 2);
        config.setValue(QStringLiteral("BPM1/Right"), 0);
        config.setValue(QStringLiteral("BPM1/Bottom"), 3);
        config.setValue(QStringLiteral("BPM1/Left"), 1);
        config.setValue(QStringLiteral("PID_X/Offset"), 1.5);
        config.setValue(QStringLiteral("PID_Y/Offset"), 2.5);
        config.setValue(QStringLiteral("PID_I0/Offset"), 3.5);
    }

    void TearDown() override
    {
        window.reset();
        ProgramEnvironment::TearDown();
    }

    void open()
    {
        window = std::make_unique<WindowRockingCurve>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        plot = child<QCustomPlot>(window.get(), "graph");
        progress = child<QProgressBar>(window.get(), "progressBar");
        start = child<QPushButton>(window.get(), "buttonStart");
        stop = child<QPushButton>(window.get(), "buttonStop");
    }

    // The form as an operator fills it in, each value completed with Return; T point
    // is kept short.
    void setScan(const char *from, const char *to, int points, const char *output = "posX",
                 bool sweepBack = false, const char *tPoint = "0.02")
    {
        enterText(child<QDoubleSpinBox>(window.get(), "boxStart"), QString::fromLatin1(from));
        enterText(child<QDoubleSpinBox>(window.get(), "boxStop"), QString::fromLatin1(to));
        enterText(child<QSpinBox>(window.get(), "boxN"), QString::number(points));
        enterText(child<QDoubleSpinBox>(window.get(), "boxTimePoint"), QString::fromLatin1(tPoint));
        setChecked(child<QCheckBox>(window.get(), "sweepBackCheckBox"), sweepBack);
        chooseText(child<QComboBox>(window.get(), "chSel"), QString::fromLatin1(output));
        ASSERT_EQ(child<QSpinBox>(window.get(), "boxN")->value(), points);
        ASSERT_TRUE(window->isVisible());
    }

    void scan()
    {
        nivraSimClearCallLog();
        QTest::mouseClick(start, Qt::LeftButton);
    }

    // Runs `action` from the event processing that follows the point at which the
    // progress bar reaches `percent`, as a person acting during the scan would.
    void duringScanAt(int percent, std::function<void()> action)
    {
        auto fired = std::make_shared<bool>(false);
        QObject::connect(progress, &QProgressBar::valueChanged, window.get(),
                         [fired, percent, action](int value) {
                             if (value == percent && !*fired) {
                                 *fired = true;
                                 QTimer::singleShot(0, action);
                             }
                         });
    }

    static QStringList handOverCalls()
    {
        return SimCallLog::callsTo("setFBenable") + SimCallLog::callsTo("setOutputMux");
    }

    std::unique_ptr<WindowRockingCurve> window;
    QCustomPlot *plot = nullptr;
    QProgressBar *progress = nullptr;
    QPushButton *start = nullptr;
    QPushButton *stop = nullptr;
    DialogAnswerer answerer;
};

TEST_F(RockingCurveTest, AxisRangeBeforeAndBetweenScans)
{
    open();
    // The axis opens on 4 .. 6 V, not on the 0 .. 5 V of the boxes; the graphs have
    // no names (and no legend text) before a scan.
    EXPECT_EQ(plot->xAxis->range(), QCPRange(4.0, 6.0));
    EXPECT_EQ(plot->yAxis->range(), QCPRange(-0.00015, 0.00015));
    ASSERT_EQ(plot->graphCount(), 3);
    for (int g = 0; g < 3; ++g)
        EXPECT_TRUE(plot->graph(g)->name().isEmpty());

    // Start and Stop move the axis at once.
    replaceText(child<QDoubleSpinBox>(window.get(), "boxStart"), QStringLiteral("1.5"));
    EXPECT_EQ(plot->xAxis->range(), QCPRange(1.5, 5.0));
    replaceText(child<QDoubleSpinBox>(window.get(), "boxStop"), QStringLiteral("-2"));
    EXPECT_EQ(plot->xAxis->range(), QCPRange(-2.0, 1.5));   // QCPRange orders its ends
}

TEST_F(RockingCurveTest, ScanOfEachOutputWritesRecordsAndPlotsItsElectrodes)
{
    open();
    ASSERT_EQ(mailbox->setFBenable(1), 0);

    // X: the X output (channel 1) steps, Y and I0 rest at their offsets.
    setScan("0", "2", 4);
    scan();
    EXPECT_EQ(SimCallLog::calls().mid(0, 4),
              QStringList({QStringLiteral("open(\"/dev/nivra_oscalon0\", 1052674)"),
                           QStringLiteral("open(\"/dev/nivra_vennick0\", 1052674)"),
                           QStringLiteral("setFBenable(0)"), QStringLiteral("setOutputMux(0)")}));
    EXPECT_EQ(SimCallLog::calls().mid(SimCallLog::calls().size() - 3),
              QStringList({QStringLiteral("setOutputMux(1)"), QStringLiteral("close(1000)"),
                           QStringLiteral("close(1001)")}));
    EXPECT_EQ(nivraSimSetting("feedbackOn", 0), 0.0);   // left off
    QList<QVector<double>> writes = dacWrites();
    ASSERT_EQ(writes.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(writes[i], QVector<double>({0.5 * i, 2.5, 3.5, 0.0, 1.0})) << i;
    QList<QVector<double>> reads = meterReads();
    ASSERT_EQ(reads.size(), 4);
    EXPECT_EQ(keys(plot->graph(0)), QVector<double>({0.0, 0.5, 1.0, 1.5}));
    for (int i = 0; i < 4; ++i) {
        // Left is meter channel 2, Right channel 1: indices 3 - 1 and 3 - 0.
        EXPECT_EQ(values(plot->graph(0))[i], reads[i][2]) << i;
        EXPECT_EQ(values(plot->graph(1))[i], reads[i][3]) << i;
        EXPECT_EQ(values(plot->graph(2))[i], reads[i][2] + reads[i][3]) << i;
    }
    EXPECT_EQ(plot->graph(0)->name(), QStringLiteral("left (ch 2)"));
    EXPECT_EQ(plot->graph(1)->name(), QStringLiteral("right (ch 1)"));
    EXPECT_EQ(plot->graph(2)->name(), QStringLiteral("sum (left+right)"));
    EXPECT_EQ(plot->graph(0)->pen(), QPen(QColor(255, 130, 255), 2));
    EXPECT_EQ(plot->graph(1)->pen(), QPen(QColor(255, 255, 135), 2));
    EXPECT_EQ(plot->xAxis->range(), QCPRange(0.0, 1.5));   // rescaled to the data
    EXPECT_EQ(progress->value(), 100);

    // Y: top and bottom.
    setScan("1", "2", 2, "posY");
    scan();
    writes = dacWrites();
    ASSERT_EQ(writes.size(), 2);
    EXPECT_EQ(writes[1], QVector<double>({1.5, 1.5, 3.5, 0.0, 1.0}));
    reads = meterReads();
    ASSERT_EQ(plot->graph(0)->data()->size(), 2);   // the X scan's points are gone
    EXPECT_EQ(values(plot->graph(0))[1], reads[1][1]);   // Top: channel 3
    EXPECT_EQ(values(plot->graph(1))[1], reads[1][0]);   // Bottom: channel 4
    EXPECT_EQ(plot->graph(0)->name(), QStringLiteral("top (ch 3)"));
    EXPECT_EQ(plot->graph(1)->name(), QStringLiteral("bottom (ch 4)"));
    EXPECT_EQ(plot->graph(2)->name(), QStringLiteral("sum (top+bottom)"));
    EXPECT_EQ(plot->graph(1)->pen(), QPen(QColor(130, 210, 250), 2));

    // Intensity: its output is DAC channel 3, which the scan does reach.
    setScan("4", "5", 2, "intI0");
    scan();
    writes = dacWrites();
    ASSERT_EQ(writes.size(), 2);
    EXPECT_EQ(writes[0], QVector<double>({1.5, 2.5, 4.0, 0.0, 1.0}));
    EXPECT_EQ(writes[1], QVector<double>({1.5, 2.5, 4.5, 0.0, 1.0}));
    reads = meterReads();
    const QVector<double> &r = reads[1];
    EXPECT_EQ(values(plot->graph(0))[1], r[1] + r[0]);
    EXPECT_EQ(values(plot->graph(1))[1], r[2] + r[3]);
    EXPECT_EQ(values(plot->graph(2))[1], r[1] + r[3] + r[0] + r[2]);
    EXPECT_EQ(plot->graph(0)->name(), QStringLiteral("sum (top+bottom)"));
    EXPECT_EQ(plot->graph(1)->name(), QStringLiteral("sum (left+right)"));
    EXPECT_EQ(plot->graph(2)->name(), QStringLiteral("Intensity"));
    EXPECT_EQ(plot->graph(0)->pen(), QPen(QColor(130, 255, 130), 2));   // Top's colour
    EXPECT_EQ(plot->graph(1)->pen(), QPen(QColor(130, 210, 250), 2));   // Bottom's colour
}

TEST_F(RockingCurveTest, VoltageSequences)
{
    open();
    const auto sent = []() {
        QVector<double> volts;
        for (const QVector<double> &w : dacWrites())
            volts.append(w[0]);
        return volts;
    };

    setScan("0", "1", 5, "posX", true);
    scan();
    EXPECT_EQ(sent(), QVector<double>({0.0, 0.5, 0.75, 0.5, 0.25}));

    setScan("2", "1", 2);   // downward
    scan();
    EXPECT_EQ(sent(), QVector<double>({2.0, 1.5}));
    EXPECT_EQ(progress->value(), 100);

    // One point is a scan like any other: Start, or the middle when sweeping back.
    // Points at one voltage, one or many, are seen: each graph's a mark in its pen's
    // colour, inside the frame; so is a curve that barely moves, lowest or highest.
    for (const auto &[to, n, sweepBack, volts] :
         {std::tuple{"3", 1, false, QVector<double>{1.0}}, {"3", 1, true, {2.0}},
          {"1", 3, false, {1.0, 1.0, 1.0}}, {"1.01", 2, false, {1.0, 1.005}}}) {
        setScan("1", to, n, "posX", sweepBack);
        scan();
        EXPECT_EQ(sent(), volts);
        EXPECT_EQ(plot->graph(0)->dataCount(), n);
        const QImage image = plot->toPixmap().toImage();
        for (const QCPGraph *graph : {plot->graph(0), plot->graph(1), plot->graph(2)}) {
            // Halfway between the first and the last point, on the curve; at one
            // voltage, beside the first point, on its mark, where a pen's dot is not.
            const QPointF first = graph->coordsToPixels(keys(graph).first(), values(graph).first());
            const QPointF last = graph->coordsToPixels(keys(graph).last(), values(graph).last());
            const QPointF at = keys(graph).first() == keys(graph).last() ? first + QPointF(3, 0) : (first + last) / 2;
            EXPECT_TRUE(drawnAt(image, graph, at));
            EXPECT_TRUE(plot->axisRect()->rect().adjusted(5, 5, -5, -5).contains(at.toPoint()));
        }
    }

    setScan("0", "1", 0);   // no point: the outputs are taken and handed back, nothing written
    scan();
    EXPECT_TRUE(dacWrites().isEmpty());
    EXPECT_EQ(handOverCalls(), QStringList({"setFBenable(0)", "setOutputMux(0)", "setOutputMux(1)"}));
    EXPECT_EQ(answerer.count(), 0);   // neither one point nor none is refused
}

TEST_F(RockingCurveTest, FormChangesDuringAScanTakeEffectAtTheNextPoint)
{
    open();
    // After the first of five points: Stop 8 V (completed with Return, which leaves the
    // window open), the Y output, and only two points.
    setScan("0", "4", 5);
    duringScanAt(20, [this] {
        enterText(child<QDoubleSpinBox>(window.get(), "boxStop"), QStringLiteral("8"));
        chooseText(child<QComboBox>(window.get(), "chSel"), QStringLiteral("posY"));
        replaceText(child<QSpinBox>(window.get(), "boxN"), QStringLiteral("2"));
    });
    scan();
    QList<QVector<double>> writes = dacWrites();
    ASSERT_EQ(writes.size(), 2);
    EXPECT_EQ(writes[0], QVector<double>({0.0, 2.5, 3.5, 0.0, 1.0}));
    EXPECT_EQ(writes[1], QVector<double>({1.5, 4.0, 3.5, 0.0, 1.0}));
    const QList<QVector<double>> reads = meterReads();
    ASSERT_EQ(reads.size(), 2);
    // The graphs keep the names of the scan's start but plot the new output's
    // electrodes: Top (channel 3) at index 1.
    EXPECT_EQ(plot->graph(0)->name(), QStringLiteral("left (ch 2)"));
    EXPECT_EQ(values(plot->graph(0))[1], reads[1][1]);
    EXPECT_EQ(progress->value(), 100);
    EXPECT_TRUE(window->isVisible());

    // With Sweep back, N is fixed at the start.
    setScan("0", "1", 4, "posX", true);
    duringScanAt(25, [this] { replaceText(child<QSpinBox>(window.get(), "boxN"), QStringLiteral("1")); });
    scan();
    EXPECT_EQ(dacWrites().size(), 4);
}

TEST_F(RockingCurveTest, StopDuringBetweenAndBeforeScans)
{
    open();
    const QVector<double> rest = {1.5, 2.5, 3.5, 0.0, 1.0};

    // Stop in the event processing after the first of five points: Return on the
    // focused button, as a click.
    setScan("0", "4", 5);
    duringScanAt(20, [this] { stop->setFocus(); QTest::keyClick(stop, Qt::Key_Return); });
    scan();
    QList<QVector<double>> writes = dacWrites();
    ASSERT_EQ(writes.size(), 2);
    EXPECT_EQ(writes[0], QVector<double>({0.0, 2.5, 3.5, 0.0, 1.0}));
    EXPECT_EQ(writes[1], rest);
    EXPECT_EQ(meterReads().size(), 1);
    EXPECT_EQ(progress->value(), 0);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux").last(), QStringLiteral("setOutputMux(1)"));
    EXPECT_EQ(SimCallLog::callsTo("close").size(), 2);
    EXPECT_EQ(plot->graph(0)->data()->size(), 1);

    // Leaving the program stops it the same way.
    duringScanAt(20, [] { OutputsGuard::stopHolder(); });
    scan();
    EXPECT_EQ(dacWrites(), QList<QVector<double>>({writes[0], rest}));
    EXPECT_FALSE(OutputsGuard::isHeld());

    // The flag was cleared: the next scan runs to its end. Keypad Enter held on the
    // focused Start starts it; Start disables itself, the focus moves on to Stop, and
    // the key's repeats click nothing.
    nivraSimClearCallLog();
    start->setFocus();
    duringScanAt(20, [this] { QTest::simulateEvent(stop, true, Qt::Key_Enter, Qt::KeypadModifier, QString(), true); });
    QTest::keyPress(start, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dacWrites().size(), 5);
    EXPECT_EQ(progress->value(), 100);

    // Stop after the last point still takes the stop path.
    setScan("0", "4", 2);
    duringScanAt(100, [this] { QTest::mouseClick(stop, Qt::LeftButton); });
    scan();
    writes = dacWrites();
    ASSERT_EQ(writes.size(), 3);
    EXPECT_EQ(writes[2], rest);
    EXPECT_EQ(progress->value(), 0);

    // Stop while idle: the next scan sets up, puts the rest values out and hands
    // the outputs back before its first point.
    QTest::mouseClick(stop, Qt::LeftButton);
    scan();
    EXPECT_EQ(dacWrites(), QList<QVector<double>>({rest}));
    EXPECT_TRUE(meterReads().isEmpty());
    EXPECT_EQ(handOverCalls(), QStringList({QStringLiteral("setFBenable(0)"), QStringLiteral("setOutputMux(0)"),
                                            QStringLiteral("setOutputMux(1)")}));
    // 0.8 s per point: Stop gets in within a tenth of a second, before the reading.
    setScan("0", "4", 3, "posX", false, "800");
    QTimer::singleShot(50, [this] { QTest::mouseClick(stop, Qt::LeftButton); });
    scan();
    EXPECT_TRUE(meterReads().isEmpty());
    EXPECT_EQ(dacWrites().constLast(), rest);
}

TEST_F(RockingCurveTest, ClosingOrStartingAgainDuringAScan)
{
    open();
    setScan("0", "4", 5);

    // A second Start during the event processing of a point is not a second scan.
    bool startEnabled = true;
    duringScanAt(20, [this, &startEnabled] {
        startEnabled = start->isEnabled();
        QTest::mouseClick(start, Qt::LeftButton);
        window->startMeasurement();
    });
    scan();
    EXPECT_FALSE(startEnabled);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(SimCallLog::callsTo("open").size(), 2);
    EXPECT_EQ(nivraSimCallCount("setFBenable"), 1);
    EXPECT_EQ(dacWrites().size(), 5);

    // Closing the window ends the scan the way Stop does.
    duringScanAt(40, [this] { window->reject(); });
    scan();
    EXPECT_FALSE(window->isVisible());
    const QList<QVector<double>> writes = dacWrites();
    ASSERT_EQ(writes.size(), 3);
    EXPECT_EQ(writes.last(), QVector<double>({1.5, 2.5, 3.5, 0.0, 1.0}));
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux").last(), QStringLiteral("setOutputMux(1)"));
}

TEST_F(RockingCurveTest, NodeMeterAndMapFailures)
{
    open();
    setScan("0", "1", 3);

    // Meter 1 missing: nothing is touched, the operator is told.
    nivraSimSetMeterPresent(0, 0);
    scan();
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(answerer.last().title, QStringLiteral("Cannot open file"));
    EXPECT_TRUE(answerer.last().text.startsWith(
        QStringLiteral("System file /dev/nivra_oscalon0 could not be opened.")));
    EXPECT_TRUE(handOverCalls().isEmpty());
    EXPECT_TRUE(dacWrites().isEmpty());
    EXPECT_EQ(SimCallLog::callsTo("close").size(), 1);   // the DAC node that did open
    EXPECT_FALSE(OutputsGuard::isHeld());
    nivraSimSetMeterPresent(0, 1);

    // An electrode or DAC map outside the four channels: refused before the feedback
    // or any node is touched.
    for (const char *key : {"BPM1/Left", "Beamline/DAC_I0"}) {
        answerer.clear();
        nivraSimClearCallLog();
        config.setValue(QString::fromLatin1(key), 4);
        scan();
        ASSERT_EQ(answerer.count(), 1) << key;
        EXPECT_EQ(answerer.last().kind, QStringLiteral("warning"));
        EXPECT_EQ(SimCallLog::calls(), QStringList()) << key;
        EXPECT_FALSE(OutputsGuard::isHeld());
        config.setValue(QString::fromLatin1(key), 2);
    }
}

// Points not measured (the DAC refused the record, which never reached the output, or
// the meter was gone) are gaps: no line across one, the voltage axis spans every
// voltage sent, a row names each and one box that blocks nothing says how many and why.
// A voltage measured on either leg of a sweep is no gap.
TEST_F(RockingCurveTest, PointsNotMeasuredAreGapsAndTold)
{
    open();
    const std::function<void(bool)> refuse = [](bool on) {
        on ? nivraSimFailCall("DAC_IOC_SET_OUTPUTS", -1) : nivraSimClearFaults();
    };
    const std::function<void(bool)> pull = [](bool on) { nivraSimSetMeterPresent(0, on ? 0 : 1); };
    // One point of one takes the singular.
    setScan("0", "5", 1);
    refuse(true);
    scan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.last().text.startsWith(QLatin1String("1 of 1 point could not")); }));
    // Five points, the fault from the point after `from` % to the one after `to` %;
    // the sum's line between `a` and `b` V drawn or not, and whether the curves are
    // marked.
    const struct { std::function<void(bool)> fault; int from, to; const char *start, *stop; bool sweepBack;
                   QVector<double> points; double last, a, b; bool line, marked; const char *told; } rows[] = {
        {refuse, 20, 60, "0", "5", false, {0.0, 3.0, 4.0}, 4.0, 0.0, 3.0, false, true,
         "2 of 5 points could not be measured; the plot leaves them out.\n\n"
         "The DAC refused the record: 2 (Input/output error).\n\nThe log names each voltage."},
        {pull, 40, 100, "0", "5", false, {0.0, 1.0}, 4.0, 0, 0, false, false,
         "3 of 5 points could not be measured; the plot leaves them out.\n\n"
         "The current meter could not be read: 3 (No such device)."},
        // 0.3, 0.65, 0.825, 0.65 refused on the way back, 0.475: 0.65 V was measured on
        // the way up, though by a sum that differs in its last bit.
        {refuse, 60, 80, "0.3", "1", true, {0.3, 1 + 0.75 * (0.3 - 1), 0.3 + 0.5 * (1 - 0.3), 1 + 0.25 * (0.3 - 1)},
         1 + 0.25 * (0.3 - 1), 0.3 + 0.5 * (1 - 0.3), 1 + 0.25 * (0.3 - 1), true, false,
         "1 of 5 points could not be measured; the plot leaves it out."},
        // 0, 0.5, 0.75 refused, 0.5, 0.25: the two 0.5 V points are one voltage.
        {refuse, 40, 60, "0", "1", true, {0.0, 0.25, 0.5, 0.5}, 0.75, 0, 0, false, false, "1 of 5 points"},
        // 0, 0.5 refused, 0.75, 0.5, 0.25: measured on the way back, 0.5 V is no gap.
        {refuse, 20, 40, "0", "1", true, {0.0, 0.25, 0.5, 0.75}, 0.75, 0.5, 0.75, true, false, "1 of 5 points"},
        // Falling: 5, 4 and 3 refused, 2, 1.
        {refuse, 20, 60, "5", "0", false, {1.0, 2.0, 5.0}, 1.0, 2.0, 5.0, false, true, "2 of 5 points"},
        {refuse, 0, 100, "0", "5", false, {}, 4.0, 0, 0, false, false, "5 of 5 points could not be measured"},
    };
    for (const auto &row : rows) {
        setScan(row.start, row.stop, 5, "posY", row.sweepBack);
        answerer.clear();
        LogCapture log;
        row.fault(row.from == 0);
        duringScanAt(row.from, [fault = row.fault] { fault(true); });
        duringScanAt(row.to, [fault = row.fault] { fault(false); });
        scan();
        EXPECT_EQ(dacWrites().size(), 5);
        EXPECT_EQ(keys(plot->graph(0), true), row.points);
        EXPECT_EQ(plot->xAxis->range(), QCPRange(QByteArray(row.start).toDouble(), row.last));
        EXPECT_EQ(progress->value(), 100);
        EXPECT_EQ(log.texts(Logging::WarnLevel).filter(QStringLiteral(" V: ")).size(), 5 - row.points.size());
        ASSERT_TRUE(QTest::qWaitFor([&] { return answerer.count() > 0; })) << row.told;
        EXPECT_TRUE(answerer.last().text.startsWith(QLatin1String(row.told)));
        EXPECT_EQ(plot->graph(2)->scatterStyle().isNone(), !row.marked) << row.told;
        if (row.a != row.b) {
            const QImage image = plot->toPixmap().toImage();
            const QCPGraph *sum = plot->graph(2);
            const auto at = [sum](double v) { return sum->coordsToPixels(v, sum->data()->findBegin(v, false)->value); };
            EXPECT_EQ(drawnAt(image, sum, (at(row.a) + at(row.b)) / 2), row.line) << row.told;
        }
    }
    QTest::qWait(50);
    EXPECT_EQ(answerer.count(), 1);

    // Microvolts apart, each its own point: 8.2 mV refused on the way up stays a gap
    // beside 8.235 mV measured on the way back.
    setScan("0", "0.01", 100, "posY", true);
    duringScanAt(41, [refuse] { refuse(true); });
    duringScanAt(42, [refuse] { refuse(false); });
    scan();
    EXPECT_EQ(keys(plot->graph(0)).size(), 100);
    EXPECT_EQ(keys(plot->graph(0), true).size(), 99);
}

// A failed switch is told; a curve is only what was measured with the outputs taken.
// A failed hand-back names the last record the DAC took, none before the first.
TEST_F(RockingCurveTest, FailedSwitchesAreTold)
{
    open();
    for (const auto &[call, n, points, told] :
         {std::tuple{"setOutputMux(1)", 0, 0, "host at the voltages they last held, where"},
          {"setOutputMux(1)", 20, 20, "host at CH1 4.75 V, CH2 2.5 V, CH3 3.5 V, CH4 0 V"},
          {"setOutputMux(1)", 0, 0, "host at CH1 4.75 V, CH2 2.5 V, CH3 3.5 V, CH4 0 V"},
          {"setFBenable(0)", 20, 0, "setFBenable(0) failed"}, {"setOutputMux(0)", 20, 0, "setOutputMux(0) failed.\n\nThe DAC outputs could not be taken from the feedback, which is now off"}}) {
        setScan("0", "5", n);
        nivraSimFailCall(call, -1);
        scan();
        nivraSimClearFaults();
        EXPECT_EQ(plot->graph(2)->data()->size(), points) << call;
        EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.last().text.contains(QLatin1String(told)); })) << call;
        EXPECT_EQ(SimCallLog::callsTo("close").size(), 2) << call;
        // Left on the host from the first row on, told at the end until a switch works.
        EXPECT_EQ(ShutdownReport::lines().size(), 1) << call;
    }
    scan();
    EXPECT_TRUE(ShutdownReport::lines().isEmpty());
}

// Wall clock, 10 ms per point: each actuator's rocking peak (X 4.6 V, Y 4.4 V, I0
// 4.2 V) shows as the largest summed current.
TEST_F(RockingCurveTest, RockingPeaksOfTheBeam)
{
    nivraSimUseManualClock(0);
    open();
    setScan("4", "5.2", 4, "posX", false, "10");
    scan();
    EXPECT_DOUBLE_EQ(peakKey(plot->graph(2)), 4.6);
    // The legend covers none of the points, the peak at the top among them.
    for (const QCPGraph *graph : {plot->graph(0), plot->graph(1), plot->graph(2)})
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            EXPECT_FALSE(plot->legend->outerRect().contains(graph->coordsToPixels(it->key, it->value).toPoint()));
    // Narrowed a pixel at a time, it keeps one row while the row fits its room, then
    // stacks the entries: what each resize draws cuts no name on either side of the switch.
    int switchedAt = 0;
    for (int width = window->width(); width >= 560 && !switchedAt; --width) {
        window->resize(width, window->height());
        EXPECT_GE(plot->legend->outerRect().width(), plot->legend->minimumOuterSizeHint().width()) << width;
        if (plot->legend->fillOrder() == QCPLayoutGrid::foRowsFirst)
            switchedAt = width;
    }
    EXPECT_GT(switchedAt, 560);
    setScan("3.8", "5", 4, "posY", false, "10");
    scan();
    EXPECT_DOUBLE_EQ(peakKey(plot->graph(2)), 4.4);
    setScan("3", "5.4", 8, "intI0", false, "10");
    scan();
    EXPECT_DOUBLE_EQ(peakKey(plot->graph(2)), 4.2);
    EXPECT_DOUBLE_EQ(peakKey(plot->graph(0)), 4.2);
}

} // namespace
