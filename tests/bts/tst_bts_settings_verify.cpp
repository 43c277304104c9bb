// The single-setting commands, the verify pass and the checks before a configuration.

#include "tests/bts/bts_rig.h"
#include "tests/support/test_main.h"

#include <QTest>

namespace {

enum class Op { DiscoverOn, DiscoverOff, LatencyOn, LatencyOff, EchoOn, EchoOff };

const QString kDescriptions1 =
    QStringLiteral("ONE STOP BIT\r\nBAUD RATE 9600\r\nNONE PARITY BIT\r\n");
const QString kDescriptions2 =
    QStringLiteral("TWO STOP BIT\r\nBAUD RATE 9600\r\nNONE PARITY BIT\r\n");

}  // namespace

Q_DECLARE_METATYPE(Op)
Q_DECLARE_METATYPE(AdapterFault)

class TestBtsSettingsVerify : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void singleSettings_data();
    void singleSettings();
    void slowReplyAsksToWaitLonger_data();
    void slowReplyAsksToWaitLonger();
    void verify_data();
    void verify();
    void prerequisites_data();
    void prerequisites();
};

void TestBtsSettingsVerify::singleSettings_data() {
    QTest::addColumn<Op>("op");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("echo");
    QTest::addColumn<AdapterFault>("fault");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QStringList>("commands");
    const AdapterFault none = AdapterFault::None;
    QTest::newRow("discover on") << Op::DiscoverOn << false << true << none << "Discover ON"
                                 << false << QStringList{"ATH1"};
    QTest::newRow("discover off, quiet adapter") << Op::DiscoverOff << true << true << none
                                                 << "Discover OFF" << false << QStringList{"ATH0"};
    QTest::newRow("latency on") << Op::LatencyOn << true << true << none << "Latency ON" << false
                                << QStringList{"ATC1"};
    QTest::newRow("latency off") << Op::LatencyOff << false << true << none << "Latency OFF"
                                 << false << QStringList{"ATC0"};
    QTest::newRow("echo off") << Op::EchoOff << true << true << none << "Echo OFF" << false
                              << QStringList{"ATE0"};
    QTest::newRow("echo on, second chance (quiet)")
        << Op::EchoOn << true << false << none << "Echo ON" << false << QStringList{"ATE1", "ATE?"};
    QTest::newRow("echo off, second chance") << Op::EchoOff << false << false << none << "Echo OFF"
                                             << false << QStringList{"ATE0", "ATE?"};
    QTest::newRow("echo off, second chance (quiet)")
        << Op::EchoOff << true << false << none << "Echo OFF" << false
        << QStringList{"ATE0", "ATE?"};
    QTest::newRow("discover on refused")
        << Op::DiscoverOn << false << true << AdapterFault::Error << "Config. failed Discover ON"
        << true << QStringList{"ATH1"};
    QTest::newRow("discover off, no reply")
        << Op::DiscoverOff << false << true << AdapterFault::EchoOnly
        << "Config. failed Discover OFF" << true << QStringList{"ATH0"};
    QTest::newRow("latency on refused")
        << Op::LatencyOn << false << true << AdapterFault::Error << "Config. failed Latency ON"
        << true << QStringList{"ATC1"};
    QTest::newRow("latency off, silent") << Op::LatencyOff << false << true << AdapterFault::Silent
                                         << "Config. failed Latency OFF" << true << QStringList{};
    QTest::newRow("echo on refused twice")
        << Op::EchoOn << false << true << AdapterFault::Error << "Config. failed Echo ON" << true
        << QStringList{"ATE1", "ATE?"};
    QTest::newRow("echo off, garbage")
        << Op::EchoOff << false << true << AdapterFault::Garbage << "Config. failed Echo OFF"
        << true << QStringList{"ATE0", "ATE?"};
}

