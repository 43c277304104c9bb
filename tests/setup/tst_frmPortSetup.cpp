// Port setup through its real widgets on a real DNC.mdb: what the lists show and OK writes,
// the protocol changes and refusals, and the protocol attribute dialog it opens.

#include "base/modal.h"
#include "port_setup_rig.h"
#include "setup/protocol_dialog.h"
#include "tests/support/test_main.h"

namespace {

// A protocol chosen for MILL1 and what OK leaves: its protocol id, its own shop-terminal
// listing and remote row (0 or 1), terminal_enabled and the terminal mode.
struct ProtocolChange {
    int storedId;
    QString chosen;
    bool companionsExist;
    int savedId, shopTermRows, remoteRows, terminalEnabled, terminalMode;
};

const char* const kPortColumns[] = {"cnc_comport", "m_baud", "m_databits", "m_parity",
                                    "m_stopbits"};
const char* const kPortLists[] = {"cboPorts", "cboBaud", "cboData", "cboParity", "cboStop"};

}  // namespace

Q_DECLARE_METATYPE(ProtocolChange)

class TestPortSetupWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each list selects the stored value's entry exactly, or nothing; OK writes the chosen
    // entries, keeps what a list without a selection stands for, and sets bts_eobdelay from
    // this client's own eob_delay. No other row changes.
    void loadAndOk_data() {
        QTest::addColumn<QVariantList>("stored");  // port, baud, data, parity, stop, protocol
        QTest::addColumn<QStringList>("shown");    // the five lists and cboProtocol
        QTest::addColumn<QStringList>("chosen");   // the five lists, "" keeps
        QTest::addColumn<QVariantList>("after");   // the five columns
        QTest::addColumn<int>("eobDelay");         // own; the others get the other kind
        const QStringList none(5, QString());
        const QStringList com17{"COM 17", "19200", "8", "NONE", "1"};
        const QVariantList written{17, 19200, 8, "N", 1};
        QTest::newRow("new client")
            << QVariantList{0, 9600, 7, "E", 2, 2}
            << QStringList{"NO COM SET", "9600", "7", "EVEN", "2", "STANDARD"} << com17 << written
            << 0;
        QTest::newRow("N and BTR") << QVariantList{5, 115200, 8, "N", 1, 4}
                                   << QStringList{"COM 5", "115200", "8", "NONE", "1", "BTR"}
                                   << none << QVariantList{5, 115200, 8, "N", 1} << 25;
        QTest::newRow("nothing in the lists")
            << QVariantList{120, 57600, 6, "O", 3, 8} << QStringList(6, QString()) << none
            << QVariantList{120, 57600, 6, "O", 3} << 0;
        QTest::newRow("letter case counts")
            << QVariantList{-1, 9600, 7, "e", 2, 5}
            << QStringList{"", "9600", "7", "", "2", "SHOP TERMINAL"} << com17 << written << 25;
        QTest::newRow("HW is standard")
            << QVariantList{99, 110, 7, "EVEN", 2, 3}
            << QStringList{"COM 99", "110", "7", "EVEN", "2", "STANDARD"} << none
            << QVariantList{99, 110, 7, "E", 2} << 0;
        for (const auto& [id, name] : {std::pair{6, "LINE TERMINAL"},
                                       {63, "LINE TERMINAL"},
                                       {71, "REMOTE"},
                                       {7, "REMOTE"},
                                       {102, "MAZATROL"}}) {
            QTest::addRow("protocol %d", id) << QVariantList{2, 9600, 7, "E", 2, id}
                                             << QStringList{"COM 2", "9600", "7", "EVEN", "2", name}
                                             << none << QVariantList{2, 9600, 7, "E", 2} << 0;
        }
    }
    void loadAndOk() {
        QFETCH(QVariantList, stored);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, chosen);
        QFETCH(QVariantList, after);
        QFETCH(int, eobDelay);
        PortSetupRig rig;
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
        QStringList seen;
        for (int i = 0; i < 5; ++i) {
            seen << rig.Shown(kPortLists[i]);
            if (!chosen.at(i).isEmpty()) {
                rig.Choose(kPortLists[i], chosen.at(i));
            }
        }
        QCOMPARE(seen << rig.Shown("cboProtocol"), shown);
        MessageRecorder messages;
        rig.Click("cmdOK");
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(rig.Window()->result(), int(QDialog::Accepted));
        QVERIFY(!rig.Window()->isVisible());
        QCOMPARE(rig.db
                     .Query("SELECT cnc_comport, m_baud, m_databits, m_parity, m_stopbits "
                            "FROM t_client_mode WHERE client_id = ?",
                            {rig.mill})
                     .first(),
                 after);
        QCOMPARE(rig.ClientColumn("bts_eobdelay"), QVariant(bts));
        // Put those back: nothing else may have changed.
        for (int i = 0; i < 5; ++i) {
            rig.SetMode(kPortColumns[i], stored.at(i));
        }
        rig.SetClient("bts_eobdelay", ~bts);
        QCOMPARE(rig.Snapshot(), before);
    }

    // Without a PROTOCOLs section nothing is offered and OK keeps a client's protocol.
    void noProtocolsOffered() {
        PortSetupRig rig(false);
        rig.SetClient("protocol_id", 63);
        QVERIFY(rig.Open());
        QVERIFY(rig.Entries("cboProtocol").isEmpty());
        MessageRecorder messages;
        rig.Choose("cboBaud", "4800");
        rig.Click("cmdOK");
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(rig.ClientColumn("protocol_id"), QVariant(63));
        QCOMPARE(rig.ModeColumn("m_baud"), QVariant(4800));
    }

    // OK's protocol rules, for MILL1 only.
    void protocolChanges_data() {
        QTest::addColumn<ProtocolChange>("change");
        const auto row = [](const char* name, const ProtocolChange& c) {
            QTest::newRow(name) << c;
        };
        row("to SHOP TERMINAL", {2, "SHOP TERMINAL", false, 5, 0, 0, 0, 3});
        row("to BTR", {2, "BTR", false, 4, 1, 0, -1, 0});
        row("to LINE TERMINAL", {2, "LINE TERMINAL", false, 62, 1, 0, 0, 0});
        row("NONE to REMOTE", {1, "REMOTE", false, 72, 1, 1, 0, 0});
        row("to MAZATROL", {2, "MAZATROL", false, 102, 1, 1, 0, 0});
        row("rows there already", {2, "REMOTE", true, 72, 1, 1, 0, 0});
        row("no choice", {2, "", false, 2, 0, 0, 0, 0});
        row("63 kept", {63, "LINE TERMINAL", false, 63, 0, 0, 0, 0});
        row("SHOP TERMINAL kept", {5, "SHOP TERMINAL", false, 5, 0, 0, 0, 0});
        row("BTR only from STANDARD", {8, "BTR", false, 8, 0, 0, 0, 0});
    }
    void protocolChanges() {
        QFETCH(ProtocolChange, change);
        const auto& [storedId, chosen, companionsExist, savedId, shopTermRows, remoteRows,
                     terminalEnabled, terminalMode] = change;
        PortSetupRig rig;
        const int id = rig.mill;
        rig.SetClient("protocol_id", storedId);
        if (companionsExist) {
            rig.db.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                        {id, id});
            rig.db.Exec("INSERT INTO t_remote (rem_client_id) VALUES (?)", {id});
        }
        // A listing of another client that must stay.
        rig.db.Exec(
            "INSERT INTO t_shopterm_clients (shop_client_id, clients_id) SELECT client_id, ? "
            "FROM t_dnc_server_clients WHERE client_name='LATHE2'",
            {id});
        QVERIFY(rig.Open());
        rig.Choose("cboProtocol", chosen);
        MessageRecorder messages;
        rig.Click("cmdOK");
        QCOMPARE(messages.Texts(), QStringList());
        // Own and all shop-terminal listings and remote rows; other clients left alone.
        const QString sql =
            "SELECT c.protocol_id, (SELECT COUNT(*) FROM t_shopterm_clients WHERE "
            "shop_client_id=c.client_id AND clients_id=c.client_id), (SELECT COUNT(*) FROM "
            "t_shopterm_clients), (SELECT COUNT(*) FROM t_remote WHERE rem_client_id=c.client_id), "
            "(SELECT COUNT(*) FROM t_remote), c.terminal_enabled, (SELECT tmode_id FROM "
            "t_client_terminal_mode WHERE client_id=c.client_id), (SELECT COUNT(*) FROM "
            "t_dnc_server_clients WHERE client_id<>c.client_id AND (protocol_id<>2 OR "
            "terminal_enabled<>0)) FROM t_dnc_server_clients c WHERE c.client_id = ?";
        QCOMPARE(rig.db.Query(sql, {id}).value(0),
                 (QVariantList{savedId, shopTermRows, shopTermRows + 1, remoteRows, remoteRows,
                               terminalEnabled, terminalMode, 0}));
    }

    // Refused OK and Cancel write nothing, not even the port settings; a refused window
    // stays open and shows the stored protocol again.
    void nothingWritten_data() {
        QTest::addColumn<int>("storedId");
        QTest::addColumn<QString>("prepare");  // SQL run before the window opens
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("title");  // of the one message; "" for Cancel
        QTest::addColumn<QString>("text");   // exact, or a prefix ending in '*'
        QTest::addColumn<QString>("shown");  // cboProtocol afterwards, "" not compared
        const auto refusal = [](const char* row, int id, const char* chosen, const char* name,
                                const QString& which) {
            QTest::newRow(row) << id << "" << chosen << which + " alert!  "
                               << "A " + which + " must be deleted to change protocol!" << name;
        };
        refusal("shop terminal", 5, "STANDARD", "SHOP TERMINAL", "Shop Terminal");
        refusal("line terminal", 62, "REMOTE", "LINE TERMINAL", "Line Terminal");
        refusal("btr", 4, "STANDARD", "BTR", "BTR");
        refusal("remote", 72, "MAZATROL", "REMOTE", "Remote");
        refusal("mazatrol", 103, "LINE TERMINAL", "MAZATROL", "MAZATROL");
        const auto other = [](const char* row, const char* prepare, const char* chosen,
                              const char* title, const char* text) {
            QTest::newRow(row) << 2 << QString(prepare) << QString(chosen) << QString(title)
                               << QString(text) << QString();
        };
        other("protocol not in database", "DELETE FROM t_protocol WHERE protocol_name='BTR'", "BTR",
              "Protocol not found", "*");
        other("failing write", "DROP TABLE t_remote", "REMOTE", "*", "Error Protocol#*");
        other("cancel", "", "REMOTE", "", "");
    }
    void nothingWritten() {
        QFETCH(int, storedId);
        QFETCH(QString, prepare);
        QFETCH(QString, chosen);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        PortSetupRig rig;
        rig.SetClient("protocol_id", storedId);
        if (!prepare.isEmpty()) {
            rig.db.Exec(prepare);
        }
        const QString before = rig.Snapshot();
        QVERIFY(rig.Open());
        rig.Choose("cboProtocol", chosen);
        rig.Choose("cboBaud", "1200");
        MessageRecorder messages;
        if (title.isEmpty()) {
            QTest::keyClick(rig.Window(), Qt::Key_Escape);  // no role here
            QVERIFY(rig.Window()->isVisible());
            rig.Click("cmdCancel");
            QCOMPARE(rig.Window()->result(), int(QDialog::Rejected));
            QVERIFY(!rig.Window()->isVisible());
            QCOMPARE(messages.Count(), 0);
        } else {
            rig.Click("cmdOK");
            QCOMPARE(messages.Count(), 1);
            const auto matches = [](const QString& actual, const QString& expected) {
                return expected.endsWith('*') ? actual.startsWith(expected.chopped(1))
                                              : actual == expected;
            };
            QVERIFY2(matches(messages.Last().text, text), qPrintable(messages.Last().text));
            QVERIFY2(matches(messages.Last().title, title), qPrintable(messages.Last().title));
            if (!title.endsWith('*')) {  // the database's own reports carry no icon
                QCOMPARE(messages.Last().icon, MsgIcon::Critical);
            }
            QVERIFY(rig.Window()->isVisible());
        }
        if (!shown.isEmpty()) {
            QCOMPARE(rig.Shown("cboProtocol"), shown);
        }
        QCOMPARE(rig.Snapshot(), before);
    }

    // Advanced opens the stored protocol's dialog with the client's values; OK then reads
    // the dialog's writes through the reopened connection.
    void advancedProtocol_data() {
        QTest::addColumn<int>("storedId");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("helpFile");
        QTest::newRow("XON") << 2 << int(ProtocolDialogKind::Standard) << "STD.CHM";
        QTest::newRow("BTR") << 4 << int(ProtocolDialogKind::Btr) << "BTR.CHM";
        QTest::newRow("shop terminal") << 5 << int(ProtocolDialogKind::ShopTerminal) << "SHOP.CHM";
        QTest::newRow("61") << 61 << int(ProtocolDialogKind::LineTerminal) << "LINE.CHM";
        QTest::newRow("7") << 7 << int(ProtocolDialogKind::Remote) << "REMOTE.CHM";
        QTest::newRow("103") << 103 << int(ProtocolDialogKind::Mazatrol) << "REMOTE.CHM";
        QTest::newRow("unknown id") << 9 << int(ProtocolDialogKind::Standard) << "";
    }
    void advancedProtocol() {
        QFETCH(int, storedId);
        QFETCH(int, kind);
        QFETCH(QString, helpFile);
        PortSetupRig rig;
        HelpFileNames = QStringList{"KESTRUM.HTML", "STD.CHM", "SHOP.CHM", "LINE.CHM", "BTR.CHM",
                                    "REMOTE.CHM",   "",        "",         ""};
        rig.SetClient("protocol_id", storedId);
        rig.db.Exec("UPDATE t_dnc_server_clients SET bts_eobdelay = -1");
        QVERIFY(rig.Open());
        QList<int> kinds;
        QStringList seen;
        const ProtocolDialogFactory previous =
            SetProtocolDialogFactory([&kinds](ProtocolDialogKind k, QWidget*) {
                kinds << int(k);
                return std::unique_ptr<QDialog>();  // the dialog that ships
            });
        // The dialog writes through a connection of its own, as this does.
        const ModalHook hook = SetModalHook([&](QDialog& dialog) {
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
        SetProtocolDialogFactory(previous);
        QCOMPARE(kinds, QList<int>{kind});
        // USEID=true, IDSEQUENTIAL not set.
        QCOMPARE(seen, (QStringList{
                           "true", "false", QString::number(rig.mill), DncConnectionString,
                           helpFile.isEmpty() ? QString() : JoinPath(rig.db.Folder(), helpFile)}));
        QVERIFY(DncConnection.IsOpen());
        rig.Click("cmdOK");
        QCOMPARE(rig.ClientColumn("bts_eobdelay"), QVariant(0));
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
