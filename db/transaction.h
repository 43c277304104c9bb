#pragma once
// A unit of work on DncConnection for the windows: every statement run while it lives is
// committed together or not at all. Error reports are held back until it has ended, so no
// message box runs while the database is locked for writing.

#include "db/error_report.h"

#include <QString>

#include <memory>

class Transaction;

class DatabaseTransaction {
public:
    // prefix is the report prefix for a failed begin or commit.
    explicit DatabaseTransaction(const QString& prefix);
    ~DatabaseTransaction();  // rolls back unless committed
    DatabaseTransaction(const DatabaseTransaction&) = delete;
    DatabaseTransaction& operator=(const DatabaseTransaction&) = delete;

    // True when the commit succeeded (or the connection was closed, each statement having
    // reported that itself).
    bool Commit();
    // Drops every change made since the begin.
    void Rollback();

private:
    QString prefix_;
    DeferredReports reports_;  // declared first: shown after the transaction has ended
    std::unique_ptr<Transaction> transaction_;
};
