// The 3-D rocking scan window driven as an operator drives it, on a real display
// (Xvfb), against the controller simulator. The scan's pauses move the simulator's
// clock instead of sleeping, so a whole 64 x 64 raster takes seconds; Stop and
// Close are clicked from inside the scan, where the operator's clicks arrive.

#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <functional>
#include <memory>
#include <vector>

#include "DialogAnswerer.h"
#include "Graph3D.h"
#include "LogCapture.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "OutputsGuard.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "SurfacePlot.h"
#include "WidgetLookup.h"
#include "WindowRocking3D.h"

namespace {

constexpr int kGrid = 64;
constexpr int kSleepsPerPoint = 12;   // before the readings, ten readings, after the update

// The scan's pauses: counted, turned into simulated time, and a test's action run
// at a chosen pause.
int sleepCount = 0;
std::vector<std::pair<int, std::function<void()>>> actions;

void simulatedSleep(unsigned long microseconds)
{
    ++sleepCount;
    nivraSimAdvance(static_cast<double>(microseconds) * 1e-6);
    for (auto &action : actions)
        if (action.first == sleepCount)
            action.second();
}

// Clicks `button` during the event processing that ends point `point` (from 1).
void clickAfterPoint(int point, QAbstractButton *button)
{
    actions.emplace_back(kSleepsPerPoint * point, [button] {
        QMetaObject::invokeMethod(
            button, [button] { QTest::mouseClick(button, Qt::LeftButton); }, Qt::QueuedConnection);
    });
}

// A number as the export writes it.
QString number(double v)
{
    return QString::number(v, 'g', 6);
}

// A number as the call log writes it.
QString shortest(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// The four currents of a CurrentReadings line of the call log.
bool parseReadings(const QString &line, double amps[4])
{
    static const QRegularExpression re(QStringLiteral(R"(CurrentReadings\{([^,]+), ([^,]+), ([^,]+), ([^}]+)\})"));
    const QRegularExpressionMatch m = re.match(line);
    if (!m.hasMatch())
        return false;
    for (int k = 0; k < 4; ++k)
        amps[k] = m.captured(k + 1).toDouble();
    return true;
}

// The raw means the scan should have found, from the readings in the call log.
std::vector<float> rawMeansFromLog()
{
    std::vector<float> means;
    float sum = 0.0f;
    int n = 0;
    for (const QString &line : SimCallLog::linesOf({"ioctl"})) {
        if (!line.contains(QStringLiteral("0x8008421e")))
            continue;
        double amps[4] = {0, 0, 0, 0};
        parseReadings(line, amps);
        sum = static_cast<float>(sum + (((amps[3] + amps[2]) + amps[1]) + amps[0]));
        if (++n == 10) {
            means.push_back(sum / 10.0f);
            sum = 0.0f;
            n = 0;
        }
    }
    return means;
}

QStringList dacWrites()
{
    QStringList writes;
    for (const QString &call : SimCallLog::callsTo("ioctl"))
        if (call.contains(QStringLiteral("0x40084228")))
            writes.append(call.section(QStringLiteral("DacOutputs"), 1).chopped(1));   // without ")"
    return writes;
}

int meterReads()
{
    int n = 0;
    for (const QString &call : SimCallLog::callsTo("ioctl"))
        n += call.contains(QStringLiteral("0x8008421e"));
    return n;
}

class Rocking3DTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "OpenGL widgets need an X display: run under xvfb-run with QT_QPA_PLATFORM=xcb";
        ASSERT_TRUE(files.isValid());
        sleepCount = 0;
        actions.clear();
        WindowRocking3D::setSleepFunctionForTesting(simulatedSleep);
        window = std::make_unique<WindowRocking3D>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        nivraSimClearCallLog();
    }

    void TearDown() override
    {
        window.reset();
        actions.clear();
        WindowRocking3D::setSleepFunctionForTesting(nullptr);
        ProgramEnvironment::TearDown();
    }

    template <typename T>
    T *ui(const char *name)
    {
        return child<T>(window.get(), name);
    }

