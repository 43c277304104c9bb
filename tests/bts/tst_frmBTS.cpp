// The BTS window through its real widgets: every mode against the simulated adapter with
// the database columns it leaves, the faults of the adapter, aborting and closing during an
// exchange, and the port re-probe.

#include "app/frmSetup.h"
#include "bts/bts_log.h"
#include "bts/bts_window_logic.h"
#include "bts/frmBTSLog.h"
#include "tests/bts/bts_window_rig.h"
#include "tests/support/test_main.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QTest>

#include <algorithm>

namespace {

// "." marks of the dot wait of n.
QString Dots(int n) {
    return QString(n + 1, QLatin1Char('.'));
}

}  // namespace

class TestFrmBTS : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loadsClientAndLabels();
    void databaseModes_data();
    void databaseModes();
    void adapterModes_data();
    void adapterModes();
    void adapterFaultsLeaveDatabase_data();
    void adapterFaultsLeaveDatabase();
    void deviceConfigurationPairsAndStores();
    void doubleClickAbortsOnlyThatExchange();
    void busyWindowRefusesInputAndClosesAfterAbort();
    void failedPortIsReprobedOnce();
    void deleteAsksFirstAndNothingWithoutClient();
    void systemPinOverridesServerPin();
    void menusAndPopups();
    void mainWindowOpensIt();
};

void TestFrmBTS::systemPinOverridesServerPin() {
    BtsWindowRig rig("SYSTEMPIN=24681357\r\n");
    rig.installation.Exec("UPDATE t_dnc_server_clients SET bts_pin = '24681357'");
    frmBTS& w = rig.Open();
    QCOMPARE(rig.Label("lblPin"), QStringLiteral("SYS. PIN: 24681357"));
    QVERIFY(rig.Child<QLabel>("lblBTSPin")->isHidden());
    rig.Child<QPushButton>("cmdModeSet")->click();
    QVERIFY(rig.adapter.commands.contains("ATP=24681357"));
    QCOMPARE(w.Protocol().msPinNumber, QStringLiteral("24681357"));
    QCOMPARE(rig.messages.Texts(), QStringList{"Unable to start Bluetooth Settings wizard!"});
}

void TestFrmBTS::loadsClientAndLabels() {
    BtsWindowRig rig("SYSTEMPIN=\r\n");
    rig.installation.Exec(
        "UPDATE t_dnc_server_clients SET protocol_id = 62, bts_pin = '11112222', "
        "bts_address = '0012-6F-000001', bts_latency = -1 WHERE client_name = 'LATHE1'");
    rig.installation.Exec("UPDATE t_timeout_table_down SET eob_delay = 4, char_buffer = 128");
    frmBTS& w = rig.Open();
    QCOMPARE(rig.Child<QListWidget>("lstClients")->count(), 2);
    QCOMPARE(rig.Label("labClientName"), QStringLiteral("LATHE1"));
    QCOMPARE(rig.Label("lblMode"), QStringLiteral("Mode: Com3,9600,N,8,1"));
    QCOMPARE(rig.Label("lblProtocol"), QStringLiteral("Protocol: LT XON"));
    QCOMPARE(rig.Label("labEobDelay"), QStringLiteral("EOB Delay: 4"));
    const QString pin = ServerPin(QStringLiteral("CNCSRV1"));
    QCOMPARE(rig.Label("lblPin"), QStringLiteral("SVR. PIN: ") + pin);
    QCOMPARE(rig.Label("lblLoop"), QStringLiteral("CHANNEL Enabled: OFF"));
    QCOMPARE(rig.Label("lblLatency"), QStringLiteral("LATENCY Enabled: ON"));
    QCOMPARE(rig.Label("lblBTSAddress"), QStringLiteral("ADDR: 0012-6F-000001"));
    QCOMPARE(rig.Label("lblBTSPin"), QStringLiteral("BTS PIN: 11112222"));
    QVERIFY(!rig.Child<QLabel>("lblBTSPin")->isHidden());
    QCOMPARE(w.miCharBufferSize, qint16(128));
    // BTSCOM probed at load: the device configuration on COM5 is ready to run.
    QCOMPARE(rig.Child<QComboBox>("cboPorts")->currentText(), QStringLiteral("COM 5"));
    QCOMPARE(w.BtsMode(), 2);
    QCOMPARE(rig.Child<QPushButton>("cmdModeSet")->text(), QStringLiteral("BTS DEVICE CONFIG."));
    QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
    QCOMPARE(rig.messages.Count(), 0);

    // The other client: no address, and the PIN it holds is the one in use.
    rig.installation.Exec("UPDATE t_dnc_server_clients SET bts_pin = ? WHERE client_name = 'MILL2'",
                          {pin});
    rig.Child<QListWidget>("lstClients")->setCurrentRow(1);
    QCOMPARE(rig.Label("labClientName"), QStringLiteral("MILL2"));
    QCOMPARE(rig.Label("lblBTSAddress"), QStringLiteral("ADDR: Not assigned"));
    QVERIFY(rig.Child<QLabel>("lblBTSPin")->isHidden());
    QCOMPARE(rig.Label("lblProtocol"), QStringLiteral("Protocol: XON"));

    // The port chosen last is what the next session starts with.
    rig.lines.AddLoopback(6);
    rig.Choose("COM 6");
    QCOMPARE(w.SelectedComPort(), QStringLiteral("COM6"));
    w.reject();
    QCOMPARE(ReadIniValue(SettingsFileName, "BTS", "BTSCOM", ""), QStringLiteral("COM6"));
}

