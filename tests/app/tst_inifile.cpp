// INI reading and writing as the Windows private-profile calls do it, files compared byte
// for byte. Most cases read key K of section S (default D) or write K=v; nullptr: no file.

#include "app/ini_text.h"
#include "app/inifile.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Case {
    const char* name;
    const char* before;
    const char* expected;  // the value read, or the file after the write
};

// clang-format off
const Case kReads[] = {
    {"names ignore case",        "[s]\r\nk=Value\r\n", "Value"},
    {"LF only",                  "[S]\nA=1\nK=2\n", "2"},
    {"CR only",                  "[S]\rA=1\rK=2", "2"},
    {"blanks and tabs trimmed",  "[S]\r\n \tK \t=  two  words \t\r\n", "two  words"},
    {"blanks around header",     "  [  S  ]  \r\nK=v\r\n", "v"},
    {"double quotes",            "[S]\r\nK= \"  q  \" \r\n", "  q  "},
    {"single quotes",            "[S]\r\nK='q'\r\n", "q"},
    {"mismatched quotes",        "[S]\r\nK=\"q'\r\n", "\"q'"},
    {"one quote stays",          "[S]\r\nK=\"\r\n", "\""},
    {"empty quotes",             "[S]\r\nK=\"\"\r\n", "D"},
    {"comment is no key",        "[S]\r\n  ;K=1\r\nK=2\r\n", "2"},
    {"semicolon, hash in value", "[S]\r\nK=a ;b #c\r\n", "a ;b #c"},
    {"equals in value",          "[S]\r\nK=a=b\r\n", "a=b"},
    {"text after bracket",       "[S] rest]\r\nK=v\r\n", "v"},
    {"header without bracket",   "[ S  \r\nK=v\r\n", "v"},
    {"before first section",     "K=early\r\n[S]\r\n", "D"},
    {"line without equals",      "[S]\r\nK\r\n", "D"},
    {"first key wins",           "[S]\r\nK=1\r\nk=2\r\n", "1"},
    {"first section copy only",  "[S]\r\nA=1\r\n[T]\r\n[s]\r\nK=2\r\n", "D"},
    {"missing file",             nullptr, "D"},
    {"empty value",              "[S]\r\nK=\r\n", "D"},
    {"byte-order mark is text",  "\xEF\xBB\xBF[S]\r\nK=v\r\n", "D"},
};

const Case kWrites[] = {
    {"new file",                     nullptr, "[S]\r\nK=v\r\n"},
    {"empty file",                   "", "[S]\r\nK=v\r\n"},
    {"break added before section",   "[A]\r\nX=1", "[A]\r\nX=1\r\n[S]\r\nK=v\r\n"},
    {"after trailing comment",       "[A]\r\n\r\n;e\r\n", "[A]\r\n\r\n;e\r\n[S]\r\nK=v\r\n"},
    {"key after last key",           "[S]\r\nA=1\r\n;c\r\nB=2\r\njunk\r\n\r\n;t\r\n[T]\r\n",
                                     "[S]\r\nA=1\r\n;c\r\nB=2\r\nK=v\r\njunk\r\n\r\n;t\r\n[T]\r\n"},
    {"commented key is no key",      "[S]\r\n;K=1\r\n", "[S]\r\nK=v\r\n;K=1\r\n"},
    {"header without break",         "[S]", "[S]\r\nK=v\r\n"},
    {"last key without break",       "[S]\r\nA=1", "[S]\r\nA=1\r\nK=v\r\n"},
    {"LF file",                      "[S]\nA=1\n[T]\n", "[S]\nA=1\nK=v\r\n[T]\n"},
    {"CR file",                      "[S]\rA=1\r", "[S]\rA=1\rK=v\r\n"},
    {"first copy of section",        "[S]\r\n[T]\r\n[S]\r\nB=2\r\n",
                                     "[S]\r\nK=v\r\n[T]\r\n[S]\r\nB=2\r\n"},
    {"header kept as written",       " [ s ] x\r\n", " [ s ] x\r\nK=v\r\n"},
    {"key rewritten in place",       "[S]\r\n  k \t= old ;n\r\nB=2\r\n", "[S]\r\nk=v\r\nB=2\r\n"},
    {"rewritten key keeps LF",       "[S]\nK=1\nB=2\n", "[S]\nK=v\nB=2\n"},
    {"rewritten last line",          "[S]\r\nK=1", "[S]\r\nK=v"},
    {"first duplicate changed",      "[S]\r\nK=1\r\nK=2\r\n", "[S]\r\nK=v\r\nK=2\r\n"},
    {"text before sections kept",    ";top\r\nK=0\r\n[S]\r\n", ";top\r\nK=0\r\n[S]\r\nK=v\r\n"},
    {"byte-order mark is no header", "\xEF\xBB\xBF[S]\r\n", "\xEF\xBB\xBF[S]\r\n[S]\r\nK=v\r\n"},
};
// clang-format on

QByteArray Bytes(const char* text) {
    return text ? QByteArray(text) : QByteArray("<no file>");
}

void AddRows(const Case* cases, size_t count) {
    QTest::addColumn<const Case*>("row");
    for (const Case* c = cases; c != cases + count; ++c) {
        QTest::newRow(c->name) << c;
    }
}

}  // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path() const { return dir_.filePath(QStringLiteral("Kestrum.ini")); }
    QByteArray FileBytes() const {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : Bytes(nullptr);
    }
    void Reset(const char* bytes) const {
        QFile::remove(Path());
        QFile file(Path());
        if (bytes && file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
        }
    }