    QPushButton *closeButton()
    {
        return ui<QDialogButtonBox>("buttonBox")->button(QDialogButtonBox::Close);
    }

    void setBox(const char *name, const QString &text, double expected)
    {
        auto *box = ui<QDoubleSpinBox>(name);
        enterText(box, text);
        ASSERT_DOUBLE_EQ(box->value(), expected) << name;
    }

    void go()
    {
        QTest::mouseClick(ui<QPushButton>("goButton"), Qt::LeftButton);
    }

    // Saves through the file dialog and returns the file's lines (without CR LF),
    // checking that every line ends in CR LF.
    QStringList saveAndRead(const QString &name)
    {
        const QString path = files.filePath(name);
        DialogAnswerer answerer(QMessageBox::Ok, path);
        QTest::mouseClick(ui<QPushButton>("saveButton"), Qt::LeftButton);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
        QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    const SurfacePlot *surface() { return ui<Graph3D>("graph3D")->surface(); }

    QTemporaryDir files;
    std::unique_ptr<WindowRocking3D> window;
};

} // namespace

TEST_F(Rocking3DTest, OpensOnAFlatSurfaceWithoutTouchingTheDevice)
{
    // The constructor hands the all-zero grid to the view.
    ASSERT_EQ(surface()->quads().size(), 63 * 63);
    for (const SurfaceQuad &q : surface()->quads())
        ASSERT_EQ(q.blue(), 1.0f);
    EXPECT_TRUE(SimCallLog::lines().isEmpty()) << "nothing reaches the device before Go";
}