void TestFrmBTS::databaseModes_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("eobDelay");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QVariantList>("row");  // used, eobdelay, loop, latency, address, pin, port
    QTest::addColumn<QString>("enabledLabel");
    const auto row = [](int used, int eob, int loop) {
        return QVariantList{used, eob, loop, -1, "0012-6F-000001", "11112222", 3};
    };
    const QString on = "BTS Enabled: ON", off = "BTS Enabled: OFF";
    QTest::newRow("BTS OFF") << "BTS OFF" << 0 << "BTS OFF" << row(0, 0, -1) << off;
    QTest::newRow("BTS ON, no delay") << "BTS ON" << 0 << "BTS ON" << row(-1, -1, -1) << on;
    QTest::newRow("BTS ON, EOB delay") << "BTS ON" << 5 << "BTS ON" << row(-1, 0, -1) << on;
    QTest::newRow("CHANNEL OFF") << "CHANNEL OFF" << 0 << "CHANNEL OFF" << row(-1, 0, 0) << on;
    QTest::newRow("BTS DELETE") << "BTS DELETE" << 0 << "BTS DELETE"
                                << QVariantList{0, 0, 0, 0, "", "", 0} << off;
}

void TestFrmBTS::databaseModes() {
    QFETCH(QString, entry);
    QFETCH(int, eobDelay);
    QFETCH(QString, status);
    QFETCH(QVariantList, row);
    QFETCH(QString, enabledLabel);
    BtsWindowRig rig;
    rig.installation.Exec(
        "UPDATE t_dnc_server_clients SET bts_loop = -1, bts_latency = -1, "
        "bts_address = '0012-6F-000001', bts_pin = '11112222'");
    rig.installation.Exec("UPDATE t_timeout_table_down SET eob_delay = ?", {eobDelay});
    frmBTS& w = rig.Open();
    const QVariantList other = rig.BtsRow(QStringLiteral("MILL2"));
    rig.statuses.clear();
    rig.Run(entry);
    QCOMPARE(rig.BtsRow(QStringLiteral("LATHE1")), row);
    QCOMPARE(rig.BtsRow(QStringLiteral("MILL2")), other);
    QCOMPARE(rig.statuses.mid(0, 4), (QStringList{"", status, status + ".", status + ".."}));
    QVERIFY(rig.Child<QPlainTextEdit>("txtConfigStatus")->toPlainText().isEmpty());
    // Labels read afresh; the port set up again for the next device configuration.
    QCOMPARE(rig.Label("lblBTSEnabled"), enabledLabel);
    QCOMPARE(rig.Label("lblMode"),
             QStringLiteral("Mode: Com") + row.last().toString() + QStringLiteral(",9600,N,8,1"));
    QCOMPARE(rig.Child<QComboBox>("cboPorts")->currentText(), QStringLiteral("COM 5"));
    QCOMPARE(w.BtsMode(), 2);
    QVERIFY(rig.Child<QPushButton>("cmdModeSet")->isEnabled());
    QVERIFY(rig.adapter.commands.isEmpty());
    QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
    // BTS DELETE asked first; the others ask nothing.
    QCOMPARE(rig.messages.Count(), entry == QLatin1String("BTS DELETE") ? 1 : 0);
}

