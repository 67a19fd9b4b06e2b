// The 3-D rocking window from the main window's menu. The window holds an OpenGL
// view, so this program runs on an X server of its own (Xvfb), not offscreen.
#include <QAction>
#include <QCoreApplication>
#include <QEvent>

#include <gtest/gtest.h>

#include "DialogAnswerer.h"
#include "MainWindow.h"
#include "ProgramEnvironment.h"
#include "WidgetLookup.h"
#include "WindowRocking3D.h"

namespace {

class MainWindowRocking3D : public ProgramEnvironment
{
};

} // namespace

TEST_F(MainWindowRocking3D, EachChoiceOpensANewWindowWhileTheLevelAllows)
{
    DialogAnswerer answerer;
    MainWindow w;
    QAction *action = child<QAction>(&w, "actionRocking_Curve_3D");
    ASSERT_NE(action, nullptr);

    // Cruise, or a failed level poll: the action is closed and opens nothing.
    for (int level : {0, -1}) {
        w.handleUserLevelChange(level);
        action->trigger();
        EXPECT_TRUE(w.findChildren<WindowRocking3D *>().isEmpty()) << level;
    }

    // User and admin: each choice adds a window, closing only hides it.
    w.handleUserLevelChange(1);
    action->trigger();
    w.handleUserLevelChange(2);
    action->trigger();
    action->trigger();
    const QList<WindowRocking3D *> windows = w.findChildren<WindowRocking3D *>();
    ASSERT_EQ(windows.size(), 3);
    for (WindowRocking3D *window : windows) {
        EXPECT_EQ(window->parent(), &w);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->windowTitle(), QStringLiteral("3D Rocking Curve"));
        window->close();
    }
    // Deferred deletions run only when asked for outside an event loop.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.findChildren<WindowRocking3D *>().size(), 3);
    EXPECT_EQ(answerer.count(), 0);
}
