// The serial port component on in-process lines, then on a real QSerialPort: there a
// pseudo-terminal stands in for the device, and the test plays its far end.

#include "base/settings.h"
#include "components/saxcomm.h"
#include "tests/support/fast_clock.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"
#include "tools/btssim/simulated_lines.h"

#include <QTest>

#ifndef Q_OS_WIN
#include <termios.h>
#endif

namespace {

// Loopback lines on the given ports, on the fast clock.
struct Loopbacks : FastClock, SimulatedSerialLines {
    explicit Loopbacks(std::initializer_list<int> ports) {
        for (int port : ports) {
            AddLoopback(port);
        }
    }
};

// Selects the port and opens it; whether it reads open.
bool Open(SaxComm& comm, int port) {
    comm.SetCommPort(port);
    comm.SetPortOpen(true);
    return comm.PortOpen();
}

}  // namespace

using OptionalSettings = std::optional<LineSettings>;
Q_DECLARE_METATYPE(OptionalSettings)

class TestSaxComm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // clang-format off
    void parsesLineSettings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<OptionalSettings>("parsed");
        QTest::newRow("lower parity, blanks") << " 19200, e ,7,2" << OptionalSettings({19200, 'E', 7, 2});
        QTest::newRow("one and a half") << "1200,O,5,1.5" << OptionalSettings({1200, 'O', 5, 15});
        QTest::newRow("no baud") << ",N,8,1" << OptionalSettings();
        QTest::newRow("bad parity") << "9600,X,8,1" << OptionalSettings();
        QTest::newRow("nine data bits") << "9600,N,9,1" << OptionalSettings();
        QTest::newRow("three stop bits") << "9600,N,8,3" << OptionalSettings();
        QTest::newRow("too few fields") << "9600,N,8" << OptionalSettings();
    }
    // clang-format on
    void parsesLineSettings() {
        QFETCH(QString, text);
        QFETCH(OptionalSettings, parsed);
        QCOMPARE(ParseLineSettings(text), parsed);
    }

    // A port is chosen by number or name; settings reach an open line at once; input arrives
    // through the event loop; the open state reads back what the line did; the port list and
    // status see every line.
    void settingsOpenStateAndStatus() {
        for (const auto& [name, number] :
             {std::pair{"COM 3", 3}, {"com3", 3}, {"3", 3}, {"LPT1", 0}}) {
            SaxComm comm;
            comm.SetCommPort(QString(name));
            QCOMPARE(comm.CommPortNumber(), number);
        }
        Loopbacks lines{1, 2, 3, 12};
        lines.Port(2).refuseOpen = true;
        lines.Port(3).stuckOpen = true;
        lines.Port(12).busy = true;
        SaxComm one;
        one.SetSettings(QStringLiteral("4800,N,8,1"));
        QVERIFY(Open(one, 1));
        QCOMPARE(lines.Port(1).lastSettings.baud, 4800);
        one.SetSettings(QStringLiteral("115200,E,7,2"));
        one.SetSettings(QStringLiteral("fast"));  // changes nothing
        QCOMPARE(lines.Port(1).lastSettings, (LineSettings{115200, 'E', 7, 2}));
        QCOMPARE(one.Settings(), QStringLiteral("115200,E,7,2"));
        one.SetOutput(QStringLiteral("AB\r\xE9"));
        QCOMPARE(one.InCount(), 0);  // nothing arrives until events run
        WaitMilliseconds(10);
        QCOMPARE(one.Input(), QStringLiteral("AB\r\xE9"));
        QCOMPARE(one.InCount(), 0);
        one.SetInputLength(2);
        one.SetOutput(QByteArray("12345"));
        WaitMilliseconds(10);
        QCOMPARE(one.Input(), QStringLiteral("12"));
        QCOMPARE(one.InCount(), 3);
        one.SetDiscard(true);
        QCOMPARE(one.InCount(), 0);
        SaxComm other;  // finds the port in use and stays closed
        QVERIFY(!Open(other, 1));
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM 1")), int(kPortInUse));
        one.SetPortOpen(false);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM1")), int(kPortFree));
        one.SetOutput(QStringLiteral("X"));  // output to a closed port goes nowhere
        WaitMilliseconds(10);
        QCOMPARE(one.InCount(), 0);
        SaxComm refused, stuck, missing;
        QVERIFY(!Open(refused, 2));
        QVERIFY(Open(stuck, 3));
        stuck.SetPortOpen(false);
        QVERIFY(stuck.PortOpen());
        QVERIFY(!Open(missing, 9));
        QCOMPARE(SaxComm::PortList(), (QStringList{"COM1", "COM2", "COM3", "COM12"}));
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM2")), 3);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM12")), 2);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM9")), 0);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("nonsense")), 0);

        // [COMPORTS] names a port's device, its letter case kept; Windows has its COM ports.
        TempInstallation installation({false, false, "[COMPORTS]\r\nCOM7=/dev/pts/Test\r\n"});