void TestFrmBTS::adapterModes_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("held");
    QTest::addColumn<QVariant>("latency");
    // The adapter's settings afterwards are flow, discover and echo in that order.
    const struct {
        const char *entry, *commands, *status, *flow, *discover, *echo;
        int latency;
    } rows[] = {{"DISCOVER ON", "ATH1", "Discover ON", "hardware", "1", "1", 0},
                {"DISCOVER OFF", "ATH0 ATE0", "Echo OFF", "hardware", "0", "0", 0},
                {"BTS ECHO OFF", "ATE0", "Echo OFF", "hardware", "1", "0", 0},
                {"BTS ECHO ON", "ATE1", "Echo ON", "hardware", "1", "1", 0},
                {"LATENCY OFF", "ATC0", "Latency OFF", "none", "1", "1", 0},
                {"LATENCY ON", "ATC1", "Latency ON", "hardware", "1", "1", -1},
                // The adapter's flow control is not the one the client stores.
                {"VERIFY BTS", "ATI1", "Latency OFF unmatched", "hardware", "1", "1", 0}};
    for (const auto& r : rows) {
        QTest::newRow(r.entry) << QString(r.entry) << QString(r.commands).split(' ')
                               << QString(r.status)
                               << QStringList{QStringLiteral("flow=") + r.flow,
                                              QStringLiteral("discover=") + r.discover,
                                              QStringLiteral("echo=") + r.echo}
                               << QVariant(r.latency);
    }
}

void TestFrmBTS::adapterModes() {
    QFETCH(QString, entry);
    QFETCH(QStringList, commands);
    QFETCH(QString, status);
    QFETCH(QStringList, held);
    QFETCH(QVariant, latency);
    BtsWindowRig rig;
    rig.adapter.settings.baudCode = '1';
    rig.adapter.settings.escapeCheck = false;
    // Latency OFF starts from latency on, so it has something to change.
    if (entry == QLatin1String("LATENCY OFF")) {
        rig.installation.Exec(
            "UPDATE t_dnc_server_clients SET bts_latency = -1 WHERE client_name = 'LATHE1'");
    }
    frmBTS& w = rig.Open();
    rig.Run(entry);
    QCOMPARE(rig.adapter.commands, commands);
    QVERIFY2(rig.statuses.contains(status + Dots(entry.startsWith("DISCOVER") ? 2 : 1)),
             qPrintable(rig.statuses.join('|')));
    for (const QString& setting : held) {
        QVERIFY2(rig.adapter.Describe().contains(setting), qPrintable(rig.adapter.Describe()));
    }
    QCOMPARE(rig.Column("LATHE1", "bts_latency"), latency);
    QCOMPARE(rig.Column("MILL2", "bts_latency"), QVariant(0));
    QCOMPARE(rig.Child<QPlainTextEdit>("txtConfigStatus")->toPlainText(), QString());
    QCOMPARE(rig.Child<QComboBox>("cboPorts")->currentText(), QStringLiteral("COM 5"));
    QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
    QCOMPARE(rig.messages.Count(), 0);
}

