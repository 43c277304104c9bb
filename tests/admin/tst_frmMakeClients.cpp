// DNC client administration through its real widgets: the server list with the remembered
// server, the name rules for typed and pasted text, adding, deleting, renaming and the
// pop-up menu that opens the port setup and the directories.

#include "admin/frmMakeClients.h"
#include "base/settings.h"
#include "db/client_attributes.h"
#include "tests/admin/admin_fixture.h"
#include "tests/support/fast_clock.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace {

// SRV2's client is stored in lower case: names are compared without regard to case.
const ServerSetup kPlant = {{"SRV1", {"LATHE1", "MILL2"}}, {"SRV2", {"m5"}}, {"SRV3", {}}};

// One open client window on an installation with the servers of kPlant.
class ClientWindow {
public:
    explicit ClientWindow(const ServerSetup& servers = kPlant, const QString& remembered = {})
        : installation_(servers) {
        LastClientServer = remembered;
        window_ = std::make_unique<frmMakeClients>();
        window_->show();
        ready_ = installation_.IsValid() && QTest::qWaitForWindowActive(window_.get());
    }

    bool Ready() const { return ready_; }
    frmMakeClients* Window() const { return window_.get(); }
    const AdminInstallation& Db() const { return installation_; }
    QComboBox* Servers() const { return window_->findChild<QComboBox*>("cboServers"); }
    QListWidget* List() const { return window_->findChild<QListWidget*>("lstClients"); }
    QLineEdit* Name() const { return window_->findChild<QLineEdit*>("txtClientName"); }
    QLabel* Label() const { return window_->findChild<QLabel*>("lblEditName"); }
    QPushButton* Button(const char* name) const { return window_->findChild<QPushButton*>(name); }
    QAction* Action(const char* name) const { return window_->findChild<QAction*>(name); }

    void StartRename(const QString& client) const {
        ClickEntry(List(), client);
        Action("mnuClientEdit")->trigger();
    }
    // The normal look: no renaming under way.
    bool NormalLook() const {
        return !window_->EditNameActive() && Label()->text() == "Client name:" &&
               Name()->toolTip().isEmpty() && Name()->text().isEmpty() &&
               Button("cmdAdd")->isEnabled() && Button("cmdSub")->isEnabled() &&
               Name()->palette().color(QPalette::Base) ==
                   QApplication::palette(Name()).color(QPalette::Base);
    }

private:
    AdminInstallation installation_;
    std::unique_ptr<frmMakeClients> window_;
    bool ready_ = false;
};

struct OpenedWindows {
    QStringList opened;  // "PortSetup NAME id server" per call
    OpenedWindows() {
        const auto record = [this](const char* which) {
            return [this, which](QWidget*) {
                opened << QStringLiteral("%1 %2 %3 %4")
                              .arg(which, CurrentClientName)
                              .arg(CurrentClientId)
                              .arg(CurrentServerId);
            };
        };
        frmMakeClients::OpenPortSetup = record("PortSetup");
        frmMakeClients::OpenDirectories = record("Directories");
    }
    ~OpenedWindows() {
        frmMakeClients::OpenPortSetup = {};
        frmMakeClients::OpenDirectories = {};
    }
};

}  // namespace

class TestClientWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opens() {
        ClientWindow w;
        QVERIFY(w.Ready());
        QCOMPARE(w.Button("cmdAdd")->text(), QStringLiteral("< "));  // the blank is part of it
        QVERIFY(!w.Servers()->isEditable());
    }

    // The server the window opens on, and what choosing a server shows.
    void serverChoice_data() {
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QStringList>("clients");
        QTest::addColumn<QString>("name");
        const QStringList srv1{"LATHE1", "MILL2"};
        const struct {
            const char *row, *remembered, *server;
            QStringList clients;
            const char* name;
        } rows[] = {{"first opening", "", "SRV1", srv1, "LATHE1"},
                    {"remembered", "SRV2", "SRV2", {"m5"}, "M5"},
                    {"remembered, no clients", "SRV3", "SRV3", {}, ""},
                    {"remembered, deleted", "SRV9", "SRV1", srv1, "LATHE1"}};
        for (const auto& r : rows) {
            QTest::newRow(r.row) << QString(r.remembered) << QString(r.server) << r.clients
                                 << QString(r.name);
        }
    }
    void serverChoice() {
        QFETCH(QString, remembered);
        QFETCH(QString, server);
        QFETCH(QStringList, clients);
        QFETCH(QString, name);
        ClientWindow w(kPlant, remembered);
        QVERIFY(w.Ready());
        QCOMPARE(w.Servers()->currentText(), server);
        QCOMPARE(Entries(w.List()), clients);
        QCOMPARE(w.Name()->text(), name);
        QCOMPARE(LastClientServer, server);
        // Choosing another server empties the box before its clients are listed.
        w.Servers()->setCurrentText("SRV3");
        QCOMPARE(Entries(w.List()), QStringList());
        QCOMPARE(w.Name()->text(), QString());
        QCOMPARE(LastClientServer, QStringLiteral("SRV3"));
    }

    void noServers() {
        ClientWindow w(ServerSetup{});
        QVERIFY(w.Ready());
        MessageRecorder messages;
        QTest::keyClicks(w.Name(), "M1");
        QTest::mouseClick(w.Button("cmdAdd"), Qt::LeftButton);
        QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
        QCOMPARE(w.Db().QueryValue("SELECT COUNT(*) FROM t_dnc_server_clients").toInt(), 0);
        QCOMPARE(messages.Count(), 0);
    }

    // Typed and pasted text obey the same rule.
    void nameCharacters_data() {
        QTest::addColumn<bool>("paste");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown");
        const struct {
            const char* row;
            bool paste;
            const char *input, *shown;
        } rows[] = {{"typed m-12_a", false, "m-12_a", "M12A"},
                    {"typed signs", false, "a b:;<=>?@/[", "A B:;<=>?@"},
                    {"pasted a'b", true, "a'b", "AB"},
                    {"pasted umlaut and tab", true, "m\u00fcll\t1", "MLL1"}};
        for (const auto& r : rows) {
            QTest::newRow(r.row) << r.paste << QString::fromUtf8(r.input) << QString(r.shown);
        }
    }
    void nameCharacters() {
        QFETCH(bool, paste);
        QFETCH(QString, input);
        QFETCH(QString, shown);
        ClientWindow w;
        QVERIFY(w.Ready());
        w.Name()->clear();
        if (paste) {
            QApplication::clipboard()->setText(input);
            w.Name()->setFocus();
            QTest::keySequence(w.Name(), QKeySequence::Paste);
        } else {
            QTest::keyClicks(w.Name(), input);
        }
        QCOMPARE(w.Name()->text(), shown);
    }

    // What "<" does with the name in the box; the box keeps the name.
    void add_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("listed");  // SRV1's list afterwards
        QTest::addColumn<QString>("message");     // text of the one message, if any
        QTest::addColumn<QString>("title");
        const QStringList before{"LATHE1", "MILL2"};
        const QStringList drill{"DRILL 3", "LATHE1", "MILL2"};
        const char* reserved = "Client name reserved";
        const struct {
            const char *row, *typed;
            QStringList listed;
            const char *message, *title;
        } rows[] = {
            {"new", "DRILL 3", drill, "", ""},
            {"blanks around", "  DRILL 3 ", drill, "", ""},
            {"blanks only", "   ", before, "", ""},
            {"listed already", "MILL2", before, "", ""},
            {"on another server", "M5", before, "Client name \"M5\" exists on Server \"SRV2\"",
             "Client name used"},
            {"reserved ADMIN", "admin", before, "\"ADMIN\" is the name of a section", reserved},
            {"reserved NODE03", "Node03", before, "DNCAdmin.ini", reserved},
            {"NODE05 is free", "NODE05", {"LATHE1", "MILL2", "NODE05"}, "", ""}};
        for (const auto& r : rows) {
            QTest::newRow(r.row) << QString(r.typed) << r.listed << QString(r.message)
                                 << QString(r.title);
        }
    }
    void add() {
        QFETCH(QString, typed);
        QFETCH(QStringList, listed);
        QFETCH(QString, message);
        QFETCH(QString, title);
        ClientWindow w;
        QVERIFY(w.Ready());
        MessageRecorder messages;
        const int rowsBefore = w.Db().QueryValue("SELECT COUNT(*) FROM t_client_mode").toInt();
        w.Name()->setText(typed);  // as if it came in past the key rules
        QTest::mouseClick(w.Button("cmdAdd"), Qt::LeftButton);
        QCOMPARE(Entries(w.List()), listed);
        QCOMPARE(w.Db().ClientsOf("SRV1"), listed);
        QCOMPARE(w.Db().ClientsOf("SRV2"), QStringList{"m5"});
        QCOMPARE(w.Name()->text(), typed.toUpper());
        QCOMPARE(messages.Count(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QVERIFY2(messages.Last().text.contains(message), qPrintable(messages.Last().text));
            QCOMPARE(messages.Last().title, title);
            QCOMPARE(messages.Last().icon, MsgIcon::Critical);
        }
        const int added = int(listed.size()) - 2;
        QCOMPARE(w.Db().QueryValue("SELECT COUNT(*) FROM t_client_mode").toInt(),
                 rowsBefore + added);
    }

    // A failed insert leaves no entry in the list.
    void addFailing() {
        ClientWindow w;
        QVERIFY(w.Ready());
        MessageRecorder messages;
        QVERIFY(
            w.Db().Exec("CREATE TRIGGER no_clients BEFORE INSERT ON t_dnc_server_clients "
                        "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        w.Name()->setText("DRILL3");
        QTest::mouseClick(w.Button("cmdAdd"), Qt::LeftButton);
        QCOMPARE(Entries(w.List()), QStringList({"LATHE1", "MILL2"}));
        QVERIFY(messages.Count() >= 1);  // the database report
        QCOMPARE(w.Db().QueryValue("SELECT COUNT(*) FROM t_client_mode").toInt(), 3);
    }

    void remove() {
        ClientWindow w;
        QVERIFY(w.Ready());
        const int lathe = w.Db().ClientId("LATHE1").toInt();
        const int mill = w.Db().ClientId("MILL2").toInt();
        // LATHE1 listed on MILL2's shop terminal and the other way round.
        w.Db().Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                    {mill, lathe});
        w.Db().Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                    {lathe, mill});
        const QStringList modeRows = w.Db().Rows("t_client_mode");
        MessageRecorder messages;
        messages.Answer({MsgAnswer::Cancel, MsgAnswer::Ok});
        ClickEntry(w.List(), "LATHE1");
        QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
        QCOMPARE(Entries(w.List()), QStringList({"LATHE1", "MILL2"}));
        QCOMPARE(messages.Last().text,
                 QStringLiteral("You are about to delete DNC Client \"LATHE1\""));
        QCOMPARE(messages.Last().title, QStringLiteral("Warning! Delete DNC Client"));
        QCOMPARE(messages.Last().buttons, MsgButtons::OkCancel);
        QCOMPARE(messages.Last().icon, MsgIcon::None);

        QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
        QCOMPARE(messages.Count(), 2);
        QCOMPARE(Entries(w.List()), QStringList{"MILL2"});
        QVERIFY(w.List()->selectedItems().isEmpty());
        QCOMPARE(w.Db().ClientsOf("SRV1"), QStringList{"MILL2"});
        // Only the listings of the deleted client go; its other rows stay.
        QCOMPARE(w.Db().Rows("t_shopterm_clients"),
                 QStringList{QStringLiteral("2|%1|%2").arg(lathe).arg(mill)});
        QCOMPARE(w.Db().Rows("t_client_mode"), modeRows);

        // Nothing selected: nothing asked.
        QTest::mouseClick(w.Button("cmdSub"), Qt::LeftButton);
        QCOMPARE(messages.Count(), 2);
    }

    void rename_data() {
        QTest::addColumn<QString>("typed");  // replaces the name in the box
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("title");  // of the one message, if any
        QTest::newRow("free name") << "LATHE9" << QStringList{"LATHE9", "MILL2"} << "";
        QTest::newRow("blanks around") << " LATHE9 " << QStringList{"LATHE9", "MILL2"} << "";
        QTest::newRow("blanks only") << "   " << QStringList{"LATHE1", "MILL2"} << "";
        QTest::newRow("used elsewhere")
            << "M5" << QStringList{"LATHE1", "MILL2"} << "Client name used";
        QTest::newRow("unchanged")
            << "LATHE1" << QStringList{"LATHE1", "MILL2"} << "Client name used";
        QTest::newRow("reserved") << "NODE01" << QStringList{"LATHE1", "MILL2"}
                                  << "Client name reserved";
    }
    void rename() {
        QFETCH(QString, typed);
        QFETCH(QStringList, listed);
        QFETCH(QString, title);
        ClientWindow w;
        QVERIFY(w.Ready());
        const QVariant id = w.Db().ClientId("LATHE1");
        MessageRecorder messages;
        w.StartRename("LATHE1");
        QVERIFY(w.Window()->EditNameActive());
        QCOMPARE(w.Name()->text(), QStringLiteral("LATHE1"));
        w.Name()->clear();
        QTest::keyClicks(w.Name(), typed);
        QTest::keyClick(w.Name(), Qt::Key_Return);
        QCOMPARE(Entries(w.List()), listed);
        QCOMPARE(w.Db().ClientsOf("SRV1"), listed);
        QCOMPARE(w.Db().ClientId(listed.first()), id);
        QCOMPARE(messages.Count(), title.isEmpty() ? 0 : 1);
        if (!title.isEmpty()) {
            QCOMPARE(messages.Last().title, title);
        }
        QVERIFY(w.NormalLook());
    }

    // The look while renaming, and each way of leaving it without a change.
    void renameLook_data() {
        QTest::addColumn<int>("leave");  // 0 Esc, 1 a click on the list
        QTest::newRow("Esc") << 0;
        QTest::newRow("focus loss") << 1;
    }
    void renameLook() {
        QFETCH(int, leave);
        ClientWindow w;
        QVERIFY(w.Ready());
        MessageRecorder messages;
        w.StartRename("MILL2");
        QCOMPARE(w.Label()->text(), QStringLiteral("EDIT Client name:"));
        QCOMPARE(w.Name()->toolTip(), QStringLiteral("<Esc> to quit, <Enter> to accept"));
        QCOMPARE(w.Name()->palette().color(QPalette::Base), QColor(255, 255, 0));
        QVERIFY(!w.Button("cmdAdd")->isEnabled());
        QVERIFY(!w.Button("cmdSub")->isEnabled());
        QVERIFY(w.Name()->hasFocus());
        QTest::keyClicks(w.Name(), "X");
        if (leave == 0) {
            QTest::keyClick(w.Name(), Qt::Key_Escape);
            QVERIFY(w.Window()->isVisible());
        } else {
            w.List()->setFocus(Qt::MouseFocusReason);
        }
        QVERIFY(w.NormalLook());
        QCOMPARE(w.Db().ClientsOf("SRV1"), QStringList({"LATHE1", "MILL2"}));
        QCOMPARE(messages.Count(), 0);
        // Outside renaming Enter and Esc neither add nor close.
        QTest::keyClicks(w.Name(), "NEW1");
        QTest::keyClick(w.Name(), Qt::Key_Return);
        QTest::keyClick(w.Name(), Qt::Key_Escape);
        QVERIFY(w.Window()->isVisible());
        QCOMPARE(w.Db().ClientsOf("SRV1"), QStringList({"LATHE1", "MILL2"}));
    }

    void popupMenu() {
        ClientWindow w(kPlant, "SRV3");
        QVERIFY(w.Ready());
        QMenu* menu = w.Window()->ClientMenu();
        QTest::mouseClick(w.List()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        QVERIFY(!menu->isVisible());  // no client, no menu
        w.Servers()->setCurrentText("SRV1");
        ClickEntry(w.List(), "MILL2", Qt::RightButton);
        QTRY_VERIFY(menu->isVisible());
        menu->close();
    }

    // Properties and Directories hand the selected client to their windows; a client that is
    // gone opens nothing.
    void clientWindows() {
        FastClock clock;
        ClientWindow w;
        QVERIFY(w.Ready());
        OpenedWindows windows;
        MessageRecorder messages;
        const int mill = w.Db().ClientId("MILL2").toInt();
        const int srv1 = w.Db()
                             .QueryValue(
                                 "SELECT dnc_server_id FROM t_dnc_servers WHERE "
                                 "dnc_server_name = 'SRV1'")
                             .toInt();
        const QString expected = QStringLiteral("MILL2 %1 %2").arg(mill).arg(srv1);
        ClickEntry(w.List(), "MILL2");
        w.Action("mnuClientProperties")->trigger();
        QCOMPARE(windows.opened, QStringList{"PortSetup " + expected});
        QCOMPARE(CurrentClientMode.ClientId, mill);

        w.Action("mnuDirectories")->trigger();
        QCOMPARE(windows.opened.size(), 1);  // not before the timer fires
        clock.Advance(100);
        QCOMPARE(windows.opened.last(), "Directories " + expected);
        clock.Advance(1000);
        QCOMPARE(windows.opened.size(), 2);  // once

        // Deleted elsewhere: neither window opens, and the list shows what is left.
        w.Db().Exec("DELETE FROM t_dnc_server_clients WHERE client_name = 'MILL2'");
        w.Action("mnuDirectories")->trigger();
        clock.Advance(1000);
        QCOMPARE(Entries(w.List()), QStringList{"LATHE1"});
        ClickEntry(w.List(), "LATHE1");
        w.Db().Exec(
            "UPDATE t_dnc_server_clients SET client_name = 'LATHE7' WHERE client_name = 'LATHE1'");
        w.Action("mnuClientProperties")->trigger();
        QCOMPARE(windows.opened.size(), 2);
        QCOMPARE(messages.Count(), 2);
        QCOMPARE(messages.Last().title, QStringLiteral("DNC Client not found"));
        QCOMPARE(messages.Last().text,
                 QStringLiteral("DNC Client \"LATHE1\" is no longer in the database"));
        QCOMPARE(Entries(w.List()), QStringList{"LATHE7"});
        QCOMPARE(CurrentClientName, QStringLiteral("MILL2"));  // name and ids still agree
        QCOMPARE(CurrentClientId, mill);  // the ids were not changed by the failed look-up
    }
};

KESTRUM_TEST(TestClientWindow)
#include "tst_frmMakeClients.moc"