void TestBtsSettingsVerify::singleSettings() {
    QFETCH(Op, op);
    QFETCH(bool, quiet);
    QFETCH(bool, echo);
    QFETCH(AdapterFault, fault);
    QFETCH(QString, status);
    QFETCH(bool, failed);
    QFETCH(QStringList, commands);
    BtsRig rig;
    rig.adapter.settings.baudCode = '1';
    rig.adapter.settings.quiet = quiet;
    rig.adapter.settings.echo = echo;
    rig.adapter.settings.discover = op == Op::DiscoverOff;
    rig.adapter.settings.hardwareFlow = op == Op::LatencyOff;
    rig.adapter.fault = fault;
    const AdapterSettings before = rig.adapter.settings;
    QVERIFY(!rig.Probe());
    bool result = false;
    switch (op) {
        case Op::DiscoverOn:
            result = rig.bts.SetBtsDiscover(true);
            break;
        case Op::DiscoverOff:
            result = rig.bts.SetBtsDiscover(false);
            break;
        case Op::LatencyOn:
            result = rig.bts.SetBtsLatency(true);
            break;
        case Op::LatencyOff:
            result = rig.bts.SetBtsLatency(false);
            break;
        case Op::EchoOn:
            result = rig.bts.SetBtsEcho(true);
            break;
        case Op::EchoOff:
            result = rig.bts.SetBtsEcho(false);
            break;
    }
    QCOMPARE(result, failed);
    QCOMPARE(rig.bts.StatusText(), status);
    QCOMPARE(rig.adapter.commands, commands);
    QCOMPARE(rig.bts.SaxComBTS.Settings(), QStringLiteral("9600,N,8,1"));
    const AdapterSettings& held = rig.adapter.settings;
    if (failed) {
        // A garbled reply does not mean the command was not taken.
        if (fault != AdapterFault::Garbage) {
            QCOMPARE(held, before);
        }
        return;
    }
    switch (op) {
        case Op::DiscoverOn:
        case Op::DiscoverOff:
            QCOMPARE(held.discover, op == Op::DiscoverOn);
            break;
        case Op::LatencyOn:
        case Op::LatencyOff:
            QCOMPARE(held.hardwareFlow, op == Op::LatencyOn);
            break;
        case Op::EchoOn:
        case Op::EchoOff:
            QCOMPARE(held.echo, op == Op::EchoOn);
            break;
    }
}

void TestBtsSettingsVerify::slowReplyAsksToWaitLonger_data() {
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("reply");
    QTest::newRow("wait longer") << MsgAnswer::Yes << "Discover ON"
                                 << "ATH1\r\r\nOK\r\n";
    QTest::newRow("do not wait") << MsgAnswer::No << "Config. failed Discover ON"
                                 << "ATH1\r";
}

void TestBtsSettingsVerify::slowReplyAsksToWaitLonger() {
    QFETCH(MsgAnswer, answer);
    QFETCH(QString, status);
    QFETCH(QString, reply);
    BtsRig rig;
    rig.adapter.settings.baudCode = '1';
    rig.adapter.fault = AdapterFault::Slow;
    rig.adapter.slowMs = 300;
    rig.messages.Answer(answer);
    QVERIFY(!rig.Probe());
    rig.bts.SetBtsDiscover(true);
    QCOMPARE(rig.messages.Texts(), QStringList{"Wait longer for response?"});
    QCOMPARE(rig.bts.ReplyBuffer, reply);
    QCOMPARE(rig.bts.StatusText(), status);
    QCOMPARE(rig.bts.ReplyComplete, answer == MsgAnswer::Yes);
}

void TestBtsSettingsVerify::verify_data() {
    QTest::addColumn<QByteArray>("adapterPin");
    QTest::addColumn<bool>("adapterFlow");
    QTest::addColumn<bool>("adapterTwoStop");
    QTest::addColumn<bool>("adapterEcho");
    QTest::addColumn<bool>("adapterDiscover");
    QTest::addColumn<bool>("adapterEscape");
    QTest::addColumn<AdapterFault>("fault");
    QTest::addColumn<bool>("latency");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("verifyText");
    const QByteArray pin("12345678");
    const AdapterFault none = AdapterFault::None;
    QTest::newRow("passing, latency on")
        << pin << true << true << true << true << false << none << true << 2 << false
        << kDescriptions2 + "Latency ON\r\nDiscover ON\r\nEcho ON";
    QTest::newRow("passing, latency, echo and discover off")
        << pin << false << false << false << false << false << none << false << 1 << false
        << kDescriptions1 + "Discover OFF\r\nEcho OFF";
    QTest::newRow("factory PIN") << QByteArray("5093") << false << false << true << true << false
                                 << none << false << 1 << true
                                 << "Not configured, configure BTS again";
    QTest::newRow("PIN mismatch") << QByteArray("11112222") << false << false << true << true
                                  << false << none << false << 1 << true
                                  << "Server pin 12345678 not matching BTS pin 11112222";
    QTest::newRow("latency on unmatched") << pin << false << false << true << true << false << none
                                          << true << 1 << true << "Latency ON unmatched";
    QTest::newRow("latency off unmatched") << pin << true << false << true << true << false << none
                                           << false << 1 << true << "Latency OFF unmatched";
    QTest::newRow("two stop bits unmatched")
        << pin << false << false << true << true << false << none << false << 2 << true
        << "Stopbits 1 unmatched";
    QTest::newRow("one stop bit unmatched") << pin << false << true << true << true << false << none
                                            << false << 1 << true << "Stopbits 2 unmatched";
    QTest::newRow("trailer") << pin << false << false << true << true << true << none << false << 1
                             << true << "Verify trailer failed for Client\r\nEcho ON";
    QTest::newRow("trailer, echo off")
        << pin << false << false << false << true << true << none << false << 1 << true
        << "Verify trailer failed for Client\r\nEcho OFF";
    QTest::newRow("leader") << pin << false << false << true << true << false << AdapterFault::Noise
                            << false << 1 << true
                            << kDescriptions1 + "Verify Client leader failed\r\nEcho ON";
    QTest::newRow("no response") << pin << false << false << true << true << false
                                 << AdapterFault::Silent << false << 1 << true
                                 << "No response, check settings";
}

