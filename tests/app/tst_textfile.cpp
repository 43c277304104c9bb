// Whole-file text helpers: what ends up on disk and what the operator is told.

#include "app/textfile.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestTextFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    static QByteArray Bytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }
    static void Put(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

private Q_SLOTS:
    void read_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("contents");
        QTest::newRow("LF and CR") << QByteArray("a\nb\rc\r") << "a\r\nb\r\nc\r\n";
        QTest::newRow("blank lines") << QByteArray("a\r\n\r\n\nb") << "a\r\n\r\n\r\nb\r\n";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("Latin-1") << QByteArray("\xE9\xFF") << QStringLiteral("\u00E9\u00FF\r\n");
    }

    void read() {
        QFETCH(QByteArray, bytes);
        Put(Path("in.txt"), bytes);
        TextFileRecord record{Path("in.txt"), QStringLiteral("stale"), -1, false};
        ReadTextFile(record);
        QVERIFY(record.Success);
        QTEST(record.Contents, "contents");
        QCOMPARE(record.Length, qint32(bytes.size()));
    }

    void writeAndAppend() {
        MessageRecorder messages;
        const QString out = Path("out.txt");
        Put(out, "a much longer old text\r\n");
        QFile reader(out);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        TextFileRecord record{out, QStringLiteral("x\r\n\u00E9"), 0, false};
        WriteTextFile(record);
        QVERIFY(record.Success);
        QCOMPARE(Bytes(out), QByteArray("x\r\n\xE9\r\n"));
        // Replaced, not truncated in place: a reader of the old file still has all of it.
        QCOMPARE(reader.readAll(), QByteArray("a much longer old text\r\n"));

        const QString log = Path("BTSLog.txt");
        for (const char* line : {"one", "two"}) {
            TextFileRecord entry{log, QLatin1String(line), 0, false};
            AppendTextFile(entry);
            QVERIFY(entry.Success);
        }
        QCOMPARE(Bytes(log), QByteArray("one\r\ntwo\r\n"));
        QCOMPARE(messages.Count(), 0);
    }

    void failures() {
        MessageRecorder messages;
        TextFileRecord missing{Path("absent.txt"), {}, 0, true};
        ReadTextFile(missing);
        QVERIFY(!missing.Success);
        TextFileRecord append{Path("gone/log.txt"), "x", 0, true};
        AppendTextFile(append);
        QVERIFY(!append.Success);
        QCOMPARE(messages.Count(), 0);  // only a write tells the operator

        TextFileRecord write{Path("gone/DNCAdmin.ini"), "x", 0, true};
        WriteTextFile(write);
        QVERIFY(!write.Success);
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().text, "Error opening file \"" + write.FileName + "\"");
        QCOMPARE(messages.Last().title, QStringLiteral("Kestrum"));
        QCOMPARE(messages.Last().icon, MsgIcon::Critical);
        QCOMPARE(messages.Last().buttons, MsgButtons::Ok);
        QVERIFY(!QFileInfo::exists(Path("gone")));
    }
};

KESTRUM_TEST(TestTextFile)
#include "tst_textfile.moc"
