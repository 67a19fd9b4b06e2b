#include "WindowLogFilterProxyModel.h"

#include "Level.h"
#include "LogWindowModel.h"

namespace Logging {

WindowLogFilterProxyModel::WindowLogFilterProxyModel(QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_minimumLevel(InfoLevel)
{
}

bool WindowLogFilterProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (m_freezeCount != 0)
        return sourceRow < m_freezeCount;
    const auto *model = qobject_cast<const LogWindowModel *>(sourceModel());
    if (!model)
        return false;
    return model->at(sourceRow).level() >= m_minimumLevel;
}

} // namespace Logging
