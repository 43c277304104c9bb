// The single-setting commands, the waits of a command, the verify pass and the checks before
// a configuration.

#include "tests/bts/bts_rig.h"
#include "tests/support/test_main.h"

#include <QTest>

namespace {

struct SingleCase {
    QString setting;  // discover, latency or echo
    bool on;
    QString status;
    QStringList commands;
    AdapterFault fault = AdapterFault::None;
    bool quiet = false;  // what the adapter holds before
    bool echo = true;
};

const QString kDescriptions1 =
    QStringLiteral("ONE STOP BIT\r\nBAUD RATE 9600\r\nNONE PARITY BIT\r\n");
const QString kUse =
    QStringLiteral(" is not supported, use 1200, 2400, 4800, 9600, 19200, 38400 or 115200:");

}  // namespace

Q_DECLARE_METATYPE(SingleCase)

class TestBtsSettingsVerify : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void singleSettings_data() {
        QTest::addColumn<SingleCase>("c");
        const AdapterFault none = AdapterFault::None;
        QTest::newRow("echo on, second chance (quiet)")
            << SingleCase{"echo", true, "Echo ON", {"ATE1", "ATE?"}, none, true, false};
        QTest::newRow("echo off, second chance")
            << SingleCase{"echo", false, "Echo OFF", {"ATE0", "ATE?"}, none, false, false};
        QTest::newRow("discover on refused") << SingleCase{
            "discover", true, "Config. failed Discover ON", {"ATH1"}, AdapterFault::Error};
        QTest::newRow("discover off, no reply") << SingleCase{
            "discover", false, "Config. failed Discover OFF", {"ATH0"}, AdapterFault::EchoOnly};
        QTest::newRow("latency off, silent")
            << SingleCase{"latency", false, "Config. failed Latency OFF", {}, AdapterFault::Silent};
        QTest::newRow("echo on refused twice") << SingleCase{
            "echo", true, "Config. failed Echo ON", {"ATE1", "ATE?"}, AdapterFault::Error};
        QTest::newRow("echo off, garbage") << SingleCase{
            "echo", false, "Config. failed Echo OFF", {"ATE0", "ATE?"}, AdapterFault::Garbage};
    }

    void singleSettings() {
        QFETCH(SingleCase, c);
        BtsRig rig;
        const bool discover = c.setting == "discover", latency = c.setting == "latency";
        bool (BtsProtocol::*set)(bool) = discover  ? &BtsProtocol::SetBtsDiscover
                                         : latency ? &BtsProtocol::SetBtsLatency
                                                   : &BtsProtocol::SetBtsEcho;
        bool AdapterSettings::*held = discover  ? &AdapterSettings::discover
                                      : latency ? &AdapterSettings::hardwareFlow
                                                : &AdapterSettings::echo;
        AdapterSettings& settings = rig.adapter.settings;
        settings.baudCode = '1';
        settings.*held = !c.on;
        settings.quiet = c.quiet;
        settings.echo = c.echo;
        rig.adapter.fault = c.fault;
        AdapterSettings expected = settings;
        const bool failed = c.status.startsWith(QLatin1String("Config. failed"));
        if (!failed) {
            expected.*held = c.on;
        }
        QVERIFY(!rig.Probe());
        QCOMPARE((rig.bts.*set)(c.on), failed);
        QCOMPARE(rig.bts.StatusText(), c.status);
        QCOMPARE(rig.adapter.commands, c.commands);
        QCOMPARE(rig.bts.SaxComBTS.Settings(), QStringLiteral("9600,N,8,1"));
        // A garbled reply does not mean the command was not taken.
        if (c.fault != AdapterFault::Garbage) {
            QCOMPARE(settings, expected);
        }
    }

    // The waits one command asks for: per character until its echo or time-out, then until the
    // reply is complete or time-out, then the read. A timed-out echo ends the reply wait at once.
    void commandWaits_data() {
        QTest::addColumn<AdapterFault>("fault");
        QTest::addColumn<qint64>("waited");
        QTest::newRow("answers") << AdapterFault::None << qint64(5 * 50 + 50 + 105);
        QTest::newRow("echo only") << AdapterFault::EchoOnly << qint64(5 * 50 + 100 + 105);
        QTest::newRow("silent") << AdapterFault::Silent << qint64(5 * 100 + 50 + 105);
    }
    void commandWaits() {
        QFETCH(AdapterFault, fault);
        BtsRig rig;
        rig.adapter.settings.baudCode = '1';
        rig.adapter.fault = fault;
        rig.messages.Answer(MsgAnswer::No);  // no longer wait for an incomplete reply
        QVERIFY(!rig.Probe());
        rig.bts.SaxComBTS.SetSettings(QStringLiteral("9600,N,8,1"));
        rig.bts.SaxComBTS.SetPortOpen(true);
        rig.bts.ResetRequestedWait();
        rig.bts.SendBtsCommand(QStringLiteral("ATH1"), 11);
        QTEST(rig.bts.RequestedWaitMs(), "waited");
    }

    void verify_data() {
        QTest::addColumn<QByteArray>("pin");
        // The adapter holds F flow, T two stop bits, X escape, D discover, E echo; the client
        // asks for its stop bits, + 10 with latency.
        QTest::addColumn<QString>("adapter");
        QTest::addColumn<int>("client");
        QTest::addColumn<AdapterFault>("fault");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const char* pin, const char* adapter, int client,
                            AdapterFault fault, const QString& text) {
            QTest::newRow(name) << QByteArray(pin) << QString(adapter) << client << fault << text;
        };
        const AdapterFault none = AdapterFault::None;
        const char* p = "12345678";
        row("passing, latency", p, "FTED", 12, none,
            "TWO STOP BIT\r\nBAUD RATE 9600\r\nNONE PARITY BIT\r\nLatency ON\r\nDiscover "
            "ON\r\nEcho ON");
        row("passing, all off", p, "", 1, none, kDescriptions1 + "Discover OFF\r\nEcho OFF");
        row("factory PIN", "5093", "ED", 1, none, "Not configured, configure BTS again");
        row("PIN mismatch", "11112222", "ED", 1, none,
            "Server pin 12345678 not matching BTS pin 11112222");
        row("latency on unmatched", p, "ED", 11, none, "Latency ON unmatched");
        row("latency off unmatched", p, "FED", 1, none, "Latency OFF unmatched");
        row("stop bits unmatched", p, "ED", 2, none, "Stopbits 1 unmatched");
        row("trailer", p, "XED", 1, none, "Verify trailer failed for Client\r\nEcho ON");
        row("leader", p, "ED", 1, AdapterFault::Noise,
            kDescriptions1 + "Verify Client leader failed\r\nEcho ON");
        row("no response", p, "ED", 1, AdapterFault::Silent, "No response, check settings");
    }

    void verify() {
        QFETCH(QByteArray, pin);
        QFETCH(QString, adapter);
        QFETCH(int, client);
        QFETCH(AdapterFault, fault);
        QFETCH(QString, text);
        BtsRig rig;
        const auto has = [&adapter](char c) { return adapter.contains(QLatin1Char(c)); };
        rig.adapter.settings = {.pin = pin,
                                .name = "3A1B2C",
                                .baudCode = '1',
                                .hardwareFlow = has('F'),
                                .twoStopBits = has('T'),
                                .escapeCheck = has('X'),
                                .discover = has('D'),
                                .echo = has('E'),
                                .quiet = true};
        rig.adapter.fault = fault;
        rig.bts.msPinNumber = QStringLiteral("12345678");
        rig.bts.ClientBtsLatency = client > 10;
        rig.bts.ClientStopBits = qint16(client % 10);
        QVERIFY(!rig.Probe());
        const bool passing = QByteArray(QTest::currentDataTag()).startsWith("passing");
        QCOMPARE(rig.bts.VerifyBts(), !passing);
        QCOMPARE(rig.bts.VerifyText, text);
        QCOMPARE(rig.adapter.commands,
                 fault == AdapterFault::Silent ? QStringList() : QStringList{"ATI1"});
        // A judged listing gets the outcome, without the descriptions, added.
        const QString& reply = rig.bts.ReplyBuffer;
        const bool judged = passing || fault == AdapterFault::Noise;
        QCOMPARE(rig.bts.Listing, judged ? reply + text.mid(kDescriptions1.size()) : reply);
    }

    void prerequisites_data() {
        QTest::addColumn<bool>("used");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("code");
        const auto row = [](const char* name, bool used, const char* baud, const QString& message,
                            const char* code = "") {
            QTest::newRow(name) << used << QString(baud) << message << QString(code);
        };
        row("BTS off", false, "9600", "BTS operation is not on for this client, turn on first:");
        row("57600", true, "57600", "BTS baud 57600" + kUse);
        row("no baud", true, "", "BTS baud " + kUse);
        row("1200", true, "1200", "", "*");
        row("2400", true, "2400", "", "#");
        row("19200 with blanks", true, " 19200 ", "", "2");
    }

    void prerequisites() {
        QFETCH(bool, used);
        QFETCH(QString, baud);
        QFETCH(QString, message);
        BtsRig rig;
        rig.bts.ClientBtsUsed = used;
        rig.bts.msBTSBaud = baud;
        QCOMPARE(rig.bts.CheckBtsPrerequisites(), !message.isEmpty());
        QTEST(rig.bts.BtsBaudCode, "code");
        QCOMPARE(rig.messages.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
    }
};

KESTRUM_TEST(TestBtsSettingsVerify)
#include "tst_bts_settings_verify.moc"