private Q_SLOTS:
    void read_data() { AddRows(kReads, std::size(kReads)); }
    void read() {
        QFETCH(const Case*, row);
        Reset(row->before);
        QCOMPARE(ReadIniValue(Path(), "S", "K", "D"), QString::fromLatin1(row->expected));
    }

    void readNamesValuesAndDefaults() {
        const QByteArray x126(126, 'x');
        Reset("[S]\r\nK=\"" + x126 + "yz\"\r\nL=\xE9t\xE9\r\nM= \r\n[\xDCnter]\r\nMy Key = 1\r\n");
        QCOMPARE(ReadIniValue(Path(), "S", "K", {}), QString::fromLatin1(x126));  // quotes first
        QCOMPARE(ReadIniValue(Path(), "S", "L", {}), QStringLiteral("\u00E9t\u00E9"));
        QCOMPARE(ReadIniValue(Path(), QStringLiteral(" \u00FCNTER\t"), " my key ", {}), "1");
        // Missing: the default without trailing spaces, cut like a value; a blank default and
        // the default for an empty value come back as given.
        QCOMPARE(ReadIniValue(Path(), "S", "X", " D \t  "), " D \t");
        QCOMPARE(ReadIniValue(Path(), "S", "X", "   "), "   ");
        QCOMPARE(ReadIniValue(Path(), "S", "X", QString(130, 'd')), QString(126, 'd'));
        QCOMPARE(ReadIniValue(Path(), "S", "M", "COM5  "), "COM5  ");
    }

    void write_data() { AddRows(kWrites, std::size(kWrites)); }
    void write() {
        QFETCH(const Case*, row);
        Reset(row->before);
        QVERIFY(WriteIniValue("S", "K", "v", Path()));
        QCOMPARE(FileBytes(), Bytes(row->expected));
        // The temporary file of the replace is gone.
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Kestrum.ini"});
    }

    void writeNamesAndValues() {
        Reset(nullptr);
        QVERIFY(WriteIniValue(" PATHS\t", " P1 ", "C:\\P1", Path()));
        QVERIFY(WriteIniValue("PATHS", "P2", "", Path()));
        QVERIFY(WriteIniValue("PATHS", "P3", "  \"a\" ;b  ", Path()));
        QVERIFY(WriteIniValue("\u00C4", "K", "\u00E9t\u00E9", Path()));
        QVERIFY(WriteIniValue("\u00E4", "L", "1", Path()));
        QVERIFY(WriteIniValue("paths", "p2", "C:\\P2", Path()));
        QCOMPARE(FileBytes(), QByteArray("[PATHS]\r\nP1=C:\\P1\r\nP2=C:\\P2\r\nP3=  \"a\" ;b  \r\n"
                                         "[\xC4]\r\nK=\xE9t\xE9\r\nL=1\r\n"));
        QCOMPARE(ReadIniValue(Path(), "PATHS", "P3", {}), "\"a\" ;b");
        Reset("[PATHS]\nP1=D:\\X\n");  // no cache: another program's change is seen
        QCOMPARE(ReadIniValue(Path(), "PATHS", "P1", {}), "D:\\X");
    }

    void lineBreaksAreRefused_data() {
        QTest::addColumn<QStringList>("call");  // section, key, value
        QTest::newRow("CR LF in value") << QStringList{"S", "K", "a\r\nb"};
        QTest::newRow("LF in key") << QStringList{"S", "K\n", "v"};
        QTest::newRow("CR in section") << QStringList{"S\r", "K", "v"};
        QTest::newRow("NUL in value") << QStringList{"S", "K", QString(QChar(0))};
    }
    void lineBreaksAreRefused() {
        QFETCH(QStringList, call);
        for (const char* before : {"[S]\r\nK=1\r\n", static_cast<const char*>(nullptr)}) {
            Reset(before);
            QVERIFY(!WriteIniValue(call[0], call[1], call[2], Path()));
            QCOMPARE(FileBytes(), Bytes(before));
        }
    }

    void writeReplacesFileWhole() {
        Reset("[S]\r\nK=old\r\n");
        QFile reader(Path());
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QVERIFY(WriteIniValue("S", "K", "new", Path()));
        // Replaced, not rewritten in place: a reader of the old file still has all of it.
        QCOMPARE(reader.readAll(), QByteArray("[S]\r\nK=old\r\n"));
        QCOMPARE(FileBytes(), QByteArray("[S]\r\nK=new\r\n"));
        QVERIFY(!WriteIniValue("S", "K", "v", dir_.filePath("nowhere/Kestrum.ini")));
        QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("nowhere"))));
    }

    void windowsPathTextFindsTheFile() {
        Reset("[S]\r\nK=1\r\n");
        const QString upper = QDir::toNativeSeparators(dir_.path()).toUpper() + "\\KESTRUM.INI";
        QCOMPARE(ReadIniValue(upper, "S", "K", {}), "1");
        QVERIFY(WriteIniValue("S", "K", "2", upper));
        QCOMPARE(FileBytes(), QByteArray("[S]\r\nK=2\r\n"));
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{"Kestrum.ini"});
    }

    void wholeSections() {
        const IniText text(
            "X=0\r\n[N1]\r\nA = \"1\"\r\n;B=2\r\na=3\r\nC=\r\n[n2]\r\n[n1]\r\nD=4\r\n");
        QCOMPARE(text.SectionNames(), (QStringList{"N1", "n2"}));
        QCOMPARE(text.SectionEntries("n1"),
                 (QList<QPair<QString, QString>>{{"A", "1"}, {"C", ""}}));
        QVERIFY(text.SectionEntries("N3").isEmpty());
    }
};

KESTRUM_TEST(TestIniFile)
#include "tst_inifile.moc"
