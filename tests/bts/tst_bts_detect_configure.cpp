// Finding the adapter by its baud rate and the configuration sequence, against the
// simulated adapter on the fast clock.

#include "tests/bts/bts_rig.h"
#include "tests/support/test_main.h"

#include <QTest>

namespace {

// The status of a configuration that got through the given steps.
QString Steps(const QList<int>& numbers) {
    QString text = "BTS Detected" + QString(6, '.');
    for (int n : numbers) {
        text += "\r\n" + QString::number(n) + QString(n == 1 ? 6 : 2, '.');
    }
    return text;
}

}  // namespace

class TestBtsDetectConfigure : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // No PIN, no latency, one stop bit, 115200 (with a PIN, latency and two stop bits: the
    // BTS window and pseudo-terminal tests).
    void configuresFromDetectionToLastStep() {
        BtsRig rig;
        // Left at another rate with another PIN: the reset brings it to 19200.
        rig.adapter.settings.baudCode = '1';
        rig.adapter.settings.pin = "99999999";
        rig.bts.msPinNumber = QString();
        rig.bts.ClientBtsLatency = false;
        rig.bts.ClientStopBits = 1;
        rig.bts.msBTSBaud = QStringLiteral("115200");
        QVERIFY(!rig.Probe());
        QVERIFY(!rig.bts.CheckBtsPrerequisites());
        QVERIFY(rig.bts.DetectBts());
        QVERIFY(!rig.bts.ConfigureBtsOn());
        QCOMPARE(rig.bts.StatusText(), Steps({1, 2, 3, 4, 6, 7, 8, 9, 10}));
        QCOMPARE(rig.adapter.commands, (QStringList{"ATZ0", "ATC0", "ATK0", "ATM0", "ATX0", "ATB?",
                                                    "ATN=3A1B2C", "ATK0", "ATL5", "ATQ1"}));
        QCOMPARE(rig.adapter.Describe(),
                 QStringLiteral("pin=5093 name=3A1B2C baud=115200 stopbits=1 flow=none parity=0 "
                                "escape=0 discover=1 echo=1 quiet=1"));
        QCOMPARE(rig.bts.msBTSAddress, QStringLiteral("0012-6F-3A1B2C"));
        QCOMPARE(rig.lines.Port(5).lastSettings, (LineSettings{115200, 'N', 8, 1}));
        QCOMPARE(rig.messages.Count(), 0);
    }

    // The scan from each start index of the rate table. ERROR without the echo (an adapter
    // with its echo off) is retried at the same rate; an adapter that only echoes is given one
    // more try, then the scan moves on; a line gone at the first character ends it at once.
    void detection_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("adapterBaud");
        QTest::addColumn<AdapterFault>("fault");
        QTest::addColumn<bool>("detected");
        QTest::addColumn<QString>("rates");
        QTest::addColumn<int>("waitPrompts");
        const auto row = [](const char* name, int start, int baud, AdapterFault fault,
                            bool detected, const char* rates, int prompts = 0) {
            QTest::newRow(name) << start << baud << fault << detected << QString(rates) << prompts;
        };
        const AdapterFault none = AdapterFault::None;
        row("0", 0, 19200, none, true, "1200 2400 4800 9600 19200");
        row("5", 5, 19200, none, false, "38400 115200");
        row("6, adapter at 115200", 6, 115200, none, true, "115200");
        row("past the table", 7, 19200, none, false, "");
        row("below the table", -2, 1200, none, true, "1200");
        row("error", 3, 9600, AdapterFault::Error, false,
            "9600 9600 9600 9600 9600 19200 38400 115200");
        row("echo only", 3, 9600, AdapterFault::EchoOnly, false,
            "9600 9600 4800 9600 9600 19200 38400 115200", 4);
        row("line dropped", 3, 19200, AdapterFault::Drop, false, "9600 19200");
    }
    void detection() {
        QFETCH(int, start);
        QFETCH(int, adapterBaud);
        QFETCH(AdapterFault, fault);
        QFETCH(bool, detected);
        QFETCH(int, waitPrompts);
        BtsRig rig;
        BtsConfigBaud = qint16(start);
        rig.adapter.settings.baudCode = BtsAdapterModel::CodeForBaud(adapterBaud);
        rig.adapter.settings.echo = fault != AdapterFault::Error;
        rig.adapter.fault = fault;
        QVERIFY(!rig.Probe());
        QCOMPARE(rig.bts.DetectBts(), detected);
        QTEST(rig.Rates().join(' '), "rates");
        // The window reports a failed scan, not detection.
        QCOMPARE(rig.messages.Texts(), QStringList(waitPrompts, "Wait longer for response?"));
        QVERIFY(!detected || rig.adapter.Baud() == 19200);
        QCOMPARE(rig.bts.SaxComBTS.PortOpen(), fault != AdapterFault::Drop);
    }

    // A failed step ends the configuration with the reply in the status; a line that went away
    // is closed, and the probe says so instead of hanging.
    void failedStepShowsReplyAndStops_data() {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<AdapterFault>("fault");  // after detection
        QTest::addColumn<QString>("status");
        const QString step6 = "Config. failed 6\r\nATB?\r\r\n%1\r\nOK\r\n";
        QTest::newRow("ERROR at step 1") << QByteArray("0012-6f-3a1b2c") << AdapterFault::Error
                                         << "Config. failed 1\r\nATC0\r\r\nERROR\r\n";
        QTest::newRow("dropped at step 3")
            << QByteArray("0012-6f-3a1b2c") << AdapterFault::Drop << "Config. failed 3\r\n";
        for (const char* address : {"1234-6f-3a1b2c", "0012-", "0012-6g-3a1b2c",
                                    "0012-6f-3a\x01"
                                    "b2c"}) {
            QTest::newRow(address) << QByteArray(address) << AdapterFault::None
                                   << step6.arg(QString::fromLatin1(address));
        }
    }

    void failedStepShowsReplyAndStops() {
        QFETCH(QByteArray, address);
        QFETCH(AdapterFault, fault);
        BtsRig rig;
        rig.adapter.address = address;
        rig.adapter.dropAfter = 3;
        QVERIFY(!rig.Probe());
        QVERIFY(rig.bts.DetectBts());
        rig.adapter.fault = fault;
        QVERIFY(rig.bts.ConfigureBtsOn());
        QTEST(rig.bts.StatusText(), "status");
        const bool gone = fault == AdapterFault::Drop;
        QCOMPARE(rig.bts.LastCommand, gone ? "ATM0" : rig.adapter.commands.last());
        QVERIFY(rig.bts.msBTSAddress.isEmpty());
        QCOMPARE(rig.bts.SaxComBTS.PortOpen(), !gone);
        QCOMPARE(rig.messages.Count(), 0);
        QCOMPARE(rig.Probe(), gone);
        QCOMPARE(rig.messages.Texts(),
                 gone ? QStringList{"Com Error, COM5 didn't open."} : QStringList());
    }

    void probeAndRelease() {
        BtsRig rig;
        QString port = QStringLiteral("COM 5");
        // Left open from an exchange: the probe closes it and proves it again.
        rig.bts.SaxComBTS.SetPortOpen(true);
        QVERIFY(!rig.bts.ProbeComPort(port));
        QCOMPARE(port, QStringLiteral("COM5"));
        QVERIFY(!rig.bts.SaxComBTS.PortOpen());
        // A port that never closes: the stuck-open message, a bounded number of times.
        rig.bts.SaxComBTS.SetPortOpen(true);
        rig.lines.Port(5).stuckOpen = true;
        QVERIFY(rig.bts.ProbeComPort(port));
        QCOMPARE(rig.messages.Texts(),
                 QStringList(kStuckOpenRounds, QStringLiteral("Com Error COM5 stuck open.")));
        rig.messages.Clear();
        QVERIFY(rig.bts.ReleaseComPort(port));
        QCOMPARE(rig.messages.Texts(), QStringList{"Com Error COM5 stuck open."});
        rig.lines.Port(5).stuckOpen = false;
        QVERIFY(!rig.bts.ReleaseComPort(port));
    }
};

KESTRUM_TEST(TestBtsDetectConfigure)
#include "tst_bts_detect_configure.moc"
