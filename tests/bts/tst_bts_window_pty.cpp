// The BTS window end to end over a real pseudo-terminal: kestrum-btssim plays the adapter,
// COM7 is mapped to it in [COMPORTS], and the window detects, configures and verifies it,
// then opens the terminal on the client's line. On the real clock: the exchange's
// time-outs are those of the program, so a busy machine does not make the run fail.

#include "components/qserial_line.h"
#include "terminal/frmTerminal.h"
#include "tests/bts/bts_window_rig.h"
#include "tests/support/test_main.h"

#include <QListWidget>
#include <QProcess>
#include <QTest>

class TestBtsWindowPty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void configuresAndVerifiesFromWindow();
};

void TestBtsWindowPty::configuresAndVerifiesFromWindow() {
#ifndef KESTRUM_BTSSIM_PATH
    QSKIP("the simulator program is not built on this platform");
#else
    QProcess simulator;
    simulator.start(QStringLiteral(KESTRUM_BTSSIM_PATH), {QStringLiteral("--baud"), "9600"});
    QVERIFY(simulator.waitForStarted(5000));
    QVERIFY(simulator.waitForReadyRead(5000));
    const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();
    QVERIFY2(device.startsWith(QLatin1String("/dev/")), qPrintable(device));

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
    SystemSerialLines lines;
    SerialLineProvider* previousLines = SetSerialLineProvider(&lines);
    MessageRecorder messages;
    // The pairing is not part of this run: the settings program does not start.
    SetProgramStarter([](const QString&, const QStringList&) { return false; });
    // The terminal opens on the configured adapter's line; its window is answered at once.
    BtsTerminalValues terminal;
    QString terminalCaption;
    const BtsTerminalOpener previousOpener = frmBTS::SetTerminalOpener([&terminal,
                                                                        &terminalCaption](
                                                                           QWidget* parent,
                                                                           const BtsTerminalValues&
                                                                               v) {
        terminal = v;
        const ModalHook previousHook = SetModalHook([&terminalCaption](QDialog& dialog) {
            if (qobject_cast<frmTerminal*>(&dialog)) {
                terminalCaption = dialog.windowTitle();
            }
            return int(QDialog::Rejected);
        });
        OpenTerminal(TerminalLine{v.miComPort, v.msMode, v.miCharBufferSize, v.msBTSBaud}, parent);
        SetModalHook(previousHook);
    });

    QStringList statuses;
    QString address;
    QString verified;
    QString portAfter;
    {
        frmBTS window;
        QObject::connect(&window.Protocol(), &BtsProtocol::StatusTextChanged,
                         [&statuses](const QString& t) { statuses << t; });
        QCOMPARE(window.SelectedComPort(), QStringLiteral("COM7"));
        window.findChild<QPushButton*>("cmdModeSet")->click();
        address = window.Protocol().msBTSAddress;
        auto* ports = window.findChild<QComboBox*>("cboPorts");
        ports->setCurrentIndex(ports->findText("VERIFY BTS"));
        window.findChild<QPushButton*>("cmdModeSet")->click();
        verified = window.Protocol().VerifyText;
        portAfter = ports->currentText();
        window.findChild<QAction*>("mnuTerminal")->trigger();
        window.close();
    }
    frmBTS::SetTerminalOpener(previousOpener);
    SetProgramStarter({});
    SetSerialLineProvider(previousLines);
    simulator.terminate();
    simulator.waitForFinished(5000);
    const QStringList output = QString::fromLocal8Bit(simulator.readAll()).split(QLatin1Char('\n'));

    QStringList shown = messages.Texts();
    // A busy machine may delay a reply past its first wait; the second chance is part of it.
    shown.removeAll(QStringLiteral("Wait longer for response?"));
    QVERIFY2(shown == QStringList{"Unable to start Bluetooth Settings wizard!"},
             qPrintable(shown.join('|') + " / " + address));
    QCOMPARE(address, QStringLiteral("0012-6F-3A1B2C"));
    QVERIFY2(statuses.contains(QStringLiteral("BTS Detected......\r\n1......\r\n2..\r\n3..\r\n4.."
                                              "\r\n5..\r\n6..\r\n7..\r\n8..\r\n9..\r\n10..\r\n"
                                              "Latency ON......")),
             qPrintable(statuses.join('|')));
    QCOMPARE(verified, QStringLiteral("TWO STOP BIT\r\nBAUD RATE 38400\r\nNONE PARITY BIT\r\n"
                                      "Latency ON\r\nDiscover ON\r\nEcho ON"));
    QVERIFY(statuses.contains(QStringLiteral("BTS verified for client\r\n") + verified +
                              QStringLiteral("......")));
    QCOMPARE(portAfter, QStringLiteral("COM 7"));
    // The configuration alone stores nothing; the pairing would.
    QCOMPARE(installation.QueryValue("SELECT bts_address FROM t_dnc_server_clients").toString(),
             QString());
    const QStringList states = output.filter(QStringLiteral("STATE "));
    QVERIFY(!states.isEmpty());
    QVERIFY2(states.last().contains("baud=38400 stopbits=2 flow=hardware"),
             qPrintable(states.last()));
    QCOMPARE(terminal.miComPort, qint16(7));
    QCOMPARE(terminalCaption, QStringLiteral("Terminal Mode - Com7,38400,N,8,2"));
    QCOMPARE(terminal.msMode, QStringLiteral("38400,N,8,2"));
    QCOMPARE(terminal.miCharBufferSize, qint16(256));
    QCOMPARE(terminal.msBTSBaud, QStringLiteral("38400"));
    QCOMPARE(ReadIniValue(SettingsFileName, "BTS", "BTSCOM", ""), QStringLiteral("COM7"));
#endif
}

KESTRUM_TEST(TestBtsWindowPty)
#include "tst_bts_window_pty.moc"
