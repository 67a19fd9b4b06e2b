// File destination and size rotation: the byte count and its boundary, backup
// shifting, the maximum count of backups, and the texts on standard error.

#include "DestinationFactory.h"
#include "FileDestination.h"
#include "LoggingTestSupport.h"
#include "NullRotationStrategy.h"
#include "SizeRotationStrategy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Logging;
using LoggingTest::StderrCapture;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

LogMessage line(const QString &text, Level level = InfoLevel)
{
    return LogMessage(text, QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9, 42), Qt::UTC), level);
}

// Rotation whose file operations can be made to fail.
class FailingSizeRotation : public SizeRotationStrategy
{
public:
    bool failRemove = false;
    bool failRename = false;
    QStringList calls;

    bool removeFile(const QString &path) override
    {
        calls << QStringLiteral("remove ") + QFileInfo(path).fileName();
        return failRemove ? false : SizeRotationStrategy::removeFile(path);
    }
    bool renameFile(const QString &from, const QString &to) override
    {
        calls << QStringLiteral("rename ") + QFileInfo(from).fileName() + QStringLiteral(" ")
                     + QFileInfo(to).fileName();
        return failRename ? false : SizeRotationStrategy::renameFile(from, to);
    }
};

class FileDestinationTest : public ::testing::Test
{
protected:
    QString path(const QString &name = QStringLiteral("app.log")) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(FileDestinationTest, SizeRotationCountsBytesAndRotatesOnlyAboveTheMaximum)
{
    SizeRotationStrategy s;
    EXPECT_EQ(s.openMode(), QIODevice::Append);
    s.setMaxSize(1000);
    s.start(path(), 990);
    s.account(QByteArray(10, 'x'));
    EXPECT_EQ(s.currentSize(), 1000);
    EXPECT_FALSE(s.shouldRotate());   // equal does not rotate
    s.account(QStringLiteral("ä"));   // two bytes in UTF-8
    EXPECT_EQ(s.currentSize(), 1002);
    EXPECT_TRUE(s.shouldRotate());

    writeFile(path(), QByteArray(123, 'a'));
    QFile f(path());
    s.start(f);
    EXPECT_EQ(s.fileName(), path());
    EXPECT_EQ(s.currentSize(), 123);

    s.setMaxBackups(25);
    EXPECT_EQ(s.maxBackups(), 10);
    s.setMaxBackups(4);
    EXPECT_EQ(s.maxBackups(), 4);
    s.setMaxBackups(-3);
    EXPECT_EQ(s.maxBackups(), -3);

    NullRotationStrategy n;
    EXPECT_EQ(n.openMode(), QIODevice::Truncate);
    n.account(QByteArray(1 << 20, 'x'));
    EXPECT_FALSE(n.shouldRotate());
}

TEST_F(FileDestinationTest, BackupsShiftUpToTheMaximumAndStopAtAGap)
{
    SizeRotationStrategy s;
    s.start(path(), 0);
    s.setMaxBackups(3);

    // Full set: name.3 dropped, the rest move up, the log becomes name.1.
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

    // A gap at name.2 stops the search: name.3 stays as it is.
    QFile::remove(path("app.log.2"));
    writeFile(path(), "new");
    s.rotate();
    EXPECT_EQ(readAll(path("app.log.1")), "new");
    EXPECT_EQ(readAll(path("app.log.2")), "log");
    EXPECT_EQ(readAll(path("app.log.3")), "two");

    // No backup at all.
    QTemporaryDir other;
    SizeRotationStrategy t;
    t.start(other.filePath("x.log"), 0);
    t.setMaxBackups(2);
    writeFile(other.filePath("x.log"), "only");
    t.rotate();
    EXPECT_EQ(readAll(other.filePath("x.log.1")), "only");
    EXPECT_FALSE(QFile::exists(other.filePath("x.log.2")));
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
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(FileDestinationTest, RotationFailuresAreReportedOnStandardError)
{
    {
        FailingSizeRotation s;
        s.start(path(), 0);
        s.setMaxBackups(0);
        s.failRemove = true;
        StderrCapture err;
        s.rotate();
        EXPECT_EQ(err.text(), QByteArray("Logger: backup delete failed ") + path().toLocal8Bit());
    }
    {
        FailingSizeRotation s;
        s.start(path(), 0);
        s.setMaxBackups(3);
        writeFile(path(), "log");
        writeFile(path("app.log.1"), "one");
        s.failRename = true;
        StderrCapture err;
        s.rotate();
        const QByteArray expected = "Logger: could not rename backup " + path("app.log.1").toLocal8Bit()
                                    + " to " + path("app.log.2").toLocal8Bit()
                                    + "Logger: could not rename log " + path().toLocal8Bit() + " to "
                                    + path("app.log.1").toLocal8Bit();
        EXPECT_EQ(err.text(), expected);
        // The failed rename goes on: name.2 removed first, name.1 removed before the log's rename.
        EXPECT_EQ(s.calls, (QStringList{"remove app.log.2", "rename app.log.1 app.log.2",
                                        "remove app.log.1", "rename app.log app.log.1"}));
    }
}

TEST_F(FileDestinationTest, WritesLinesAndRotatesBeforeTheLineThatCrossesTheMaximum)
{
    const LogMessage message = line(QStringLiteral("payload"));
    const QByteArray lineBytes = message.formatted().toUtf8();
    const qint64 max = 1000;

    // Count ends exactly at the maximum: no rotation.
    writeFile(path(), QByteArray(max - lineBytes.size(), 'a'));
    {
        auto d = makeFileDestination(path(), SizeRotation, max, 3);
        EXPECT_TRUE(d->isValid());
        EXPECT_EQ(d->type(), QStringLiteral("file"));
        d->write(message);
    }
    EXPECT_FALSE(QFile::exists(path("app.log.1")));
    EXPECT_EQ(QFileInfo(path()).size(), max + 1);   // the line feed is not counted

    // One byte more: the old file becomes name.1, the line starts the new log.
    QFile::remove(path());
    writeFile(path(), QByteArray(max - lineBytes.size() + 1, 'a'));
    {
        auto d = makeFileDestination(path(), SizeRotation, max, 3);
        d->write(message);
        EXPECT_EQ(readAll(path()), lineBytes + "\n");
        EXPECT_EQ(readAll(path("app.log.1")), QByteArray(max - lineBytes.size() + 1, 'a'));
        // The new count starts from the new file's size (0), not counting that line.
        d->write(message);
        EXPECT_EQ(readAll(path()), lineBytes + "\n" + lineBytes + "\n");
    }
}

TEST_F(FileDestinationTest, NullRotationEmptiesTheFileAndSizeRotationAppends)
{
    writeFile(path(), "old content\n");
    {
        auto d = makeFileDestination(path(), 0, 10, 3);
        d->write(line(QStringLiteral("a")));
        d->write(line(QStringLiteral("b")));
    }
    EXPECT_EQ(readAll(path()), line(QStringLiteral("a")).formatted().toUtf8() + "\n"
                                   + line(QStringLiteral("b")).formatted().toUtf8() + "\n");
    EXPECT_FALSE(QFile::exists(path("app.log.1")));

    writeFile(path(), "old content\n");
    {
        auto d = makeFileDestination(path(), 7, 10, 3);   // any option but 1: no rotation
        d->write(line(QStringLiteral("c")));
    }
    EXPECT_EQ(readAll(path()), line(QStringLiteral("c")).formatted().toUtf8() + "\n");

    writeFile(path(), "old content\n");
    {
        auto d = makeFileDestination(path(), SizeRotation, 1 << 20, 3);
        d->write(line(QStringLiteral("ü")));
    }
    EXPECT_EQ(readAll(path()), "old content\n" + line(QStringLiteral("ü")).formatted().toUtf8() + "\n");
}

TEST_F(FileDestinationTest, ZeroBackupsStartEachRotationWithAnEmptyLog)
{
    auto d = makeFileDestination(path(), SizeRotation, 10, 0);
    d->write(line(QStringLiteral("first")));    // over the maximum at once: rotates first
    EXPECT_EQ(readAll(path()), line(QStringLiteral("first")).formatted().toUtf8() + "\n");
    d->write(line(QStringLiteral("second")));
    EXPECT_EQ(readAll(path()), line(QStringLiteral("second")).formatted().toUtf8() + "\n");
    EXPECT_FALSE(QFile::exists(path("app.log.1")));
}

TEST_F(FileDestinationTest, UnopenableFileIsReportedAndLosesItsLines)
{
    const QString bad = dir.filePath(QStringLiteral("no/such/dir/app.log"));
    StderrCapture err;
    auto d = makeFileDestination(bad, SizeRotation, 1 << 20, 3);
    EXPECT_FALSE(d->isValid());
    d->write(line(QStringLiteral("lost")));
    EXPECT_EQ(err.text(), QByteArray("Logger: could not open log file ") + bad.toLocal8Bit());
    EXPECT_FALSE(QFile::exists(bad));
}

TEST_F(FileDestinationTest, ReopenFailureAfterRotationIsReported)
{
    // A rotation that takes the log's folder away, so the reopen fails.
    class VanishingRotation : public SizeRotationStrategy
    {
    public:
        QString folder;
        void rotate() override { QDir(folder).removeRecursively(); }
    };
    const QString sub = dir.filePath(QStringLiteral("sub"));
    QDir().mkpath(sub);
    const QString file = sub + QStringLiteral("/app.log");
    auto strategy = std::make_unique<VanishingRotation>();
    strategy->folder = sub;
    strategy->setMaxSize(5);
    FileDestination d(file, std::move(strategy));
    ASSERT_TRUE(d.isValid());

    StderrCapture err;
    d.write(line(QStringLiteral("too long for five bytes")));
    d.write(line(QStringLiteral("again")));
    const QByteArray once = "Logger: could not reopen log file " + file.toLocal8Bit();
    EXPECT_EQ(err.text(), once + once);
    EXPECT_FALSE(d.isValid());
}