void TestFrmBTS::adapterFaultsLeaveDatabase_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("status");   // seen in the status box, "" for none
    QTest::addColumn<QString>("message");  // shown, "" for none
    const QString notDetected = "BTS not detected on COM5 press reset on BTS and try again:";
    const struct {
        const char* name;
        AdapterFault fault;
    } faults[] = {{"silent", AdapterFault::Silent},
                  {"error", AdapterFault::Error},
                  {"echo-only", AdapterFault::EchoOnly},
                  {"slow", AdapterFault::Slow},
                  {"noise", AdapterFault::Noise}};
    for (const auto& f : faults) {
        QTest::addRow("%s, latency on", f.name) << int(f.fault) << "LATENCY ON"
                                                << "Config. failed Latency ON.."
                                                << "";
        // A slow adapter is found (the reset has a long wait) and then misses its first step;
        // one that answers ERROR after its echo looks found too, and fails its first step.
        QString status;
        if (f.fault == AdapterFault::Slow) {
            status = "Config. failed 1\r\nATC0\r";
        } else if (f.fault == AdapterFault::Error) {
            status = "Config. failed 1\r\n";  // then what the port at 19200 made of it
        }
        QTest::addRow("%s, device configuration", f.name)
            << int(f.fault) << "COM 5" << status << (status.isEmpty() ? notDetected : "");
    }
    QTest::newRow("silent, verify") << int(AdapterFault::Silent) << "VERIFY BTS"
                                    << "No response, check settings.."
                                    << "";
}

void TestFrmBTS::adapterFaultsLeaveDatabase() {
    QFETCH(int, fault);
    QFETCH(QString, entry);
    QFETCH(QString, status);
    QFETCH(QString, message);
    BtsWindowRig rig;
    rig.adapter.settings.baudCode = '1';
    rig.adapter.fault = AdapterFault(fault);
    rig.adapter.slowMs = 1000;
    frmBTS& w = rig.Open();
    const QVariantList before = rig.BtsRow("LATHE1");
    // A slow reply is not waited for.
    rig.messages.Answer({MsgAnswer::No, MsgAnswer::No, MsgAnswer::No, MsgAnswer::No, MsgAnswer::No,
                         MsgAnswer::No, MsgAnswer::No, MsgAnswer::No});
    if (entry.startsWith("COM")) {
        // Choosing the port runs the probe; the button then configures.
        rig.Child<QPushButton>("cmdModeSet")->click();
    } else {
        rig.Run(entry);
    }
    QCOMPARE(rig.BtsRow("LATHE1"), before);
    if (!status.isEmpty()) {
        QVERIFY2(std::any_of(rig.statuses.cbegin(), rig.statuses.cend(),
                             [&status](const QString& s) { return s.startsWith(status); }),
                 qPrintable(rig.statuses.join('|')));
    }
    QStringList shown = rig.messages.Texts();
    shown.removeAll(QStringLiteral("Wait longer for response?"));
    QCOMPARE(shown, message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty()) {
        QCOMPARE(rig.messages.Last().title, QStringLiteral("BTS configuration Failed!"));
    }
    QVERIFY(rig.started.isEmpty());
    QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
    QVERIFY(rig.Child<QPushButton>("cmdModeSet")->isEnabled());
}

