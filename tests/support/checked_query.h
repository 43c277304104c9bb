#pragma once
// Statements a test runs on a connection of its own, to set up rows or read back what the
// code under test stored. A connection that is not open or a statement that fails fails the
// running test: a comparison of two reads that both failed must never pass.

#include <QList>
#include <QString>
#include <QVariant>

class QSqlDatabase;
class QSqlQuery;

// Runs sql (prepared when it has values to bind); false, with the test failed, when it failed.
bool ExecOrFail(QSqlQuery& query, const QString& sql, const QVariantList& bind = {});

// Every row of sql on db, each a list of its values; empty, with the test failed, when the
// connection is not open or the statement or the read failed.
QList<QVariantList> RowsOrFail(const QSqlDatabase& db, const QString& sql,
                               const QVariantList& bind = {});
