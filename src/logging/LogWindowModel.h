#pragma once
// The log window's rows: every message delivered to the window, oldest first, in
// three columns (time, level, message).

#include "LogMessage.h"

#include <QAbstractTableModel>
#include <QReadWriteLock>

#include <cstddef>
#include <deque>

namespace Logging {

class LogWindowModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TimeColumn = 0, LevelColumn = 1, MessageColumn = 2, FormattedColumn = 100 };
    static constexpr std::size_t NoLimit = static_cast<std::size_t>(-1);

    // With a limit, the oldest row goes after the insertion that exceeds it.
    explicit LogWindowModel(std::size_t maxEntries = NoLimit);

    void addEntry(const LogMessage &message);
    void clear();
    // A copy of row `row`, without the lock: only the GUI thread, which does every
    // write, calls it.
    LogMessage at(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::deque<LogMessage> m_entries;
    mutable QReadWriteLock m_lock;
    std::size_t m_maxEntries;
};

} // namespace Logging