TEST_F(Rocking3DTest, FullScanRastersBothDacsAndExportsTheMeans)
{
    setBox("timeBox", QStringLiteral("5"), 5.0);
    // Hidden, the surface is not redrawn 4096 times by the software renderer
    // (minutes); the shorter scans below run with the window shown.
    window->hide();
    go();

    const QStringList calls = SimCallLog::calls();
    ASSERT_GE(calls.size(), 8);
    const int flags = O_RDWR | O_SYNC;
    EXPECT_EQ(calls[0], QStringLiteral("open(\"/dev/nivra_oscalon0\", %1)").arg(flags));
    EXPECT_EQ(calls[1], QStringLiteral("open(\"/dev/nivra_vennick0\", %1)").arg(flags));
    EXPECT_EQ(calls[2], QStringLiteral("setFBenable(0)"));
    EXPECT_EQ(calls[3], QStringLiteral("setOutputMux(0)"));
    EXPECT_TRUE(calls[4].startsWith(QStringLiteral("ioctl(1001, 0x40084228, DacOutputs{4, 4, 0, 0, 1}")))
        << calls[4].toStdString();
    for (int k = 5; k < 15; ++k)
        EXPECT_TRUE(calls[k].startsWith(QStringLiteral("ioctl(1000, 0x8008421e, *CurrentReadings{"))) << k;
    EXPECT_EQ(calls[calls.size() - 3], QStringLiteral("setOutputMux(1)"));
    EXPECT_EQ(calls[calls.size() - 2], QStringLiteral("close(1000)"));
    EXPECT_EQ(calls[calls.size() - 1], QStringLiteral("close(1001)"));
    EXPECT_EQ(SimCallLog::callsTo("setFBenable").size(), 1);
    EXPECT_EQ(nivraSimSetting("feedbackOn", 0), 0.0);

    // X on DAC channel 1, Y on channel 2, Y fastest, both ends included.
    const QStringList writes = dacWrites();
    ASSERT_EQ(writes.size(), kGrid * kGrid);
    EXPECT_EQ(writes[1], QStringLiteral("{4, %1, 0, 0, 1}").arg(shortest(4.0 + (1.0 / 63.0) * 2.0)));
    EXPECT_EQ(writes[63], QStringLiteral("{4, 6, 0, 0, 1}"));
    EXPECT_EQ(writes[64], QStringLiteral("{%1, 4, 0, 0, 1}").arg(shortest(4.0 + (1.0 / 63.0) * 2.0)));
    EXPECT_EQ(writes.last(), QStringLiteral("{6, 6, 0, 0, 1}"));
    EXPECT_EQ(meterReads(), 10 * kGrid * kGrid);
    EXPECT_DOUBLE_EQ(nivraSimSetting("hostDac", 0), 6.0) << "the host's outputs keep the last point";
    EXPECT_DOUBLE_EQ(nivraSimSetting("hostDac", 1), 6.0);
    EXPECT_TRUE(ui<QPushButton>("goButton")->isEnabled());

    // The surface: normalised to 0 .. 1, highest where the simulated beam peaks
    // (X 4.6 V, Y 4.4 V: i about 19, j about 13).
    const std::vector<float> means = rawMeansFromLog();
    ASSERT_EQ(means.size(), std::size_t(kGrid * kGrid));
    int peak = 0;
    for (int k = 0; k < kGrid * kGrid; ++k)
        if (means[k] > means[peak])
            peak = k;
    const int iPeak = peak / kGrid;
    const int jPeak = peak % kGrid;
    EXPECT_NEAR(iPeak, 19, 2);
    EXPECT_NEAR(jPeak, 13, 2);
    float zMax = -1.0f;
    float xAtMax = -1.0f;
    float yAtMax = -1.0f;
    float zMin = 2.0f;
    for (const SurfaceQuad &q : surface()->quads())
        for (int c = 0; c < 4; ++c) {
            if (q.vertex(c, 2) > zMax) {
                zMax = q.vertex(c, 2);
                xAtMax = q.vertex(c, 0);
                yAtMax = q.vertex(c, 1);
            }
            zMin = std::min(zMin, q.vertex(c, 2));
        }
    EXPECT_FLOAT_EQ(zMax, 1.0f);
    EXPECT_FLOAT_EQ(zMin, 0.0f);
    EXPECT_FLOAT_EQ(xAtMax, static_cast<float>(jPeak) * (1.0f / 63.0f));
    EXPECT_FLOAT_EQ(yAtMax, static_cast<float>(iPeak) * (1.0f / 63.0f));

    // The export: header, column line, 4096 rows of x, y and the raw mean.
    const QStringList lines = saveAndRead(QStringLiteral("full.csv"));
    ASSERT_EQ(lines.size(), 5 + 1 + kGrid * kGrid);
    EXPECT_EQ(lines[0], QStringLiteral("Pardune Instruments NIVRA"));
    EXPECT_EQ(lines[5], QStringLiteral("ch0,ch1,I0"));
    for (int i = 0; i < kGrid; ++i)
        for (int j = 0; j < kGrid; ++j) {
            const QString expected = number(4.0 + (i / 63.0) * 2.0) + QLatin1Char(',')
                                     + number(4.0 + (j / 63.0) * 2.0) + QLatin1Char(',')
                                     + number(means[i * kGrid + j]);
            ASSERT_EQ(lines[6 + i * kGrid + j], expected) << i << "," << j;
        }
}

TEST_F(Rocking3DTest, StopAfterTheFirstPointKeepsItAndGivesTheOutputsBack)
{
    clickAfterPoint(1, ui<QPushButton>("stopButton"));
    go();

    EXPECT_EQ(dacWrites().size(), 1);
    EXPECT_EQ(meterReads(), 10);
    const QStringList calls = SimCallLog::calls();
    ASSERT_GE(calls.size(), 3);
    EXPECT_EQ(calls[calls.size() - 3], QStringLiteral("setOutputMux(1)"));
    EXPECT_EQ(calls[calls.size() - 2], QStringLiteral("close(1000)"));
    EXPECT_EQ(calls[calls.size() - 1], QStringLiteral("close(1001)"));

    // The measured point is the maximum and normalises to 1, every unmeasured
    // zero to 0.
    const QVector<SurfaceQuad> &quads = surface()->quads();
    ASSERT_EQ(quads.size(), 63 * 63);
    EXPECT_FLOAT_EQ(quads[0].vertex(0, 2), 1.0f);
    int raised = 0;
    for (const SurfaceQuad &q : quads)
        for (int c = 0; c < 4; ++c)
            raised += q.vertex(c, 2) != 0.0f;
    EXPECT_EQ(raised, 1);

    const std::vector<float> means = rawMeansFromLog();
    ASSERT_EQ(means.size(), 1u);
    EXPECT_GT(means[0], 0.0f);
    const QStringList lines = saveAndRead(QStringLiteral("stopped.csv"));
    ASSERT_EQ(lines.size(), 6 + kGrid * kGrid);
    EXPECT_EQ(lines[6], QStringLiteral("4,4,") + number(means[0]));
    EXPECT_EQ(lines[7], QStringLiteral("4,") + number(4.0 + 2.0 / 63.0) + QStringLiteral(",nan"));
    EXPECT_EQ(lines.last(), QStringLiteral("6,6,nan"));   // never reached, not 0 A
}

