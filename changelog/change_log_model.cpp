#include "changelog/change_log_model.h"

ChangeLogModel::ChangeLogModel(DatabaseConnection& connection, QObject* parent)
    : QAbstractTableModel(parent), connection_(connection) {}

void ChangeLogModel::SetFilter(const ChangeLogFilter& filter) {
    beginResetModel();
    filter_ = filter;
    entries_.clear();
    error_.clear();
    const std::optional<QList<ChangeLogEntry>> page = ReadPage();
    entries_ = page.value_or(QList<ChangeLogEntry>());
    endResetModel();
    emit PageRead();
}

std::optional<QList<ChangeLogEntry>> ChangeLogModel::ReadPage() {
    ChangeLogFilter page = filter_;
    page.beforeId = entries_.isEmpty() ? 0 : entries_.constLast().id;
    // One more than a page tells whether another page follows.
    page.limit = kPageSize + 1;
    ++pagesRead_;
    std::optional<QList<ChangeLogEntry>> read = ReadChangeLog(connection_, page, &error_);
    more_ = read && read->size() > kPageSize;
    if (more_) {
        read->removeLast();
    }
    return read;
}

int ChangeLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int ChangeLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant ChangeLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= entries_.size() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return QVariant();
    }
    const ChangeLogEntry& e = entries_.at(index.row());
    if (role == Qt::ToolTipRole) {
        if (index.column() != Values) {
            return QVariant();
        }
        return ChangesText(e.changes).replace(QStringLiteral("; "), QStringLiteral("\n"));
    }
    switch (index.column()) {
        case When:
            return e.changedAt;
        case Computer:
            return e.computer;
        case User:
            return e.user;
        case Action:
            return e.action;
        case Server:
            return e.serverName;
        case Client:
            return e.clientName;
        case Table:
            return e.rowKey.isEmpty() ? e.table : e.table + QStringLiteral(" (") + e.rowKey + ')';
        case Change:
            return e.operation;
        case Values:
            return ChangesText(e.changes);
        default:
            return QVariant();
    }
}

QVariant ChangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QVariant();
    }
    static const char* const kTitles[Columns] = {"When (UTC)", "Computer", "User",
                                                 "Action",     "Server",   "Client",
                                                 "Table",      "Change",   "Values"};
    return section >= 0 && section < Columns ? QString::fromLatin1(kTitles[section]) : QVariant();
}

bool ChangeLogModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && more_;
}

void ChangeLogModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || !more_) {
        return;
    }
    const std::optional<QList<ChangeLogEntry>> page = ReadPage();
    if (page && !page->isEmpty()) {
        beginInsertRows(QModelIndex(), int(entries_.size()),
                        int(entries_.size() + page->size() - 1));
        entries_ += *page;
        endInsertRows();
    }
    emit PageRead();
}
