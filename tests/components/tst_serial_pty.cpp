// The component on a real QSerialPort: a pseudo-terminal stands in for the device, the
// test plays the far end on its master side.

#include "base/settings.h"
#include "components/qserial_line.h"
#include "components/saxcomm.h"
#include "tests/support/test_main.h"

#include <QSerialPort>
#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

class TestSerialPty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master_ >= 0);
        QCOMPARE(::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK), 0);
        QCOMPARE(::grantpt(master_), 0);
        QCOMPARE(::unlockpt(master_), 0);
        lines_.MapPort(7, QString::fromLocal8Bit(::ptsname(master_)));
        previous_ = SetSerialLineProvider(&lines_);
    }

    void cleanup() {
        SetSerialLineProvider(previous_);
        lines_.MapPort(7, QString());
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

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
        QCOMPARE(::tcgetattr(master_, &t), 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B2400));
        comm.SetSettings(QStringLiteral("115200,N,8,1"));
        QCOMPARE(::tcgetattr(master_, &t), 0);
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
        QCOMPARE(::write(master_, "bye", 3), ssize_t(3));
        QTRY_COMPARE(comm.InCount(), 3);
        ::close(master_);
        master_ = -1;
        QTRY_VERIFY(!comm.PortOpen());
        QVERIFY(codes.contains(int(kCommEvLost)));
        // What arrived before is still there; output to the lost line goes nowhere.
        QCOMPARE(comm.Input(), QStringLiteral("bye"));
        comm.SetOutput(QStringLiteral("nobody"));
    }

private:
    int master_ = -1;
    SystemSerialLines lines_;
    SerialLineProvider* previous_ = nullptr;
};

KESTRUM_TEST(TestSerialPty)
#include "tst_serial_pty.moc"