TEST_F(Rocking3DTest, SlowStepsLetStopInWithinATenthOfASecond)
{
    setBox("timeBox", QStringLiteral("1000"), 1000.0);
    auto *stop = ui<QPushButton>("stopButton");
    actions.emplace_back(3, [stop] {
        QMetaObject::invokeMethod(stop, [stop] { QTest::mouseClick(stop, Qt::LeftButton); }, Qt::QueuedConnection);
    });
    go();
    EXPECT_EQ(sleepCount, 3);   // 0.3 s into the first point's settling
    EXPECT_EQ(meterReads(), 0);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux").constLast(), QStringLiteral("setOutputMux(1)"));
}

TEST_F(Rocking3DTest, DownwardXAndConstantY)
{
    setBox("xMinBox", QStringLiteral("6"), 6.0);
    setBox("xMaxBox", QStringLiteral("4"), 4.0);
    setBox("yMinBox", QStringLiteral("5"), 5.0);
    setBox("yMaxBox", QStringLiteral("5"), 5.0);
    clickAfterPoint(66, ui<QPushButton>("stopButton"));
    go();

    const QStringList writes = dacWrites();
    ASSERT_EQ(writes.size(), 66);
    for (int k = 0; k < 64; ++k)
        ASSERT_EQ(writes[k], QStringLiteral("{6, 5, 0, 0, 1}")) << k;
    EXPECT_EQ(writes[64], QStringLiteral("{%1, 5, 0, 0, 1}").arg(shortest(6.0 + (1.0 / 63.0) * -2.0)));

    // Changing the boxes after the scan does not change what the export writes.
    setBox("yMaxBox", QStringLiteral("9"), 9.0);
    const QStringList lines = saveAndRead(QStringLiteral("downward.csv"));
    ASSERT_EQ(lines.size(), 6 + kGrid * kGrid);
    double previousX = 7.0;
    for (int i = 0; i < kGrid; ++i) {
        const double x = lines[6 + i * kGrid].section(QLatin1Char(','), 0, 0).toDouble();
        EXPECT_LT(x, previousX) << i;
        previousX = x;
        for (int j = 0; j < kGrid; ++j)
            ASSERT_EQ(lines[6 + i * kGrid + j].section(QLatin1Char(','), 1, 1), QStringLiteral("5"));
    }
    EXPECT_DOUBLE_EQ(previousX, 4.0);
}

TEST_F(Rocking3DTest, CloseDuringAScanStopsItAndClosesTheWindow)
{
    clickAfterPoint(2, closeButton());
    go();

    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_EQ(dacWrites().size(), 2);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux").last(), QStringLiteral("setOutputMux(1)"));
    EXPECT_EQ(SimCallLog::callsTo("close").size(), 2);
    // The grid keeps the two measured points.
    const QVector<SurfaceQuad> &quads = surface()->quads();
    int raised = 0;
    for (const SurfaceQuad &q : quads)
        for (int c = 0; c < 4; ++c)
            raised += q.vertex(c, 2) != 0.0f;
    EXPECT_EQ(raised, 3) << "point (0, 1) is the corner of two quads";
}

