// The log window: form, level filter and colours, pause with its freeze count,
// clear, copy (button and Ctrl+C), save through the file dialog, auto scroll, and
// the bounded model.

#include "DialogAnswerer.h"
#include "LogWindowModel.h"
#include "LoggingTestSupport.h"
#include "Window.h"
#include "WindowLogFilterProxyModel.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Logging;

namespace {

LogMessage msg(const QString &text, Level level, int second = 0)
{
    return LogMessage(text, QDateTime(QDate(2024, 3, 5), QTime(14, 7, second, 42), Qt::UTC), level);
}

class LogWindowTest : public ::testing::Test
{
protected:
    template <typename T>
    T *child(const char *name) const
    {
        T *w = window.findChild<T *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QToolButton *button(const char *name) const { return child<QToolButton>(name); }
    QTableView *table() const { return child<QTableView>("tableViewMessages"); }
    QComboBox *combo() const { return child<QComboBox>("comboBoxLevel"); }
    WindowLogFilterProxyModel *proxy() const { return window.proxyModel(); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    // Levels in order, one message per entry, text "m<index>".
    void add(std::initializer_list<Level> levels)
    {
        for (Level level : levels)
            window.addLogMessage(msg(QStringLiteral("m%1").arg(next++), level));
    }
    QStringList shownTexts() const
    {
        QStringList texts;
        for (int r = 0; r < proxy()->rowCount(); ++r)
            texts << proxy()->index(r, 2).data().toString();
        return texts;
    }
    QString lineOf(int sourceRow) const { return window.model().at(sourceRow).formatted() + "\n"; }

    Window window;
    int next = 0;
};

} // namespace

TEST_F(LogWindowTest, LevelComboAndIconsAreSetUp)
{
    ASSERT_EQ(combo()->count(), 6);   // Trace to Fatal, no Off; item data is the level
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(combo()->itemText(i), levelDisplayName(i));
        EXPECT_EQ(combo()->itemData(i).toInt(), i);
    }
    EXPECT_EQ(combo()->currentIndex(), InfoLevel);
    EXPECT_EQ(proxy()->minimumLevel(), InfoLevel);
    EXPECT_EQ(table()->model(), proxy());
    for (const char *icon : {"pause", "resume", "save", "clear", "copy"}) {
        const QImage image(QStringLiteral(":/LogWindow/images/icon-%1-16.png").arg(QLatin1String(icon)));
        EXPECT_EQ(image.size(), QSize(16, 16)) << icon;
    }

    // A fixed row height (a new row measures no other), the one sized to contents.
    add({WarnLevel});
    EXPECT_EQ(table()->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    QTableView sized;   // no grid and no word wrap, as the form's table
    sized.setShowGrid(false);
    sized.setWordWrap(false);
    sized.setModel(proxy());
    sized.verticalHeader()->resizeSections(QHeaderView::ResizeToContents);
    EXPECT_EQ(table()->rowHeight(0), sized.rowHeight(0));
}

TEST_F(LogWindowTest, ModelColumnsAndLevelColours)
{
    add({DebugLevel, InfoLevel, WarnLevel, ErrorLevel, FatalLevel});
    const LogWindowModel &m = window.model();
    EXPECT_EQ(m.columnCount(), 3);
    EXPECT_EQ(m.rowCount(), 5);
    EXPECT_EQ(m.rowCount(m.index(0, 0)), 0);
    EXPECT_EQ(m.index(2, 0).data().toString(), m.at(2).time().toLocalTime().toString(Qt::TextDate));
    EXPECT_EQ(m.index(2, 1).data().toString(), QStringLiteral("Warning"));
    EXPECT_EQ(m.index(2, 2).data().toString(), QStringLiteral("m2"));
    EXPECT_FALSE(m.index(2, 2).data(Qt::ToolTipRole).isValid());
    EXPECT_FALSE(m.data(QModelIndex()).isValid());

    // Level filter Warn: Debug and Info hidden, the rest coloured.
    combo()->setCurrentIndex(WarnLevel);
    EXPECT_EQ(proxy()->minimumLevel(), WarnLevel);
    EXPECT_EQ(shownTexts(), (QStringList{"m2", "m3", "m4"}));
    EXPECT_EQ(proxy()->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 128));
    EXPECT_EQ(proxy()->index(1, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 128, 128));
    EXPECT_EQ(proxy()->index(2, 2).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));