void TestBtsSettingsVerify::verify() {
    QFETCH(QByteArray, adapterPin);
    QFETCH(bool, adapterFlow);
    QFETCH(bool, adapterTwoStop);
    QFETCH(bool, adapterEcho);
    QFETCH(bool, adapterDiscover);
    QFETCH(bool, adapterEscape);
    QFETCH(AdapterFault, fault);
    QFETCH(bool, latency);
    QFETCH(int, stopBits);
    QFETCH(bool, failed);
    QFETCH(QString, verifyText);
    BtsRig rig;
    rig.Configure(adapterPin, adapterFlow, adapterTwoStop, '1');
    rig.adapter.settings.echo = adapterEcho;
    rig.adapter.settings.discover = adapterDiscover;
    rig.adapter.settings.escapeCheck = adapterEscape;
    rig.adapter.fault = fault;
    rig.bts.msPinNumber = QStringLiteral("12345678");
    rig.bts.ClientBtsLatency = latency;
    rig.bts.ClientStopBits = qint16(stopBits);
    QVERIFY(!rig.Probe());
    QCOMPARE(rig.bts.VerifyBts(), failed);
    QCOMPARE(rig.bts.VerifyText, verifyText);
    QCOMPARE(rig.adapter.commands,
             fault == AdapterFault::Silent ? QStringList() : QStringList{"ATI1"});
    if (fault == AdapterFault::Silent) {
        QVERIFY(rig.bts.Listing.isEmpty());
        return;
    }
    const QString reply = rig.bts.ReplyBuffer;
    const bool judged = !failed || verifyText.contains(QLatin1String("leader"));
    if (judged) {
        // The outcome, without the descriptions, is added to the listing.
        QCOMPARE(rig.bts.Listing, reply + verifyText.mid(kDescriptions1.size()));
    } else {
        QCOMPARE(rig.bts.Listing, reply);
    }
    QVERIFY(reply.startsWith(adapterEcho ? QLatin1String("ATI1\r\r\nOK\r\nATC=")
                                         : QLatin1String("\r\nOK\r\nATC=")) ||
            fault == AdapterFault::Noise);
}

void TestBtsSettingsVerify::prerequisites_data() {
    QTest::addColumn<bool>("used");
    QTest::addColumn<QString>("baud");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("code");
    QTest::newRow("BTS off") << false << "9600"
                             << "BTS operation is not on for this client, turn on first:"
                             << "";
    QTest::newRow("57600") << true << "57600"
                           << "BTS baud 57600 is not supported, use 1200, 2400, 4800, 9600, "
                              "19200, 38400 or 115200:"
                           << "";
    QTest::newRow("no baud") << true << ""
                             << "BTS baud  is not supported, use 1200, 2400, 4800, 9600, "
                                "19200, 38400 or 115200:"
                             << "";
    QTest::newRow("1200") << true << "1200"
                          << ""
                          << "*";
    QTest::newRow("2400") << true << "2400"
                          << ""
                          << "#";
    QTest::newRow("4800") << true << "4800"
                          << ""
                          << "0";
    QTest::newRow("9600") << true << "9600"
                          << ""
                          << "1";
    QTest::newRow("19200 with blanks") << true << " 19200 "
                                       << ""
                                       << "2";
    QTest::newRow("38400") << true << "38400"
                           << ""
                           << "3";
    QTest::newRow("115200") << true << "115200"
                            << ""
                            << "5";
}

void TestBtsSettingsVerify::prerequisites() {
    QFETCH(bool, used);
    QFETCH(QString, baud);
    QFETCH(QString, message);
    QFETCH(QString, code);
    BtsRig rig;
    rig.bts.ClientBtsUsed = used;
    rig.bts.msBTSBaud = baud;
    QCOMPARE(rig.bts.CheckBtsPrerequisites(), !message.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(rig.messages.Count(), 0);
        QCOMPARE(rig.bts.BtsBaudCode, code);
        return;
    }
    QCOMPARE(rig.messages.Texts(), QStringList{message});
    QCOMPARE(rig.messages.Last().title, QStringLiteral("BTS configuration Failed!"));
    QCOMPARE(rig.messages.Last().icon, MsgIcon::Critical);
    QCOMPARE(rig.messages.Last().buttons, MsgButtons::Ok);
}

KESTRUM_TEST(TestBtsSettingsVerify)
#include "tst_bts_settings_verify.moc"