TEST_F(Rocking3DTest, ClosingTheWindowOtherwiseAlsoStopsTheScan)
{
    // The title bar's close button and Escape bypass the Close button.
    actions.emplace_back(kSleepsPerPoint * 2, [this] {
        QMetaObject::invokeMethod(window.get(), [this] { window->close(); }, Qt::QueuedConnection);
    });
    go();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(dacWrites().size(), 2);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux").last(), QStringLiteral("setOutputMux(1)"));

    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    nivraSimClearCallLog();
    actions.clear();
    sleepCount = 0;
    actions.emplace_back(kSleepsPerPoint, [this] {
        QMetaObject::invokeMethod(
            window.get(), [this] { QTest::keyClick(window.get(), Qt::Key_Escape); }, Qt::QueuedConnection);
    });
    go();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(dacWrites().size(), 1);
}

TEST_F(Rocking3DTest, RefusedScanKeepsTheLastGridWithItsCoordinates)
{
    clickAfterPoint(1, ui<QPushButton>("stopButton"));
    go();
    const std::vector<float> means = rawMeansFromLog();
    ASSERT_EQ(means.size(), 1u);

    setBox("xMinBox", QStringLiteral("0"), 0.0);
    setBox("yMaxBox", QStringLiteral("9"), 9.0);
    nivraSimFailNodeOpen("/dev/nivra_vennick0", 1);
    {
        DialogAnswerer answerer;
        go();
        ASSERT_EQ(answerer.count(), 1);
    }
    const QStringList lines = saveAndRead(QStringLiteral("refused.csv"));
    ASSERT_EQ(lines.size(), 6 + kGrid * kGrid);
    EXPECT_EQ(lines[6], QStringLiteral("4,4,") + number(means[0]));
    EXPECT_EQ(lines.last(), QStringLiteral("6,6,nan"));
}

TEST_F(Rocking3DTest, GoIsRefusedDuringAScanAndAnIdleStopIsForgotten)
{
    // Stop while idle: the next scan still runs.
    QTest::mouseClick(ui<QPushButton>("stopButton"), Qt::LeftButton);

    bool goEnabledDuringScan = true;
    actions.emplace_back(kSleepsPerPoint, [&] {
        QMetaObject::invokeMethod(
            window.get(),
            [&] {
                auto *goButton = ui<QPushButton>("goButton");
                goEnabledDuringScan = goButton->isEnabled();
                QTest::mouseClick(goButton, Qt::LeftButton);
                window->startMeasurement();   // a late Go that got through
            },
            Qt::QueuedConnection);
    });
    clickAfterPoint(3, ui<QPushButton>("stopButton"));
    go();

    EXPECT_FALSE(goEnabledDuringScan);
    EXPECT_EQ(dacWrites().size(), 3);
    EXPECT_EQ(SimCallLog::callsTo("setFBenable").size(), 1);
    EXPECT_EQ(SimCallLog::callsTo("open").size(), 2);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux"),
              (QStringList{QStringLiteral("setOutputMux(0)"), QStringLiteral("setOutputMux(1)")}));
    EXPECT_TRUE(ui<QPushButton>("goButton")->isEnabled());
    EXPECT_FALSE(window->isScanning());
}

