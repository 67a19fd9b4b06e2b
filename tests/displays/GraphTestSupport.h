#pragma once
// Shared by the graph tests: a fixture that sets up the controller simulator, a
// configuration file of its own and the process-wide objects the graphs reach, and
// puts everything back afterwards; plus helpers that act as an operator would.

#include <QCheckBox>
#include <QComboBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <qcustomplot.h>

#include <memory>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "MailboxComm.h"
#include "NivraSim.h"
#include "Updater.h"

template <typename T>
T *child(const QWidget *parent, const char *name)
{
    T *w = parent->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

inline QCustomPlot *plotOf(const QWidget *widget)
{
    return child<QCustomPlot>(widget, "graph");
}

// Ticks or unticks a check box from the keyboard (a box without text is narrower
// than its cell, so a click at the cell's centre could miss it).
inline void setChecked(QCheckBox *box, bool checked)
{
    if (box->isChecked() != checked) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
    }
    ASSERT_EQ(box->isChecked(), checked);
}

// Picks an item with the keyboard, as an operator tabbing through the form would.
inline void chooseItem(QComboBox *box, int index)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(box, Qt::Key_Down);
    ASSERT_EQ(box->currentIndex(), index);
}

// One notch of the mouse wheel at `pos` (positive: zoom in).
inline void wheel(QWidget *widget, QPoint pos, int notches)
{
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(),
                      QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(widget, &event);
}

// Presses the left button at `from`, moves to `to` and releases there.
inline void drag(QWidget *widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(widget, (from + to) / 2);
    QTest::mouseMove(widget, to);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

// Centre of the plot's axis rect, in plot pixels.
inline QPoint plotCentre(QCustomPlot *plot)
{
    return plot->axisRect()->rect().center();
}

// Shows a widget at a given size and lays its plot out, so that pixels and axis
// coordinates correspond.
inline void showAt(QWidget *widget, int width, int height)
{
    widget->resize(width, height);
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
    QCustomPlot *plot = plotOf(widget);
    plot->replot(QCustomPlot::rpImmediateRefresh);
}

inline void fill(const QSharedPointer<QCPGraphDataContainer> &data, double key0, double key1,
                 double value0, double value1, int points = 101)
{
    data->clear();
    for (int i = 0; i < points; ++i) {
        const double t = double(i) / (points - 1);
        data->add(QCPGraphData(key0 + t * (key1 - key0), value0 + t * (value1 - value0)));
    }
}

// Colour of the plot's rendering in row y, two pixels from the right edge, where
// nothing but the background is drawn. A width and height render at that size.
inline QColor backgroundAt(QCustomPlot *plot, int y, int width = 0, int height = 0)
{
    const QImage image = plot->toPixmap(width, height).toImage();
    return image.pixelColor(image.width() - 2, y);
}

class GraphEnvironment : public ::testing::Test
{
protected:
    void SetUp() override
    {
        nivraSimReset(1);
        nivraSimUseManualClock(1);
        ASSERT_TRUE(dir.isValid());
        configPath = dir.filePath(QStringLiteral("config.ini"));
        ConfigIni::setFilePathForTesting(configPath);

        savedConfig = configIni;
        savedMailbox = mailboxComm;
        savedUpdater = updater;
        savedLevel = userLevel;
        savedRate = SAMP_FREQ;
        savedBufSize = DISP_BUF_SIZE;
        savedSelX = bpmSelX;
        savedSelY = bpmSelY;

        configIni = &store;
        mailbox = std::make_unique<MailboxComm>();
        mailboxComm = mailbox.get();
        engine = std::make_unique<Updater>();
        updater = engine.get();
        userLevel = 1;
        SAMP_FREQ = 1000;
        DISP_BUF_SIZE = 14336 * 256;
        bpmSelX = 0;
        bpmSelY = 0;
    }

    void TearDown() override
    {
        updater = savedUpdater;
        mailboxComm = savedMailbox;
        configIni = savedConfig;
        userLevel = savedLevel;
        SAMP_FREQ = savedRate;
        DISP_BUF_SIZE = savedBufSize;
        bpmSelX = savedSelX;
        bpmSelY = savedSelY;
        engine.reset();
        mailbox.reset();
        ConfigIni::setFilePathForTesting(QString());
        nivraSimClearFaults();
    }

    void writeConfig(const char *key, const QVariant &value)
    {
        QSettings file(configPath, QSettings::IniFormat);
        file.setValue(QString::fromLatin1(key), value);
    }

    QTemporaryDir dir;
    QString configPath;
    ConfigIni store;
    std::unique_ptr<MailboxComm> mailbox;
    std::unique_ptr<Updater> engine;

private:
    ConfigIni *savedConfig = nullptr;
    MailboxComm *savedMailbox = nullptr;
    Updater *savedUpdater = nullptr;
    int savedLevel = 0;
    int savedRate = 0;
    int savedBufSize = 0;
    int savedSelX = 0;
    int savedSelY = 0;
};
