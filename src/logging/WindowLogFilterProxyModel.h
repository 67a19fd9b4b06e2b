#pragma once
// The log window's filter: rows at or above a minimum level, or, while the window
// is paused, exactly the first `freeze count` source rows.

#include <QSortFilterProxyModel>

namespace Logging {

class WindowLogFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit WindowLogFilterProxyModel(QObject *parent = nullptr);

    int minimumLevel() const { return m_minimumLevel; }
    void setMinimumLevel(int level) { m_minimumLevel = level; }
    // 0: not frozen.
    int freezeCount() const { return m_freezeCount; }
    void setFreezeCount(int count) { m_freezeCount = count; }
    // Re-filters every row.
    void refilter() { invalidateFilter(); }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    int m_minimumLevel;
    int m_freezeCount = 0;
};

} // namespace Logging
