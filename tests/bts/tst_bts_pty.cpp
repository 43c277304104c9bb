// End to end over a real pseudo-terminal: the simulator program plays the adapter, the
// component runs on QSerialPort, the port is found through the settings file. Time runs
// twice as fast as real: the far end still answers within the scaled time-outs on a busy
// machine.

#include "base/settings.h"
#include "bts/bts_protocol.h"
#include "components/qserial_line.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_main.h"

#include <QProcess>
#include <QTest>
#include <QThread>

namespace {

// Real time, scaled: every wait sleeps half its length, timers fire on the scaled time.
struct HalfTimeClock : VirtualClock {
    void SleepMs(int ms) override {
        QThread::usleep(ulong(ms) * 500);
        Advance(ms);
    }
};

}  // namespace

class TestBtsPty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void detectsAndConfiguresOverPty() {
#ifndef KESTRUM_BTSSIM_PATH
        QSKIP("the simulator program is not built on this platform");
#else
        QProcess simulator;
        simulator.start(QStringLiteral(KESTRUM_BTSSIM_PATH), {"--baud", "9600"});
        QVERIFY(simulator.waitForReadyRead(5000));
        const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();
        TempInstallation::Options options;
        options.createDatabase = false;
        options.settings = QStringLiteral("[COMPORTS]\r\nCOM7=%1\r\n").arg(device).toLocal8Bit();
        TempInstallation installation(options);
        BtsConfigBaud = 3;
        SystemSerialLines lines;
        SerialLineProvider* previous = SetSerialLineProvider(&lines);
        HalfTimeClock clock;
        Clock* realClock = SetClock(&clock);
        MessageRecorder messages;

        BtsProtocol bts;
        bts.msBTSBaud = QStringLiteral("38400");
        bts.ClientStopBits = 2;
        bts.ClientBtsUsed = true;
        bts.ClientBtsLatency = true;
        bts.msPinNumber = QStringLiteral("24681357");
        QString port = QStringLiteral("COM 7");
        const bool detected =
            !bts.ProbeComPort(port) && !bts.CheckBtsPrerequisites() && bts.DetectBts();
        const bool configureFailed = !detected || bts.ConfigureBtsOn();
        const bool verifyFailed = configureFailed || bts.VerifyBts();
        const bool releaseFailed = bts.ReleaseComPort(port);
        SetClock(realClock);
        SetSerialLineProvider(previous);
        simulator.terminate();
        simulator.waitForFinished(5000);
        const QStringList states = QString::fromLocal8Bit(simulator.readAll())
                                       .split(QLatin1Char('\n'))
                                       .filter(QStringLiteral("STATE "));

        // A busy machine may delay a reply past its first wait; nothing else may be asked.
        QCOMPARE(messages.Texts(), QStringList(messages.Count(), "Wait longer for response?"));
        QVERIFY(detected);
        QVERIFY2(!configureFailed, qPrintable(bts.StatusText()));
        QVERIFY(bts.StatusText().endsWith(QLatin1String("\r\n10..\r\nLatency ON......")));
        QCOMPARE(bts.msBTSAddress, QStringLiteral("0012-6F-3A1B2C"));
        QVERIFY2(!verifyFailed, qPrintable(bts.VerifyText));
        QCOMPARE(bts.VerifyText, QStringLiteral("TWO STOP BIT\r\nBAUD RATE 38400\r\nNONE PARITY "
                                                "BIT\r\nLatency ON\r\nDiscover ON\r\nEcho ON"));
        QVERIFY(!releaseFailed);
        // What the adapter holds, as the program reported it after its last command.
        QCOMPARE(states.value(states.size() - 1),
                 QStringLiteral("STATE pin=24681357 name=3A1B2C baud=38400 stopbits=2 "
                                "flow=hardware parity=0 escape=0 discover=1 echo=1 quiet=1"));
#endif
    }
};

KESTRUM_TEST(TestBtsPty)
#include "tst_bts_pty.moc"
