// Clone Client administration through its real widgets, on a real DNC.mdb.

#include "admin/clone_clients.h"
#include "admin/frmCloneClients.h"
#include "db/dnc_database.h"
#include "db/statement_count.h"
#include "tests/admin/admin_fixture.h"
#include "tests/support/message_recorder.h"
#include "tests/support/modal_driver.h"
#include "tests/support/test_main.h"

#include <QProgressBar>

namespace {

QString Target(int n) {
    return QStringLiteral("T%1").arg(n, 2, 10, QLatin1Char('0'));
}

// SOURCE (remote, 4800 baud, two folders) on CNCSRV1; T01..T50, odd ones on CNCSRV1, even
// ones on CNCSRV2.
struct Plant {
    Plant() {
        LastCloneServer.clear();
        LastCloneSource.clear();
        ServerSetup servers{{"CNCSRV1", {"SOURCE"}}, {"CNCSRV2", {}}};
        for (int n = 1; n <= 50; ++n) {
            servers[n % 2 ? 0 : 1].second << Target(n);
        }
        tmp.AddPlant(servers);
        tmp.Exec("UPDATE t_dnc_server_clients SET protocol_id = 72 WHERE client_id = 1");
        tmp.Exec("UPDATE t_client_mode SET m_baud = 4800, m_parity = 'N' WHERE client_id = 1");
        AddDir("SOURCE", "C:\\NC\\PROG", "TV1", 3, -1);
        AddDir("SOURCE", "C:\\NC\\UP", "TV2", 2);
    }
    void AddDir(const QString& client, const QString& path, const QString& alias, int mode,
                int explore = 0) {
        tmp.Exec(
            "INSERT INTO t_client_directory (client_id, directory_direct, directory_alias, "
            "dir_mode, explore_from_here) VALUES (?, ?, ?, ?, ?)",
            {tmp.ClientId(client), path, alias, mode, explore});
    }
    // "path|alias|mode|explore" per folder of the client, by path.
    QStringList Dirs(const QString& client) const {
        return tmp.TextRows(
            "SELECT directory_direct, directory_alias, dir_mode, explore_from_here FROM "
            "t_client_directory WHERE client_id = ? ORDER BY directory_direct",
            {tmp.ClientId(client)});
    }
    AdminInstallation tmp{ServerSetup{}};
};

struct CloneWindow : TwoSidedWindow<frmCloneClients> {
    // Picks the server on the right and adds each name from its list with "<".
    void AddTargets(const QString& server, const QStringList& names) const {
        Servers(1)->setCurrentText(server);
        for (const QString& name : names) {
            ClickEntry(List(1), name);
            Click("cmdAdd");
        }
    }
};

}  // namespace

class TestCloneWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // On a server each statement is a round trip: a clone's statements must not grow with its
    // targets, neither when it adds their rows and folders nor when it updates them. Each
    // target's change-log records stay together, in the order the targets were named.
    void statementsDoNotGrowWithTargets() {
        Plant plant;
        MessageRecorder messages;
        const auto clone = [](int first, int count) {
            QStringList targets;
            for (int n = first; n < first + count; ++n) {
                targets << Target(n);
            }
            const quint64 before = StatementsSent();
            CloneRun run = PrepareClone("SOURCE", targets);
            while (CloneNextTarget(run)) {
            }
            for (const CloneTargetResult& result : std::as_const(run.Results)) {
                if (!result.Outcome.Committed || !result.Outcome.AttributesCopied) {
                    return quint64(0);
                }
            }
            return StatementsSent() - before;
        };
        clone(49, 2);  // statements prepared once
        const quint64 fewAdded = clone(1, 3);
        plant.tmp.Exec("DELETE FROM kestrum_change_log");
        const quint64 manyAdded = clone(4, 40);
        QVERIFY(fewAdded > 0 && manyAdded > 0);
        // Folders added one by one where the insert cannot hand back every new key: two rows
        // per target at most, never the copy's other statements.
        QVERIFY2(manyAdded <= fewAdded + 2 * 37,
                 qPrintable(QStringLiteral("%1 then %2").arg(fewAdded).arg(manyAdded)));
        // The records: client by client, as named.
        QStringList order;
        for (const QString& client :
             plant.tmp.TextRows("SELECT client_name FROM kestrum_change_log ORDER BY change_id")) {
            if (order.isEmpty() || order.last() != client) {
                order << client;
            }
        }
        QStringList expected;
        for (int n = 4; n < 44; ++n) {
            expected << Target(n);
        }
        QCOMPARE(order, expected);

        const quint64 fewUpdated = clone(1, 3);
        const quint64 manyUpdated = clone(4, 40);
        QVERIFY(fewUpdated > 0);
        QCOMPARE(manyUpdated, fewUpdated);
        QCOMPARE(messages.Count(), 0);
    }

    // A target the database refuses to take stays alone in its failure: the targets copied
    // with it in one batch are copied all the same, nothing of its own copy is kept, and the
    // refusal is said once.
    void aRefusedTargetStaysAlone_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("operation");
        QTest::newRow("its port settings") << "t_client_mode"
                                           << "UPDATE";
        QTest::newRow("its folders") << "t_client_directory"
                                     << "INSERT";
    }
    void aRefusedTargetStaysAlone() {
        QFETCH(QString, table);
        QFETCH(QString, operation);
        Plant plant;
        const QString when =
            "NEW.client_id = (SELECT client_id FROM t_dnc_server_clients WHERE client_name = "
            "'T07')";
        const QStringList refuse =
            plant.tmp.OnServer()
                ? QStringList{"CREATE FUNCTION refuse_t07() RETURNS trigger AS $$ BEGIN IF " +
                                  when +
                                  " THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$ "
                                  "LANGUAGE plpgsql",
                              QString("CREATE TRIGGER refuse_t07 BEFORE %1 ON %2 FOR EACH ROW "
                                      "EXECUTE FUNCTION refuse_t07()")
                                  .arg(operation, table)}
                : QStringList{QString("CREATE TRIGGER refuse_t07 BEFORE %1 ON %2 WHEN %3 BEGIN "
                                      "SELECT RAISE(ABORT, 'refused'); END")
                                  .arg(operation, table, when)};
        for (const QString& sql : refuse) {
            QVERIFY2(plant.tmp.Exec(sql), qPrintable(sql));
        }
        MessageRecorder messages;
        QStringList targets;
        for (int n = 1; n <= 20; ++n) {
            targets << Target(n);
        }
        CloneRun run = PrepareClone("SOURCE", targets);
        while (CloneNextTarget(run)) {
        }
        QCOMPARE(run.Results.size(), 20);
        const QStringList sourceDirs = plant.Dirs("SOURCE");
        for (const CloneTargetResult& result : std::as_const(run.Results)) {
            const bool refused = result.Name == Target(7);
            const QString baud = plant.tmp
                                     .TextRows(
                                         "SELECT m_baud FROM t_client_mode WHERE "
                                         "client_id = ?",
                                         {plant.tmp.ClientId(result.Name)})
                                     .value(0);
            QVERIFY2((result.Outcome.FailedStatements > 0) == refused, qPrintable(result.Name));
            if (!refused) {
                QVERIFY2(result.Outcome.Committed, qPrintable(result.Name));
                QCOMPARE(baud, QString("4800"));
                QCOMPARE(plant.Dirs(result.Name), sourceDirs);
            } else {
                // Nothing of its copy is kept.
                QVERIFY(!result.Outcome.Committed && !result.Outcome.AttributesCopied);
                QVERIFY(baud != "4800");
                QCOMPARE(plant.Dirs(result.Name), QStringList());
            }
        }
        // What T07 alone reports: each refused statement, where the server does not take a
        // statement after a failed one as failing for the same reason. The batch's own
        // failure is not said again.
        const int refusals = table == "t_client_directory" && !plant.tmp.OnServer() ? 2 : 1;
        QCOMPARE(messages.Count(), refusals);
        for (const QString& text : messages.Texts()) {
            QVERIFY2(text.contains("refused"), qPrintable(text));
        }
    }

    // The target list never holds the source or a name twice; ">" takes the selected one out
    // and leaves no selection behind. Esc and Enter leave the window open. A source deleted
    // after the window opened: nothing copied, said so, the window stays.
    void targetListAndSourceDeleted() {
        Plant plant;
        MessageRecorder messages;
        CloneWindow w;
        w.AddTargets("CNCSRV1", {"SOURCE", Target(1), Target(3), Target(1)});
        QCOMPARE(Entries(w.List(0)), (QStringList{Target(1), Target(3)}));
        w.List(0)->setCurrentRow(0);
        w.Click("cmdSub");
        w.Click("cmdSub");  // nothing selected: nothing removed
        QCOMPARE(Entries(w.List(0)), QStringList{Target(3)});
        QTest::keyClick(w.List(0), Qt::Key_Escape);
        QTest::keyClick(w.List(0), Qt::Key_Return);
        QVERIFY(w.window->isVisible());
        QCOMPARE(messages.Count(), 0);

        plant.tmp.Exec("DELETE FROM t_dnc_server_clients WHERE client_name = 'SOURCE'");
        w.Click("cmdOK");
        QCOMPARE(messages.Texts(),
                 QStringList{"The client \"SOURCE\" no longer exists. Nothing was copied."});
        QVERIFY(w.window->isVisible());
        QCOMPARE(plant.tmp.Count("t_client_mode", "m_baud = 4800"), 1);  // the source's only
        QCOMPARE(plant.tmp.Count("t_client_directory"), 2);
    }

    // One source onto 50 targets of two servers, with their progress shown: the attributes
    // (not onto the shop terminal), the folders by path without regard to letter case, and
    // the aliases only where the target does not use them already.
    void cloneOntoFiftyTargets() {
        Plant plant;
        MessageRecorder messages;
        for (int n = 1; n <= 20; ++n) {
            n <= 10 ? plant.AddDir(Target(n), "c:\\nc\\prog", "OLD", 1)
                    : plant.AddDir(Target(n), "D:\\OTHER", "TV2", 3);
        }
        plant.tmp.Exec("UPDATE t_dnc_server_clients SET protocol_id = 5 WHERE client_name = ?",
                       {Target(21)});
        plant.tmp.Exec("DELETE FROM t_dnc_server_clients WHERE client_name = ?", {Target(22)});
        CloneWindow w;
        // Every client of both servers but the source; T22 was deleted before the window opened.
        w.AddTargets("CNCSRV1", plant.tmp.ClientsOf("CNCSRV1"));
        w.AddTargets("CNCSRV2", plant.tmp.ClientsOf("CNCSRV2"));
        w.List(0)->addItem(Target(22));  // as if deleted after it was added
        int shownFor = 0;
        const auto progress = WhenModal<frmCloneProgress>([&shownFor](frmCloneProgress* p) {
            shownFor = p->findChild<QProgressBar*>("barProgress")->maximum();
        });
        w.Click("cmdOK");
        QVERIFY2(progress->seen, qPrintable(progress->failure));
        QCOMPARE(shownFor, 50);
        QVERIFY(!w.window->isVisible());

        // Every target's baud, protocol and remote rows, then its folders.
        const QStringList source{"C:\\NC\\PROG|TV1|3|-1", "C:\\NC\\UP|TV2|2|0"};
        QStringList expected, actual;
        for (int n = 1; n <= 50; ++n) {
            if (n == 22) {
                continue;
            }
            actual << plant.tmp.TextRows(
                          "SELECT m_baud, protocol_id, (SELECT COUNT(*) FROM t_remote WHERE "
                          "rem_client_id = c.client_id) FROM t_dnc_server_clients c JOIN "
                          "t_client_mode m ON m.client_id = c.client_id WHERE client_name = ?",
                          {Target(n)})
                   << plant.Dirs(Target(n));
            expected << (n == 21 ? "9600|5|0" : "4800|72|1")
                     << (n <= 10   ? QStringList{"c:\\nc\\prog|TV1|3|-1", "C:\\NC\\UP|TV2|2|0"}
                         : n <= 20 ? QStringList{"C:\\NC\\PROG|TV1|3|-1", "C:\\NC\\UP||2|0",
                                                 "D:\\OTHER|TV2|3|0"}
                                   : source);
        }
        QCOMPARE(actual, expected);
        QCOMPARE(plant.Dirs("SOURCE"), source);
        QCOMPARE(plant.tmp.Count("t_client_directory",
                                 "client_id NOT IN (SELECT client_id FROM t_dnc_server_clients)"),
                 0);

        QCOMPARE(messages.Count(), 1);
        const QStringList summary = messages.Last().text.split('\n');
        QCOMPARE(summary.value(0), "Clone of SOURCE:");
        QVERIFY2(summary.value(1).startsWith("Properties copied to 48 of 50 clients: T01, T03"),
                 qPrintable(summary.value(1)));
        QCOMPARE(summary.value(2), "Directories added: 88, updated: 10.");
        QVERIFY(
            summary.contains("Skipped, a shop terminal (protocol 5) keeps its attributes: T21."));
        QVERIFY(summary.contains("Skipped, the client no longer exists: T22."));
        QVERIFY(
            summary.contains("Not copied, directory C:\\NC\\UP: the alias \"TV2\" is already "
                             "used by another directory of the target; not given: T11, T13, "
                             "T15, T17, T19, T12, T14, T16 and 2 more."));
    }
};

KESTRUM_TEST(TestCloneWindow)
#include "tst_frmCloneClients.moc"