TEST_F(Rocking3DTest, NodeThatDoesNotOpenOrALimitBeyondTheDacIsRefusedAndNothingIsTouched)
{
    // Also a limit the DAC cannot put out (-12 .. 12 V), at either end of either
    // range: refused before any node opens; the message names the range.
    const struct {
        const char *path;
        QStringList closes;
        double limits[4] = {4, 6, 4, 6};   // X min, X max, Y min, Y max
    } cases[] = {{"/dev/nivra_vennick0", {QStringLiteral("close(1000)")}},
                 {"/dev/nivra_oscalon0", {QStringLiteral("close(1000)")}},
                 {"-12 V to 12 V", {}, {4, 6, -12.01, 6}}, {"-12 V to 12 V", {}, {4, 6, 4, 12.01}},
                 {"-12 V to 12 V", {}, {4, 6, 4, -12.01}}, {"-12 V to 12 V", {}, {4, 12.01, 4, 6}},
                 {"-12 V to 12 V", {}, {4, -12.01, 4, 6}}};
    for (const auto &c : cases) {
        nivraSimClearFaults();
        const double *limit = c.limits;
        for (const char *name : {"xMinBox", "xMaxBox", "yMinBox", "yMaxBox"})
            ui<QDoubleSpinBox>(name)->setValue(*limit++);
        if (!c.closes.isEmpty())
            nivraSimFailNodeOpen(c.path, 1);
        nivraSimClearCallLog();
        DialogAnswerer answerer;
        go();
        ASSERT_EQ(answerer.count(), 1) << c.path;
        EXPECT_EQ(answerer.last().kind, QStringLiteral("warning"));
        EXPECT_EQ(answerer.last().title, QLatin1String(c.closes.isEmpty() ? "3D Rocking Curve" : "Cannot open file"));
        EXPECT_TRUE(answerer.last().text.contains(QString::fromLatin1(c.path)));
        EXPECT_EQ(SimCallLog::callsTo("setFBenable").size(), 0);
        EXPECT_EQ(SimCallLog::callsTo("setOutputMux").size(), 0);
        EXPECT_EQ(SimCallLog::callsTo("ioctl").size(), 0);
        EXPECT_EQ(SimCallLog::callsTo("close"), c.closes) << c.path;
        EXPECT_TRUE(ui<QPushButton>("goButton")->isEnabled());
        EXPECT_FALSE(OutputsGuard::isHeld());
    }
}

// A failed switch is told; no point without the take-over, the measured grid stays.
TEST_F(Rocking3DTest, FailedSwitchesAreTold)
{
    clickAfterPoint(1, ui<QPushButton>("stopButton"));   // the first case's one point
    DialogAnswerer answerer;
    for (const auto &[call, points, told] :
         {std::tuple{"setOutputMux(1)", 1, "host at CH1 4 V, CH2 4 V, CH3 0 V, CH4 0 V"},
          {"setFBenable(0)", 0, "setFBenable(0) failed"}, {"setOutputMux(0)", 0, "setOutputMux(0) failed.\n\nThe DAC outputs could not be taken from the feedback, which is now off"}}) {
        nivraSimFailCall(call, -1);
        nivraSimClearCallLog();
        go();
        nivraSimClearFaults();
        EXPECT_EQ(dacWrites().size(), points) << call;
        EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.last().text.contains(QLatin1String(told)); })) << call;
        EXPECT_FLOAT_EQ(surface()->quads()[0].vertex(0, 2), 1.0f) << call;
    }
}

// A meter pulled (or a DAC refusing) after the first point: the second point has no
// reading, which is neither averaged in as 0 A nor scanned past; the operator is told.
TEST_F(Rocking3DTest, PulledMeterStopsTheScanAndItsPointIsNoValue)
{
    LogCapture log;
    DialogAnswerer answerer(QMessageBox::Ok);
    actions.emplace_back(kSleepsPerPoint, [] { nivraSimSetMeterPresent(0, 0); });
    go();

    EXPECT_EQ(meterReads(), 20);
    EXPECT_EQ(SimCallLog::callsTo("setOutputMux").last(), QStringLiteral("setOutputMux(1)"));
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(answerer.last().kind, QStringLiteral("warning"));
    EXPECT_TRUE(answerer.last().text.contains(QStringLiteral("after 1 of 4096 points")));
    EXPECT_EQ(surface()->quads()[0].vertex(0, 2), 1.0f);   // point 1, measured
    EXPECT_EQ(surface()->quads()[0].vertex(1, 2), 0.0f);   // point 2, on the floor

    const QStringList lines = saveAndRead(QStringLiteral("pulled.csv"));
    ASSERT_EQ(lines.size(), 6 + kGrid * kGrid);
    EXPECT_GT(lines[6].section(QLatin1Char(','), 2).toDouble(), 1e-8);
    EXPECT_EQ(lines[7].section(QLatin1Char(','), 2), QStringLiteral("nan"));
    EXPECT_EQ(lines[8].section(QLatin1Char(','), 2), QStringLiteral("nan"));   // not reached
    EXPECT_FALSE(OutputsGuard::isHeld());
    const QStringList warnings = log.texts(Logging::WarnLevel).filter(QStringLiteral("currents"));
    EXPECT_EQ(warnings.size(), 1) << warnings.join(QLatin1Char('\n')).toStdString();

    // A DAC that refuses the second point's record ends the scan there too, with no
    // readings at a position never reached.
    nivraSimSetMeterPresent(0, 1);
    sleepCount = 0;
    actions = {{kSleepsPerPoint, [] { nivraSimFailCall("DAC_IOC_SET_OUTPUTS", -1); }}};
    nivraSimClearCallLog();
    go();
    EXPECT_EQ(meterReads(), 10);
    EXPECT_TRUE(answerer.last().text.startsWith(QStringLiteral("The DAC outputs could not be set (Input/output error).")));
    EXPECT_EQ(saveAndRead(QStringLiteral("refused.csv")).mid(6, 3).join(QLatin1Char(';')).count(QLatin1String("nan")), 2);
}

