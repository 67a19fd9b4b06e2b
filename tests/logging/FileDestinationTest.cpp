// File destination and size rotation: the byte count and its boundary, backup
// shifting, the backup limits, and the texts on standard error.

#include "DestinationFactory.h"
#include "FileDestination.h"
#include "LoggingTestSupport.h"
#include "SizeRotationStrategy.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Logging;
using LoggingTest::StderrCapture;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

LogMessage line(const QString &text)
{
    return LogMessage(text, QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9, 42), Qt::UTC), InfoLevel);
}

QByteArray bytesOf(const QString &text)
{
    return line(text).formatted().toUtf8() + "\n";
}

// Rotation whose file operations can be made to fail; it notes every call.
class StagedRotation : public SizeRotationStrategy
{
public:
    bool failRemove = false, failRename = false;
    QStringList calls;
    bool removeFile(const QString &path) override
    {
        calls << "remove " + QFileInfo(path).fileName();
        return !failRemove && SizeRotationStrategy::removeFile(path);
    }
    bool renameFile(const QString &from, const QString &to) override
    {
        calls << "rename " + QFileInfo(from).fileName() + " " + QFileInfo(to).fileName();
        return !failRename && SizeRotationStrategy::renameFile(from, to);
    }
};

class FileDestinationTest : public ::testing::Test
{
protected:
    QString path(const QString &name = "app.log") const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(FileDestinationTest, CountRotatesOnlyAboveTheMaximum)
{
    SizeRotationStrategy s;
    s.setMaxSize(1000);
    s.start(path(), 990);
    s.account(QByteArray(10, 'x'));
    EXPECT_FALSE(s.shouldRotate());   // equal to the maximum
    s.account(QString("ä"));          // two UTF-8 bytes
    EXPECT_EQ(s.currentSize(), 1002);
    EXPECT_TRUE(s.shouldRotate());

    s.setMaxBackups(25);
    EXPECT_EQ(s.maxBackups(), 10);
    s.setMaxBackups(-3);
    EXPECT_EQ(s.maxBackups(), -3);
}

TEST_F(FileDestinationTest, BackupsShiftUpToTheMaximumAndStopAtAGap)
{
    SizeRotationStrategy s;
    s.start(path(), 0);
    s.setMaxBackups(3);
    writeFile(path(), "log");
    writeFile(path("app.log.1"), "one");
    writeFile(path("app.log.2"), "two");
    writeFile(path("app.log.3"), "three");
    s.rotate();
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(readAll(path("app.log.1")), "log");
    EXPECT_EQ(readAll(path("app.log.2")), "one");
    EXPECT_EQ(readAll(path("app.log.3")), "two");
    EXPECT_FALSE(QFile::exists(path("app.log.4")));

    // A gap at name.2 stops the search: name.3 stays.
    QFile::remove(path("app.log.2"));
    writeFile(path(), "new");
    s.rotate();
    EXPECT_EQ(readAll(path("app.log.1")), "new");
    EXPECT_EQ(readAll(path("app.log.2")), "log");
    EXPECT_EQ(readAll(path("app.log.3")), "two");
}

TEST_F(FileDestinationTest, PercentSignsInThePathStayInBackupNames)
{
    const QString folder = path("run%1%2");
    QDir().mkpath(folder);
    const QString log = folder + "/app%1.log";
    writeFile(log, "log");
    writeFile(log + ".1", "one");
    auto d = makeFileDestination(log, SizeRotation, 5, 3);
    d->write(line("long enough to rotate"));
    EXPECT_EQ(readAll(log + ".1"), "log");
    EXPECT_EQ(readAll(log + ".2"), "one");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 3);
}

TEST_F(FileDestinationTest, ZeroAndNegativeBackupCounts)
{
    SizeRotationStrategy zero;
    zero.start(path(), 0);
    zero.setMaxBackups(0);
    writeFile(path(), "gone");
    writeFile(path("app.log.1"), "kept");
    zero.rotate();
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(readAll(path("app.log.1")), "kept");

    SizeRotationStrategy negative;
    negative.start(path(), 0);
    negative.setMaxBackups(-1);
    writeFile(path(), "log");
    writeFile(path("app.log.2"), "two");
    negative.rotate();
    EXPECT_EQ(readAll(path("app.log.1")), "log");   // the old name.1 replaced
    EXPECT_EQ(readAll(path("app.log.2")), "two");   // nothing shifted
}

