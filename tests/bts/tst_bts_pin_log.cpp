// PINs derived from names, the BTS log file and its window.

#include "app/modal.h"
#include "app/settings.h"
#include "bts/bts_log.h"
#include "bts/bts_pin.h"
#include "bts/frmBTSLog.h"
#include "tests/bts/bts_rig.h"
#include "tests/support/test_main.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTest>
#include <QTextDocument>

class TestBtsPinLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pins_data();
    void pins();
    void entryFormat();
    void appendsAndReadsLog();
    void killsLog();
    void showsLog();
    void printsLog_data();
    void printsLog();
    void printsAtConfiguredFontSize();
};

void TestBtsPinLog::pins_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pin");
    QTest::newRow("empty") << ""
                           << "46120837";
    // "A": 255 - 65 = 190, "BE"; 8 bits wide with the top bit set: -66. 66 + 63048215.
    QTest::newRow("A") << "A"
                       << "63048281";
    QTest::newRow("a, same as A") << "a"
                                  << "63048281";
    // "7": 255 - 55 = 200, "C8", read as -56.
    QTest::newRow("7") << "7"
                       << "63048271";
    // U+00E9 upper-cases to U+00C9: 255 - 201 = 54, "36", leading digit below 8: +54.
    QTest::newRow("e acute") << QStringLiteral("\u00e9") << "63048269";
    // U+00F7 (no case): 255 - 247 = 8, one digit "8", 4 bits wide: -8.
    QTest::newRow("one hex digit") << QStringLiteral("\u00f7") << "63048223";
    // "BCB1BCACADA9CE", 56 bits, negative: 18,665,127,263,949,362 -> ...63949362.
    QTest::newRow("CNCSRV1") << "CNCSRV1"
                             << "70342473";
    QTest::newRow("cncsrv1") << "cncsrv1"
                             << "70342473";
    // 16 digits, 64 bits wide: 0xBEBDBCBBBAB9B8B7 is -4,702,394,921,427,289,929.
    QTest::newRow("ABCDEFGH") << "ABCDEFGH"
                              << "90338144";
    // The sum passes 8 digits: only its last 8 are the PIN.
    QTest::newRow("DNC-SERVER-01") << "DNC-SERVER-01"
                                   << "01774921";
    // Only the last 8 letters and digits count.
    QTest::newRow("long name") << "SERVER12345678"
                               << "81111376";
    QTest::newRow("other long name, same end") << "xy12345678"
                                               << "81111376";
}

void TestBtsPinLog::pins() {
    QFETCH(QString, name);
    QFETCH(QString, pin);
    const QString original = name;
    QCOMPARE(GeneratePin(name), pin);
    QCOMPARE(ServerPin(name), pin);
    QCOMPARE(name, original);
}

void TestBtsPinLog::entryFormat() {
    const QDateTime when(QDate(2024, 3, 7), QTime(14, 5, 9));
    QCOMPARE(BtsLogEntry(when, QStringLiteral("MILL1 COM7 3A1B2C COM7 0012-6F-3A1B2C")),
             QStringLiteral("03/07/24,14:05:09  MILL1 COM7 3A1B2C COM7 0012-6F-3A1B2C"));
    QCOMPARE(BtsLogEntry(QDateTime(QDate(1999, 12, 31), QTime(0, 0, 0)), QString()),
             QStringLiteral("12/31/99,00:00:00  "));
}

void TestBtsPinLog::appendsAndReadsLog() {
    TempInstallation installation(NoDatabase());
    MessageRecorder messages;
    QCOMPARE(BtsLogPath(), installation.FilePath(QStringLiteral("BTSLog.txt")));
    QCOMPARE(ReadBtsLogText(), QString());
    const QDateTime before = QDateTime::currentDateTime();
    WriteAppendStatusFile(QStringLiteral("MILL1 COM7 3A1B2C COM7 0012-6F-3A1B2C"));
    WriteAppendStatusFile(QStringLiteral("LATHE2 COM12 000001 COM12 0012-00-000001"));
    const QDateTime after = QDateTime::currentDateTime();
    const QByteArray bytes = installation.ReadFile(QStringLiteral("BTSLog.txt"));
    const QList<QByteArray> lines = bytes.split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(2).isEmpty());
    const QRegularExpression form(
        QStringLiteral("^(\\d\\d/\\d\\d/\\d\\d,\\d\\d:\\d\\d:\\d\\d)  (.*)\\r$"));
    const QStringList texts = {"MILL1 COM7 3A1B2C COM7 0012-6F-3A1B2C",
                               "LATHE2 COM12 000001 COM12 0012-00-000001"};
    for (int i = 0; i < 2; ++i) {
        const QRegularExpressionMatch match = form.match(QString::fromLatin1(lines.at(i)));
        QVERIFY2(match.hasMatch(), lines.at(i).constData());
        QCOMPARE(match.captured(2), texts.at(i));
        const QString stamp = match.captured(1);
        QVERIFY(stamp == BtsLogEntry(before, QString()).trimmed() ||
                stamp == BtsLogEntry(after, QString()).trimmed());
    }
    QCOMPARE(ReadBtsLogText(), QString::fromLatin1(bytes));
    QCOMPARE(messages.Count(), 0);
}

