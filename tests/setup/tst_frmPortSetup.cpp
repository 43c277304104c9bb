// Port setup through its real widgets on a real DNC.mdb: what the lists show and OK writes,
// the protocol changes and refusals, and the protocol attribute dialog it opens.

#include "base/modal.h"
#include "port_setup_rig.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QRegularExpression>

namespace {

const char* const kPortColumns[] = {"cnc_comport", "m_baud", "m_databits", "m_parity",
                                    "m_stopbits"};
const char* const kPortLists[] = {"cboPorts", "cboBaud", "cboData", "cboParity", "cboStop"};

// A protocol chosen for MILL1 and what OK or Cancel leaves.
struct ProtocolChoice {
    int storedId = 0;
    QString chosen{};
    // Taken: protocol id, own and all shop-terminal listings, own and all remote rows,
    // terminal_enabled, terminal mode, other clients changed.
    QString after{};
    // Else "title|text" of the one message ('*' any text) or "<cancel>", and what cboProtocol
    // shows afterwards ("" not compared).
    QString message{}, shown{};
    QString prepare{};        // SQL run before the window opens
    bool companions = false;  // MILL1's listing and remote row there already
};

}  // namespace

Q_DECLARE_METATYPE(ProtocolChoice)

class TestPortSetupWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each list selects the stored value's entry exactly, or nothing; OK writes the chosen
    // entries, keeps what a list without a selection stands for, and sets bts_eobdelay from
    // this client's own eob_delay. No other row changes. Without a PROTOCOLs section nothing
    // is offered and OK keeps the client's protocol.
    void loadAndOk_data() {
        QTest::addColumn<QVariantList>("stored");  // port, baud, data, parity, stop, protocol
        QTest::addColumn<QStringList>("shown");    // the five lists and cboProtocol
        QTest::addColumn<QStringList>("chosen");   // the five lists, "" keeps
        QTest::addColumn<QString>("after");        // the five columns
        QTest::addColumn<int>("eobDelay");         // own; the others get the other kind
        QTest::addColumn<bool>("protocols");       // a PROTOCOLs section
        const auto row = [](const char* name, const QVariantList& stored, const char* shown,
                            const char* chosen, const char* after, int eob, bool protocols = true) {
            QTest::newRow(name) << stored << QString(shown).split(',') << QString(chosen).split(',')
                                << QString(after) << eob << protocols;
        };
        const char* com17 = "COM 17,19200,8,NONE,1";
        row("new client", {0, 9600, 7, "E", 2, 2}, "NO COM SET,9600,7,EVEN,2,STANDARD", com17,
            "17|19200|8|N|1", 0);
        row("N and BTR", {5, 115200, 8, "N", 1, 4}, "COM 5,115200,8,NONE,1,BTR", ",,,,",
            "5|115200|8|N|1", 25);
        row("nothing in the lists", {120, 57600, 6, "O", 3, 8}, ",,,,,", ",,,,", "120|57600|6|O|3",
            0);
        row("letter case counts", {-1, 9600, 7, "e", 2, 5}, ",9600,7,,2,SHOP TERMINAL", com17,
            "17|19200|8|N|1", 25);
        row("HW is standard", {99, 110, 7, "EVEN", 2, 3}, "COM 99,110,7,EVEN,2,STANDARD", ",,,,",
            "99|110|7|E|2", 0);
        for (const auto& [id, name] : {std::pair{6, "LINE TERMINAL"},
                                       {63, "LINE TERMINAL"},
                                       {71, "REMOTE"},
                                       {7, "REMOTE"},
                                       {102, "MAZATROL"}}) {
            row(qPrintable(QStringLiteral("protocol %1").arg(id)), {2, 9600, 7, "E", 2, id},
                qPrintable(QStringLiteral("COM 2,9600,7,EVEN,2,") + name), ",,,,", "2|9600|7|E|2",
                0);
        }
        row("no PROTOCOLs section", {2, 9600, 7, "E", 2, 63}, "COM 2,9600,7,EVEN,2,", ",4800,,,",
            "2|4800|7|E|2", 0, false);
    }
    void loadAndOk() {
        QFETCH(QVariantList, stored);
        QFETCH(QStringList, chosen);
        QFETCH(int, eobDelay);
        QFETCH(bool, protocols);
        PortSetupRig rig(protocols);
        const int bts = eobDelay ? 0 : -1;
        rig.db.Exec("UPDATE t_timeout_table_down SET eob_delay = ?", {eobDelay ? 0 : 9});
        rig.db.Exec("UPDATE t_dnc_server_clients SET bts_eobdelay = ?", {~bts});
        rig.db.Exec("UPDATE t_timeout_table_down SET eob_delay = ? WHERE client_id = ?",
                    {eobDelay, rig.mill});
        for (int i = 0; i < 5; ++i) {
            rig.SetMode(kPortColumns[i], stored.at(i));
        }
        rig.SetClient("protocol_id", stored.at(5));
        const QString before = rig.Snapshot();
        QVERIFY(rig.Open());
        QCOMPARE(rig.Entries("cboProtocol").isEmpty(), !protocols);
        QStringList seen;
        for (int i = 0; i < 5; ++i) {
            seen << rig.Shown(kPortLists[i]);
            if (!chosen.at(i).isEmpty()) {
                rig.Choose(kPortLists[i], chosen.at(i));
            }
        }
        QTEST(seen << rig.Shown("cboProtocol"), "shown");
        MessageRecorder messages;
        rig.Click("cmdOK");
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(rig.Window()->result(), int(QDialog::Accepted));
        QTEST(rig.db
                  .TextRows("SELECT cnc_comport, m_baud, m_databits, m_parity, m_stopbits "
                            "FROM t_client_mode WHERE client_id = ?",
                            {rig.mill})
                  .join('\n'),
              "after");
        QCOMPARE(rig.Column("bts_eobdelay"), QVariant(bts));
        // Put those back: nothing else may have changed.
        for (int i = 0; i < 5; ++i) {
            rig.SetMode(kPortColumns[i], stored.at(i));
        }
        rig.SetClient("bts_eobdelay", ~bts);
        QCOMPARE(rig.Snapshot(), before);
    }

    // OK's protocol rules, for MILL1 only. Refused OK and Cancel write nothing, not even the
    // port settings; a refused window stays open and shows the stored protocol again.
    void protocolChoice_data() {
        QTest::addColumn<ProtocolChoice>("c");
        const auto row = [](const char* name, const ProtocolChoice& c) {
            QTest::newRow(name) << c;
        };
        const auto alert = [](const QString& which) {
            return which + " alert!  |A " + which + " must be deleted to change protocol!";
        };
        row("to SHOP TERMINAL", {2, "SHOP TERMINAL", "5|0|1|0|0|0|3|0"});
        row("to BTR", {2, "BTR", "4|1|2|0|0|-1|0|0"});
        row("to LINE TERMINAL", {2, "LINE TERMINAL", "62|1|2|0|0|0|0|0"});
        row("NONE to REMOTE", {1, "REMOTE", "72|1|2|1|1|0|0|0"});
        row("to MAZATROL", {2, "MAZATROL", "102|1|2|1|1|0|0|0"});
        row("rows there already", {2, "REMOTE", "72|1|2|1|1|0|0|0", "", "", "", true});
        row("no choice", {2, "", "2|0|1|0|0|0|0|0"});
        row("63 kept", {63, "LINE TERMINAL", "63|0|1|0|0|0|0|0"});
        row("SHOP TERMINAL kept", {5, "SHOP TERMINAL", "5|0|1|0|0|0|0|0"});
        row("BTR only from STANDARD", {8, "BTR", "8|0|1|0|0|0|0|0"});
        row("shop terminal", {5, "STANDARD", "", alert("Shop Terminal"), "SHOP TERMINAL"});
        row("line terminal", {62, "REMOTE", "", alert("Line Terminal"), "LINE TERMINAL"});
        row("btr", {4, "STANDARD", "", alert("BTR"), "BTR"});
        row("remote", {72, "MAZATROL", "", alert("Remote"), "REMOTE"});
        row("mazatrol", {103, "LINE TERMINAL", "", alert("MAZATROL"), "MAZATROL"});
        row("protocol not in database", {2, "BTR", "", "Protocol not found|*", "",
                                         "DELETE FROM t_protocol WHERE protocol_name='BTR'"});
        // The table stays, so the comparison below still reads its rows.
        row("failing write", {2, "REMOTE", "", "*|Error 6#*refused*", "", "REFUSE t_remote"});
        row("cancel", {2, "REMOTE", "", "<cancel>"});
    }
    void protocolChoice() {
        QFETCH(ProtocolChoice, c);
        PortSetupRig rig;
        const int id = rig.mill;
        rig.SetClient("protocol_id", c.storedId);
        if (c.companions) {
            rig.db.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                        {id, id});
            rig.db.Exec("INSERT INTO t_remote (rem_client_id) VALUES (?)", {id});
        }
        // A listing of another client that must stay.
        rig.db.Exec(
            "INSERT INTO t_shopterm_clients (shop_client_id, clients_id) SELECT client_id, ? "
            "FROM t_dnc_server_clients WHERE client_name='LATHE2'",
            {id});
        if (c.prepare.startsWith("REFUSE ")) {
            QVERIFY(rig.db.RefuseInserts(c.prepare.mid(7)));
        } else if (!c.prepare.isEmpty()) {
            QVERIFY(rig.db.Exec(c.prepare));
        }
        const QString before = rig.Snapshot();
        QVERIFY(rig.Open());
        rig.Choose("cboProtocol", c.chosen);
        rig.Choose("cboBaud", "1200");
        MessageRecorder messages;
        if (c.message == "<cancel>") {
            QTest::keyClick(rig.Window(), Qt::Key_Escape);  // no role here
            QVERIFY(rig.Window()->isVisible());
            rig.Click("cmdCancel");
            QVERIFY(!rig.Window()->isVisible());
            QCOMPARE(messages.Count(), 0);
        } else {
            rig.Click("cmdOK");
        }
        if (!c.after.isEmpty()) {
            QCOMPARE(messages.Texts(), QStringList());
            const QString sql =
                "SELECT c.protocol_id, (SELECT COUNT(*) FROM t_shopterm_clients WHERE "
                "shop_client_id=c.client_id AND clients_id=c.client_id), (SELECT COUNT(*) FROM "
                "t_shopterm_clients), (SELECT COUNT(*) FROM t_remote WHERE "
                "rem_client_id=c.client_id), (SELECT COUNT(*) FROM t_remote), c.terminal_enabled, "
                "(SELECT tmode_id FROM t_client_terminal_mode WHERE client_id=c.client_id), "
                "(SELECT COUNT(*) FROM t_dnc_server_clients WHERE client_id<>c.client_id AND "
                "(protocol_id<>2 OR terminal_enabled<>0)) FROM t_dnc_server_clients c WHERE "
                "c.client_id = ?";
            QCOMPARE(rig.db.TextRows(sql, {id}), QStringList{c.after});
            return;
        }
        if (c.message != "<cancel>") {
            QCOMPARE(messages.Count(), 1);
            const QString seen = messages.Last().title + '|' + messages.Last().text;
            const QRegularExpression pattern(
                QRegularExpression::anchoredPattern(
                    QRegularExpression::escape(c.message).replace("\\*", ".*")),
                QRegularExpression::DotMatchesEverythingOption);
            QVERIFY2(pattern.match(seen).hasMatch(), qPrintable(seen));
            // The database's own reports carry no icon.
            QVERIFY(c.message.startsWith('*') || messages.Last().icon == MsgIcon::Critical);
            QVERIFY(rig.Window()->isVisible());
        }
        if (!c.shown.isEmpty()) {
            QCOMPARE(rig.Shown("cboProtocol"), c.shown);
        }
        QCOMPARE(rig.Snapshot(), before);
    }

    // Advanced opens the stored protocol's dialog with the client's values; OK then reads
    // the dialog's writes through the reopened connection.
    void advancedProtocol_data() {
        QTest::addColumn<int>("storedId");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("helpFile");
        QTest::newRow("XON") << 2 << "Standard"
                             << "STD.CHM";
        QTest::newRow("BTR") << 4 << "BTR"
                             << "BTR.CHM";
        QTest::newRow("shop terminal") << 5 << "Shop Terminal"
                                       << "SHOP.CHM";
        QTest::newRow("61") << 61 << "Line Terminal"
                            << "LINE.CHM";
        QTest::newRow("7") << 7 << "Remote"
                           << "REMOTE.CHM";
        QTest::newRow("103") << 103 << "MAZATROL"
                             << "REMOTE.CHM";
        QTest::newRow("unknown id") << 9 << "Standard"
                                    << "";
    }
    void advancedProtocol() {
        QFETCH(int, storedId);
        QFETCH(QString, title);
        QFETCH(QString, helpFile);
        PortSetupRig rig;
        HelpFileNames = QStringList{"KESTRUM.HTML", "STD.CHM", "SHOP.CHM", "LINE.CHM", "BTR.CHM",
                                    "REMOTE.CHM",   "",        "",         ""};
        rig.SetClient("protocol_id", storedId);
        rig.db.Exec("UPDATE t_dnc_server_clients SET bts_eobdelay = -1");
        QVERIFY(rig.Open());
        QStringList seen;
        // The dialog writes through a connection of its own, as this does.
        const ModalHook hook = SetModalHook([&](QDialog& dialog) {
            seen << dialog.windowTitle();
            for (const char* name : {"PropClientUSEID", "PropClientIDSEQUENTIAL", "PropClientID",
                                     "PropDNCpath", "HelpName"}) {
                seen << dialog.property(name).toString();
            }
            rig.db.Exec("UPDATE t_timeout_table_down SET eob_delay = 40 WHERE client_id = ?",
                        {rig.mill});
            return int(QDialog::Rejected);
        });
        rig.Click("cmdAdvanced");
        SetModalHook(hook);
        // USEID=true, IDSEQUENTIAL not set. The help file is in the program folder, which is
        // given with the platform's separators.
        const QString folder = QDir::toNativeSeparators(rig.db.Folder());
        QCOMPARE(seen, (QStringList{title + " Protocol Attributes", "true", "false",
                                    QString::number(rig.mill), DncConnectionString,
                                    helpFile.isEmpty() ? QString() : JoinPath(folder, helpFile)}));
        QVERIFY(DncConnection.IsOpen());
        rig.Click("cmdOK");
        QCOMPARE(rig.Column("bts_eobdelay"), QVariant(0));
    }

    // The client window's way in: the named client's own record, never one left behind.
    void openPortSetup() {
        PortSetupRig rig;
        rig.SetMode("m_baud", 300);
        CurrentClientName = QStringLiteral("DRILL3");
        QVERIFY(ReadCurrentClientIds());
        QStringList seen;
        const ModalHook previous = SetModalHook([&seen](QDialog& dialog) {
            seen << dialog.windowTitle() << dialog.findChild<QComboBox*>("cboBaud")->currentText();
            return int(QDialog::Rejected);
        });
        CurrentClientName = QStringLiteral("MILL1");
        QVERIFY(OpenPortSetup(nullptr));
        CurrentClientName = QStringLiteral("NO SUCH CLIENT");
        QVERIFY(!OpenPortSetup(nullptr));
        SetModalHook(previous);
        QCOMPARE(seen, QStringList({"Properties - Client \"MILL1\"", "300"}));
        QCOMPARE(CurrentClientId, rig.mill);
    }
};

KESTRUM_TEST(TestPortSetupWindow)
#include "tst_frmPortSetup.moc"