TEST_F(FileDestinationTest, RotationFailuresAreReportedOnStandardError)
{
    StagedRotation del;
    del.start(path(), 0);
    del.failRemove = true;   // zero backups: the log is deleted
    StderrCapture err1;
    del.rotate();
    EXPECT_EQ(err1.text(), "Logger: backup delete failed " + path().toLocal8Bit());

    StagedRotation ren;
    ren.start(path(), 0);
    ren.setMaxBackups(3);
    writeFile(path(), "log");
    writeFile(path("app.log.1"), "one");
    ren.failRename = true;
    StderrCapture err2;
    ren.rotate();
    EXPECT_EQ(err2.text(), "Logger: could not rename backup " + path("app.log.1").toLocal8Bit() + " to "
                               + path("app.log.2").toLocal8Bit() + "Logger: could not rename log "
                               + path().toLocal8Bit() + " to " + path("app.log.1").toLocal8Bit());
    EXPECT_EQ(ren.calls, (QStringList{"remove app.log.2", "rename app.log.1 app.log.2",
                                      "remove app.log.1", "rename app.log app.log.1"}));
}

TEST_F(FileDestinationTest, RotatesBeforeTheLineThatCrossesTheMaximum)
{
    const LogMessage message = line("payload");
    const qint64 lineSize = message.formatted().toUtf8().size(), max = 1000;

    writeFile(path(), QByteArray(max - lineSize, 'a'));   // count ends exactly at max
    makeFileDestination(path(), SizeRotation, max, 3)->write(message);
    EXPECT_FALSE(QFile::exists(path("app.log.1")));
    EXPECT_EQ(QFileInfo(path()).size(), max + 1);   // appended; the line feed is not counted

    writeFile(path(), QByteArray(max - lineSize + 1, 'a'));   // one byte more
    auto d = makeFileDestination(path(), SizeRotation, max, 3);
    d->write(message);
    EXPECT_EQ(readAll(path("app.log.1")), QByteArray(max - lineSize + 1, 'a'));
    EXPECT_EQ(readAll(path()), bytesOf("payload"));
    d->write(message);   // the new count started at 0, without that line
    EXPECT_EQ(readAll(path()), bytesOf("payload") + bytesOf("payload"));
}

TEST_F(FileDestinationTest, WithoutRotationTheFileStartsEmpty)
{
    for (int option : {0, 7}) {   // anything but 1
        writeFile(path(), "old content\n");
        auto d = makeFileDestination(path(), option, 10, 3);
        EXPECT_EQ(d->type(), "file");
        d->write(line("a"));
        d->write(line("ü"));
        EXPECT_EQ(readAll(path()), bytesOf("a") + bytesOf("ü"));
        EXPECT_FALSE(QFile::exists(path("app.log.1")));
    }
}

TEST_F(FileDestinationTest, ZeroBackupsStartEachRotationWithAnEmptyLog)
{
    auto d = makeFileDestination(path(), SizeRotation, 10, 0);
    d->write(line("first"));
    d->write(line("second"));
    EXPECT_EQ(readAll(path()), bytesOf("second"));
    EXPECT_FALSE(QFile::exists(path("app.log.1")));
}

TEST_F(FileDestinationTest, OpenAndReopenFailuresAreReported)
{
    const QString bad = path("no/such/dir/app.log");
    StderrCapture err;
    auto d = makeFileDestination(bad, SizeRotation, 1 << 20, 3);
    EXPECT_FALSE(d->isValid());
    d->write(line("lost"));   // lost without Qt's own warnings
    EXPECT_EQ(err.text(), "Logger: could not open log file " + bad.toLocal8Bit());

    // A rotation that takes the log's folder away, so that the reopen fails.
    struct Vanishing : SizeRotationStrategy {
        QString folder;
        void rotate() override { QDir(folder).removeRecursively(); }
    };
    const QString sub = path("sub"), file = sub + "/app.log";
    QDir().mkpath(sub);
    auto strategy = std::make_unique<Vanishing>();
    strategy->folder = sub;
    strategy->setMaxSize(5);
    FileDestination f(file, std::move(strategy));
    ASSERT_TRUE(f.isValid());
    StderrCapture err2;
    f.write(line("too long for five bytes"));
    EXPECT_EQ(err2.text(), "Logger: could not reopen log file " + file.toLocal8Bit());
    EXPECT_FALSE(f.isValid());
}
