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

    void detectsFromEachStartIndex_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("adapterBaud");
        QTest::addColumn<bool>("detected");
        QTest::addColumn<QString>("rates");
        QTest::newRow("0") << 0 << 19200 << true << "1200 2400 4800 9600 19200";
        QTest::newRow("5") << 5 << 19200 << false << "38400 115200";
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
        QCOMPARE(rig.messages.Count(), 0);  // the window reports, not detection
        QVERIFY(!detected || rig.adapter.Baud() == 19200);
    }

    // ERROR without the echo (an adapter with its echo off) is retried at the same rate; an
    // adapter that only echoes is given one more try, then the scan moves on.
    void scanOverFaultyReplies_data() {
        QTest::addColumn<AdapterFault>("fault");
        QTest::addColumn<QString>("rates");
        QTest::addColumn<int>("waitPrompts");
        QTest::newRow("error") << AdapterFault::Error
                               << "9600 9600 9600 9600 9600 19200 38400 115200" << 0;
        QTest::newRow("echo only")
            << AdapterFault::EchoOnly << "9600 9600 4800 9600 9600 19200 38400 115200" << 4;
    }
    void scanOverFaultyReplies() {
        QFETCH(AdapterFault, fault);
        QFETCH(QString, rates);
        QFETCH(int, waitPrompts);
        BtsRig rig;
        rig.adapter.settings.baudCode = '1';
        rig.adapter.settings.echo = fault != AdapterFault::Error;
        rig.adapter.fault = fault;
        QVERIFY(!rig.Probe());
        QVERIFY(!rig.bts.DetectBts());
        QCOMPARE(rig.Rates(), rates.split(' '));
        QCOMPARE(rig.messages.Texts(), QStringList(waitPrompts, "Wait longer for response?"));
    }

    void failedStepShowsReplyAndStops_data() {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<bool>("errorsAfterDetection");
        QTest::addColumn<QString>("status");
        const QString step6 = "Config. failed 6\r\nATB?\r\r\n%1\r\nOK\r\n";
        QTest::newRow("ERROR at step 1")
            << QByteArray("0012-6f-3a1b2c") << true << "Config. failed 1\r\nATC0\r\r\nERROR\r\n";
        for (const char* address : {"1234-6f-3a1b2c", "0012-", "0012-6g-3a1b2c",
                                    "0012-6f-3a\x01"
                                    "b2c"}) {
            QTest::newRow(address)
                << QByteArray(address) << false << step6.arg(QString::fromLatin1(address));
        }
    }

    void failedStepShowsReplyAndStops() {
        QFETCH(QByteArray, address);
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
        QCOMPARE(rig.bts.LastCommand, rig.adapter.commands.last());
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
