// The configuration on a PostgreSQL server shared by several administrators: two real
// connections to one database. Runs in the _pg variant only.

#include "db/backend.h"
#include "db/client_copy.h"
#include "db/new_installation.h"
#include "db_test_helpers.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSqlQuery>

#include <thread>

namespace {

// Columns of a live database: "table.column type default", types and defaults as both
// engines would agree on them.
QStringList Catalog(const TempInstallation& tmp) {
    QStringList columns;
    for (const QString& table : tmp.TableNames()) {
        const QList<QVariantList> rows =
            tmp.OnServer() ? tmp.Query(
                                 "SELECT column_name, data_type, column_default, is_identity "
                                 "FROM information_schema.columns WHERE table_schema = "
                                 "current_schema() AND table_name = ? ORDER BY ordinal_position",
                                 {table})
                           : tmp.Query(
                                 "SELECT name, type, dflt_value, pk FROM pragma_table_info(?) "
                                 "ORDER BY cid",
                                 {table});
        for (const QVariantList& row : rows) {
            QString type = row.at(1).toString().toLower();
            type = type == "user-defined" || type == "text" ? "text" : "integer";
            QString fallback = row.at(2).toString().section("::", 0, 0);
            columns << QStringLiteral("%1.%2 %3 %4")
                           .arg(table, row.at(0).toString().toLower(), type, fallback);
        }
    }
    return columns;
}

}  // namespace

class TestServerBackend : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (!TestOnServer()) {
            QSKIP("runs on the PostgreSQL server only");
        }
    }

    void schemaFilesAgree() {
        TempInstallation server;
        qputenv("KESTRUM_TEST_BACKEND", "sqlite");
        {
            TempInstallation file;
            QCOMPARE(Catalog(server), Catalog(file));
            QCOMPARE(server.TextRows("SELECT * FROM t_protocol ORDER BY protocol_id"),
                     file.TextRows("SELECT * FROM t_protocol ORDER BY protocol_id"));
        }
        qputenv("KESTRUM_TEST_BACKEND", "pg");
        // A database that holds the tables is refused, and left as it was.
        QString error;
        QVERIFY(!CreateServerSchema(server.DatabaseLocation(), &error));
        QVERIFY2(error.contains("already holds the tables"), qPrintable(error));
    }

    void copyRacingADeleteLeavesNoHalfChangedClient() {
        TempInstallation tmp;
        MessageRecorder messages;
        QVERIFY(tmp.AddPlant({{"CNCSRV1", {"SOURCE", "TARGET"}}}));
        tmp.Exec("UPDATE t_client_mode SET m_baud = 4800 WHERE client_id = 1");
        CurrentClientName = "SOURCE";
        QVERIFY(ReadCurrentClientIds());
        QSemaphore ran;
        std::thread other(ActAsOtherAdministrator, tmp.DatabaseLocation(),
                          QStringList{"DELETE FROM t_dnc_server_clients WHERE client_id = 2"}, &ran,
                          300);
        ran.acquire();
        const CopyOutcome outcome = CopyClientAttributes(2);
        other.join();
        QVERIFY(!outcome.AttributesCopied);
        QCOMPARE(tmp.QueryValue("SELECT m_baud FROM t_client_mode WHERE client_id = 2").toInt(),
                 9600);
        QCOMPARE(messages.Count(), 0);
    }

    void lostConnectionIsReportedOnceThenReconnects() {
        TempInstallation tmp;
        MessageRecorder messages;
        AddServer("CNCSRV1");
        const QVariant pid = [&] {
            QSqlQuery query(DncConnection.Database());
            query.exec("SELECT pg_backend_pid()");
            return query.next() ? query.value(0) : QVariant();
        }();
        // The server ends this administrator's session (as a restart does).
        QVERIFY(tmp.Exec("SELECT pg_terminate_backend(?)", {pid}));
        QVERIFY(!AddClientMDB("LATHE1", "CNCSRV1"));
        QCOMPARE(messages.Count(), 1);
        QVERIFY2(messages.Texts().first().contains("connection to the database server was lost"),
                 qPrintable(messages.Texts().first()));
        QCOMPARE(tmp.Count("t_dnc_server_clients"), 0);
        QCOMPARE(LoadServerNames(), -1);  // same routine: quiet, not read
        QCOMPARE(messages.Count(), 1);
        // Back in the event loop: the next action connects again.
        QCoreApplication::processEvents();
        QVERIFY(AddClientMDB("LATHE2", "CNCSRV1"));
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(tmp.Count("t_client_mode"), 1);
    }
};

KESTRUM_TEST(TestServerBackend)
#include "tst_server.moc"
