#pragma once
// Fixture of the main-window tests: the program's environment (simulator, own
// configuration file, device link and engine) and lookups of the window's parts.

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QDockWidget>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <utility>

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

// Records, in order, which watched object received one of the given events; a
// watched action counts when its enabled state changes.
class EventOrderLog : public QObject
{
public:
    explicit EventOrderLog(QList<QEvent::Type> types) : m_types(std::move(types)) {}

    void watch(QObject *object, const QString &name)
    {
        ASSERT_NE(object, nullptr) << name.toStdString();
        m_names.insert(object, name);
        object->installEventFilter(this);
    }
    void watch(QAction *action, const QString &name)
    {
        ASSERT_NE(action, nullptr) << name.toStdString();
        connect(action, &QAction::changed, this, [this, action, name, was = action->isEnabled()]() mutable {
            if (action->isEnabled() != was)
                m_log << name;
            was = action->isEnabled();
        });
    }
    QStringList take() { return std::exchange(m_log, {}); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_types.contains(event->type()) && m_names.contains(watched))
            m_log << m_names.value(watched);
        return false;
    }

private:
    QList<QEvent::Type> m_types;
    QHash<QObject *, QString> m_names;
    QStringList m_log;
};
