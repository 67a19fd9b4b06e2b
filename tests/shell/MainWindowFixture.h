#pragma once
// Fixture of the main-window tests: the program's environment (simulator, own
// configuration file, device link and engine) and lookups of the window's parts.

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QDockWidget>
#include <QString>

#include "MainWindow.h"
#include "ProgramEnvironment.h"
#include "WidgetLookup.h"

class MainWindowTest : public ProgramEnvironment
{
protected:
    MainWindowTest() : ProgramEnvironment(3) {}

    static QDockWidget *dock(MainWindow &w, const QString &title)
    {
        for (QDockWidget *d : w.findChildren<QDockWidget *>())
            if (d->windowTitle() == title)
                return d;
        return nullptr;
    }
    template <typename T>
    static T *child(MainWindow &w, const char *name)
    {
        return ::child<T>(&w, name);
    }
    static QAction *action(MainWindow &w, const char *name) { return ::child<QAction>(&w, name); }
    // Delivers what a close left behind, deferred deletions included: outside an
    // event loop processEvents alone never runs them, so a window deleted on close
    // would still look alive.
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static bool checkHidden(QWidget *graph, const char *box)
    {
        auto *check = ::child<QCheckBox>(graph, box);
        return check ? check->isHidden() : false;
    }
};
