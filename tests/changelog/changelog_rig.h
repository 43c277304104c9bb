#pragma once
// Shared by the change-log and backup tests: an installation with two servers and clients
// made through the database layer (LATHE1, LATHE2 and MILL1 on CNCSRV1: ids 1 to 3), and
// whole-database dumps to compare.

#include "db/backend.h"
#include "db/change_log.h"
#include "db/dnc_database.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

// Every row of the tables the DNC servers read, as text, in a stable order.
inline QStringList DumpConfiguration(const QString& location) {
    QStringList rows;
    DatabaseConnection connection(QUuid::createUuid().toString());
    if (!OpenDatabaseAt(connection, location)) {
        return {QStringLiteral("cannot open ") + location};
    }
    for (const QString& table : SchemaTables()) {
        QSqlQuery query(connection.Database());
        query.exec(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" ORDER BY 1, 2"));
        while (query.next()) {
            QStringList fields{table};
            for (int i = 0; i < query.record().count(); ++i) {
                fields << query.value(i).toString();
            }
            rows << fields.join(QLatin1Char('|'));
        }
    }
    return rows;
}

struct LogRig {
    LogRig() {
        SetChangeLogTimeSource([this] {
            return QDateTime(QDate(2026, 12, 7), QTime(8, 0), Qt::UTC).addSecs(60 * ticks++);
        });
        tmp.Exec("INSERT INTO t_dnc_servers (dnc_server_name) VALUES ('CNCSRV1'), ('CNCSRV2')");
        for (const char* name : {"LATHE1", "LATHE2", "MILL1"}) {
            AddClientMDB(name, "CNCSRV1");
        }
        tmp.Exec("DELETE FROM kestrum_change_log");  // the cases start with an empty log
        ticks = 0;
    }
    ~LogRig() {
        SetChangeLogTimeSource({});
        SetCurrentAction(QString());
    }
    // The log, oldest first: table|operation|server|client|changes.
    QStringList Log(const QString& where = QStringLiteral("1 = 1")) const {
        return tmp.TextRows(QStringLiteral("SELECT table_name, operation, server_name, "
                                           "client_name, changes FROM kestrum_change_log "
                                           "WHERE ") +
                            where + QStringLiteral(" ORDER BY change_id"));
    }
    TempInstallation tmp;
    MessageRecorder messages;
    int ticks = 0;
};
