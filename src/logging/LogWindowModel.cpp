#include "LogWindowModel.h"

#include <QColor>

namespace Logging {

LogWindowModel::LogWindowModel(std::size_t maxEntries)
    : m_maxEntries(maxEntries)
{
}

void LogWindowModel::addEntry(const LogMessage &message)
{
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    {
        QWriteLocker lock(&m_lock);
        m_entries.push_back(message);
    }
    endInsertRows();

    if (m_maxEntries != NoLimit && m_entries.size() > m_maxEntries) {
        // A real removal, so that views and proxies drop the row too.
        beginRemoveRows(QModelIndex(), 0, 0);
        {
            QWriteLocker lock(&m_lock);
            m_entries.pop_front();
        }
        endRemoveRows();
    }
}

void LogWindowModel::clear()
{
    beginResetModel();
    {
        QWriteLocker lock(&m_lock);
        m_entries.clear();
    }
    endResetModel();
}

LogMessage LogWindowModel::at(int row) const
{
    return m_entries.at(static_cast<std::size_t>(row));
}

int LogWindowModel::rowCount(const QModelIndex &parent) const
{
    // A flat table: rows have no children.
    if (parent.isValid())
        return 0;
    QReadLocker lock(&m_lock);
    return static_cast<int>(m_entries.size());
}

int LogWindowModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return 3;
}

QVariant LogWindowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.column() < 0)
        return QVariant();

    QReadLocker lock(&m_lock);
    if (static_cast<std::size_t>(index.row()) >= m_entries.size())
        return QVariant();
    const LogMessage &entry = m_entries[static_cast<std::size_t>(index.row())];

    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case TimeColumn: return entry.time().toLocalTime().toString(Qt::TextDate);
        case LevelColumn: return levelDisplayName(entry.level());
        case MessageColumn: return entry.message();
        case FormattedColumn: return entry.formatted();
        default: return QVariant();
        }
    }
    if (role == Qt::BackgroundRole) {
        switch (entry.level()) {
        case WarnLevel: return QColor(255, 255, 128);
        case ErrorLevel: return QColor(255, 128, 128);
        case FatalLevel: return QColor(255, 0, 0);
        default: return QVariant();
        }
    }
    return QVariant();
}

QVariant LogWindowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case TimeColumn: return tr("Time");
    case LevelColumn: return tr("Level");
    case MessageColumn: return tr("Message");
    default: return QVariant();
    }
}

} // namespace Logging