void TestFrmBTS::deviceConfigurationPairsAndStores() {
    BtsWindowRig rig;
    rig.lines.AddLoopback(7);  // the virtual port the pairing gives the adapter
    rig.installation.Exec(
        "UPDATE t_dnc_server_clients SET bts_latency = -1 WHERE client_name = "
        "'LATHE1'");
    int closedAfter = 3;
    rig.windows = [&closedAfter](const QString& title) {
        // The settings program is open until the operator has been asked three times.
        return title == QLatin1String("Bluetooth Settings") && closedAfter > 0 ? quintptr(1)
                                                                               : quintptr(0);
    };
    frmBTS& w = rig.Open();
    QStringList seen;
    AnswerWindows("cmdOK", QStringLiteral("COM 7"), &seen);
    int prompts = 0;
    SetMessageHandler([&](const MessageRequest& r) {
        ++prompts;
        --closedAfter;
        return r.buttons == MsgButtons::RetryCancel ? MsgAnswer::Retry : MsgAnswer::Ok;
    });
    rig.Child<QPushButton>("cmdModeSet")->click();
    SetMessageHandler({});
    const QString pin = ServerPin(QStringLiteral("CNCSRV1"));
    QCOMPARE(rig.started, QStringList{"bluetooth-settings"});
    QCOMPARE(prompts, 3);
    QCOMPARE(rig.BtsRow("LATHE1"), (QVariantList{-1, 0, 0, -1, "0012-6F-3A1B2C", pin, 7}));
    QCOMPARE(rig.BtsRow("MILL2"), (QVariantList{0, 0, 0, 0, "", "", 3}));
    // Configured, then discovery and echo switched off after the pairing.
    QCOMPARE(rig.adapter.commands,
             (QStringList{"ATZ0", "ATC0", "ATK0", "ATM0", "ATX0", "ATP=" + pin, "ATB?",
                          "ATN=3A1B2C", "ATK0", "ATL1", "ATQ1", "ATC1", "ATH0", "ATE0"}));
    QVERIFY(rig.adapter.Describe().contains("discover=0 echo=0"));
    const QString log = QString::fromLatin1(rig.installation.ReadFile("BTSLog.txt"));
    QVERIFY2(log.endsWith("  LATHE1 COM7 3A1B2C COM7 0012-6F-3A1B2C\r\n"), qPrintable(log));
    QCOMPARE(rig.Label("lblBTSAddress"), QStringLiteral("ADDR: 0012-6F-3A1B2C"));
    QCOMPARE(rig.Label("lblMode"), QStringLiteral("Mode: Com7,9600,N,8,1"));
    QCOMPARE(w.miComPort, qint16(7));
    QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
    QVERIFY(!w.Busy());
}

void TestFrmBTS::doubleClickAbortsOnlyThatExchange() {
    BtsWindowRig rig;
    frmBTS& w = rig.Open();
    w.show();
    auto* status = rig.Child<QPlainTextEdit>("txtConfigStatus");
    QString abortAt = QStringLiteral("\r\n3");
    QObject::connect(&w.Protocol(), &BtsProtocol::StatusTextChanged, &w, [&](const QString& t) {
        if (!abortAt.isEmpty() && t.endsWith(abortAt)) {
            abortAt.clear();
            QTest::mouseDClick(status->viewport(), Qt::LeftButton);
        }
    });
    const QVariantList before = rig.BtsRow("LATHE1");
    rig.Child<QPushButton>("cmdModeSet")->click();
    QCOMPARE(rig.adapter.commands, (QStringList{"ATZ0", "ATC0", "ATK0", "ATM0"}));
    QVERIFY(rig.statuses.contains("Config. aborted.."));
    QVERIFY(rig.started.isEmpty());
    QCOMPARE(rig.BtsRow("LATHE1"), before);
    QCOMPARE(rig.messages.Count(), 0);

    // The next exchange waits for its replies as usual and runs to its end.
    rig.adapter.commands.clear();
    rig.statuses.clear();
    rig.Child<QPushButton>("cmdModeSet")->click();
    QCOMPARE(rig.adapter.commands.size(), 11);
    QCOMPARE(rig.adapter.commands.last(), QStringLiteral("ATQ1"));
    QVERIFY(!rig.statuses.contains("Config. aborted"));
    QCOMPARE(rig.messages.Texts(), QStringList{"Unable to start Bluetooth Settings wizard!"});
    QVERIFY(!w.Protocol().AbortRequested);

    // A double click late in a single setting, which has nothing left to stop, is not
    // carried into the next one.
    abortAt = QStringLiteral("Discover ON");
    rig.Run("DISCOVER ON");
    QVERIFY(abortAt.isEmpty());
    rig.adapter.commands.clear();
    rig.Run("LATENCY ON");
    QCOMPARE(rig.adapter.commands, QStringList{"ATC1"});
    QVERIFY(rig.statuses.contains("Latency ON.."));
    QCOMPARE(rig.Column("LATHE1", "bts_latency"), QVariant(-1));
}

