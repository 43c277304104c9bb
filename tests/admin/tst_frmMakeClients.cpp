// DNC client administration through its real widgets: the server list with the remembered
// server, the name rules for typed and pasted text, adding, deleting, renaming and the
// pop-up menu that opens the port setup and the directories.

#include "admin/frmMakeClients.h"
#include "base/settings.h"
#include "tests/admin/admin_fixture.h"
#include "tests/support/fast_clock.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSemaphore>

#include <thread>

namespace {

// SRV2's client is stored in lower case: names are compared without regard to case.
const ServerSetup kPlant = {{"SRV1", {"LATHE1", "MILL2"}}, {"SRV2", {"m5"}}, {"SRV3", {}}};

// One open client window on an installation with the servers of kPlant.
struct ClientWindow {
    explicit ClientWindow(const QString& remembered = {}) {
        LastClientServer = remembered;
        window = std::make_unique<frmMakeClients>();
        window->show();
        ready = db.IsValid() && QTest::qWaitForWindowActive(window.get());
    }
    QComboBox* Servers() const { return window->findChild<QComboBox*>("cboServers"); }
    QListWidget* List() const { return window->findChild<QListWidget*>("lstClients"); }
    QLineEdit* Name() const { return window->findChild<QLineEdit*>("txtClientName"); }
    QPushButton* Button(const char* name) const { return window->findChild<QPushButton*>(name); }
    void Trigger(const char* action) const { window->findChild<QAction*>(action)->trigger(); }
    // SRV1's clients as listed and as stored.
    QString Srv1() const {
        return Entries(List()).join(',') + " | " + db.ClientsOf("SRV1").join(',');
    }
    // The normal look: no renaming under way.
    bool NormalLook() const {
        return !window->EditNameActive() &&
               window->findChild<QLabel*>("lblEditName")->text() == "Client name:" &&
               Name()->toolTip().isEmpty() && Name()->text().isEmpty() &&
               Button("cmdAdd")->isEnabled() && Button("cmdSub")->isEnabled() &&
               Name()->palette().color(QPalette::Base) ==
                   QApplication::palette(Name()).color(QPalette::Base);
    }
    AdminInstallation db{kPlant};
    std::unique_ptr<frmMakeClients> window;
    bool ready = false;
};

}  // namespace

class TestClientWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The server the window opens on, and what choosing a server shows.
    void serverChoice() {
        const char* const rows[][4] = {{"SRV2", "SRV2", "m5", "M5"},
                                       {"SRV9", "SRV1", "LATHE1,MILL2", "LATHE1"}};
        for (const auto& r : rows) {
            ClientWindow w(r[0]);
            QVERIFY(w.ready);
            QCOMPARE(w.Servers()->currentText(), r[1]);
            QCOMPARE(Entries(w.List()).join(','), r[2]);
            QCOMPARE(w.Name()->text(), r[3]);
            QCOMPARE(LastClientServer, r[1]);
            // Choosing another server empties the box before its clients are listed.
            w.Servers()->setCurrentText("SRV3");
            QCOMPARE(w.List()->count(), 0);
            QCOMPARE(w.Name()->text(), QString());
            QCOMPARE(LastClientServer, QStringLiteral("SRV3"));
        }
    }

    // Typed and pasted text obey the same rule.
    void nameCharacters() {
        const struct {
            bool paste;
            const char *input, *shown;
        } rows[] = {{false, "m-12_a", "M12A"}, {true, "a'b", "AB"}, {true, "m\u00fcll\t1", "MLL1"}};
        ClientWindow w;
        QVERIFY(w.ready);
        for (const auto& r : rows) {
            w.Name()->clear();
            if (r.paste) {
                QApplication::clipboard()->setText(QString::fromUtf8(r.input));
                w.Name()->setFocus();
                QTest::keySequence(w.Name(), QKeySequence::Paste);
            } else {
                QTest::keyClicks(w.Name(), r.input);
            }
            QCOMPARE(w.Name()->text(), r.shown);
        }
        // Outside renaming Enter and Esc neither add nor close.
        QTest::keyClick(w.Name(), Qt::Key_Return);
        QTest::keyClick(w.Name(), Qt::Key_Escape);
        QVERIFY(w.window->isVisible());
        QCOMPARE(w.Srv1(), "LATHE1,MILL2 | LATHE1,MILL2");
    }

    // What "<" does with the name in the box; the box keeps the name. A failed insert leaves
    // no entry in the list.
    void add_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("srv1");     // SRV1's list afterwards
        QTest::addColumn<QString>("message");  // part of the one message's text, if any
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("refused");  // the database refuses the insert
        const auto row = [](const char* name, const char* typed, const char* srv1,
                            const char* message = "", const char* title = "",
                            bool refused = false) {
            QTest::newRow(name) << QString(typed) << QString(srv1) << QString(message)
                                << QString(title) << refused;
        };
        const char* before = "LATHE1,MILL2";
        row("new", "DRILL 3", "DRILL 3,LATHE1,MILL2");
        row("blanks only", "   ", before);
        row("listed already", "MILL2", before);
        row("on another server", "M5", before, "Client name \"M5\" exists on Server \"SRV2\"",
            "Client name used");
        row("reserved NODE03", "Node03", before, "DNCAdmin.ini", "Client name reserved");
        row("NODE05 is free", "NODE05", "LATHE1,MILL2,NODE05");
        row("insert refused", "DRILL3", before, "refused", "Kestrum", true);
    }
    void add() {
        QFETCH(QString, typed);
        QFETCH(QString, srv1);
        QFETCH(QString, message);
        QFETCH(QString, title);
        QFETCH(bool, refused);
        ClientWindow w;
        QVERIFY(w.ready);
        MessageRecorder messages;
        QVERIFY(!refused || w.db.RefuseInserts("t_dnc_server_clients"));
        w.Name()->setText(typed);  // as if it came in past the key rules
        QTest::mouseClick(w.Button("cmdAdd"), Qt::LeftButton);
        QCOMPARE(w.Srv1(), srv1 + " | " + srv1);
        QCOMPARE(w.db.ClientsOf("SRV2"), QStringList{"m5"});
        QCOMPARE(w.Name()->text(), typed.toUpper());
        QCOMPARE(messages.Count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QVERIFY2(messages.Last().text.contains(message), qPrintable(messages.Last().text));
            QCOMPARE(messages.Last().title, title);
            QCOMPARE(messages.Last().icon, refused ? MsgIcon::None : MsgIcon::Critical);
        }
        // Each client has its one port row.
        QCOMPARE(w.db.Count("t_client_mode"), srv1.count(',') + 2);
    }

    void remove() {
        ClientWindow w;
        QVERIFY(w.ready);
        const int lathe = w.db.ClientId("LATHE1").toInt();
        const int mill = w.db.ClientId("MILL2").toInt();
        // LATHE1 listed on MILL2's shop terminal and the other way round.
        for (const QVariantList& pair : {QVariantList{mill, lathe}, QVariantList{lathe, mill}}) {
            w.db.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                      pair);
        }
        const QStringList modeRows = w.db.Rows("t_client_mode");
        MessageRecorder messages;
        messages.Answer({MsgAnswer::Cancel, MsgAnswer::Ok});
        ClickEntry(w.List(), "LATHE1");
        QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
        QCOMPARE(w.Srv1(), "LATHE1,MILL2 | LATHE1,MILL2");
        QCOMPARE(messages.Texts(), QStringList{"You are about to delete DNC Client \"LATHE1\""});
        QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
        QCOMPARE(w.Srv1(), "MILL2 | MILL2");
        // Only the listings of the deleted client go; its other rows stay.
        QCOMPARE(w.db.Rows("t_shopterm_clients"),
                 QStringList{QStringLiteral("2|%1|%2").arg(lathe).arg(mill)});
        QCOMPARE(w.db.Rows("t_client_mode"), modeRows);
        // Nothing selected afterwards: nothing asked.
        QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
        QCOMPARE(messages.Count(), 2);
        // Deleted by another administrator while listed: said so, nothing written, and the
        // list read again.
        ClickEntry(w.List(), "MILL2");
        QVERIFY(w.db.Exec("DELETE FROM t_dnc_server_clients WHERE client_name = 'MILL2'"));
        messages.Answer({MsgAnswer::Ok, MsgAnswer::Ok});
        QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
        QCOMPARE(messages.Count(), 3);
        QCOMPARE(messages.Last().title, QStringLiteral("DNC Client not found"));
        QCOMPARE(w.db.Rows("t_shopterm_clients").size(), 1);
        QCOMPARE(w.Srv1(), " | ");
    }

    // Two administrators add one name at once (in other letter case): the other's insert is
    // not yet committed when this window checks the name, so the database's uniqueness
    // decides and the window gives its own refusal; none of the refused client's rows stay.
    void sameNameAddedElsewhereAtOnce() {
        ClientWindow w;
        QVERIFY(w.ready);
        if (!w.db.OnServer()) {
            QSKIP("two writers at once need the server");
        }
        QSemaphore ran;
        std::thread other(ActAsOtherAdministrator, w.db.DatabaseLocation(),
                          QStringList{"INSERT INTO t_dnc_server_clients (client_name, "
                                      "dnc_server_id) VALUES ('Drill3', 1)"},
                          &ran, 300);
        ran.acquire();
        MessageRecorder messages;
        w.Name()->setText("DRILL3");
        QTest::mouseClick(w.Button("cmdAdd"), Qt::LeftButton);
        other.join();
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().title, QStringLiteral("Client name used"));
        QCOMPARE(w.db.Count("t_dnc_server_clients", "client_name = 'DRILL3'"), 1);
        QCOMPARE(w.db.Count("t_client_mode"), 3);
    }

    // Renaming LATHE1: the result, and the title of the one message, if any.
    void rename_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("srv1");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("gone");  // deleted by another administrator before the key
        QTest::addColumn<int>("key");    // that ends the rename; 0: a click on the list
        const auto row = [](const char* name, const char* typed, const char* srv1,
                            const char* title, bool gone = false, int key = Qt::Key_Return) {
            QTest::newRow(name) << QString(typed) << QString(srv1) << QString(title) << gone << key;
        };
        const char *same = "LATHE1,MILL2", *used = "Client name used";
        row("free name", "LATHE9", "LATHE9,MILL2", "");
        row("blanks only", "   ", same, "");
        row("used elsewhere", "M5", same, used);
        row("unchanged", "LATHE1", same, used);
        row("reserved", "NODE01", same, "Client name reserved");
        row("deleted meanwhile", "LATHE9", "MILL2", "DNC Client not found", true);
        row("left by Esc", "X", same, "", false, Qt::Key_Escape);
        row("left by a click on the list", "X", same, "", false, 0);
    }
    void rename() {
        QFETCH(QString, typed);
        QFETCH(QString, srv1);
        QFETCH(QString, title);
        QFETCH(bool, gone);
        QFETCH(int, key);
        ClientWindow w;
        QVERIFY(w.ready);
        const QVariant id = w.db.ClientId("LATHE1");
        MessageRecorder messages;
        ClickEntry(w.List(), "LATHE1");
        w.Trigger("mnuClientEdit");
        QVERIFY(!w.Button("cmdAdd")->isEnabled());
        w.Name()->clear();
        QTest::keyClicks(w.Name(), typed);
        QVERIFY(!gone || w.db.Exec("DELETE FROM t_dnc_server_clients WHERE client_id = ?", {id}));
        if (key) {
            QTest::keyClick(w.Name(), Qt::Key(key));
        } else {
            w.List()->setFocus(Qt::MouseFocusReason);
        }
        QCOMPARE(w.Srv1(), srv1 + " | " + srv1);
        if (!gone) {  // the renamed client keeps its id
            QCOMPARE(w.db.ClientId(srv1.section(',', 0, 0)), id);
        }
        QCOMPARE(messages.Count(), title.isEmpty() ? 0 : 1);
        if (!title.isEmpty()) {
            QCOMPARE(messages.Last().title, title);
        }
        QVERIFY(w.NormalLook());
    }

    // Properties and Directories hand the selected client to their windows; a client that is
    // gone opens nothing.
    void clientWindows() {
        FastClock clock;
        ClientWindow w;
        QVERIFY(w.ready);
        QStringList opened;  // "which NAME id server" per call
        const auto record = [&opened](const char* which) {
            return [&opened, which](QWidget*) {
                opened << QStringLiteral("%1 %2 %3 %4")
                              .arg(which, CurrentClientName, QString::number(CurrentClientId),
                                   QString::number(CurrentServerId));
            };
        };
        frmMakeClients::OpenPortSetup = record("PortSetup");
        frmMakeClients::OpenDirectories = record("Directories");
        const auto restore = qScopeGuard([] {
            frmMakeClients::OpenPortSetup = {};
            frmMakeClients::OpenDirectories = {};
        });
        MessageRecorder messages;
        const int mill = w.db.ClientId("MILL2").toInt();
        const QString expected = QStringLiteral("MILL2 %1 1").arg(mill);  // SRV1 is server 1
        ClickEntry(w.List(), "MILL2");
        w.Trigger("mnuClientProperties");
        w.Trigger("mnuDirectories");
        QCOMPARE(opened, QStringList{"PortSetup " + expected});  // not before the timer fires
        clock.Advance(100);
        clock.Advance(1000);
        QCOMPARE(opened, QStringList({"PortSetup " + expected, "Directories " + expected}));

        // Deleted elsewhere: neither window opens, and the list shows what is left.
        w.db.Exec("DELETE FROM t_dnc_server_clients WHERE client_name = 'MILL2'");
        w.Trigger("mnuDirectories");
        clock.Advance(1000);
        QCOMPARE(Entries(w.List()), QStringList{"LATHE1"});
        ClickEntry(w.List(), "LATHE1");
        w.db.Exec(
            "UPDATE t_dnc_server_clients SET client_name = 'LATHE7' WHERE client_name = 'LATHE1'");
        w.Trigger("mnuClientProperties");
        QCOMPARE(opened.size(), 2);
        QCOMPARE(messages.Last().text,
                 QStringLiteral("DNC Client \"LATHE1\" is no longer in the database"));
        QCOMPARE(Entries(w.List()), QStringList{"LATHE7"});
        QCOMPARE(CurrentClientId, mill);  // not changed by the failed look-up
    }
};

KESTRUM_TEST(TestClientWindow)
#include "tst_frmMakeClients.moc"
