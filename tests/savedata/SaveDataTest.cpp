// The save-data window driven through its form: what one "Save" reads from the
// display node and writes to the file, the existing-file question, the file dialog,
// and the failures an operator can meet.

#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>

#include <memory>
#include <vector>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "DialogAnswerer.h"
#include "NivraSim.h"
#include "OperatorInput.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "WidgetLookup.h"
#include "WindowSaveData.h"

namespace {

const char *const kOptionalBoxes[] = {
    "checkOscalonch1", "checkOscalonch2", "checkOscalonch1_2", "checkOscalonch2_2",
    "checkBPMposX",    "checkBPMposY",    "checkBPMposX_2",    "checkBPMposY_2",
    "checkVennickch1", "checkVennickch2", "checkVennickch3",   "checkVennickch4"};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file's lines, each of which must end in CR LF.
QStringList crlfLines(const QByteArray &bytes)
{
    EXPECT_TRUE(bytes.isEmpty() || bytes.endsWith("\r\n"));
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    return lines;
}

// The display buffer as a fresh descriptor reads it now; with the manual clock
// standing still, these are the records a save just read.
std::vector<DisplayRecord> displayBuffer()
{
    std::vector<DisplayRecord> records(14336);
    const int fd = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(DeviceNode::read(fd, records.data(), records.size() * sizeof(DisplayRecord)),
              3670016);
    DeviceNode::close(fd);
    return records;
}

QString g(double v, int digits) { return QString::number(v, 'g', digits); }

class SaveDataTest : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("meas.csv"));
        window = std::make_unique<WindowSaveData>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        nivraSimClearCallLog();
    }

    void TearDown() override
    {
        window.reset();
        ProgramEnvironment::TearDown();
    }

    QPushButton *button(const QString &text) const
    {
        for (QAbstractButton *b : child<QDialogButtonBox>(window.get(), "buttonBox")->buttons()) {
            if (b->text() == text)
                return qobject_cast<QPushButton *>(b);
        }
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }
    void pressSave() { QTest::mouseClick(button(QStringLiteral("Save")), Qt::LeftButton); }

    QLineEdit *pathEdit() const { return child<QLineEdit>(window.get(), "pathLineEdit"); }
    QSpinBox *countBox() const { return child<QSpinBox>(window.get(), "nrSampBox"); }
    QString status() const { return child<QLabel>(window.get(), "statusLabel")->text(); }

    void setSamples(int n)
    {
        replaceText(countBox(), QString::number(n));
        ASSERT_EQ(countBox()->value(), n);
    }
    void tickAll(bool on)
    {
        for (const char *name : kOptionalBoxes)
            setChecked(child<QCheckBox>(window.get(), name), on);
    }
    void saveTo(const QString &file)
    {
        replaceText(pathEdit(), file);
        pressSave();
    }

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<WindowSaveData> window;
};

TEST_F(SaveDataTest, FormAsTheOperatorSeesIt)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Save data"));

    const struct {
        const char *name;
        const char *text;
        bool checked;
    } boxes[] = {{"checkOscalonch1", "BPM1 Tovash Enc1", false},
                 {"checkOscalonch1_2", "BPM2 Tovash Enc1", false},
                 {"checkOscalonch2_2", "BPM2 Tovash Enc2", false},
                 {"checkBPMposX", "BPM1 Pos X", true},
                 {"checkBPMposX_2", "BPM2 Pos X", true},
                 {"checkVennickch1", "Vennick Ch1", false},
                 {"checkVennickch4", "Vennick Ch4", false}};
    for (const auto &b : boxes) {
        auto *box = child<QCheckBox>(window.get(), b.name);
        EXPECT_EQ(box->text(), QString::fromLatin1(b.text));
        EXPECT_EQ(box->isChecked(), b.checked) << b.name;
        EXPECT_TRUE(box->isVisible()) << b.name;
    }
    EXPECT_FALSE(child<QCheckBox>(window.get(), "checkBPMi0")->isVisible());
    EXPECT_FALSE(child<QCheckBox>(window.get(), "checkBPMi0_2")->isVisible());

    EXPECT_EQ(child<QDialogButtonBox>(window.get(), "buttonBox")->buttonRole(button(QStringLiteral("Save"))),
              QDialogButtonBox::ApplyRole);

    // The count: box and slider show the same number whichever the operator moves.
    auto *slider = child<QSlider>(window.get(), "nrSampSlider");
    EXPECT_EQ(countBox()->value(), 1000);
    EXPECT_EQ(slider->value(), 1000);
    setSamples(10000);
    EXPECT_EQ(slider->value(), 10000);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Home);
    QTest::keyClick(slider, Qt::Key_Right);   // one step: 10 samples
    EXPECT_EQ(countBox()->value(), 10);
}

