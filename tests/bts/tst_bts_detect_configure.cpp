// Finding the adapter by its baud rate and the configuration sequence, against the
// simulated adapter on the fast clock.

#include "tests/bts/bts_rig.h"
#include "tests/support/test_main.h"

#include <QTest>

namespace {

// The status of a configuration that got through the given steps.
QString Steps(const QList<int>& numbers) {
    QString text = QStringLiteral("BTS Detected") + Marks(5);
    for (int n : numbers) {
        text += QStringLiteral("\r\n") + QString::number(n) + Marks(n == 1 ? 5 : 1);
    }
    return text;
}

}  // namespace

class TestBtsDetectConfigure : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void configuresFromDetectionToLastStep_data() {
        QTest::addColumn<QString>("pin");
        QTest::addColumn<bool>("latency");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QString>("held");
        QTest::newRow("PIN, latency, two stop bits, 9600")
            << "12345678" << true << 2 << "9600"
            << Steps({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + QStringLiteral("\r\nLatency ON") + Marks(5)
            << QStringList{"ATZ0", "ATC0",       "ATK0", "ATM0", "ATX0", "ATP=12345678",
                           "ATB?", "ATN=3A1B2C", "ATK1", "ATL1", "ATQ1", "ATC1"}
            << "pin=12345678 name=3A1B2C baud=9600 stopbits=2 flow=hardware parity=0 escape=0 "
               "discover=1 echo=1 quiet=1";
        QTest::newRow("no PIN, no latency, one stop bit, 115200")
            << "" << false << 1 << "115200" << Steps({1, 2, 3, 4, 6, 7, 8, 9, 10})
            << QStringList{"ATZ0", "ATC0",       "ATK0", "ATM0", "ATX0",
                           "ATB?", "ATN=3A1B2C", "ATK0", "ATL5", "ATQ1"}
            << "pin=5093 name=3A1B2C baud=115200 stopbits=1 flow=none parity=0 escape=0 "
               "discover=1 echo=1 quiet=1";
    }

    void configuresFromDetectionToLastStep() {
        QFETCH(QString, pin);
        QFETCH(bool, latency);
        QFETCH(int, stopBits);
        QFETCH(QString, baud);
        QFETCH(QString, status);
        QFETCH(QStringList, commands);
        QFETCH(QString, held);
        BtsRig rig;
        // Left at another rate with another PIN: the reset brings it to 19200.
        rig.adapter.settings.baudCode = '1';
        rig.adapter.settings.pin = "99999999";
        rig.bts.msPinNumber = pin;
        rig.bts.ClientBtsLatency = latency;
        rig.bts.ClientStopBits = qint16(stopBits);
        rig.bts.msBTSBaud = baud;
        QVERIFY(!rig.Probe());
        QVERIFY(!rig.bts.CheckBtsPrerequisites());
        QVERIFY(rig.bts.DetectBts());
        QVERIFY(!rig.bts.ConfigureBtsOn());
        QCOMPARE(rig.bts.StatusText(), status);
        QCOMPARE(rig.adapter.commands, commands);
        QCOMPARE(rig.adapter.Describe(), held);
        QCOMPARE(rig.bts.msBTSAddress, QStringLiteral("0012-6F-3A1B2C"));
        QCOMPARE(rig.bts.msBTSAddressPart, QStringLiteral("3A1B2C"));
        QCOMPARE(rig.lines.Port(5).lastSettings, (LineSettings{baud.toInt(), 'N', 8, 1}));
        QCOMPARE(rig.messages.Count(), 0);
    }

    void detectsFromEachStartIndex_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("adapterBaud");
        QTest::addColumn<bool>("detected");
        QTest::addColumn<QString>("rates");
        QTest::newRow("0") << 0 << 19200 << true << "1200 2400 4800 9600 19200";
        QTest::newRow("1") << 1 << 19200 << true << "2400 4800 9600 19200";
        QTest::newRow("2") << 2 << 19200 << true << "4800 9600 19200";
        QTest::newRow("3") << 3 << 19200 << true << "9600 19200";
        QTest::newRow("4") << 4 << 19200 << true << "19200";
        QTest::newRow("5") << 5 << 19200 << false << "38400 115200";
        QTest::newRow("6 tries 115200 only") << 6 << 19200 << false << "115200";
        QTest::newRow("6, adapter at 115200") << 6 << 115200 << true << "115200";
        QTest::newRow("past the table") << 7 << 19200 << false << "";
        QTest::newRow("below the table") << -2 << 1200 << true << "1200";
    }

