// The BTS window end to end over a real pseudo-terminal: kestrum-btssim plays the adapter,
// COM7 is mapped to it in [COMPORTS], and the window detects, configures and verifies it, then
// opens the terminal on the client's line. On the real clock: the exchange's time-outs are
// those of the program, so a busy machine does not make the run fail.

#include "terminal/frmTerminal.h"
#include "tests/bts/bts_window_rig.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_main.h"

#include <QProcess>
#include <QTest>

class TestBtsWindowPty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void configuresAndVerifiesFromWindow() {
#ifndef KESTRUM_BTSSIM_PATH
        QSKIP("the simulator program is not built on this platform");
#else
        QProcess simulator;
        simulator.start(QStringLiteral(KESTRUM_BTSSIM_PATH), {"--baud", "9600"});
        QVERIFY(simulator.waitForReadyRead(5000));
        const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();
        TempInstallation::Options options;
        options.settings = QStringLiteral("[BTS]\r\nBTSCOM=COM7\r\n[COMPORTS]\r\nCOM7=%1\r\n")
                               .arg(device)
                               .toLocal8Bit();
        TempInstallation installation(options);
        BtsConfigBaud = 3;
        AddServer(QStringLiteral("CNCSRV1"));
        AddClientMDB(QStringLiteral("LATHE1"), QStringLiteral("CNCSRV1"));
        installation.Exec("UPDATE t_dnc_server_clients SET bts_used = -1, bts_latency = -1");
        installation.Exec(
            "UPDATE t_client_mode SET m_baud = 38400, m_parity = 'N', m_databits = 8, "
            "m_stopbits = 2, cnc_comport = 7");
        SystemLinesInUse lines;
        MessageRecorder messages;
        // The pairing is not part of this run: the settings program does not start.
        SetProgramStarter([](const QString&, const QStringList&) { return false; });
        // The terminal opens on the configured adapter's line; its window is answered at once.
        QString terminal;
        const BtsTerminalOpener previousOpener =
            frmBTS::SetTerminalOpener([&terminal](QWidget* parent, const BtsTerminalValues& v) {
                const ModalHook previousHook = SetModalHook([&terminal](QDialog& dialog) {
                    terminal = dialog.windowTitle();
                    return int(QDialog::Rejected);
                });
                OpenTerminal({v.miComPort, v.msMode, v.miCharBufferSize, v.msBTSBaud}, parent);
                SetModalHook(previousHook);
            });
        QStringList statuses;
        QString verified, address;
        bool released = false;
        {
            frmBTS window;
            QObject::connect(&window.Protocol(), &BtsProtocol::StatusTextChanged,
                             [&statuses](const QString& t) { statuses << t; });
            window.findChild<QPushButton*>("cmdModeSet")->click();
            Choose(&window, "cboPorts", "VERIFY BTS");
            window.findChild<QPushButton*>("cmdModeSet")->click();
            verified = window.Protocol().VerifyText;
            address = window.Protocol().msBTSAddress;
            released = !window.Protocol().SaxComBTS.PortOpen();
            window.findChild<QAction*>("mnuTerminal")->trigger();
            window.close();
        }
        frmBTS::SetTerminalOpener(previousOpener);
        SetProgramStarter({});
        simulator.terminate();
        simulator.waitForFinished(5000);
        const QStringList states = QString::fromLocal8Bit(simulator.readAll())
                                       .split(QLatin1Char('\n'))
                                       .filter(QStringLiteral("STATE "));

        QStringList shown = messages.Texts();
        shown.removeAll(QStringLiteral("Wait longer for response?"));  // a busy machine
        QCOMPARE(shown, QStringList{"Unable to start Bluetooth Settings wizard!"});
        QVERIFY2(
            statuses.contains("BTS Detected......\r\n1......\r\n2..\r\n3..\r\n4..\r\n5..\r\n6.."
                              "\r\n7..\r\n8..\r\n9..\r\n10..\r\nLatency ON......"),
            qPrintable(statuses.join('|')));
        QCOMPARE(verified, QStringLiteral("TWO STOP BIT\r\nBAUD RATE 38400\r\nNONE PARITY BIT\r\n"
                                          "Latency ON\r\nDiscover ON\r\nEcho ON"));
        QCOMPARE(address, QStringLiteral("0012-6F-3A1B2C"));
        QVERIFY(released);
        // The configuration alone stores nothing; the pairing would.
        QCOMPARE(installation.QueryValue("SELECT bts_address FROM t_dnc_server_clients").toString(),
                 QString());
        // What the adapter holds, as the program reported it after its last command.
        QCOMPARE(states.value(states.size() - 1),
                 QStringLiteral("STATE pin=%1 name=3A1B2C baud=38400 stopbits=2 flow=hardware "
                                "parity=0 escape=0 discover=1 echo=1 quiet=1")
                     .arg(ServerPin(QStringLiteral("CNCSRV1"))));
        QCOMPARE(terminal, QStringLiteral("Terminal Mode - Com7,38400,N,8,2"));
#endif
    }
};

KESTRUM_TEST(TestBtsWindowPty)
#include "tst_bts_window_pty.moc"