TEST_F(SaveDataTest, OneSaveWritesHeaderColumnsAndRowsOfTheDisplayBuffer)
{
    SAMP_FREQ = 2000;
    BPM_SCALE_X[0] = 2.0;
    BPM_SCALE_Y[0] = 0.5;
    BPM_SCALE_X[1] = -3.0;
    BPM_SCALE_Y[1] = 4.0;
    tickAll(true);
    child<QPlainTextEdit>(window.get(), "commentTextEdit")
        ->setPlainText(QStringLiteral("first line\nsecond: 5 \u00b5m"));
    setSamples(25);
    saveTo(path);

    const std::vector<DisplayRecord> records = displayBuffer();
    const QByteArray bytes = contents(path);
    // The two-line comment keeps its bare line feed, and is UTF-8.
    EXPECT_TRUE(bytes.contains("\r\nComment: first line\nsecond: 5 \xc2\xb5m\r\n"));

    const QStringList lines = crlfLines(bytes);
    ASSERT_EQ(lines.size(), 9 + 25);
    EXPECT_EQ(lines[0], QStringLiteral("Pardune Instruments NIVRA"));
    EXPECT_EQ(lines[1], QStringLiteral("Marvolent"));
    EXPECT_EQ(lines[2], QString());
    ASSERT_TRUE(lines[3].startsWith(QStringLiteral("Time and Date: ")));
    const QDateTime stamp = QDateTime::fromString(lines[3].mid(15), QStringLiteral("hh:mm:ss dd.MM.yyyy"));
    ASSERT_TRUE(stamp.isValid()) << lines[3].toStdString();
    EXPECT_LE(qAbs(stamp.secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_EQ(lines[4], QStringLiteral("Host Name: ") + QHostInfo::localHostName());
    EXPECT_EQ(lines[5], QString());
    EXPECT_EQ(lines[7], QString());
    EXPECT_EQ(lines[8], QStringLiteral("Nr, Rel. time, Tovash1 Enc0, Tovash1 Enc1, Tovash2 Enc0, "
                                       "Tovash2 Enc1, BPM1 PosX, BPM1 PosY, BPM2 PosX, BPM2 PosY, "
                                       "Vennick Ch1, Vennick Ch2, Vennick Ch3, Vennick Ch4, "));

    for (int i = 0; i < 25; ++i) {
        const DisplayRecord &r = records[static_cast<std::size_t>(i)];
        const QStringList fields{
            QString::number(i), g(double(float(i) / 2000.0f), 6),
            g(r.encoder[0][0], 12), g(r.encoder[0][1], 12), g(r.encoder[1][0], 12), g(r.encoder[1][1], 12),
            g(r.bpm1X * 2.0, 6), g(r.bpm1Y * 0.5, 6), g(r.bpm2X * -3.0, 6), g(r.bpm2Y * 4.0, 6),
            g(r.dac[0], 6), g(r.dac[1], 6), g(r.dac[2], 6), g(r.dac[3], 6)};
        EXPECT_EQ(lines[9 + i], fields.join(QStringLiteral(", ")) + QStringLiteral(", ")) << i;
    }
    EXPECT_EQ(lines[10].section(QLatin1Char(','), 1, 1).trimmed(), QStringLiteral("0.0005"));

    // One read of the whole display buffer, the node closed again.
    const QStringList nodeCalls = SimCallLog::linesOf({"open", "read", "close"});
    ASSERT_EQ(nodeCalls.size(), 6);   // the save's three, then the test's own
    EXPECT_TRUE(nodeCalls[0].startsWith(QStringLiteral("open(\"/dev/nivra_dma_displ\", 0) -> ")));
    const QString fd = nodeCalls[0].section(QLatin1String(" -> "), 1);
    EXPECT_EQ(nodeCalls[1], QStringLiteral("read(%1, buffer, 3670016) -> 3670016").arg(fd));
    EXPECT_EQ(nodeCalls[2], QStringLiteral("close(%1) -> 0").arg(fd));

    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d: Saved as: ")
                                   + QRegularExpression::escape(path) + QLatin1Char('$'))
                    .match(status())
                    .hasMatch())
        << status().toStdString();
}

TEST_F(SaveDataTest, RowWordsAndTheirTextForms)
{
    tickAll(true);
    setSamples(0);
    saveTo(path);

    DisplayRecord r{};
    for (int w = 0; w < 32; ++w) {
        const double v = 1000.0 + w + 0.123456789012345;
        std::memcpy(reinterpret_cast<unsigned char *>(&r) + 8 * w, &v, sizeof v);
    }
    BPM_SCALE_X[0] = 1.0;
    BPM_SCALE_Y[0] = 10.0;
    BPM_SCALE_X[1] = 100.0;
    BPM_SCALE_Y[1] = 1000.0;
    SAMP_FREQ = 3;
    EXPECT_EQ(window->dataRow(r, 7),
              QStringLiteral("7, 2.33333, 1024.12345679, 1025.12345679, 1028.12345679, "
                             "1029.12345679, 1000.12, 10011.2, 100412, 1.00512e+06, "
                             "1008.12, 1009.12, 1010.12, 1011.12, \r\n"));
    // The relative time is divided in single precision: in double it would be 8.00545.
    SAMP_FREQ = 1100;
    EXPECT_TRUE(window->dataRow(r, 8806).startsWith(QStringLiteral("8806, 8.00546, ")));
}

