// Detection of this computer's usable ports from the port setup window, on simulated lines
// and the fast clock, and once end to end on a pseudo-terminal mapped in [COMPORTS].

#include "components/saxcomm.h"
#include "port_setup_rig.h"
#include "setup/port_detection.h"
#include "tests/support/fast_clock.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_main.h"
#include "tools/btssim/simulated_lines.h"

namespace {

const QString kSummaryHead = QStringLiteral("Com port detection finished.\n\n");

// The ports of [COMPORTS] only: the host's own ports stay untouched.
struct MappedPortsOnly : SystemLinesInUse {
    QList<int> PresentPorts() override {
        QList<int> ports = SystemSerialLines::PresentPorts();
        ports.removeIf([](int port) { return !ComPortMapped(port); });
        return ports;
    }
    int Status(int port) override {
        return ComPortMapped(port) ? SystemSerialLines::Status(port) : 0;
    }
    std::unique_ptr<SerialLine> Create(int port) override {
        return ComPortMapped(port) ? SystemSerialLines::Create(port) : nullptr;
    }
};

}  // namespace

class TestPortDetection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Ports 1 and 5 usable, 2 held by another program, 3 never opens, 4 never closes. While
    // detection runs the window is disabled and neither OK, Cancel nor closing acts.
    void detectsUsablePorts_data() {
        QTest::addColumn<int>("storedPort");
        QTest::addColumn<QString>("shown");
        QTest::newRow("stored port detected") << 5 << "COM 5";
        QTest::newRow("stored port not detected") << 3 << "";
        QTest::newRow("no port stored") << 0 << "NO COM SET";
    }
    void detectsUsablePorts() {
        QFETCH(int, storedPort);
        PortSetupRig rig;
        FastClock clock;
        SimulatedSerialLines lines;
        for (int port = 1; port <= 5; ++port) {
            lines.AddLoopback(port);
        }
        lines.Port(2).busy = true;
        lines.Port(3).refuseOpen = true;
        lines.Port(4).stuckOpen = true;
        rig.SetMode("cnc_comport", storedPort);
        QVERIFY(rig.Open());
        rig.Window()->RefreshPortTips();
        QCOMPARE(rig.Tip(2), "COM2 is " + ComPortDevice(2) + ": present, in use");
        rig.Choose("cboBaud", "300");
        const QString before = rig.Snapshot();
        QStringList texts;
        bool enabledDuring = true;
        const MessageHandler previous = SetMessageHandler([&](const MessageRequest& request) {
            texts << request.text;
            if (texts.size() == 1) {
                enabledDuring = rig.Window()->isEnabled() || !rig.Window()->Detecting();
                QMetaObject::invokeMethod(rig.Button("cmdOK"), "click");
                QMetaObject::invokeMethod(rig.Button("cmdCancel"), "click");
                rig.Window()->close();
                rig.Window()->reject();
            }
            return MsgAnswer::Ok;
        });
        rig.Click("cmdPorts");
        SetMessageHandler(previous);
        QVERIFY(!enabledDuring);
        QCOMPARE(texts, QStringList({"Comm Error COM3 didn't open", "Comm Error COM4 stuck open",
                                     kSummaryHead + "Usable: COM1, COM5\nSkipped (in use): COM2\n"
                                                    "Failed: COM3, COM4"}));
        // 100 ms to close each port; 9 waits between the 10 tries to open COM3 and between
        // the 10 tries to close COM4.
        QCOMPARE(clock.NowMs(), qint64(100 + (900 + 100) + (100 + 900) + 100));
        QCOMPARE((QList<int>{lines.Port(1).opens, lines.Port(2).opens, lines.Port(5).opens}),
                 (QList<int>{1, 0, 1}));
        // Every client of this server gets the list, the other server's client does not; the
        // window stays open and nothing else was written.
        QCOMPARE(rig.db.TextRows("SELECT client_name, com_ports FROM t_dnc_server_clients "
                                 "ORDER BY client_id"),
                 QStringList({"MILL1| 1 5", "LATHE2| 1 5", "DRILL3|"}));
        QVERIFY(rig.Window()->isVisible() && rig.Window()->isEnabled());
        QCOMPARE(rig.Window()->result(), 0);
        rig.db.Exec("UPDATE t_dnc_server_clients SET com_ports = ''");
        QCOMPARE(rig.Snapshot(), before);
        QCOMPARE(rig.Entries("cboPorts"), QStringList({"NO COM SET", "COM 1", "COM 5"}));
        QTEST(rig.Shown("cboPorts"), "shown");
        // A list without a selection keeps the stored port on OK.
        rig.Click("cmdOK");
        QCOMPARE(rig.Column("cnc_comport", "t_client_mode"), QVariant(storedPort));
        // Opening the window again offers every port.
        rig.Close();
        QVERIFY(rig.Open());
        QCOMPARE(rig.Entries("cboPorts").size(), 100);
    }

    // Nothing usable clears the stored list; a client of another server detects nothing.
    void nothingUsable() {
        PortSetupRig rig;
        rig.SetClient("com_ports", " 7 8");
        FastClock clock;
        SimulatedSerialLines lines;
        lines.AddLoopback(2);
        lines.Port(2).refuseOpen = true;
        QVERIFY(rig.Open());
        MessageRecorder messages;
        rig.Click("cmdPorts");
        QCOMPARE(messages.Last().text,
                 kSummaryHead + "Usable: none\nSkipped (in use): none\nFailed: COM2");
        QCOMPARE(rig.Column("com_ports"), QVariant(""));
        QCOMPARE(rig.Entries("cboPorts").size(), 100);

        const QString before = rig.Snapshot();
        const qint64 start = clock.NowMs();
        QVERIFY(rig.Open(QStringLiteral("DRILL3")));
        rig.Click("cmdPorts");
        QCOMPARE(messages.Count(), 2);
        QCOMPARE(clock.NowMs(), start);
        QCOMPARE(rig.Snapshot(), before);
    }

    // A port the component holds already is closed first: 100 ms, the close, 100 ms, then
    // nine more waits before the tenth try to close it.
    void probeOfAPortFoundOpen() {
        FastClock clock;
        SimulatedSerialLines lines;
        lines.AddLoopback(6);
        lines.Port(6).stuckOpen = true;
        MessageRecorder recorder;
        SaxComm comm;
        comm.SetCommPort(6);
        comm.SetPortOpen(true);
        QVERIFY(ProbeOpenPort(comm, QStringLiteral("COM6")));
        QVERIFY(ProbeClosePort(comm, QStringLiteral("COM6")));
        QCOMPARE(recorder.Texts(), QStringList(2, "Comm Error COM6 stuck open"));
        QCOMPARE(clock.NowMs(), qint64(1100 + 1000));
    }

    // End to end on a real serial line: a pseudo-terminal mapped to COM7 in [COMPORTS].
    void detectsPseudoTerminal() {
#ifdef Q_OS_WIN
        QSKIP("no pseudo-terminals on Windows (the system COM port test covers the port there)");
#else
        PortSetupRig rig;
        PtyPair pty;
        const QString device = pty.Device();
        QVERIFY(pty.IsValid() && WriteIniValue("COMPORTS", "COM7", device, SettingsFileName));
        QVERIFY(WriteIniValue("COMPORTS", "COM8", "/dev/no-such-device", SettingsFileName));
        FastClock clock;
        MappedPortsOnly lines;
        QVERIFY(rig.Open());
        rig.Combo("cboPorts")->showPopup();
        QCOMPARE(rig.Tip(7), "COM7 is " + device + ": present, free");
        QCOMPARE(rig.Tip(8), QStringLiteral("COM8 is /dev/no-such-device: not present"));
        rig.Combo("cboPorts")->hidePopup();
        MessageRecorder messages;
        rig.Click("cmdPorts");
        QCOMPARE(messages.Texts(),
                 QStringList{kSummaryHead + "Usable: COM7\nSkipped (in use): none\nFailed: none"});
        QCOMPARE(rig.Column("com_ports"), QVariant(" 7"));
        QCOMPARE(rig.Entries("cboPorts"), QStringList({"NO COM SET", "COM 7"}));
#endif
    }
};

KESTRUM_TEST(TestPortDetection)
#include "tst_port_detection.moc"
