#include "tests/support/checked_query.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {

void Fail(const QString& what, const QString& sql, const QSqlError& error) {
    const QString text = QStringLiteral("%1: %2: %3").arg(what, sql.left(200), error.text());
    QTest::qFail(qPrintable(text), __FILE__, __LINE__);
}

}  // namespace

bool ExecOrFail(QSqlQuery& query, const QString& sql, const QVariantList& bind) {
    bool ran = false;
    if (bind.isEmpty()) {
        // The server prepares no DDL: a statement without values runs unprepared.
        ran = query.exec(sql);
    } else if (query.prepare(sql)) {
        for (const QVariant& value : bind) {
            query.addBindValue(value);
        }
        ran = query.exec();
    }
    if (!ran) {
        Fail(QStringLiteral("Check statement failed"), sql, query.lastError());
    }
    return ran;
}

QList<QVariantList> RowsOrFail(const QSqlDatabase& db, const QString& sql,
                               const QVariantList& bind) {
    QList<QVariantList> rows;
    if (!db.isOpen()) {
        Fail(QStringLiteral("Check connection not open"), sql, db.lastError());
        return rows;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!ExecOrFail(query, sql, bind)) {
        return rows;
    }
    const int width = query.record().count();
    while (query.next()) {
        QVariantList row;
        row.reserve(width);
        for (int i = 0; i < width; ++i) {
            row << query.value(i);
        }
        rows << row;
    }
    if (query.lastError().isValid()) {
        Fail(QStringLiteral("Check read failed"), sql, query.lastError());
        return {};
    }
    return rows;
}
