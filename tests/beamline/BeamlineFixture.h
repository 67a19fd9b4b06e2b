#pragma once
// The beamline configuration dialog on a fresh simulator and a configuration file of
// the test's own, at user level 2 unless a test says otherwise.

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "AcquisitionSettings.h"
#include "BPM.h"
#include "NivraSim.h"
#include "ProgramEnvironment.h"
#include "SimCallLog.h"
#include "TovashHook.h"
#include "WidgetLookup.h"
#include "WindowBeamlineConf.h"

class BeamlineFixture : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        TovashHook::reset();
        userLevel = 2;
        // Position scales a Save can send: ratio 1, 500 mm on every axis.
        for (const char *key : {"Conv_X", "Conv_Y", "Distance_X", "Distance_Y"})
            for (const char *group : {"BPM1/", "BPM2/"})
                config.setValue(QLatin1String(group) + key, key[0] == 'C' ? 1.0 : 500000.0);
    }

    void TearDown() override
    {
        window.reset();
        TovashHook::reset();
        ProgramEnvironment::TearDown();
    }

    WindowBeamlineConf *makeWindow()
    {
        window = std::make_unique<WindowBeamlineConf>();
        return window.get();
    }

    // Built, shown through the menu's path and on screen, with an empty call log.
    WindowBeamlineConf *openWindow()
    {
        if (!window)
            makeWindow();
        window->showWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        nivraSimClearCallLog();
        return window.get();
    }

    BPM *box(int bpm) const
    {
        return child<BPM>(window.get(), bpm == 0 ? "boxBPM1" : "boxBPM2");
    }

    template <typename T>
    T *field(int bpm, const char *name) const
    {
        return child<T>(box(bpm), name);
    }

    QPushButton *button(QDialogButtonBox::StandardButton which) const
    {
        return child<QDialogButtonBox>(window.get(), "buttonBox")->button(which);
    }

    void pressSave() const { QTest::mouseClick(button(QDialogButtonBox::Save), Qt::LeftButton); }
    void pressCancel() const { QTest::mouseClick(button(QDialogButtonBox::Cancel), Qt::LeftButton); }

    // Every library call since the log was last cleared, results dropped, without the
    // encoder-box queries.
    static QStringList deviceCalls()
    {
        QStringList calls = SimCallLog::calls();
        calls.removeIf([](const QString &c) { return c.startsWith(QLatin1String("getTovashes(")); });
        return calls;
    }

    QVariant stored(const char *key) const { return config.value(QString::fromLatin1(key)); }

    std::unique_ptr<WindowBeamlineConf> window;
};