    combo()->setCurrentIndex(TraceLevel);
    EXPECT_EQ(proxy()->rowCount(), 5);
    EXPECT_FALSE(proxy()->index(0, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(proxy()->index(1, 0).data(Qt::BackgroundRole).isValid());

    // New rows are filtered as they come.
    combo()->setCurrentIndex(ErrorLevel);
    add({InfoLevel, ErrorLevel});
    EXPECT_EQ(shownTexts(), (QStringList{"m3", "m4", "m6"}));
}

TEST_F(LogWindowTest, PauseFreezesTheRowsShownUntilResume)
{
    add({InfoLevel, InfoLevel, WarnLevel, InfoLevel, ErrorLevel});
    ASSERT_EQ(proxy()->rowCount(), 5);

    click("toolButtonPause");
    EXPECT_TRUE(window.isPaused());
    EXPECT_EQ(button("toolButtonPause")->text(), QStringLiteral("&Resume"));
    EXPECT_EQ(proxy()->freezeCount(), 5);
    add({InfoLevel, FatalLevel, DebugLevel});
    EXPECT_EQ(window.model().rowCount(), 8);
    EXPECT_EQ(proxy()->rowCount(), 5);

    click("toolButtonPause");
    EXPECT_FALSE(window.isPaused());
    EXPECT_EQ(button("toolButtonPause")->text(), QStringLiteral("&Pause"));
    EXPECT_EQ(proxy()->freezeCount(), 0);
    EXPECT_EQ(shownTexts(), (QStringList{"m0", "m1", "m2", "m3", "m4", "m5", "m6"}));
}

TEST_F(LogWindowTest, PausedLevelChangeShowsTheFirstSourceRows)
{
    add({DebugLevel, WarnLevel, DebugLevel, DebugLevel, ErrorLevel, DebugLevel, FatalLevel, DebugLevel});
    ASSERT_EQ(proxy()->rowCount(), 3);   // 3 of 8 shown
    click("toolButtonPause");
    EXPECT_EQ(proxy()->freezeCount(), 3);
    combo()->setCurrentIndex(FatalLevel);
    // The re-filter keeps source rows 0..2 whatever their level.
    EXPECT_EQ(shownTexts(), (QStringList{"m0", "m1", "m2"}));
    click("toolButtonPause");
    EXPECT_EQ(shownTexts(), (QStringList{"m6"}));
}

TEST_F(LogWindowTest, PausingWithNothingShownKeepsFiltering)
{
    add({DebugLevel, DebugLevel});
    ASSERT_EQ(proxy()->rowCount(), 0);
    click("toolButtonPause");
    EXPECT_TRUE(window.isPaused());
    EXPECT_EQ(proxy()->freezeCount(), 0);
    add({WarnLevel, DebugLevel, InfoLevel});
    EXPECT_EQ(shownTexts(), (QStringList{"m2", "m4"}));
}

TEST_F(LogWindowTest, ClearEmptiesTheModelButKeepsThePauseState)
{
    add({InfoLevel, InfoLevel, InfoLevel, InfoLevel});
    click("toolButtonPause");
    ASSERT_EQ(proxy()->freezeCount(), 4);
    QSignalSpy reset(&window.model(), &QAbstractItemModel::modelReset);
    click("toolButtonClear");
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(window.model().rowCount(), 0);
    EXPECT_EQ(proxy()->rowCount(), 0);
    EXPECT_TRUE(window.isPaused());
    EXPECT_EQ(proxy()->freezeCount(), 4);

    add({DebugLevel, InfoLevel, InfoLevel, InfoLevel, InfoLevel, InfoLevel});
    // The first four new rows fall under the freeze count again, whatever their level.
    EXPECT_EQ(shownTexts(), (QStringList{"m4", "m5", "m6", "m7"}));

    click("toolButtonPause");
    click("toolButtonClear");
    EXPECT_FALSE(window.isPaused());
    EXPECT_EQ(proxy()->rowCount(), 0);
}

TEST_F(LogWindowTest, CopyTakesSelectedLinesInRowOrderOrElseEveryShownLine)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    // Nothing shown: nothing copied.
    QTest::keyClick(table(), Qt::Key_C, Qt::ControlModifier);
    click("toolButtonCopy");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    add({InfoLevel, DebugLevel, InfoLevel, WarnLevel, InfoLevel, InfoLevel, InfoLevel, InfoLevel, InfoLevel});
    // Shown (source rows): 0 2 3 4 5 6 7 8.
    QTest::keyClick(table(), Qt::Key_C, Qt::ControlModifier);
    QString all;
    for (int source : {0, 2, 3, 4, 5, 6, 7, 8})
        all += lineOf(source);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), all);
    EXPECT_TRUE(all.startsWith(QStringLiteral("INFO  ")));

    // Proxy rows 7 and 2, selected in that order.
    auto *selection = table()->selectionModel();
    selection->select(proxy()->index(7, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(proxy()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(table(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), lineOf(3) + lineOf(8));

    QGuiApplication::clipboard()->setText(QStringLiteral("again"));
    click("toolButtonCopy");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), lineOf(3) + lineOf(8));
}

