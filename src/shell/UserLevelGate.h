#pragma once
// The tool actions that the user level gates. Levels 1 ("user") and 2 ("admin")
// enable every registered action; any other value ("cruise", or a negative result of
// a failed level poll) disables them all. So "admin" always grants what "user" does.

#include <QList>
#include <QPointer>

class QAction;

class UserLevelGate
{
public:
    // Registers an action to be enabled or disabled by apply().
    void addAction(QAction *action);
    // Enables or disables the registered actions for `userLevel`.
    void apply(int userLevel) const;
    // True for the levels that enable the gated actions.
    static bool grants(int userLevel);

private:
    QList<QPointer<QAction>> m_actions;
};
