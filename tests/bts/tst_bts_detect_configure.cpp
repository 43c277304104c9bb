// Finding the adapter by its baud rate and the configuration sequence, against the
// simulated adapter on the fast clock.

#include "tests/bts/bts_rig.h"
#include "tests/support/test_main.h"

#include <QTest>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString Steps(const QList<int>& numbers) {
    QString text;
    for (int n : numbers) {
        text += kCrLf + QString::number(n) + Marks(n == 1 ? 5 : 1);
    }
    return text;
}

}  // namespace

class TestBtsDetectConfigure : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void configuresFromDetectionToLastStep_data();
    void configuresFromDetectionToLastStep();
    void detectsFromEachStartIndex_data();
    void detectsFromEachStartIndex();
    void retriesErrorRepliesAtSameRate();
    void echoOnlyTriesOnceMoreThenFrom4800();
    void abortStopsBetweenSteps();
    void failedStepShowsReplyAndStops_data();
    void failedStepShowsReplyAndStops();
    void droppedLineEndsExchange();
    void probeAndRelease();
};

void TestBtsDetectConfigure::configuresFromDetectionToLastStep_data() {
    QTest::addColumn<QString>("pin");
    QTest::addColumn<bool>("latency");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QByteArray>("heldPin");

    QTest::newRow("PIN, latency, two stop bits, 9600")
        << "12345678" << true << 2 << "9600"
        << QStringLiteral("BTS Detected") + Marks(5) + Steps({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) +
               kCrLf + QStringLiteral("Latency ON") + Marks(5)
        << QStringList{"ATZ0", "ATC0",       "ATK0", "ATM0", "ATX0", "ATP=12345678",
                       "ATB?", "ATN=3A1B2C", "ATK1", "ATL1", "ATQ1", "ATC1"}
        << QByteArray("12345678");
    QTest::newRow("no PIN, no latency, one stop bit, 115200")
        << "" << false << 1 << "115200"
        << QStringLiteral("BTS Detected") + Marks(5) + Steps({1, 2, 3, 4, 6, 7, 8, 9, 10})
        << QStringList{"ATZ0", "ATC0",       "ATK0", "ATM0", "ATX0",
                       "ATB?", "ATN=3A1B2C", "ATK0", "ATL5", "ATQ1"}
        << QByteArray("5093");
}

void TestBtsDetectConfigure::configuresFromDetectionToLastStep() {
    QFETCH(QString, pin);
    QFETCH(bool, latency);
    QFETCH(int, stopBits);
    QFETCH(QString, baud);
    QFETCH(QString, status);
    QFETCH(QStringList, commands);
    QFETCH(QByteArray, heldPin);
    BtsRig rig;
    // An adapter left at another rate with another PIN: the reset brings it to 19200.
    rig.adapter.settings.baudCode = '1';
    rig.adapter.settings.pin = "99999999";
    rig.bts.msPinNumber = pin;
    rig.bts.ClientBtsLatency = latency;
    rig.bts.ClientStopBits = qint16(stopBits);
    rig.bts.msBTSBaud = baud;

    QVERIFY(!rig.Probe());
    QVERIFY(!rig.bts.CheckBtsPrerequisites());
    QVERIFY(rig.bts.DetectBts());
    QCOMPARE(rig.bts.SaxComBTS.Settings(), QStringLiteral("19200,N,8,1"));
    QVERIFY(!rig.bts.ConfigureBtsOn());

    QCOMPARE(rig.bts.StatusText(), status);
    QCOMPARE(rig.adapter.commands, commands);
    QCOMPARE(rig.bts.msBTSAddress, QStringLiteral("0012-6F-3A1B2C"));
    QCOMPARE(rig.bts.msBTSAddressPart, QStringLiteral("3A1B2C"));
    QCOMPARE(rig.bts.SaxComBTS.Settings(), baud + QStringLiteral(",N,8,1"));
    QCOMPARE(rig.lines.Port(5).lastSettings.baud, baud.toInt());
    QCOMPARE(rig.messages.Count(), 0);

    const AdapterSettings& held = rig.adapter.settings;
    QCOMPARE(held.pin, heldPin);
    QCOMPARE(held.name, QByteArray("3A1B2C"));
    QCOMPARE(rig.adapter.Baud(), baud.toInt());
    QCOMPARE(held.twoStopBits, stopBits == 2);
    QCOMPARE(held.hardwareFlow, latency);
    QCOMPARE(held.parity, 0);
    QVERIFY(!held.escapeCheck);
    QVERIFY(held.quiet);
}

void TestBtsDetectConfigure::detectsFromEachStartIndex_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("adapterBaud");
    QTest::addColumn<QStringList>("rates");
    QTest::addColumn<bool>("detected");
    const int factory = 19200;
    QTest::newRow("0") << 0 << factory << QStringList{"1200", "2400", "4800", "9600", "19200"}
                       << true;
    QTest::newRow("1") << 1 << factory << QStringList{"2400", "4800", "9600", "19200"} << true;
    QTest::newRow("2") << 2 << factory << QStringList{"4800", "9600", "19200"} << true;
    QTest::newRow("3") << 3 << factory << QStringList{"9600", "19200"} << true;
    QTest::newRow("4") << 4 << factory << QStringList{"19200"} << true;
    QTest::newRow("5") << 5 << factory << QStringList{"38400", "115200"} << false;
    QTest::newRow("6 tries 115200 only") << 6 << factory << QStringList{"115200"} << false;
    QTest::newRow("6, adapter at 115200") << 6 << 115200 << QStringList{"115200"} << true;
    QTest::newRow("3, adapter at 9600") << 3 << 9600 << QStringList{"9600"} << true;
    QTest::newRow("past the table") << 7 << factory << QStringList{} << false;
    QTest::newRow("below the table") << -2 << 1200 << QStringList{"1200"} << true;
}

