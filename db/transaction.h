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

    // Whether the transaction began: when it did not (reported), nothing may run in its place.
    bool Begun() const;
    // True only when the transaction began and its commit succeeded.
    bool Commit();
    // Drops every change made since the begin.
    void Rollback();

private:
    QString prefix_;
    DeferredReports reports_;  // declared first: shown after the transaction has ended
    std::unique_ptr<Transaction> transaction_;
};
