#pragma once
// The change log as the window's list shows it: the entries a filter selects, newest first,
// read a page at a time as the list is scrolled, so a long log is never read whole and a
// new filter reads only its first page.

#include "db/change_log.h"

#include <QAbstractTableModel>

class ChangeLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageSize = 200;
    enum Column { When, Computer, User, Action, Server, Client, Table, Change, Values, Columns };

    ChangeLogModel(DatabaseConnection& connection, QObject* parent = nullptr);

    // Starts over with this filter: the list empties and its first page is read.
    void SetFilter(const ChangeLogFilter& filter);
    const ChangeLogFilter& Filter() const { return filter_; }
    // Why the log could not be read ("" when it could).
    QString Error() const { return error_; }
    // Pages read since the model was made (each one statement).
    int PagesRead() const { return pagesRead_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

Q_SIGNALS:
    // After every read of a page, whether it succeeded or not.
    void PageRead();

private:
    // The next page, or nothing when it could not be read.
    std::optional<QList<ChangeLogEntry>> ReadPage();

    DatabaseConnection& connection_;
    ChangeLogFilter filter_;
    QList<ChangeLogEntry> entries_;
    bool more_ = false;
    QString error_;
    int pagesRead_ = 0;
};