void TestFrmBTS::busyWindowRefusesInputAndClosesAfterAbort() {
    BtsWindowRig rig;
    frmBTS& w = rig.Open();
    w.show();
    QStringList disabled;
    bool stillOpen = false;
    QObject::connect(&w.Protocol(), &BtsProtocol::StatusTextChanged, &w, [&](const QString& t) {
        if (!t.endsWith(QLatin1String("\r\n2")) || !disabled.isEmpty()) {
            return;
        }
        for (const char* name : {"cboServers", "lstClients", "cboPorts", "cmdModeSet", "menuBar"}) {
            if (!w.findChild<QWidget*>(QLatin1String(name))->isEnabled()) {
                disabled << QLatin1String(name);
            }
        }
        // A second press and a click on another client change nothing.
        QTest::mouseClick(w.findChild<QPushButton*>("cmdModeSet"), Qt::LeftButton);
        auto* list = w.findChild<QListWidget*>("lstClients");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        w.close();
        stillOpen = w.isVisible();
    });
    rig.Child<QPushButton>("cmdModeSet")->click();
    QCOMPARE(disabled,
             (QStringList{"cboServers", "lstClients", "cboPorts", "cmdModeSet", "menuBar"}));
    QVERIFY(stillOpen);
    // The close waited for the exchange to stop at its next step, then went through.
    QCOMPARE(rig.adapter.commands, (QStringList{"ATZ0", "ATC0", "ATK0"}));
    QVERIFY(!w.isVisible());
    QCOMPARE(rig.Child<QListWidget>("lstClients")->currentRow(), 0);
    QVERIFY(rig.started.isEmpty());
    QCOMPARE(rig.messages.Count(), 0);
    QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
    QCOMPARE(ReadIniValue(SettingsFileName, "BTS", "BTSCOM", ""), QStringLiteral("COM5"));
}

void TestFrmBTS::failedPortIsReprobedOnce() {
    BtsWindowRig rig;
    rig.lines.AddLoopback(8);
    rig.lines.Port(8).refuseOpen = true;
    frmBTS& w = rig.Open();
    rig.Choose("COM 8");
    QCOMPARE(rig.messages.Texts(), QStringList{"Com Error, COM8 didn't open."});
    QCOMPARE(rig.Child<QComboBox>("cboPorts")->currentText(), QStringLiteral("COM 5"));
    QCOMPARE(w.SelectedComPort(), QStringLiteral("COM5"));

    // Both gone: each is tried once, the window does not probe round and round.
    rig.messages.Clear();
    rig.lines.Port(5).refuseOpen = true;
    rig.Choose("COM 8");
    QCOMPARE(rig.messages.Texts(),
             (QStringList{"Com Error, COM8 didn't open.", "Com Error, COM5 didn't open."}));
    QVERIFY(!w.Busy());

    // DEFAULT COM goes to the last port that opened.
    rig.lines.Port(5).refuseOpen = false;
    rig.messages.Clear();
    rig.Choose("DEFAULT COM");
    QCOMPARE(rig.Child<QComboBox>("cboPorts")->currentText(), QStringLiteral("COM 5"));
    QCOMPARE(w.BtsMode(), 2);
    QCOMPARE(rig.messages.Count(), 0);
}

void TestFrmBTS::deleteAsksFirstAndNothingWithoutClient() {
    BtsWindowRig rig;
    rig.installation.Exec("UPDATE t_dnc_server_clients SET bts_address = '0012-6F-000001'");
    AddServer(QStringLiteral("EMPTY"));
    frmBTS& w = rig.Open();
    rig.messages.Answer(MsgAnswer::Cancel);
    rig.Run("BTS DELETE");
    QCOMPARE(rig.messages.Last().title, QStringLiteral("Warning! Delete BTS"));
    QCOMPARE(rig.messages.Last().buttons, MsgButtons::OkCancel);
    QCOMPARE(rig.Column("LATHE1", "bts_address"), QVariant("0012-6F-000001"));
    QCOMPARE(rig.Column("LATHE1", "bts_used"), QVariant(-1));

    // A server without clients: the button does nothing.
    auto* servers = rig.Child<QComboBox>("cboServers");
    servers->setCurrentIndex(servers->findText("EMPTY"));
    QCOMPARE(rig.Child<QListWidget>("lstClients")->count(), 0);
    rig.messages.Clear();
    rig.statuses.clear();
    rig.Run("BTS OFF");
    QCOMPARE(rig.messages.Count(), 0);
    QCOMPARE(rig.statuses, QStringList{""});
    QCOMPARE(rig.Column("LATHE1", "bts_used"), QVariant(-1));
    QCOMPARE(w.BtsMode(), 0);
}

