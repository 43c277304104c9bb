// The component on a real QSerialPort: a pseudo-terminal stands in for the device, the
// test plays the far end on its master side.

#include "app/settings.h"
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
    void init();
    void cleanup();
    void exchangesBytesAndSettings();
    void reportsStatusOfRealPort();
    void closedPtyIsLostLine();

private:
    QByteArray ReadMaster(int expected);
    int master_ = -1;
    QString device_;
    SystemSerialLines lines_;
    SerialLineProvider* previous_ = nullptr;
};

void TestSerialPty::init() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master_ >= 0);
    QCOMPARE(::grantpt(master_), 0);
    QCOMPARE(::unlockpt(master_), 0);
    device_ = QString::fromLocal8Bit(::ptsname(master_));
    lines_.MapPort(7, device_);
    previous_ = SetSerialLineProvider(&lines_);
}

void TestSerialPty::cleanup() {
    SetSerialLineProvider(previous_);
    lines_.MapPort(7, QString());
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

QByteArray TestSerialPty::ReadMaster(int expected) {
    QByteArray got;
    for (int i = 0; i < 200 && got.size() < expected; ++i) {
        WaitMilliseconds(5);
        char buffer[256];
        const int flags = ::fcntl(master_, F_GETFL);
        ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        ::fcntl(master_, F_SETFL, flags);
        if (n > 0) {
            got.append(buffer, int(n));
        }
    }
    return got;
}

void TestSerialPty::exchangesBytesAndSettings() {
    SaxComm comm;
    comm.SetCommPort(QStringLiteral("COM7"));
    comm.SetSettings(QStringLiteral("2400,N,8,1"));
    comm.SetPortOpen(true);
    QVERIFY(comm.PortOpen());
    QCOMPARE(SaxComm::PortList().contains(QStringLiteral("COM7")), true);

    termios t{};
    QCOMPARE(::tcgetattr(master_, &t), 0);
    QCOMPARE(::cfgetospeed(&t), speed_t(B2400));
    comm.SetSettings(QStringLiteral("115200,N,8,1"));
    QCOMPARE(::tcgetattr(master_, &t), 0);
    QCOMPARE(::cfgetospeed(&t), speed_t(B115200));

    comm.SetOutput(QStringLiteral("ATZ0\r"));
    QCOMPARE(ReadMaster(5), QByteArray("ATZ0\r"));

    const QByteArray reply("\r\nOK\r\n\xFF");
    QCOMPARE(::write(master_, reply.constData(), size_t(reply.size())), ssize_t(reply.size()));
    for (int i = 0; i < 200 && comm.InCount() < reply.size(); ++i) {
        WaitMilliseconds(5);
    }
    QCOMPARE(comm.Input(), QString::fromLatin1(reply));
    comm.SetPortOpen(false);
    QVERIFY(!comm.PortOpen());
}

void TestSerialPty::reportsStatusOfRealPort() {
    QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
    SaxComm comm;
    comm.SetCommPort(7);
    comm.SetPortOpen(true);
    QVERIFY(comm.PortOpen());
    QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortInUse));
    comm.SetPortOpen(false);
    QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
    lines_.MapPort(8, QStringLiteral("/dev/no-such-device"));
    QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM8")), int(kPortAbsent));
    QVERIFY(!SaxComm::PortList().contains(QStringLiteral("COM8")));
    lines_.MapPort(8, QString());
}

void TestSerialPty::closedPtyIsLostLine() {
    SaxComm comm;
    comm.SetCommPort(7);
    comm.SetSettings(QStringLiteral("9600,N,8,1"));
    comm.SetRThreshold(1);
    QList<int> codes;
    connect(&comm, &SaxComm::Comm, this, [&] { codes << comm.CommEvent(); });
    comm.SetPortOpen(true);
    QVERIFY(comm.PortOpen());
    const QByteArray last("bye");
    QCOMPARE(::write(master_, last.constData(), 3), ssize_t(3));
    for (int i = 0; i < 200 && comm.InCount() < 3; ++i) {
        WaitMilliseconds(5);
    }
    ::close(master_);
    master_ = -1;
    for (int i = 0; i < 200 && comm.PortOpen(); ++i) {
        WaitMilliseconds(5);
    }
    QVERIFY(!comm.PortOpen());
    QVERIFY(codes.contains(int(kCommEvLost)));
    QCOMPARE(comm.Input(), QStringLiteral("bye"));
    comm.SetOutput(QStringLiteral("nobody"));
}

KESTRUM_TEST(TestSerialPty)
#include "tst_serial_pty.moc"
