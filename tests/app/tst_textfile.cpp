// Whole-file text helpers: what ends up on disk and what the operator is told.

#include "app/textfile.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
    }
}

}  // namespace

class TestTextFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

private Q_SLOTS:
    void read_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("contents");
        QTest::newRow("CR LF") << QByteArray("a\r\nb") << "a\r\nb\r\n";
        QTest::newRow("LF") << QByteArray("a\nb\n") << "a\r\nb\r\n";
        QTest::newRow("CR") << QByteArray("a\rb\r") << "a\r\nb\r\n";
        QTest::newRow("blank lines kept") << QByteArray("a\r\n\r\n\nb") << "a\r\n\r\n\r\nb\r\n";
        QTest::newRow("empty") << QByteArray() << "";
        QTest::newRow("Latin-1") << QByteArray("\xE9t\xE9\xFF")
                                 << QStringLiteral("\u00E9t\u00E9\u00FF\r\n");
    }

    void read() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, contents);
        const QString path = dir_.filePath(QStringLiteral("in.txt"));
        WriteBytes(path, bytes);
        MessageRecorder messages;
        TextFileRecord record{path, QStringLiteral("stale"), -1, false};
        ReadTextFile(record);
        QVERIFY(record.Success);
        QCOMPARE(record.Contents, contents);
        QCOMPARE(record.Length, qint32(bytes.size()));
        QCOMPARE(messages.Count(), 0);
    }

    void readMissingFileFailsSilently() {
        MessageRecorder messages;
        TextFileRecord record{dir_.filePath(QStringLiteral("absent.txt")), {}, 0, true};
        ReadTextFile(record);
        QVERIFY(!record.Success);
        QCOMPARE(messages.Count(), 0);
    }

    void writeReplacesWithLineBreakAdded() {
        const QString path = dir_.filePath(QStringLiteral("out.txt"));
        WriteBytes(path, "a much longer old text that must not survive\r\n");
        QFile reader(path);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        MessageRecorder messages;
        TextFileRecord record{path, QStringLiteral("x\r\n\u00E9"), 0, false};
        WriteTextFile(record);
        QVERIFY(record.Success);
        QCOMPARE(ReadBytes(path), QByteArray("x\r\n\xE9\r\n"));
        // Replaced, not truncated in place: a reader of the old file still has all of it.
        QCOMPARE(reader.readAll(), QByteArray("a much longer old text that must not survive\r\n"));
        QCOMPARE(messages.Count(), 0);
        QCOMPARE(
            QDir(dir_.path()).entryList({QStringLiteral("out.txt*")}, QDir::Files | QDir::Hidden),
            QStringList{"out.txt"});
    }

    void writeIntoMissingFolderTellsTheOperator() {
        const QString path = dir_.filePath(QStringLiteral("gone/DNCAdmin.ini"));
        MessageRecorder messages;
        TextFileRecord record{path, QStringLiteral("x"), 0, true};
        WriteTextFile(record);
        QVERIFY(!record.Success);
        QCOMPARE(messages.Count(), 1);
        QCOMPARE(messages.Last().text, QStringLiteral("Error opening file \"") + path + "\"");
        QCOMPARE(messages.Last().title, QStringLiteral("Kestrum"));
        QCOMPARE(messages.Last().icon, MsgIcon::Critical);
        QCOMPARE(messages.Last().buttons, MsgButtons::Ok);
        QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("gone"))));
    }

    void appendCreatesThenExtends() {
        const QString path = dir_.filePath(QStringLiteral("BTSLog.txt"));
        MessageRecorder messages;
        TextFileRecord first{path, QStringLiteral("one"), 0, false};
        AppendTextFile(first);
        QVERIFY(first.Success);
        TextFileRecord second{path, QStringLiteral("tw\u00F6"), 0, false};
        AppendTextFile(second);
        QVERIFY(second.Success);
        QCOMPARE(ReadBytes(path), QByteArray("one\r\ntw\xF6\r\n"));

        TextFileRecord nowhere{dir_.filePath(QStringLiteral("gone/log.txt")), "x", 0, true};
        AppendTextFile(nowhere);
        QVERIFY(!nowhere.Success);
        QCOMPARE(messages.Count(), 0);
    }
};

KESTRUM_TEST(TestTextFile)
#include "tst_textfile.moc"
