// Port setup through its real widgets on a real DNC.mdb: what the lists show for the stored
// values, what OK writes (port settings, protocol and companion rows, bts_eobdelay), the
// refusals, and the protocol attribute dialog.

#include "base/modal.h"
#include "port_setup_rig.h"
#include "setup/protocol_dialog.h"
#include "tests/support/test_main.h"

namespace {

// What a protocol dialog was given when it was shown.
struct DialogSeen {
    QList<int> kinds;
    int shown = 0;
    bool useId = false;
    bool idSequential = true;
    int clientId = -1;
    QString dncPath;
    QString helpName;
    bool connectionOpen = false;
};

// A protocol dialog that keeps what it was given and, when shown, writes through a
// connection of its own as a real dialog does.
class FakeProtocolDialog : public QDialog {
    Q_OBJECT
    Q_PROPERTY(bool PropClientUSEID MEMBER useId_)
    Q_PROPERTY(bool PropClientIDSEQUENTIAL MEMBER idSequential_)
    Q_PROPERTY(int PropClientID MEMBER clientId_)
    Q_PROPERTY(QString PropDNCpath MEMBER dncPath_)
    Q_PROPERTY(QString HelpName MEMBER helpName_)
public:
    FakeProtocolDialog(DialogSeen& seen, const TempInstallation& db, QWidget* parent)
        : QDialog(parent), seen_(seen), db_(db) {}
    Q_INVOKABLE void Show() {
        ++seen_.shown;
        seen_.useId = useId_;
        seen_.idSequential = idSequential_;
        seen_.clientId = clientId_;
        seen_.dncPath = dncPath_;
        seen_.helpName = helpName_;
        seen_.connectionOpen = DncConnection.IsOpen();
        db_.Exec("UPDATE t_timeout_table_down SET eob_delay = 40 WHERE client_id = ?", {clientId_});
    }

private:
    DialogSeen& seen_;
    const TempInstallation& db_;
    bool useId_ = false;
    bool idSequential_ = true;
    int clientId_ = -1;
    QString dncPath_;
    QString helpName_;
};

// A protocol chosen for MILL1 and what OK leaves: its protocol id, its own shop-terminal
// listing and remote row (0 or 1), terminal_enabled and the terminal mode.
struct ProtocolChange {
    int storedId;
    QString chosen;
    bool companionsExist;
    int savedId, shopTermRows, remoteRows, terminalEnabled, terminalMode;
};

}  // namespace

Q_DECLARE_METATYPE(ProtocolChange)

class TestPortSetupWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opens() {
        PortSetupRig rig;
        frmPortSetup* w = rig.Open();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Properties - Client \"MILL1\""));
        QCOMPARE(rig.Entries("cboProtocol"), QStringList({"STANDARD", "BTR", "SHOP TERMINAL",
                                                          "LINE TERMINAL", "REMOTE", "MAZATROL"}));
        const QStringList ports = rig.Entries("cboPorts");
        QCOMPARE(ports.size(), 100);
        QCOMPARE(ports.first(), QStringLiteral("NO COM SET"));
        QCOMPARE(ports.at(12), QStringLiteral("COM 12"));
        QCOMPARE(ports.last(), QStringLiteral("COM 99"));
    }

    // Each list selects the stored value's entry exactly, or nothing.
    void loadRules_data() {
        QTest::addColumn<QVariantList>("stored");  // port, baud, data, parity, stop, protocol
        QTest::addColumn<QStringList>("shown");    // cboPorts, cboBaud, cboData, cboParity,
                                                   // cboStop, cboProtocol
        QTest::newRow("new client")
            << QVariantList{0, 9600, 7, "E", 2, 2}
            << QStringList{"NO COM SET", "9600", "7", "EVEN", "2", "STANDARD"};
        QTest::newRow("N and BTR") << QVariantList{5, 115200, 8, "N", 1, 4}
                                   << QStringList{"COM 5", "115200", "8", "NONE", "1", "BTR"};
        QTest::newRow("nothing in the lists")
            << QVariantList{120, 57600, 6, "O", 3, 8} << QStringList{"", "", "", "", "", ""};
        QTest::newRow("letter case counts")
            << QVariantList{-1, 9600, 7, "e", 2, 5}
            << QStringList{"", "9600", "7", "", "2", "SHOP TERMINAL"};
        QTest::newRow("HW is standard")
            << QVariantList{99, 110, 7, "EVEN", 2, 3}
            << QStringList{"COM 99", "110", "7", "EVEN", "2", "STANDARD"};
        for (const auto& [id, name] : {std::pair{6, "LINE TERMINAL"},
                                       {63, "LINE TERMINAL"},
                                       {71, "REMOTE"},
                                       {7, "REMOTE"},
                                       {102, "MAZATROL"}}) {
            QTest::addRow("protocol %d", id)
                << QVariantList{2, 9600, 7, "E", 2, id}
                << QStringList{"COM 2", "9600", "7", "EVEN", "2", name};
        }
    }
    void loadRules() {
        QFETCH(QVariantList, stored);
        QFETCH(QStringList, shown);
        PortSetupRig rig;
        const char* columns[] = {"cnc_comport", "m_baud", "m_databits", "m_parity", "m_stopbits"};
        for (int i = 0; i < 5; ++i) {
            rig.SetMode(QLatin1String(columns[i]), stored.at(i));
        }
        rig.SetClient("protocol_id", stored.at(5));
        QVERIFY(rig.Open());
        QCOMPARE(
            (QStringList{rig.Shown("cboPorts"), rig.Shown("cboBaud"), rig.Shown("cboData"),
                         rig.Shown("cboParity"), rig.Shown("cboStop"), rig.Shown("cboProtocol")}),
            shown);
    }

    // Without a PROTOCOLs section nothing is offered and OK changes no protocol, also for a
    // client that left STANDARD.
    void noProtocolsOffered() {
        PortSetupRig rig(false);
        rig.SetClient("protocol_id", 63);
        QVERIFY(rig.Open());
        QVERIFY(rig.Entries("cboProtocol").isEmpty());
        MessageRecorder messages;
        rig.Choose("cboBaud", "4800");
        rig.Click("cmdOK");
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(rig.Window()->result(), int(QDialog::Accepted));
        QCOMPARE(rig.ClientColumn("protocol_id"), QVariant(63));
        QCOMPARE(rig.ModeColumn("m_baud"), QVariant(4800));
    }

    // OK writes the five port columns of this client and its bts_eobdelay from its own
    // eob_delay; no other row changes.
    void okWritesPortSettings_data() {
        QTest::addColumn<int>("ownEobDelay");
        QTest::addColumn<int>("otherEobDelay");
        QTest::addColumn<int>("btsEobDelay");
        QTest::newRow("no delay") << 0 << 9 << -1;
        QTest::newRow("a delay") << 25 << 0 << 0;
    }
    void okWritesPortSettings() {
        QFETCH(int, ownEobDelay);
        QFETCH(int, otherEobDelay);
        QFETCH(int, btsEobDelay);
        PortSetupRig rig;
        const TempInstallation& db = rig.Installation();
        db.Exec("UPDATE t_timeout_table_down SET eob_delay = ?", {otherEobDelay});
        db.Exec("UPDATE t_timeout_table_down SET eob_delay = ? WHERE client_id = ?",
                {ownEobDelay, rig.MillId()});
        db.Exec("UPDATE t_dnc_server_clients SET bts_eobdelay = ?", {btsEobDelay ? 0 : -1});
        QVERIFY(rig.Open());
        rig.Choose("cboPorts", "COM 17");
        rig.Choose("cboBaud", "19200");
        rig.Choose("cboData", "8");
        rig.Choose("cboParity", "NONE");
        rig.Choose("cboStop", "1");
        const QString before = rig.Snapshot();
        MessageRecorder messages;
        rig.Click("cmdOK");
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(rig.Window()->result(), int(QDialog::Accepted));
        QVERIFY(!rig.Window()->isVisible());
        QCOMPARE(db.Query("SELECT cnc_comport, m_baud, m_databits, m_parity, m_stopbits FROM "
                          "t_client_mode WHERE client_id = ?",
                          {rig.MillId()})
                     .first(),
                 (QVariantList{17, 19200, 8, "N", 1}));
        QCOMPARE(rig.ClientColumn("bts_eobdelay"), QVariant(btsEobDelay));
        // Put those back: nothing else may have changed.
        db.Exec(
            "UPDATE t_client_mode SET cnc_comport=0, m_baud=9600, m_databits=7, "
            "m_parity='E', m_stopbits=2 WHERE client_id=?",
            {rig.MillId()});
        db.Exec("UPDATE t_dnc_server_clients SET bts_eobdelay=? WHERE client_id=?",
                {btsEobDelay ? 0 : -1, rig.MillId()});
        QCOMPARE(rig.Snapshot(), before);
    }

    // Lists without a selection write nothing: stored values that no list offers survive OK.
    void noSelectionNoWrite() {
        PortSetupRig rig;
        const char* columns[] = {"cnc_comport", "m_baud", "m_databits", "m_parity", "m_stopbits"};
        const QVariantList stored{120, 57600, 6, "O", 3};
        for (int i = 0; i < 5; ++i) {
            rig.SetMode(QLatin1String(columns[i]), stored.at(i));
        }
        rig.Installation().Exec("UPDATE t_dnc_server_clients SET bts_eobdelay = -1");
        const QString before = rig.Snapshot();
        QVERIFY(rig.Open());
        MessageRecorder messages;
        rig.Click("cmdOK");
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(rig.Window()->result(), int(QDialog::Accepted));
        QCOMPARE(rig.Snapshot(), before);
    }

    // OK's protocol rules: the id stored, the companion rows, terminal_enabled and the
    // terminal mode, for MILL1 only.
    void protocolChanges_data() {
        QTest::addColumn<ProtocolChange>("change");
        const auto row = [](const char* name, const ProtocolChange& change) {
            QTest::newRow(name) << change;
        };
        row("to SHOP TERMINAL", {2, "SHOP TERMINAL", false, 5, 0, 0, 0, 3});
        row("to BTR", {2, "BTR", false, 4, 1, 0, -1, 0});
        row("to LINE TERMINAL", {2, "LINE TERMINAL", false, 62, 1, 0, 0, 0});
        row("HW to LINE TERMINAL", {3, "LINE TERMINAL", false, 62, 1, 0, 0, 0});
        row("NONE to REMOTE", {1, "REMOTE", false, 72, 1, 1, 0, 0});
        row("to MAZATROL", {2, "MAZATROL", false, 102, 1, 1, 0, 0});
        row("rows there already", {2, "REMOTE", true, 72, 1, 1, 0, 0});
        row("no choice", {2, "", false, 2, 0, 0, 0, 0});
        row("63 kept", {63, "LINE TERMINAL", false, 63, 0, 0, 0, 0});
        row("6 kept", {6, "LINE TERMINAL", false, 6, 0, 0, 0, 0});
        row("SHOP TERMINAL kept", {5, "SHOP TERMINAL", false, 5, 0, 0, 0, 0});
        row("BTR only from STANDARD", {8, "BTR", false, 8, 0, 0, 0, 0});
    }
    void protocolChanges() {
        QFETCH(ProtocolChange, change);
        const auto& [storedId, chosen, companionsExist, savedId, shopTermRows, remoteRows,
                     terminalEnabled, terminalMode] = change;
        PortSetupRig rig;
        const TempInstallation& db = rig.Installation();
        const int id = rig.MillId();
        rig.SetClient("protocol_id", storedId);
        if (companionsExist) {
            db.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                    {id, id});
            db.Exec("INSERT INTO t_remote (rem_client_id) VALUES (?)", {id});
        }
        // Rows of the other clients that must stay as they are.
        const int lathe = db.QueryValue(
                                "SELECT client_id FROM t_dnc_server_clients "
                                "WHERE client_name='LATHE2'")
                              .toInt();
        db.Exec("INSERT INTO t_shopterm_clients (shop_client_id, clients_id) VALUES (?, ?)",
                {lathe, id});
        QVERIFY(rig.Open());
        rig.Choose("cboProtocol", chosen);
        MessageRecorder messages;
        rig.Click("cmdOK");
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(rig.Window()->result(), int(QDialog::Accepted));
        QCOMPARE(rig.ClientColumn("protocol_id"), QVariant(savedId));
        QCOMPARE(rig.Value("SELECT COUNT(*) FROM t_shopterm_clients WHERE shop_client_id=? AND "
                           "clients_id=?",
                           {id, id}),
                 QVariant(shopTermRows));
        QCOMPARE(rig.Value("SELECT COUNT(*) FROM t_shopterm_clients"), QVariant(shopTermRows + 1));
        QCOMPARE(rig.Value("SELECT COUNT(*) FROM t_remote WHERE rem_client_id=?", {id}),
                 QVariant(remoteRows));
        QCOMPARE(rig.Value("SELECT COUNT(*) FROM t_remote"), QVariant(remoteRows));
        QCOMPARE(rig.ClientColumn("terminal_enabled"), QVariant(terminalEnabled));
        QCOMPARE(rig.Value("SELECT tmode_id FROM t_client_terminal_mode WHERE client_id=?", {id}),
                 QVariant(terminalMode));
        QCOMPARE(rig.Value("SELECT COUNT(*) FROM t_dnc_server_clients WHERE client_id<>? AND "
                           "(protocol_id<>2 OR terminal_enabled<>0)",
                           {id}),
                 QVariant(0));
    }

    // OK refused, and Cancel: nothing written (not even the port settings). A client that
    // left STANDARD keeps its protocol, and the list shows it again; a protocol the database
    // lacks or a failing write (the companion row comes first) keeps the window open too.
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
        refusal("line terminal by id 6", 6, "BTR", "LINE TERMINAL", "Line Terminal");
        refusal("btr", 4, "STANDARD", "BTR", "BTR");
        refusal("remote", 72, "MAZATROL", "REMOTE", "Remote");
        refusal("mazatrol", 103, "LINE TERMINAL", "MAZATROL", "MAZATROL");
        const auto other = [](const char* row, const char* prepare, const char* chosen,
                              const char* title, const char* text) {
            QTest::newRow(row) << 2 << prepare << chosen << title << text << "";
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
            rig.Installation().Exec(prepare);
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
            const MessageRequest& message = messages.Last();
            const auto matches = [](const QString& actual, const QString& expected) {
                return expected.endsWith('*') ? actual.startsWith(expected.chopped(1))
                                              : actual == expected;
            };
            QVERIFY2(matches(message.text, text), qPrintable(message.text));
            QVERIFY2(matches(message.title, title), qPrintable(message.title));
            if (!title.endsWith('*')) {  // the database's own reports carry no icon
                QCOMPARE(message.icon, MsgIcon::Critical);
            }
            QCOMPARE(message.buttons, MsgButtons::Ok);
            QVERIFY(rig.Window()->isVisible());
        }
        if (!shown.isEmpty()) {
            QCOMPARE(rig.Shown("cboProtocol"), shown);
        }
        QCOMPARE(rig.Snapshot(), before);
    }

    // The attribute dialog of the stored protocol, given the client's values; its writes
    // are seen through the reopened connection.
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
        rig.Installation().Exec("UPDATE t_dnc_server_clients SET bts_eobdelay = -1");
        QVERIFY(rig.Open());
        DialogSeen seen;
        const ProtocolDialogFactory previous =
            SetProtocolDialogFactory([&](ProtocolDialogKind k, QWidget* parent) {
                seen.kinds << int(k);
                return std::make_unique<FakeProtocolDialog>(seen, rig.Installation(), parent);
            });
        rig.Click("cmdAdvanced");
        SetProtocolDialogFactory(previous);
        QCOMPARE(seen.kinds, QList<int>{kind});
        QCOMPARE(seen.shown, 1);
        QVERIFY(seen.useId);          // USEID=true
        QVERIFY(!seen.idSequential);  // IDSEQUENTIAL not set
        QCOMPARE(seen.clientId, rig.MillId());
        QCOMPARE(seen.dncPath, DncConnectionString);
        QCOMPARE(seen.helpName,
                 helpFile.isEmpty() ? QString() : JoinPath(rig.Installation().Folder(), helpFile));
        QVERIFY(DncConnection.IsOpen());
        QVERIFY(rig.Window()->isVisible());
        // OK reads the dialog's eob_delay through the reopened connection.
        rig.Click("cmdOK");
        QCOMPARE(rig.ClientColumn("bts_eobdelay"), QVariant(0));
    }

    // The client window's way in: the named client's own record, never one left behind.
    void openPortSetup() {
        PortSetupRig rig;
        QVERIFY(rig.IsValid());
        rig.SetMode("m_baud", 300);
        CurrentClientName = QStringLiteral("DRILL3");
        QVERIFY(ReadCurrentClientIds());
        QStringList seen;
        const ModalHook previous = SetModalHook([&seen](QDialog& dialog) {
            auto* baud = dialog.findChild<QComboBox*>("cboBaud");
            seen << dialog.windowTitle() << baud->currentText();
            return int(QDialog::Rejected);
        });
        CurrentClientName = QStringLiteral("MILL1");
        QVERIFY(OpenPortSetup(nullptr));
        CurrentClientName = QStringLiteral("NO SUCH CLIENT");
        QVERIFY(!OpenPortSetup(nullptr));
        SetModalHook(previous);
        QCOMPARE(seen, QStringList({"Properties - Client \"MILL1\"", "300"}));
        QCOMPARE(CurrentClientId, rig.MillId());
    }
};

KESTRUM_TEST(TestPortSetupWindow)
#include "tst_frmPortSetup.moc"