TEST_F(Rocking3DTest, ExportDialogNamesAndCancel)
{
    // Look at the dialog before answering it.
    QString title;
    QStringList filters;
    QString proposed;
    QTimer watcher;
    watcher.setInterval(5);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        watcher.stop();
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            proposed = edit->text();
        dialog->reject();
    });
    watcher.start();
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(files.path());
    QTest::mouseClick(ui<QPushButton>("saveButton"), Qt::LeftButton);
    QDir::setCurrent(previousDir);

    EXPECT_EQ(title, QStringLiteral("DialogTitle"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("CSV files (*.csv)")});
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^NIVRA_rock3D_\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.csv$)"))
                    .match(proposed)
                    .hasMatch())
        << proposed.toStdString();
    EXPECT_TRUE(QDir(files.path()).entryList(QDir::Files).isEmpty()) << "cancel writes nothing";
}

TEST_F(Rocking3DTest, ExportBeforeAnyScanUsesTheBoxes)
{
    setBox("xMinBox", QStringLiteral("1"), 1.0);
    setBox("xMaxBox", QStringLiteral("3"), 3.0);
    setBox("yMinBox", QStringLiteral("-2"), -2.0);
    setBox("yMaxBox", QStringLiteral("-2"), -2.0);
    const QStringList lines = saveAndRead(QStringLiteral("before.csv"));
    ASSERT_EQ(lines.size(), 6 + kGrid * kGrid);
    EXPECT_EQ(lines[6], QStringLiteral("1,-2,nan"));   // nothing measured yet
    EXPECT_EQ(lines[6 + kGrid], QStringLiteral("%1,-2,nan").arg(number(1.0 + 2.0 / 63.0)));
    EXPECT_EQ(lines.last(), QStringLiteral("3,-2,nan"));
    EXPECT_TRUE(SimCallLog::lines().isEmpty());
}

TEST_F(Rocking3DTest, ExportToAnUnwritablePlaceIsReported)
{
    // A file that opens but does not take the data (a full disk). Through a link:
    // a file dialog in /dev would hang reading its devices.
    const QString full = files.filePath(QStringLiteral("full.csv"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), full));
    DialogAnswerer answerer(QMessageBox::Yes, full);   // Yes: replace it
    QTest::mouseClick(ui<QPushButton>("saveButton"), Qt::LeftButton);
    EXPECT_EQ(answerer.last().title, QStringLiteral("Cannot write file"));
    EXPECT_TRUE(answerer.last().text.startsWith(full + QStringLiteral(" could not be written")));

    // A folder that exists but takes no new files, whoever runs the test.
    const QString path = QStringLiteral("/proc/nivra-rock3d-test.csv");
    answerer.clear();
    answerer.setFileName(path);
    QTest::mouseClick(ui<QPushButton>("saveButton"), Qt::LeftButton);
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(answerer.count(), 2);
    EXPECT_EQ(answerer.seen()[0].kind, QStringLiteral("file"));
    EXPECT_EQ(answerer.last().kind, QStringLiteral("warning"));
    EXPECT_EQ(answerer.last().title, QStringLiteral("Cannot open file"));
    EXPECT_TRUE(answerer.last().text.startsWith(path));
}