TEST_F(SaveDataTest, SampleCountAndColumnChoiceEdges)
{
    // No samples: the header block and the column line only.
    setSamples(0);
    saveTo(path);
    QStringList lines = crlfLines(contents(path));
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[8], QStringLiteral("Nr, Rel. time, BPM1 PosX, BPM1 PosY, BPM2 PosX, BPM2 PosY, "));

    // Every optional column off: index and time, each with its separator.
    const QString bare = dir.filePath(QStringLiteral("bare.csv"));
    tickAll(false);
    setSamples(10000);
    saveTo(bare);
    lines = crlfLines(contents(bare));
    ASSERT_EQ(lines.size(), 9 + 10000);
    EXPECT_EQ(lines[8], QStringLiteral("Nr, Rel. time, "));
    EXPECT_EQ(lines[9], QStringLiteral("0, 0, "));
    EXPECT_EQ(lines[10], QStringLiteral("1, 0.001, "));
    EXPECT_EQ(lines.last(), QStringLiteral("9999, 9.999, "));
    const QRegularExpression row(QStringLiteral("^\\d+, [0-9.e+-]+, $"));
    for (int i = 9; i < lines.size(); ++i)
        ASSERT_TRUE(row.match(lines[i]).hasMatch()) << lines[i].toStdString();
}

TEST_F(SaveDataTest, ExistingFileIsOverwrittenAppendedOrLeftAlone)
{
    const QByteArray old("earlier measurement\r\n");
    auto writeOld = [&] {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(old);
    };
    setSamples(3);

    // Return on the question appends: of the three answers, the one that loses nothing.
    writeOld();
    QTimer returnKey;
    QObject::connect(&returnKey, &QTimer::timeout, [&returnKey] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            returnKey.stop();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    returnKey.start(5);
    saveTo(path);
    EXPECT_TRUE(contents(path).startsWith(old + "Pardune Instruments NIVRA\r\n"));

    DialogAnswerer answerer(QMessageBox::No);

    writeOld();
    saveTo(path);
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(answerer.last().kind, QStringLiteral("warning"));
    EXPECT_EQ(answerer.last().title, QStringLiteral("File exists"));
    EXPECT_EQ(answerer.last().text,
              QStringLiteral("File: ") + path
                  + QStringLiteral(" already exist.\n\nOverwrite file?\n\nYes - overwrite file\n"
                                   "No - append to existing file\nCancel - cancel writing to file"));
    QByteArray bytes = contents(path);
    EXPECT_TRUE(bytes.startsWith(old + "Pardune Instruments NIVRA\r\n"));
    EXPECT_EQ(crlfLines(bytes).size(), 1 + 9 + 3);

    // The path stays: a second Save appends another block to the same file.
    pressSave();
    EXPECT_EQ(answerer.count(), 2);
    bytes = contents(path);
    EXPECT_EQ(crlfLines(bytes).size(), 1 + 2 * (9 + 3));
    EXPECT_EQ(bytes.count("Pardune Instruments NIVRA\r\n"), 2);

    answerer.setButton(QMessageBox::Yes);
    pressSave();
    bytes = contents(path);
    EXPECT_TRUE(bytes.startsWith("Pardune Instruments NIVRA\r\n"));
    EXPECT_EQ(crlfLines(bytes).size(), 9 + 3);

    // Cancel: the file stays as it was and the status line says nothing new.
    writeOld();
    const QString before = status();
    answerer.setButton(QMessageBox::Cancel);
    pressSave();
    EXPECT_EQ(answerer.count(), 4);
    EXPECT_EQ(contents(path), old);
    EXPECT_EQ(status(), before);
}

TEST_F(SaveDataTest, CloseButtonClosesWithoutSaving)
{
    replaceText(pathEdit(), path);
    QTest::mouseClick(button(QStringLiteral("Close")), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(SimCallLog::lines().isEmpty());
}

TEST_F(SaveDataTest, FileDialogProposesATimedNameAndFillsThePath)
{
    // The "..." button, over a path typed before: the proposal, as the dialog shows it.
    replaceText(pathEdit(), path);
    QString proposed, caption;
    QStringList filters;
    bool confirmsOverwrite = false;
    QTimer peek;
    QObject::connect(&peek, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *d = qobject_cast<QFileDialog *>(w);
            if (!d || !d->isVisible())
                continue;
            caption = d->windowTitle();
            filters = d->nameFilters();
            confirmsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
            if (auto *edit = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                proposed = edit->text();
            d->reject();
        }
    });
    peek.start(5);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QTest::mouseClick(child<QPushButton>(window.get(), "selectPathButton"), Qt::LeftButton);
    peek.stop();
    EXPECT_EQ(caption, QStringLiteral("Select filename..."));
    EXPECT_EQ(filters, QStringList{QStringLiteral("CSV files (*.csv)")});
    EXPECT_TRUE(confirmsOverwrite);
    ASSERT_TRUE(proposed.startsWith(QStringLiteral("NIVRA_meas_")) && proposed.endsWith(QStringLiteral(".csv")))
        << proposed.toStdString();
    const QDateTime when = QDateTime::fromString(proposed.mid(11, 19), QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    EXPECT_TRUE(when.isValid());
    EXPECT_LE(qAbs(before.secsTo(when)), 60);
    // Cancelled: the path typed stays.
    EXPECT_EQ(pathEdit()->text(), path);

    // Return in a field only completes its value: no file chooser opens.
    DialogAnswerer answerer(QMessageBox::Ok, path);
    enterText(countBox(), QStringLiteral("2"));
    EXPECT_EQ(answerer.count(), 0);

    // Save with no path asks for one first and writes there.
    pathEdit()->clear();
    pressSave();
    ASSERT_GE(answerer.count(), 1);
    EXPECT_EQ(answerer.seen().first().kind, QStringLiteral("file"));
    EXPECT_EQ(pathEdit()->text(), path);
    EXPECT_EQ(crlfLines(contents(path)).size(), 9 + 2);

    // Cancelling that dialog writes nothing and reports nothing as saved. Return held
    // on the focused Save asks once.
    const QString statusBefore = status();
    answerer.setFileName(QString());
    answerer.clear();
    pathEdit()->clear();
    QTest::keyPress(button(QStringLiteral("Save")), Qt::Key_Return);
    QTest::simulateEvent(button(QStringLiteral("Save")), true, Qt::Key_Return, {}, QString(), true);
    EXPECT_EQ(answerer.count(), 1);
    EXPECT_EQ(status(), statusBefore);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("meas.csv")});

    // A path typed by hand is used as it stands.
    const QString typed = dir.filePath(QStringLiteral("run 7.txt"));
    saveTo(typed);
    EXPECT_EQ(crlfLines(contents(typed)).size(), 9 + 2);
}