    void detectsFromEachStartIndex() {
        QFETCH(int, start);
        QFETCH(int, adapterBaud);
        QFETCH(bool, detected);
        QFETCH(QString, rates);
        BtsRig rig;
        BtsConfigBaud = qint16(start);
        rig.adapter.settings.baudCode = BtsAdapterModel::CodeForBaud(adapterBaud);
        QVERIFY(!rig.Probe());
        QCOMPARE(rig.bts.DetectBts(), detected);
        QCOMPARE(rig.Rates(), rates.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        // Detection reports nothing itself; the window does.
        QCOMPARE(rig.messages.Count(), 0);
        if (detected) {
            QCOMPARE(rig.bts.SaxComBTS.Settings(), QStringLiteral("19200,N,8,1"));
            QCOMPARE(rig.adapter.Baud(), 19200);
        }
    }

    void retriesErrorRepliesAtSameRate() {
        BtsRig rig;
        // ERROR without the echo comes from an adapter with its echo off.
        rig.adapter.settings.baudCode = '1';
        rig.adapter.settings.echo = false;
        rig.adapter.fault = AdapterFault::Error;
        QVERIFY(!rig.Probe());
        QVERIFY(!rig.bts.DetectBts());
        QCOMPARE(rig.Rates(),
                 (QStringList{"9600", "9600", "9600", "9600", "9600", "19200", "38400", "115200"}));
        QCOMPARE(rig.adapter.commands, QStringList(5, QStringLiteral("ATZ0")));
        QCOMPARE(rig.statuses.count(QStringLiteral("9600") + Marks(2, QStringLiteral("/"))), 4);
    }

    void echoOnlyTriesOnceMoreThenFrom4800() {
        BtsRig rig;
        rig.adapter.settings.baudCode = '1';
        rig.adapter.fault = AdapterFault::EchoOnly;
        QVERIFY(!rig.Probe());
        QVERIFY(!rig.bts.DetectBts());
        // The second time round the scan moves on: an adapter that only echoes cannot keep it
        // going.
        QCOMPARE(rig.Rates(),
                 (QStringList{"9600", "9600", "4800", "9600", "9600", "19200", "38400", "115200"}));
        QCOMPARE(rig.statuses.count(QStringLiteral("9600") + Marks(2, QStringLiteral("/"))), 2);
        QCOMPARE(rig.statuses.count(QStringLiteral("9600") + Marks(2, QStringLiteral("\\"))), 1);
        QCOMPARE(rig.messages.Texts(), QStringList(4, QStringLiteral("Wait longer for response?")));
        for (const MessageRequest& m : rig.messages.Messages()) {
            QCOMPARE(m.title, QStringLiteral("Kestrum BTS configuration"));
            QCOMPARE(m.buttons, MsgButtons::YesNo);
        }
    }

    void abortStopsBetweenSteps() {
        BtsRig rig;
        QObject::connect(&rig.bts, &BtsProtocol::StatusTextChanged, [&rig](const QString& text) {
            if (text.endsWith(QLatin1String("\r\n3"))) {
                rig.bts.AbortRequested = true;
            }
        });
        rig.bts.msPinNumber = QStringLiteral("12345678");
        QVERIFY(!rig.Probe());
        QVERIFY(rig.bts.DetectBts());
        // An aborted sequence does not count as failed.
        QVERIFY(!rig.bts.ConfigureBtsOn());
        QCOMPARE(rig.adapter.commands, (QStringList{"ATZ0", "ATC0", "ATK0", "ATM0"}));
        QCOMPARE(rig.bts.StatusText(), Steps({1, 2, 3}));
        QCOMPARE(rig.adapter.settings.pin, QByteArray("5093"));
    }

    void failedStepShowsReplyAndStops_data() {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QString>("lastCommand");
        QTest::addColumn<bool>("errorsAfterDetection");
        QTest::addColumn<QString>("status");
        QTest::newRow("ERROR at step 1") << QByteArray("0012-6f-3a1b2c") << "ATC0" << true
                                         << "Config. failed 1\r\nATC0\r\r\nERROR\r\n";
        QTest::newRow("address of another form at step 6")
            << QByteArray("1234-6f-3a1b2c") << "ATB?" << false
            << "Config. failed 6\r\nATB?\r\r\n1234-6f-3a1b2c\r\nOK\r\n";
        QTest::newRow("short address at step 6") << QByteArray("0012-") << "ATB?" << false
                                                 << "Config. failed 6\r\nATB?\r\r\n0012-\r\nOK\r\n";
        QTest::newRow("address not hexadecimal at step 6")
            << QByteArray("0012-6g-3a1b2c") << "ATB?" << false
            << "Config. failed 6\r\nATB?\r\r\n0012-6g-3a1b2c\r\nOK\r\n";
        QTest::newRow("control character in the address at step 6")
            << QByteArray(
                   "0012-6f-3a\x01"
                   "b2c")
            << "ATB?" << false
            << "Config. failed 6\r\nATB?\r\r\n0012-6f-3a\x01"
               "b2c\r\nOK\r\n";
    }

    void failedStepShowsReplyAndStops() {
        QFETCH(QByteArray, address);
        QFETCH(QString, lastCommand);
        QFETCH(bool, errorsAfterDetection);
        QFETCH(QString, status);
        BtsRig rig;
        rig.adapter.address = address;
        QVERIFY(!rig.Probe());
        QVERIFY(rig.bts.DetectBts());
        if (errorsAfterDetection) {
            rig.adapter.fault = AdapterFault::Error;
        }
        QVERIFY(rig.bts.ConfigureBtsOn());
        QCOMPARE(rig.bts.StatusText(), status);
        QCOMPARE(rig.adapter.commands.last(), lastCommand);
        QCOMPARE(rig.bts.LastCommand, lastCommand);
        QVERIFY(rig.bts.msBTSAddress.isEmpty());
    }

    void droppedLineEndsExchange() {
        BtsRig rig;
        rig.adapter.fault = AdapterFault::Drop;
        rig.adapter.dropAfter = 3;
        QVERIFY(!rig.Probe());
        QVERIFY(rig.bts.DetectBts());
        QVERIFY(rig.bts.ConfigureBtsOn());
        QCOMPARE(rig.bts.StatusText(), QStringLiteral("Config. failed 3\r\n"));
        QVERIFY(!rig.bts.SaxComBTS.PortOpen());
        QCOMPARE(rig.messages.Count(), 0);
        // The port is gone: the probe says so instead of hanging.
        QVERIFY(rig.Probe());
        QCOMPARE(rig.messages.Texts(), QStringList{"Com Error, COM5 didn't open."});
        QCOMPARE(rig.messages.Last().title,
                 QStringLiteral("BTS configuration COM selection Failed!"));

        // Gone at the first character the adapter takes: detection ends at once.
        BtsRig early;
        early.adapter.fault = AdapterFault::Drop;
        QVERIFY(!early.Probe());
        QVERIFY(!early.bts.DetectBts());
        QVERIFY(!early.bts.SaxComBTS.PortOpen());
        QCOMPARE(early.Rates(), (QStringList{"9600", "19200"}));
    }

    void probeAndRelease() {
        BtsRig rig;
        QString port = QStringLiteral("COM 5");
        QVERIFY(!rig.bts.ProbeComPort(port));
        QCOMPARE(port, QStringLiteral("COM5"));
        QVERIFY(!rig.bts.SaxComBTS.PortOpen());
        QCOMPARE(rig.messages.Count(), 0);
        // Left open from an exchange: the probe closes it and proves it again.
        rig.bts.SaxComBTS.SetPortOpen(true);
        QVERIFY(rig.bts.SaxComBTS.PortOpen());
        QVERIFY(!rig.bts.ProbeComPort(port));
        QVERIFY(!rig.bts.SaxComBTS.PortOpen());

        // A port that never closes: the stuck-open message, a bounded number of times.
        rig.bts.SaxComBTS.SetPortOpen(true);
        rig.lines.Port(5).stuckOpen = true;
        QVERIFY(rig.bts.ProbeComPort(port));
        QCOMPARE(rig.messages.Texts(),
                 QStringList(kStuckOpenRounds, QStringLiteral("Com Error COM5 stuck open.")));
        QCOMPARE(rig.messages.Last().title, QStringLiteral("Kestrum"));
        rig.messages.Clear();
        QString released = QStringLiteral("COM 5");
        QVERIFY(rig.bts.ReleaseComPort(released));
        QCOMPARE(rig.messages.Texts(), QStringList{"Com Error COM5 stuck open."});
        rig.lines.Port(5).stuckOpen = false;
        rig.messages.Clear();
        QVERIFY(!rig.bts.ReleaseComPort(released));
        QCOMPARE(rig.messages.Count(), 0);

        // A port that will not open, with the assistant's wording.
        rig.lines.Port(5).refuseOpen = true;
        QVERIFY(ProbeComPort(rig.bts.SaxComBTS, port, PortProbeTexts::BtsMan()));
        QCOMPARE(rig.messages.Texts(), QStringList{"Comm Error COM5 didn't open"});
    }
};

KESTRUM_TEST(TestBtsDetectConfigure)
#include "tst_bts_detect_configure.moc"