#ifdef Q_OS_WIN
        QCOMPARE(ComPortDevice(7), QStringLiteral("COM7"));
        QCOMPARE(ComPortDevice(12), QStringLiteral("COM12"));
#else
        QCOMPARE(ComPortDevice(7), QStringLiteral("/dev/pts/Test"));
        QCOMPARE(ComPortDevice(12), QStringLiteral("/dev/ttyS11"));
#endif
        QVERIFY(ComPortMapped(7));
        QVERIFY(!ComPortMapped(12));
    }

    // clang-format off
    void eventsFollowThresholds_data() {
        QTest::addColumn<int>("rThreshold");
        QTest::addColumn<int>("sThreshold");
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QList<int>>("events");
        const int r = kCommEvReceive;
        QTest::newRow("receive 1, each arrival") << 1 << 0 << QStringList{"A", "BC", "D"} << QList<int>{r, r, r};
        QTest::newRow("receive 0, none") << 0 << 0 << QStringList{"A", "BC"} << QList<int>{};
        QTest::newRow("receive 3, once reached") << 3 << 0 << QStringList{"A", "B", "CD", "E"} << QList<int>{r, r};
        QTest::newRow("send 1") << 0 << 1 << QStringList{"y"} << QList<int>{kCommEvSend};
    }
    // clang-format on
    void eventsFollowThresholds() {
        QFETCH(int, rThreshold);
        QFETCH(int, sThreshold);
        QFETCH(QStringList, chunks);
        QFETCH(QList<int>, events);
        Loopbacks lines{4};
        SaxComm comm;
        QVERIFY(Open(comm, 4));
        comm.SetRThreshold(rThreshold);
        comm.SetSThreshold(sThreshold);
        QList<int> codes;
        connect(&comm, &SaxComm::Comm, this, [&] { codes << comm.CommEvent(); });
        for (const QString& chunk : chunks) {
            comm.SetOutput(chunk);
            WaitMilliseconds(10);
        }
        QCOMPARE(codes, events);
    }

    // On a pseudo-terminal: the settings reach the device, the port reads in use while open,
    // and a far end that goes away is a lost line. (Bytes both ways: the terminal and BTS
    // window tests.)
    void pseudoTerminal() {
#ifdef Q_OS_WIN
        QSKIP("no pseudo-terminals on Windows (the system COM port test covers the port there)");
#else
        PtyPair pty;
        QVERIFY(pty.IsValid());
        pty.MapPort(7);
        SaxComm comm;
        comm.SetSettings(QStringLiteral("2400,N,8,1"));
        comm.SetRThreshold(1);
        QList<int> codes;
        connect(&comm, &SaxComm::Comm, this, [&] { codes << comm.CommEvent(); });
        QVERIFY(Open(comm, 7));
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortInUse));
        termios t{};
        QCOMPARE(::tcgetattr(pty.Master(), &t), 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B2400));
        comm.SetSettings(QStringLiteral("115200,N,8,1"));
        QCOMPARE(::tcgetattr(pty.Master(), &t), 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B115200));
        comm.SetPortOpen(false);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
        comm.SetPortOpen(true);
        QCOMPARE(::write(pty.Master(), "bye", 3), ssize_t(3));
        QTRY_COMPARE(comm.InCount(), 3);
        pty.CloseMaster();
        QTRY_VERIFY(!comm.PortOpen());
        QVERIFY(codes.contains(int(kCommEvLost)));
        // What arrived before is still there; output to the lost line goes nowhere.
        QCOMPARE(comm.Input(), QStringLiteral("bye"));
        comm.SetOutput(QStringLiteral("nobody"));
#endif
    }
};

KESTRUM_TEST(TestSaxComm)
#include "tst_saxcomm.moc"
