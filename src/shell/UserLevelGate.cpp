#include "UserLevelGate.h"

#include <QAction>

void UserLevelGate::addAction(QAction *action)
{
    if (action)
        m_actions.append(action);
}

bool UserLevelGate::grants(int userLevel)
{
    return userLevel == 1 || userLevel == 2;
}

void UserLevelGate::apply(int userLevel) const
{
    const bool enabled = grants(userLevel);
    for (const QPointer<QAction> &action : m_actions) {
        if (action)
            action->setEnabled(enabled);
    }
}
