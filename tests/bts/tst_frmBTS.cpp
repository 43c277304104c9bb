// The BTS window through its real widgets against the simulated adapter; and end to end over
// a real pseudo-terminal, where kestrum-btssim plays the adapter on the real clock.

#include "bts/bts_window_logic.h"
#include "terminal/frmTerminal.h"
#include "tests/bts/bts_window_rig.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_main.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

class TestFrmBTS : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The modes that only write the database (BTS ON, EOB delay: with an end-of-block delay),
    // and those that set one thing in the adapter (from latency on for LATENCY OFF only). An
    // adapter that fails leaves the database as it was and the window ready.
    void modes_data() {
        QTest::addColumn<QString>("entry");  // "" configures the device
        QTest::addColumn<AdapterFault>("fault");
        QTest::addColumn<QString>("commands");  // sent to the adapter
        QTest::addColumn<QString>("status");    // statuses in a row, "^" the first
        QTest::addColumn<QString>("held");      // hardware flow, discover, echo afterwards
        QTest::addColumn<QVariantList>("row");  // used, eobdelay, loop, latency, address, pin, port
        QTest::addColumn<QString>("message");   // the one shown, "" none
        const auto row = [](const char* name, const char* commands, const QString& status,
                            const char* held, const QVariantList& row,
                            AdapterFault fault = AdapterFault::None, const QString& message = "") {
            QTest::newRow(name) << QString(name).section(',', 0, 0) << fault << QString(commands)
                                << status << QString(held) << row << message;
        };
        const auto stored = [](int used, int eob, int loop, int latency = -1) {
            return QVariantList{used, eob, loop, latency, "0012-6F-000001", "11112222", 3};
        };
        const auto database = [](const QString& entry) {
            return "^||" + entry + '|' + entry + ".|" + entry + "..|";
        };
        const QVariantList kept = stored(-1, 0, -1, 0);
        row("BTS OFF", "", database("BTS OFF"), "111", stored(0, 0, -1));
        row("BTS ON", "", database("BTS ON"), "111", stored(-1, -1, -1));
        row("BTS ON, EOB delay", "", database("BTS ON"), "111", stored(-1, 0, -1));
        row("CHANNEL OFF", "", database("CHANNEL OFF"), "111", stored(-1, 0, 0));
        row("BTS DELETE", "", database("BTS DELETE"), "111", {0, 0, 0, 0, "", "", 0},
            AdapterFault::None, "You are about to delete all BTS settings of client \"LATHE1\"");
        row("DISCOVER ON", "ATH1", "|Discover ON...|", "111", kept);
        row("DISCOVER OFF", "ATH0 ATE0", "|Echo OFF...|", "100", kept);
        row("BTS ECHO OFF", "ATE0", "|Echo OFF..|", "110", kept);
        row("BTS ECHO ON", "ATE1", "|Echo ON..|", "111", kept);
        row("LATENCY OFF", "ATC0", "|Latency OFF..|", "011", kept);
        row("LATENCY ON", "ATC1", "|Latency ON..|", "111", stored(-1, 0, -1));
        // The adapter's flow control is not the one the client stores.
        row("VERIFY BTS", "ATI1", "|Latency OFF unmatched..|", "111", kept);
        row("LATENCY ON, silent", "", "|Config. failed Latency ON..|", "111", kept,
            AdapterFault::Silent);
        row("LATENCY ON, noise", "ATC1", "|Config. failed Latency ON..|", "111", kept,
            AdapterFault::Noise);
        row("VERIFY BTS, silent", "", "|No response, check settings..|", "111", kept,
            AdapterFault::Silent);
        // A slow adapter is found (the reset has a long wait) and then misses its first step; one
        // that answers ERROR after its echo looks found too, and fails its first step.
        row("COM 5, silent", "", "", "111", kept, AdapterFault::Silent,
            "BTS not detected on COM5 press reset on BTS and try again:");
        row("COM 5, error", "ATZ0", "|Config. failed 1\r\n", "111", kept, AdapterFault::Error);
        row("COM 5, slow", "ATZ0 ATC0", "|Config. failed 1\r\nATC0\r", "011", kept,
            AdapterFault::Slow);
    }
    void modes() {
        QFETCH(QString, entry);
        QFETCH(AdapterFault, fault);
        QFETCH(QString, status);
        QFETCH(QVariantList, row);
        QFETCH(QString, message);
        const int eobDelay = QByteArray(QTest::currentDataTag()).endsWith("EOB delay") ? 5 : 0;
        const int latency = status.startsWith('^') || entry == "LATENCY OFF" ? -1 : 0;
        BtsWindowRig rig;
        rig.adapter.settings.baudCode = '1';
        rig.adapter.settings.escapeCheck = false;
        rig.adapter.fault = fault;
        rig.adapter.slowMs = 1000;
        rig.installation.Exec(
            "UPDATE t_dnc_server_clients SET bts_loop = -1, bts_latency = -1, "
            "bts_address = '0012-6F-000001', bts_pin = '11112222'");
        rig.installation.Exec(
            "UPDATE t_dnc_server_clients SET bts_latency = ? WHERE client_name = 'LATHE1'",
            {latency});
        rig.installation.Exec("UPDATE t_timeout_table_down SET eob_delay = ?", {eobDelay});
        frmBTS& w = rig.Open();
        const QVariantList other = rig.BtsRow("MILL2");
        rig.statuses.clear();
        for (int i = 0; fault != AdapterFault::None && i < 8; ++i) {
            rig.messages.Answer(MsgAnswer::No);  // a slow reply is not waited for
        }
        rig.Run(entry);
        QCOMPARE(rig.BtsRow("LATHE1"), row);
        QCOMPARE(rig.BtsRow("MILL2"), other);
        QTEST(rig.adapter.commands.join(' '), "commands");
        const QString statuses = "^|" + rig.statuses.join('|') + '|';
        QVERIFY2(statuses.contains(status), qPrintable(statuses));
        const AdapterSettings& a = rig.adapter.settings;
        QTEST(QString("%1%2%3").arg(int(a.hardwareFlow)).arg(int(a.discover)).arg(int(a.echo)),
              "held");
        QStringList shown = rig.messages.Texts();
        shown.removeAll(QStringLiteral("Wait longer for response?"));
        QCOMPARE(shown, message.isEmpty() ? QStringList() : QStringList{message});
        // Labels read afresh; the port set up again for the next device configuration.
        QCOMPARE(rig.Label("lblMode"), "Mode: Com" + row.last().toString() + ",9600,N,8,1");
        QCOMPARE(rig.Child<QComboBox>("cboPorts")->currentText(), QStringLiteral("COM 5"));
        QCOMPARE(w.BtsMode(), 2);
        QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
        QVERIFY(rig.started.isEmpty());
        QVERIFY(rig.Child<QPushButton>("cmdModeSet")->isEnabled());
    }

    // The whole device configuration, the pairing and what is stored; a system PIN takes the
    // place of the server's.
    void deviceConfigurationPairsAndStores_data() {
        QTest::addColumn<QByteArray>("systemPin");
        QTest::newRow("server PIN") << QByteArray();
        QTest::newRow("system PIN") << QByteArray("24681357");
    }
    void deviceConfigurationPairsAndStores() {
        QFETCH(QByteArray, systemPin);
        BtsWindowRig rig(systemPin.isEmpty() ? "" : "SYSTEMPIN=" + systemPin + "\r\n");
        const QString pin = systemPin.isEmpty() ? ServerPin("CNCSRV1") : QString(systemPin);
        rig.lines.AddLoopback(7);  // the virtual port the pairing gives the adapter
        rig.installation.Exec(
            "UPDATE t_dnc_server_clients SET bts_latency = -1 WHERE client_name = 'LATHE1'");
        int closedAfter = 3;  // the settings program is open until asked three times
        rig.windows = [&](const QString& title) {
            return quintptr(title == QLatin1String("Bluetooth Settings") && closedAfter > 0);
        };
        frmBTS& w = rig.Open();
        QStringList seen;
        AnswerWindows("cmdOK", QStringLiteral("COM 7"), &seen);
        SetMessageHandler([&](const MessageRequest& r) {
            --closedAfter;
            return r.buttons == MsgButtons::RetryCancel ? MsgAnswer::Retry : MsgAnswer::Ok;
        });
        rig.Child<QPushButton>("cmdModeSet")->click();
        SetMessageHandler({});
        QCOMPARE(rig.Label("lblPin"), (systemPin.isEmpty() ? "SVR. PIN: " : "SYS. PIN: ") + pin);
        QCOMPARE(rig.started, QStringList{"bluetooth-settings"});
        QCOMPARE(closedAfter, 0);
        QCOMPARE(rig.BtsRow("LATHE1"), (QVariantList{-1, 0, 0, -1, "0012-6F-3A1B2C", pin, 7}));
        QCOMPARE(rig.BtsRow("MILL2"), (QVariantList{0, 0, 0, 0, "", "", 3}));
        // Configured, then discovery and echo switched off after the pairing.
        QCOMPARE(rig.adapter.commands,
                 (QStringList{"ATZ0", "ATC0", "ATK0", "ATM0", "ATX0", "ATP=" + pin, "ATB?",
                              "ATN=3A1B2C", "ATK0", "ATL1", "ATQ1", "ATC1", "ATH0", "ATE0"}));
        const QString log = QString::fromLatin1(rig.installation.ReadFile("BTSLog.txt"));
        QVERIFY2(log.endsWith("  LATHE1 COM7 3A1B2C COM7 0012-6F-3A1B2C\r\n"), qPrintable(log));
        QCOMPARE(rig.Label("lblMode"), QStringLiteral("Mode: Com7,9600,N,8,1"));
        QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
        QVERIFY(!w.Busy());
    }

    void doubleClickAbortsOnlyThatExchange() {
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

        // The next exchange waits for its replies as usual and runs to its end.
        rig.adapter.commands.clear();
        rig.Child<QPushButton>("cmdModeSet")->click();
        QCOMPARE(rig.adapter.commands.size(), 11);
        QCOMPARE(rig.messages.Texts(), QStringList{"Unable to start Bluetooth Settings wizard!"});

        // A double click late in a single setting, which has nothing left to stop, is not
        // carried into the next one.
        abortAt = QStringLiteral("Discover ON");
        rig.Run("DISCOVER ON");
        QVERIFY(abortAt.isEmpty());
        rig.adapter.commands.clear();
        rig.Run("LATENCY ON");
        QCOMPARE(rig.adapter.commands, QStringList{"ATC1"});
        QCOMPARE(rig.BtsRow("LATHE1").value(3), QVariant(-1));
    }

    void busyWindowRefusesInputAndClosesAfterAbort() {
        BtsWindowRig rig;
        frmBTS& w = rig.Open();
        w.show();
        QStringList disabled;
        bool stillOpen = false;
        QObject::connect(&w.Protocol(), &BtsProtocol::StatusTextChanged, &w, [&](const QString& t) {
            if (!t.endsWith(QLatin1String("\r\n2")) || !disabled.isEmpty()) {
                return;
            }
            for (const char* name :
                 {"cboServers", "lstClients", "cboPorts", "cmdModeSet", "menuBar"}) {
                disabled << (w.findChild<QWidget*>(name)->isEnabled() ? "" : name);
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
        QVERIFY(!w.Protocol().SaxComBTS.PortOpen());
    }

    void failedPortIsReprobedOnce() {
        BtsWindowRig rig;
        rig.lines.AddLoopback(8);
        rig.lines.Port(8).refuseOpen = true;
        frmBTS& w = rig.Open();
        rig.Choose("COM 8");
        QCOMPARE(rig.messages.Texts(), QStringList{"Com Error, COM8 didn't open."});
        QCOMPARE(w.SelectedComPort(), QStringLiteral("COM5"));
        // Both gone: each is tried once, the window does not probe round and round.
        rig.messages.Clear();
        rig.lines.Port(5).refuseOpen = true;
        rig.Choose("COM 8");
        QCOMPARE(rig.messages.Texts(),
                 (QStringList{"Com Error, COM8 didn't open.", "Com Error, COM5 didn't open."}));
        QVERIFY(!w.Busy());
    }

    void deleteAsksFirstAndNothingStartsWithoutClient() {
        BtsWindowRig rig;
        AddServer(QStringLiteral("EMPTY"));
        frmBTS& w = rig.Open();
        const QVariantList before = rig.BtsRow("LATHE1");
        rig.messages.Answer(MsgAnswer::Cancel);
        rig.Run("BTS DELETE");
        QCOMPARE(rig.messages.Last().buttons, MsgButtons::OkCancel);
        QCOMPARE(rig.BtsRow("LATHE1"), before);
        // A server without clients: the button does nothing.
        Choose(&w, "cboServers", "EMPTY");
        rig.messages.Clear();
        rig.Run("BTS OFF");
        QCOMPARE(rig.messages.Count(), 0);
        QCOMPARE(rig.BtsRow("LATHE1"), before);
        QCOMPARE(w.BtsMode(), 0);
        // Nor does the assistant start (a message says why).
        rig.Child<QAction>("mnuBTSMan")->trigger();
        QVERIFY(rig.started.isEmpty());
        // Deleting the log asks first too.
        rig.installation.WriteFile("BTSLog.txt", "kept\r\n");
        rig.messages.Answer({MsgAnswer::Cancel, MsgAnswer::Ok});
        rig.Child<QAction>("mnuDeleteBTSLog")->trigger();
        QCOMPARE(rig.installation.ReadFile("BTSLog.txt"), QByteArray("kept\r\n"));
        rig.Child<QAction>("mnuDeleteBTSLog")->trigger();
        QVERIFY(!QFile::exists(rig.installation.FilePath("BTSLog.txt")));
        QCOMPARE(rig.messages.Count(), 3);
    }

    // COM7 is mapped to the simulator in [COMPORTS]; the window detects, configures and
    // verifies it, then opens the terminal on the client's line. The exchange's time-outs are
    // the program's own, so a busy machine does not make the run fail.
    void configuresAndVerifiesFromWindow() {
#ifndef KESTRUM_BTSSIM_PATH
        QSKIP("the simulator program is not built on this platform");
#else
        QProcess simulator;
        simulator.start(QStringLiteral(KESTRUM_BTSSIM_PATH), {"--baud", "9600"});
        QVERIFY(simulator.waitForReadyRead(5000));
        TempInstallation installation({.settings = "[BTS]\r\nBTSCOM=COM7\r\n[COMPORTS]\r\nCOM7=" +
                                                   simulator.readLine().trimmed() + "\r\n"});
        BtsConfigBaud = 3;
        AddServer("CNCSRV1");
        AddClientMDB("LATHE1", "CNCSRV1");
        installation.Exec("UPDATE t_dnc_server_clients SET bts_used = -1, bts_latency = -1");
        installation.Exec(
            "UPDATE t_client_mode SET m_baud = 38400, m_parity = 'N', m_databits = 8, "
            "m_stopbits = 2, cnc_comport = 7");
        SystemLinesInUse lines;
        MessageRecorder messages;
        // The pairing is not part of this run: the settings program does not start. The
        // terminal opens on the configured adapter's line; its window is answered at once.
        SetProgramStarter([](const QString&, const QStringList&) { return false; });
        const BtsTerminalOpener previous =
            frmBTS::SetTerminalOpener([](QWidget* parent, const BtsTerminalValues& v) {
                OpenTerminal({v.miComPort, v.msMode, v.miCharBufferSize, v.msBTSBaud}, parent);
            });
        QString terminal;
        SetModalHook([&terminal](QDialog& dialog) {
            terminal = dialog.windowTitle();
            return int(QDialog::Rejected);
        });
        const auto restore = qScopeGuard([&previous] {
            frmBTS::SetTerminalOpener(previous);
            SetProgramStarter({});
            SetModalHook({});
        });
        QStringList statuses;
        frmBTS window;
        QObject::connect(&window.Protocol(), &BtsProtocol::StatusTextChanged,
                         [&statuses](const QString& t) { statuses << t; });
        window.findChild<QPushButton*>("cmdModeSet")->click();
        Choose(&window, "cboPorts", "VERIFY BTS");
        window.findChild<QPushButton*>("cmdModeSet")->click();
        QStringList shown = messages.Texts();
        shown.removeAll(QStringLiteral("Wait longer for response?"));  // a busy machine
        QCOMPARE(shown, QStringList{"Unable to start Bluetooth Settings wizard!"});
        QVERIFY2(
            statuses.contains("BTS Detected......\r\n1......\r\n2..\r\n3..\r\n4..\r\n5..\r\n6.."
                              "\r\n7..\r\n8..\r\n9..\r\n10..\r\nLatency ON......"),
            qPrintable(statuses.join('|')));
        QCOMPARE(window.Protocol().VerifyText,
                 QStringLiteral("TWO STOP BIT\r\nBAUD RATE 38400\r\nNONE PARITY BIT\r\n"
                                "Latency ON\r\nDiscover ON\r\nEcho ON"));
        QCOMPARE(window.Protocol().msBTSAddress, QStringLiteral("0012-6F-3A1B2C"));
        QVERIFY(!window.Protocol().SaxComBTS.PortOpen());
        // The configuration alone stores nothing; the pairing would.
        QCOMPARE(installation.QueryValue("SELECT bts_address FROM t_dnc_server_clients").toString(),
                 QString());
        window.findChild<QAction*>("mnuTerminal")->trigger();
        QCOMPARE(terminal, QStringLiteral("Terminal Mode - Com7,38400,N,8,2"));
        // What the adapter holds, as the program reported it after its last command.
        simulator.terminate();
        simulator.waitForFinished(5000);
        const QStringList states = QString::fromLocal8Bit(simulator.readAll())
                                       .split(QLatin1Char('\n'))
                                       .filter(QStringLiteral("STATE "));
        QCOMPARE(states.value(states.size() - 1),
                 QStringLiteral("STATE pin=%1 name=3A1B2C baud=38400 stopbits=2 flow=hardware "
                                "parity=0 escape=0 discover=1 echo=1 quiet=1")
                     .arg(ServerPin(QStringLiteral("CNCSRV1"))));
#endif
    }
};

KESTRUM_TEST(TestFrmBTS)
#include "tst_frmBTS.moc"