TEST_F(LogWindowTest, SaveWritesTheLinesThroughTheFileDialog)
{
    QTemporaryDir dir;
    DialogAnswerer answerer(QMessageBox::Ok, dir.filePath(QStringLiteral("saved.log")));
    auto fileDialogs = [&answerer] {
        int n = 0;
        for (const auto &seen : answerer.seen())
            n += seen.kind == QStringLiteral("file") ? 1 : 0;
        return n;
    };

    // Nothing shown: no dialog.
    click("toolButtonSave");
    EXPECT_EQ(fileDialogs(), 0);

    add({InfoLevel, WarnLevel, DebugLevel});
    window.addLogMessage(msg(QStringLiteral("ümlaut"), ErrorLevel));
    click("toolButtonSave");
    ASSERT_EQ(fileDialogs(), 1);
    EXPECT_EQ(answerer.last().kind, QStringLiteral("file"));
    EXPECT_EQ(answerer.last().title, QStringLiteral("Save log"));
    QFile saved(dir.filePath(QStringLiteral("saved.log")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), lineOf(0) + lineOf(1) + lineOf(3));
    saved.close();

    // Only the selection is written.
    answerer.setFileName(dir.filePath(QStringLiteral("selection.log")));
    table()->selectionModel()->select(proxy()->index(1, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    click("toolButtonSave");
    QFile selection(dir.filePath(QStringLiteral("selection.log")));
    ASSERT_TRUE(selection.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(selection.readAll()), lineOf(1));
    selection.close();

    // A name without a suffix gets ".log".
    answerer.setFileName(dir.filePath(QStringLiteral("plain")));
    click("toolButtonSave");
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("plain.log"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("plain"))));
    QFile::remove(dir.filePath(QStringLiteral("plain.log")));

    // A cancelled dialog writes nothing.
    answerer.setFileName(QString());
    QFile::remove(saved.fileName());
    const QStringList before = QDir(dir.path()).entryList(QDir::Files);
    click("toolButtonSave");
    EXPECT_EQ(fileDialogs(), 4);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
    EXPECT_FALSE(QFile::exists(saved.fileName()));

    // A file that does not open: nothing written, the file and the reason told.
    answerer.setFileName(dir.filePath(QStringLiteral("no/such/folder/x.log")));
    click("toolButtonSave");
    EXPECT_EQ(fileDialogs(), 5);
    EXPECT_EQ(answerer.count(), 6);
    EXPECT_TRUE(answerer.last().text.startsWith(dir.filePath(QStringLiteral("no/such/folder/x.log"))));
    EXPECT_TRUE(answerer.last().text.contains(QLatin1String("No such file or directory")));
}

TEST_F(LogWindowTest, AutoScrollFollowsModelInsertionsUnlessOffOrPaused)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QScrollBar *bar = table()->verticalScrollBar();
    for (int i = 0; i < 200; ++i)
        add({InfoLevel});
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    // The newest row is on screen, not just below it.
    const QRect last = table()->visualRect(proxy()->index(proxy()->rowCount() - 1, 0));
    EXPECT_TRUE(table()->viewport()->rect().contains(last)) << last.y();

    // A row that the filter hides still scrolls.
    combo()->setCurrentIndex(InfoLevel);
    bar->setValue(0);
    add({DebugLevel});
    EXPECT_EQ(bar->value(), bar->maximum());

    // Paused: no scrolling.
    click("toolButtonPause");
    bar->setValue(0);
    add({InfoLevel});
    EXPECT_EQ(bar->value(), 0);
    click("toolButtonPause");

    // Auto scroll off: no scrolling.
    QTest::mouseClick(child<QCheckBox>("checkBoxAutoScroll"), Qt::LeftButton);
    EXPECT_FALSE(child<QCheckBox>("checkBoxAutoScroll")->isChecked());
    bar->setValue(0);
    add({InfoLevel});
    EXPECT_EQ(bar->value(), 0);
}

TEST(LogWindowModelLimit, BoundedModelDropsTheOldestRowVisiblyToViews)
{
    LogWindowModel model(3);
    WindowLogFilterProxyModel proxy;
    proxy.setMinimumLevel(TraceLevel);
    proxy.setSourceModel(&model);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    for (int i = 0; i < 5; ++i)
        model.addEntry(msg(QStringLiteral("e%1").arg(i), InfoLevel));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(removed.count(), 2);
    EXPECT_EQ(model.at(0).message(), QStringLiteral("e2"));
    ASSERT_EQ(proxy.rowCount(), 3);
    EXPECT_EQ(proxy.index(0, 2).data().toString(), QStringLiteral("e2"));
    EXPECT_EQ(proxy.index(2, 2).data().toString(), QStringLiteral("e4"));

    LogWindowModel unbounded;
    for (int i = 0; i < 50; ++i)
        unbounded.addEntry(msg(QStringLiteral("u"), InfoLevel));
    EXPECT_EQ(unbounded.rowCount(), 50);
}
