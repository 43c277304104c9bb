// Copying between two SQLite files (its command line: the refusal tests): a round trip gives the
// same rows and counters (so new ids continue above every copied one, as after the import), and
// a target holding rows is refused unchanged.

#include "db/new_installation.h"
#include "db/schema_names.h"
#include "tests/support/test_main.h"
#include "tests/transfer/transfer_fixture.h"
#include "transfer/transfer_jobs.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

QString Sequences(const QString& file) {
    QStringList all;
    for (const QJsonObject& row : RowsOf(file, QStringLiteral("sqlite_sequence"))) {
        all << row.value("name").toString() + QLatin1Char('=') +
                   QString::number(row.value("seq").toInteger());
    }
    all.sort();
    return all.join(QLatin1Char(','));
}

}  // namespace

class TestDbCopy : public QObject {
    Q_OBJECT
private slots:
    void roundTrip() {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.mdb"));
        const QString b = dir.filePath(QStringLiteral("b.mdb"));
        const QString c = dir.filePath(QStringLiteral("c.mdb"));
        QVERIFY(ImportAccessFile(SampleMdb(), a).ok);

        CopyOutcome outcome = CopyDatabase(a, b);  // a new file
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QVERIFY(CreateDatabaseAt(c));  // an existing file without rows
        outcome = CopyDatabase(b, c);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        for (const QString& table : SchemaTables()) {
            QCOMPARE(RowsOf(c, table), RowsOf(a, table));
        }
        QCOMPARE(Sequences(c), Sequences(a));
        QCOMPARE(Sequences(a), QStringLiteral("t_client_directory=44,t_dnc_server_clients=37,"
                                              "t_dnc_servers=5,t_shopterm_clients=11"));

        // A target that holds rows is refused and left byte for byte.
        const QByteArray before = FileBytes(b);
        outcome = CopyDatabase(a, b);
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.error.contains(QStringLiteral("already holds a configuration")));
        QCOMPARE(FileBytes(b), before);
        QVERIFY(!CopyDatabase(a, a).ok);
    }
};

KESTRUM_TEST(TestDbCopy)

#include "tst_dbcopy.moc"
