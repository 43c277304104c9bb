// PINs derived from names, the BTS log file and its printing.

#include "base/modal.h"
#include "bts/bts_log.h"
#include "bts/bts_pin.h"
#include "bts/frmBTSLog.h"
#include "tests/bts/bts_rig.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_main.h"

#include <QFile>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QTest>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestBtsPinLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pins_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pin");
        QTest::newRow("empty") << QString() << "46120837";
        // 255 - 65 = 190, "BE"; 8 bits wide with the top bit set: -66. 66 + 63048215.
        QTest::newRow("A") << QString("A") << "63048281";
        QTest::newRow("a, same as A") << QString("a") << "63048281";
        // U+00E9 upper-cases to U+00C9: 255 - 201 = 54, "36", leading digit below 8: +54.
        QTest::newRow("e acute") << QStringLiteral("\u00e9") << "63048269";
        // U+00F7 (no case): 255 - 247 = 8, one digit "8", 4 bits wide: -8.
        QTest::newRow("one hex digit") << QStringLiteral("\u00f7") << "63048223";
        // "BCB1BCACADA9CE", 56 bits, negative: 18,665,127,263,949,362 -> ...63949362.
        QTest::newRow("CNCSRV1") << QString("CNCSRV1") << "70342473";
        // 16 digits, 64 bits wide: 0xBEBDBCBBBAB9B8B7 is -4,702,394,921,427,289,929.
        QTest::newRow("ABCDEFGH") << QString("ABCDEFGH") << "90338144";
        // The sum passes 8 digits: only its last 8 are the PIN.
        QTest::newRow("DNC-SERVER-01") << QString("DNC-SERVER-01") << "01774921";
        QTest::newRow("long name") << QString("SERVER12345678") << "81111376";
    }

    void pins() {
        QFETCH(QString, name);
        QTEST(GeneratePin(name), "pin");
        QTEST(ServerPin(name), "pin");
    }

    void appendsReadsKillsAndPrintsLog() {
        QCOMPARE(BtsLogEntry(QDateTime(QDate(2024, 3, 7), QTime(14, 5, 9)), "MILL1"),
                 QStringLiteral("03/07/24,14:05:09  MILL1"));
        TempInstallation installation({.createDatabase = false, .settings = {}});
        MessageRecorder messages;
        const QString log = installation.FilePath(QStringLiteral("BTSLog.txt"));
        KillBTSLog();  // nothing to delete: nothing happens
        const QDateTime before = QDateTime::currentDateTime();
        WriteAppendStatusFile(QStringLiteral("MILL1 COM7"));
        WriteAppendStatusFile(QStringLiteral("LATHE2 COM12"));
        const QDateTime after = QDateTime::currentDateTime();
        // Each entry on its own line, ended by CR LF.
        const QString text = QString::fromLatin1(installation.ReadFile("BTSLog.txt"));
        QVERIFY2(text.endsWith("  LATHE2 COM12\r\n") &&
                     (text.startsWith(BtsLogEntry(before, "MILL1 COM7\r\n")) ||
                      text.startsWith(BtsLogEntry(after, "MILL1 COM7\r\n"))) &&
                     text.count("\r\n") == 2,
                 qPrintable(text));
        QCOMPARE(ReadBtsLogText(), text);
#ifndef Q_OS_WIN
        // Another file whose name differs only in case is not the log (on Windows it is).
        installation.WriteFile(QStringLiteral("btslog.txt"), "other\r\n");
#endif
        KillBTSLog();
        QVERIFY(!QFile::exists(log));
#ifndef Q_OS_WIN
        QCOMPARE(installation.ReadFile(QStringLiteral("btslog.txt")), QByteArray("other\r\n"));
#endif
        QCOMPARE(messages.Count(), 0);
        // Printing: nothing for an empty log, else through the print window.
        const QString pdf = installation.FilePath(QStringLiteral("log.pdf"));
        int shown = 0;
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            ++shown;
            auto* printer = qobject_cast<QPrintDialog*>(&dialog)->printer();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return int(QDialog::Accepted);
        });
        frmBTSLog(QString()).Print();
        QCOMPARE(shown, 0);
        frmBTSLog(QStringLiteral("01/02/24,10:00:00  MILL1 COM7\r\n")).Print();
        SetModalHook(previous);
        QCOMPARE(shown, 1);
        QVERIFY(QFileInfo(pdf).size() > 500);
    }

    // The log is appended to and read only when it is a regular file (or a link to one): a
    // FIFO or a device in its place is refused at once, never waited on, never written.
    void logOnlyInARegularFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO nobody reads") << "fifo";
        QTest::newRow("FIFO read by another program") << "fifo with reader";
        QTest::newRow("link to a terminal device") << "device";
        QTest::newRow("link to a regular file") << "link";
    }
    void logOnlyInARegularFile() {
#ifdef Q_OS_WIN
        QSKIP("FIFOs and terminal devices in the file system are Linux's");
#else
        QFETCH(QString, kind);
        TempInstallation installation({.createDatabase = false, .settings = {}});
        MessageRecorder messages;
        const QByteArray log = QFile::encodeName(installation.FilePath("BTSLog.txt"));
        PtyPair device;
        int reader = -1;  // the far end, where a refused entry must never arrive
        if (kind.startsWith("fifo")) {
            QCOMPARE(::mkfifo(log.constData(), 0600), 0);
            if (kind == "fifo with reader") {
                reader = ::open(log.constData(), O_RDONLY | O_NONBLOCK);
            }
        } else if (kind == "device") {
            QVERIFY(device.IsValid());
            QCOMPARE(::symlink(QFile::encodeName(device.Device()).constData(), log.constData()), 0);
            reader = device.Master();
        } else {
            installation.WriteFile("real.txt", "old\r\n");
            QCOMPARE(::symlink("real.txt", log.constData()), 0);
        }
        WriteAppendStatusFile(QStringLiteral("MILL1 COM7"));
        const QString read = ReadBtsLogText();
        if (kind == "link") {
            const QByteArray bytes = installation.ReadFile("real.txt");
            QVERIFY2(bytes.startsWith("old\r\n") && bytes.endsWith("  MILL1 COM7\r\n"),
                     bytes.constData());
            QCOMPARE(read, QString::fromLatin1(bytes));
            QVERIFY(QFileInfo(installation.FilePath("BTSLog.txt")).isSymLink());
        } else {
            QCOMPARE(read, QString());
            char buffer[64];
            if (reader >= 0) {
                QVERIFY(::read(reader, buffer, sizeof buffer) <= 0);  // nothing arrived
            }
            struct stat status {};
            QCOMPARE(::lstat(log.constData(), &status), 0);
            QVERIFY(!S_ISREG(status.st_mode));
        }
        if (kind == "fifo with reader") {
            ::close(reader);
        }
        QCOMPARE(messages.Count(), 0);
#endif
    }
};

KESTRUM_TEST(TestBtsPinLog)
#include "tst_bts_pin_log.moc"