void TestBtsDetectConfigure::detectsFromEachStartIndex() {
    QFETCH(int, start);
    QFETCH(int, adapterBaud);
    QFETCH(QStringList, rates);
    QFETCH(bool, detected);
    BtsRig rig;
    BtsConfigBaud = qint16(start);
    rig.adapter.settings.baudCode = BtsAdapterModel::CodeForBaud(adapterBaud);
    QVERIFY(!rig.Probe());
    QCOMPARE(rig.bts.DetectBts(), detected);
    QCOMPARE(rig.Rates(), rates);
    // Detection reports nothing itself; the window does.
    QCOMPARE(rig.messages.Count(), 0);
    if (detected) {
        QCOMPARE(rig.bts.SaxComBTS.Settings(), QStringLiteral("19200,N,8,1"));
        QCOMPARE(rig.adapter.Baud(), 19200);
    }
}

void TestBtsDetectConfigure::retriesErrorRepliesAtSameRate() {
    BtsRig rig;
    // An echo followed by any reply counts as found; ERROR alone comes from an adapter
    // with its echo off.
    rig.adapter.settings.baudCode = '1';
    rig.adapter.settings.echo = false;
    rig.adapter.fault = AdapterFault::Error;
    QVERIFY(!rig.Probe());
    QVERIFY(!rig.bts.DetectBts());
    QCOMPARE(rig.Rates(),
             (QStringList{"9600", "9600", "9600", "9600", "9600", "19200", "38400", "115200"}));
    QCOMPARE(rig.adapter.commands, QStringList(5, QStringLiteral("ATZ0")));
    QCOMPARE(rig.statuses.count(QStringLiteral("9600") + Marks(2, QStringLiteral("/"))), 4);
    QCOMPARE(rig.bts.ReplyBuffer.isEmpty(), false);
}

