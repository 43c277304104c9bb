// The adapter commands on a serial port of the system, opened as the program opens it: here a
// pseudo-terminal mapped to COM7; under Wine (scripts/windows) a pseudo-terminal of the
// machine registered as the system's COM7, its far side kept in a file. Both must carry the
// same bytes. Exchanges with answers are the simulated adapter's tests: Wine does not pass
// what arrives on a port on to the program.

#include "base/settings.h"
#include "bts/bts_protocol.h"
#include "components/port_probe.h"
#include "tests/support/message_recorder.h"
#include "tests/support/pty_pair.h"
#include "tests/support/temp_installation.h"
#include "tests/support/test_backend.h"
#include "tests/support/test_main.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace {

// What arrives on the far side of COM7 from the moment the object is made.
class FarSide {
public:
#ifdef Q_OS_WIN
    FarSide()
        : capture_(qEnvironmentVariable("KESTRUM_TEST_COM7_CAPTURE")),
          start_(QFileInfo(capture_).size()) {}
    bool IsValid() const {
        return !capture_.isEmpty() && QFileInfo::exists(capture_);
    }
    QByteArray Received() const {
        QFile file(capture_);
        return file.open(QIODevice::ReadOnly) && file.seek(start_) ? file.readAll() : QByteArray();
    }

private:
    SystemLinesInUse lines_;
    QString capture_;
    qint64 start_;
#else
    FarSide() {
        if (pty_.IsValid()) {
            pty_.MapPort(7);
        }
    }
    bool IsValid() const {
        return pty_.IsValid();
    }
    QByteArray Received() {
        char buffer[256];
        for (ssize_t n; (n = ::read(pty_.Master(), buffer, sizeof buffer)) > 0;) {
            received_.append(buffer, n);
        }
        return received_;
    }

private:
    PtyPair pty_;
    QByteArray received_;
#endif
};

}  // namespace

class TestBtsSystemPort : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The port is listed and free; the scan at its last rate sends a CR, then ATZ0 and its CR
    // one character at a time; nobody answers, so nothing is detected and the port is let go.
    void scanWritesToSystemPort() {
        if (TestOnServer()) {
            QSKIP("no database here; one run on the port is enough");
        }
        FarSide far;
#ifdef Q_OS_WIN
        if (!far.IsValid()) {
            QSKIP("no pseudo-terminal registered as COM7 (scripts/windows registers one)");
        }
#endif
        QVERIFY(far.IsValid());
        TempInstallation installation({.createDatabase = false, .settings = {}});
        MessageRecorder messages;
        QVERIFY(SaxComm::PortList().contains(QStringLiteral("COM7")));
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
        BtsConfigBaud = 6;
        BtsProtocol bts;
        bts.msBTSBaud = QStringLiteral("9600");
        bts.ClientBtsUsed = true;
        QString port = QStringLiteral("COM 7");
        QVERIFY(!bts.ProbeComPort(port));
        QVERIFY(!bts.DetectBts());
        bts.ReleaseComPort(port);
        QTRY_COMPARE(far.Received(), QByteArray("\rATZ0\r"));
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
        QCOMPARE(messages.Texts(), QStringList());
    }
};

KESTRUM_TEST(TestBtsSystemPort)
#include "tst_bts_system_port.moc"
