// The serial port component on in-process lines: selection, settings, open state, input
// and output through the event loop, events, port list and status, the COMPORTS mapping.

#include "base/settings.h"
#include "components/saxcomm.h"
#include "tests/support/fast_clock.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"
#include "tools/btssim/simulated_lines.h"

#include <QTest>

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
    void parsesLineSettings_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<OptionalSettings>("parsed");
        QTest::newRow("plain") << "9600,N,8,1" << OptionalSettings(LineSettings{9600, 'N', 8, 1});
        QTest::newRow("lower parity, blanks")
            << " 19200, e ,7,2" << OptionalSettings(LineSettings{19200, 'E', 7, 2});
        QTest::newRow("one and a half")
            << "1200,O,5,1.5" << OptionalSettings(LineSettings{1200, 'O', 5, 15});
        QTest::newRow("no baud") << ",N,8,1" << OptionalSettings();
        QTest::newRow("bad parity") << "9600,X,8,1" << OptionalSettings();
        QTest::newRow("nine data bits") << "9600,N,9,1" << OptionalSettings();
        QTest::newRow("three stop bits") << "9600,N,8,3" << OptionalSettings();
        QTest::newRow("too few fields") << "9600,N,8" << OptionalSettings();
    }

    void parsesLineSettings() {
        QFETCH(QString, text);
        QFETCH(OptionalSettings, parsed);
        QCOMPARE(ParseLineSettings(text), parsed);
    }

    void selectsPortByNumberOrName_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<int>("number");
        QTest::newRow("name") << "COM3" << 3;
        QTest::newRow("name with blank") << "COM 3" << 3;
        QTest::newRow("lower case") << "com3" << 3;
        QTest::newRow("number text") << "3" << 3;
        QTest::newRow("not a port") << "LPT1" << 0;
        QTest::newRow("empty") << "" << 0;
    }

    void selectsPortByNumberOrName() {
        QFETCH(QString, written);
        QFETCH(int, number);
        Loopbacks lines{3};
        SaxComm comm;
        comm.SetCommPort(written);
        QCOMPARE(comm.CommPort(), written);
        QCOMPARE(comm.CommPortNumber(), number);
        comm.SetPortOpen(true);
        QCOMPARE(comm.PortOpen(), number == 3);
        SaxComm byNumber;
        byNumber.SetCommPort(3);
        QCOMPARE(byNumber.CommPort(), QStringLiteral("3"));
    }

    void appliesSettingsAtOnce() {
        Loopbacks lines{2};
        SaxComm comm;
        comm.SetSettings(QStringLiteral("4800,N,8,1"));
        QVERIFY(Open(comm, 2));
        QCOMPARE(lines.Port(2).lastSettings.baud, 4800);
        comm.SetSettings(QStringLiteral("115200,E,7,2"));
        QCOMPARE(lines.Port(2).lastSettings, (LineSettings{115200, 'E', 7, 2}));
        QCOMPARE(comm.Settings(), QStringLiteral("115200,E,7,2"));
        // Text of another form changes nothing.
        comm.SetSettings(QStringLiteral("fast"));
        QCOMPARE(comm.Settings(), QStringLiteral("115200,E,7,2"));
        QCOMPARE(lines.Port(2).lastSettings.baud, 115200);
    }

    void openStateReadsBackFailures() {
        Loopbacks lines{1, 2, 3};
        lines.Port(2).refuseOpen = true;
        lines.Port(3).stuckOpen = true;
        SaxComm one;
        QVERIFY(Open(one, 1));
        // Another component on the same port finds it in use and stays closed.
        SaxComm other;
        QVERIFY(!Open(other, 1));
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM 1")), int(kPortInUse));
        one.SetPortOpen(false);
        QVERIFY(!one.PortOpen());
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM1")), int(kPortFree));
        SaxComm refused;
        QVERIFY(!Open(refused, 2));
        SaxComm stuck;
        QVERIFY(Open(stuck, 3));
        stuck.SetPortOpen(false);
        QVERIFY(stuck.PortOpen());
        SaxComm missing;
        QVERIFY(!Open(missing, 9));
    }

    void inputArrivesThroughEventLoop() {
        Loopbacks lines{4};
        SaxComm comm;
        QVERIFY(Open(comm, 4));
        comm.SetOutput(QStringLiteral("AB\r\xE9"));
        QCOMPARE(comm.InCount(), 0);  // nothing arrives until events run
        WaitMilliseconds(10);
        QCOMPARE(comm.InCount(), 4);
        QCOMPARE(comm.Input(), QStringLiteral("AB\r\xE9"));
        QCOMPARE(comm.InCount(), 0);
        QCOMPARE(comm.Input(), QString());
        comm.SetInputLength(2);
        comm.SetOutput(QByteArray("12345"));
        WaitMilliseconds(10);
        QCOMPARE(comm.Input(), QStringLiteral("12"));
        QCOMPARE(comm.InCount(), 3);
        QCOMPARE(comm.Input(), QStringLiteral("34"));
        QCOMPARE(comm.Input(), QStringLiteral("5"));
        // Output to a closed port goes nowhere.
        comm.SetPortOpen(false);
        comm.SetOutput(QStringLiteral("X"));
        WaitMilliseconds(10);
        QCOMPARE(comm.InCount(), 0);
    }

    void eventsFollowThresholds_data() {
        QTest::addColumn<int>("rThreshold");
        QTest::addColumn<int>("sThreshold");
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QList<int>>("events");
        const int receive = kCommEvReceive;
        QTest::newRow("receive 1, each arrival")
            << 1 << 0 << QStringList{"A", "BC", "D"} << QList<int>{receive, receive, receive};
        QTest::newRow("receive 0, none") << 0 << 0 << QStringList{"A", "BC"} << QList<int>{};
        QTest::newRow("receive 3, once reached")
            << 3 << 0 << QStringList{"A", "B", "CD", "E"} << QList<int>{receive, receive};
        QTest::newRow("send 1") << 0 << 1 << QStringList{"y"} << QList<int>{kCommEvSend};
    }

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

    void discardEmptiesBuffer() {
        Loopbacks lines{4};
        SaxComm comm;
        QVERIFY(Open(comm, 4));
        comm.SetOutput(QStringLiteral("waiting"));
        WaitMilliseconds(10);
        QCOMPARE(comm.InCount(), 7);
        comm.SetDiscard(true);
        QCOMPARE(comm.InCount(), 0);
    }

    void listsPortsAndStatus() {
        Loopbacks lines{1, 3, 12};
        lines.Port(3).busy = true;
        lines.Port(12).refuseOpen = true;
        QCOMPARE(SaxComm::PortList(), (QStringList{"COM1", "COM3", "COM12"}));
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM1")), 1);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM3")), 2);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM9")), 0);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM12")), 3);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("nonsense")), 0);
    }

    void comPortsMapping() {
        TempInstallation::Options options;
        options.createDatabase = false;
        options.settings = QByteArray("[COMPORTS]\r\nCOM7=/dev/pts/Test\r\n");
        TempInstallation installation(options);
        QCOMPARE(ComPortDevice(7), QStringLiteral("/dev/pts/Test"));  // letter case kept
        QVERIFY(ComPortMapped(7));
        QCOMPARE(ComPortDevice(1), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(ComPortDevice(12), QStringLiteral("/dev/ttyS11"));
        QVERIFY(!ComPortMapped(12));
    }
};

KESTRUM_TEST(TestSaxComm)
#include "tst_saxcomm.moc"