TEST_F(SaveDataTest, FailuresAreReportedAndNothingIsPassedOffAsSaved)
{
    DialogAnswerer answerer(QMessageBox::No);
    setSamples(1000);
    const QRegularExpression notSaved(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d: Not saved$"));

    // No display node.
    nivraSimFailNodeOpen("/dev/nivra_dma_displ", 1);
    saveTo(path);
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(answerer.last().kind, QStringLiteral("warning"));
    EXPECT_TRUE(answerer.last().text.contains(QLatin1String("/dev/nivra_dma_displ")));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(notSaved.match(status()).hasMatch()) << status().toStdString();
    nivraSimFailNodeOpen("/dev/nivra_dma_displ", 0);

    // Fewer records than asked for: no rows from bytes that never came.
    nivraSimShortRead(500);
    pressSave();
    ASSERT_EQ(answerer.count(), 2);
    EXPECT_TRUE(answerer.last().text.contains(QLatin1String("500 of 1000")));
    EXPECT_FALSE(QFile::exists(path));
    // Enough of them for a smaller count.
    setSamples(400);
    pressSave();
    EXPECT_EQ(answerer.count(), 2);
    EXPECT_EQ(crlfLines(contents(path)).size(), 9 + 400);
    nivraSimClearFaults();

    // A file that cannot be created.
    const QString nowhere = dir.filePath(QStringLiteral("missing/meas.csv"));
    saveTo(nowhere);
    ASSERT_EQ(answerer.count(), 3);
    EXPECT_TRUE(answerer.last().text.startsWith(QStringLiteral("Cannot write to file: ") + nowhere));
    EXPECT_TRUE(notSaved.match(status()).hasMatch());

    // A file that takes nothing: the existing-file question (appending), then the failure.
    saveTo(QStringLiteral("/dev/full"));
    ASSERT_EQ(answerer.count(), 5);
    EXPECT_EQ(answerer.seen()[3].title, QStringLiteral("File exists"));
    EXPECT_TRUE(answerer.last().text.contains(QLatin1String("/dev/full")));
    EXPECT_TRUE(notSaved.match(status()).hasMatch());
}

} // namespace