void TestBtsDetectConfigure::echoOnlyTriesOnceMoreThenFrom4800() {
    BtsRig rig;
    rig.adapter.settings.baudCode = '1';
    rig.adapter.fault = AdapterFault::EchoOnly;
    QVERIFY(!rig.Probe());
    QVERIFY(!rig.bts.DetectBts());
    // Once more at 9600, then from 4800; the second time round the scan moves on, so an
    // adapter that only ever echoes cannot keep it going.
    QCOMPARE(rig.Rates(),
             (QStringList{"9600", "9600", "4800", "9600", "9600", "19200", "38400", "115200"}));
    QCOMPARE(rig.statuses.count(QStringLiteral("9600") + Marks(2, QStringLiteral("/"))), 2);
    QCOMPARE(rig.statuses.count(QStringLiteral("9600") + Marks(2, QStringLiteral("\\"))), 1);
    // An echo without its reply asks whether to wait longer.
    QCOMPARE(rig.messages.Count(), 4);
    for (const MessageRequest& m : rig.messages.Messages()) {
        QCOMPARE(m.text, QStringLiteral("Wait longer for response?"));
        QCOMPARE(m.title, QStringLiteral("Kestrum BTS configuration"));
        QCOMPARE(m.buttons, MsgButtons::YesNo);
    }
}

void TestBtsDetectConfigure::abortStopsBetweenSteps() {
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
    QCOMPARE(rig.bts.StatusText(), QStringLiteral("BTS Detected") + Marks(5) + Steps({1, 2, 3}));
    QCOMPARE(rig.adapter.settings.pin, QByteArray("5093"));
}

void TestBtsDetectConfigure::failedStepShowsReplyAndStops_data() {
    QTest::addColumn<QString>("pin");
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<bool>("errorsAfterDetection");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("lastCommand");
    QTest::newRow("ERROR at step 1")
        << "" << QByteArray("0012-6f-3a1b2c") << true << "Config. failed 1\r\nATC0\r\r\nERROR\r\n"
        << "ATC0";
    QTest::newRow("PIN refused at step 5") << "12AB" << QByteArray("0012-6f-3a1b2c") << false
                                           << "Config. failed 5\r\nATP=12AB\r\r\nERROR\r\n"
                                           << "ATP=12AB";
    QTest::newRow("address of another form at step 6")
        << "" << QByteArray("1234-6f-3a1b2c") << false
        << "Config. failed 6\r\nATB?\r\r\n1234-6f-3a1b2c\r\nOK\r\n"
        << "ATB?";
    QTest::newRow("short address at step 6")
        << "" << QByteArray("0012-") << false << "Config. failed 6\r\nATB?\r\r\n0012-\r\nOK\r\n"
        << "ATB?";
}

void TestBtsDetectConfigure::failedStepShowsReplyAndStops() {
    QFETCH(QString, pin);
    QFETCH(QByteArray, address);
    QFETCH(bool, errorsAfterDetection);
    QFETCH(QString, status);
    QFETCH(QString, lastCommand);
    BtsRig rig;
    rig.adapter.address = address;
    rig.bts.msPinNumber = pin;
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

void TestBtsDetectConfigure::droppedLineEndsExchange() {
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
    QCOMPARE(rig.messages.Last().title, QStringLiteral("BTS configuration COM selection Failed!"));

    // A line that goes at the first character the adapter takes ends detection at once.
    BtsRig early;
    early.adapter.fault = AdapterFault::Drop;
    QVERIFY(!early.Probe());
    QVERIFY(!early.bts.DetectBts());
    QVERIFY(!early.bts.SaxComBTS.PortOpen());
    QCOMPARE(early.Rates(), (QStringList{"9600", "19200"}));
}

void TestBtsDetectConfigure::probeAndRelease() {
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
    QString other = QStringLiteral("COM 5");
    QVERIFY(ProbeComPort(rig.bts.SaxComBTS, other, PortProbeTexts::BtsMan()));
    QCOMPARE(rig.messages.Texts(), QStringList{"Comm Error COM5 didn't open"});
}

KESTRUM_TEST(TestBtsDetectConfigure)
#include "tst_bts_detect_configure.moc"