void TestFrmBTS::menusAndPopups() {
    BtsWindowRig rig;
    rig.adapter.settings.baudCode = '1';
    frmBTS& w = rig.Open();
    WriteAppendStatusFile(QStringLiteral("LATHE1 COM7 3A1B2C COM7 0012-6F-3A1B2C"));
    QStringList opened;
    SetModalHook([&opened](QDialog& dialog) {
        opened << dialog.objectName();
        return int(QDialog::Rejected);
    });
    rig.Child<QAction>("mnuReadBTSLog")->trigger();
    QCOMPARE(opened, QStringList{"frmBTSLog"});
    QVERIFY(w.msBTSLogReadString.endsWith("  LATHE1 COM7 3A1B2C COM7 0012-6F-3A1B2C\r\n"));
    // WriteBTSLog appends what was read last, as one entry.
    w.msBTSLogReadString = QStringLiteral("note");
    rig.Child<QAction>("mnuWriteBTSLog")->trigger();
    QVERIFY(ReadBtsLogText().endsWith("  note\r\n"));
    rig.Child<QAction>("mnuConfigureBaud")->trigger();
    QCOMPARE(opened.last(), QStringLiteral("frmConfigureBaud"));

    // Deleting the log asks first; Cancel keeps it.
    rig.messages.Answer(MsgAnswer::Cancel);
    rig.Child<QAction>("mnuDeleteBTSLog")->trigger();
    QCOMPARE(rig.messages.Last().title, QStringLiteral("Warning! Delete BTS Log"));
    QVERIFY(!ReadBtsLogText().isEmpty());
    rig.Child<QAction>("mnuDeleteBTSLog")->trigger();
    QVERIFY(ReadBtsLogText().isEmpty());

    // Create Pin: the PIN of the status box's text.
    QClipboard* clipboard = QGuiApplication::clipboard();
    w.Protocol().SetStatusText(QStringLiteral("CNCSRV2"));
    rig.Child<QAction>("mnucCreatePin")->trigger();
    QCOMPARE(clipboard->text(), GeneratePin(QStringLiteral("CNCSRV2")));
    // A right click on the button in the verify mode: the listing of the last verify.
    rig.Run("VERIFY BTS");
    QVERIFY(w.Protocol().Listing.contains("ATP=5093"));
    w.show();
    QTest::mouseClick(rig.Child<QPushButton>("cmdModeSet"), Qt::RightButton);
    QCOMPARE(clipboard->text(), GeneratePin(QStringLiteral("CNCSRV2")));  // mode 2 again
    rig.Choose("VERIFY BTS");
    QTest::mouseClick(rig.Child<QPushButton>("cmdModeSet"), Qt::RightButton);
    QCOMPARE(clipboard->text(), w.Protocol().Listing);

    // The terminal, only through the hook the program installs.
    BtsTerminalValues values;
    const BtsTerminalOpener previous =
        frmBTS::SetTerminalOpener([&values](QWidget*, const BtsTerminalValues& v) { values = v; });
    rig.Child<QAction>("mnuTerminal")->trigger();
    frmBTS::SetTerminalOpener(previous);
    QCOMPARE(values.miComPort, qint16(3));
    QCOMPARE(values.msMode, QStringLiteral("9600,N,8,1"));
}

void TestFrmBTS::mainWindowOpensIt() {
    BtsWindowRig rig;
    BtsMenuFlag = QStringLiteral("TRUE");
    frmSetup main;
    QStringList opened;
    SetModalHook([&opened](QDialog& dialog) {
        opened << dialog.windowTitle();
        return int(QDialog::Rejected);
    });
    main.findChild<QAction*>(QStringLiteral("menuBTS"))->trigger();
    QCOMPARE(opened, QStringList{"DNC Client BTS administration"});
}

KESTRUM_TEST(TestFrmBTS)
#include "tst_frmBTS.moc"
