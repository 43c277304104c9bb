// The component on a real QSerialPort: a pseudo-terminal stands in for the device, the
// test plays the far end on its master side.

#include "base/settings.h"
#include "components/saxcomm.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_main.h"

#include <QTest>

#include <termios.h>

class TestSerialPty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        pty_ = std::make_unique<PtyPair>();
        QVERIFY(pty_->IsValid());
        pty_->MapPort(7);
    }
    void cleanup() { pty_.reset(); }

    // The settings reach the device; the port reads in use while open. (Bytes both ways over
    // a pseudo-terminal: the terminal and BTS window tests.)
    void settingsAndStatus() {
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
        SaxComm comm;
        comm.SetCommPort(QStringLiteral("COM7"));
        comm.SetSettings(QStringLiteral("2400,N,8,1"));
        comm.SetPortOpen(true);
        QVERIFY(comm.PortOpen());
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortInUse));
        termios t{};
        QCOMPARE(::tcgetattr(pty_->Master(), &t), 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B2400));
        comm.SetSettings(QStringLiteral("115200,N,8,1"));
        QCOMPARE(::tcgetattr(pty_->Master(), &t), 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B115200));
        comm.SetPortOpen(false);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
    }

    void closedPtyIsLostLine() {
        SaxComm comm;
        comm.SetCommPort(7);
        comm.SetRThreshold(1);
        QList<int> codes;
        connect(&comm, &SaxComm::Comm, this, [&] { codes << comm.CommEvent(); });
        comm.SetPortOpen(true);
        QVERIFY(comm.PortOpen());
        QCOMPARE(::write(pty_->Master(), "bye", 3), ssize_t(3));
        QTRY_COMPARE(comm.InCount(), 3);
        pty_->CloseMaster();
        QTRY_VERIFY(!comm.PortOpen());
        QVERIFY(codes.contains(int(kCommEvLost)));
        // What arrived before is still there; output to the lost line goes nowhere.
        QCOMPARE(comm.Input(), QStringLiteral("bye"));
        comm.SetOutput(QStringLiteral("nobody"));
    }

private:
    std::unique_ptr<PtyPair> pty_;
};

KESTRUM_TEST(TestSerialPty)
#include "tst_serial_pty.moc"