void TestBtsPinLog::killsLog() {
    TempInstallation installation(NoDatabase());
    MessageRecorder messages;
    // Nothing to delete: nothing happens.
    KillBTSLog();
    QVERIFY(!QFile::exists(installation.FilePath(QStringLiteral("BTSLog.txt"))));
    WriteAppendStatusFile(QStringLiteral("entry"));
    QVERIFY(QFile::exists(installation.FilePath(QStringLiteral("BTSLog.txt"))));
    KillBTSLog();
    QVERIFY(!QFile::exists(installation.FilePath(QStringLiteral("BTSLog.txt"))));
    // Another file whose name differs only in case is not the log.
    installation.WriteFile(QStringLiteral("btslog.txt"), "other\r\n");
    KillBTSLog();
    QCOMPARE(installation.ReadFile(QStringLiteral("btslog.txt")), QByteArray("other\r\n"));
    QCOMPARE(messages.Count(), 0);
}

void TestBtsPinLog::showsLog() {
    TempInstallation installation(NoDatabase());
    installation.WriteFile(QStringLiteral("BTSLog.txt"), "01/02/24,10:00:00  MILL1 COM7\n");
    QString shown;
    QString caption;
    const ModalHook previous = SetModalHook([&](QDialog& dialog) {
        caption = dialog.windowTitle();
        shown = dialog.findChild<QPlainTextEdit*>(QStringLiteral("txtBTSLog"))->toPlainText();
        return int(QDialog::Accepted);
    });
    QString msBTSLogReadString;
    ReadBTSLog(msBTSLogReadString);
    SetModalHook(previous);
    QCOMPARE(msBTSLogReadString, QStringLiteral("01/02/24,10:00:00  MILL1 COM7\r\n"));
    QCOMPARE(shown, QStringLiteral("01/02/24,10:00:00  MILL1 COM7\n"));
    QCOMPARE(caption, QStringLiteral("BTS Log"));
}

void TestBtsPinLog::printsLog_data() {
    QTest::addColumn<QString>("log");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("dialogShown");
    QTest::addColumn<bool>("printed");
    QTest::newRow("printed") << "01/02/24,10:00:00  MILL1 COM7\r\n" << true << true << true;
    QTest::newRow("cancelled") << "01/02/24,10:00:00  MILL1 COM7\r\n" << false << true << false;
    QTest::newRow("empty log, no dialog") << "" << true << false << false;
}

void TestBtsPinLog::printsLog() {
    QFETCH(QString, log);
    QFETCH(bool, accept);
    QFETCH(bool, dialogShown);
    QFETCH(bool, printed);
    TempInstallation installation(NoDatabase());
    PrintFontSize = 14;
    const QString pdf = installation.FilePath(QStringLiteral("log.pdf"));
    bool shown = false;
    bool printToFileOffered = true;
    const ModalHook previous = SetModalHook([&](QDialog& dialog) {
        auto* print = qobject_cast<QPrintDialog*>(&dialog);
        if (!print) {
            return int(QDialog::Rejected);
        }
        shown = true;
        printToFileOffered = print->testOption(QAbstractPrintDialog::PrintToFile);
        print->printer()->setOutputFormat(QPrinter::PdfFormat);
        print->printer()->setOutputFileName(pdf);
        return int(accept ? QDialog::Accepted : QDialog::Rejected);
    });
    frmBTSLog form(log);
    form.Print();
    SetModalHook(previous);
    QCOMPARE(shown, dialogShown);
    if (dialogShown) {
        QVERIFY(!printToFileOffered);
    }
    QCOMPARE(QFile::exists(pdf), printed);
    if (printed) {
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5) == "%PDF-");
        QVERIFY(file.size() > 500);
    }
}

void TestBtsPinLog::printsAtConfiguredFontSize() {
    TempInstallation installation(NoDatabase());
    QTextDocument document;
    PrintFontSize = 14;
    PrepareLogDocument(document, QStringLiteral("line 1\r\nline 2\r\n"));
    QCOMPARE(document.defaultFont().pointSize(), 14);
    QCOMPARE(document.toPlainText(), QStringLiteral("line 1\nline 2\n"));
    PrintFontSize = 0;
    PrepareLogDocument(document, QStringLiteral("x"));
    QCOMPARE(document.defaultFont().pointSize(), 10);
}

KESTRUM_TEST(TestBtsPinLog)
#include "tst_bts_pin_log.moc"
