// Settings and DNCAdmin files must read and change exactly as the Windows private-profile
// calls read and change them: whole files are compared byte for byte. Most cases look up
// key K of section S with default D, or write K=v into section S; nullptr is "no file".

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
    {"other section's key",      "[S]\r\n[T]\r\nK=1\r\n", "D"},
    {"missing file",             nullptr, "D"},
    {"empty file",               "", "D"},
    {"empty value",              "[S]\r\nK=\r\n", "D"},
    {"byte-order mark is text",  "\xEF\xBB\xBF[S]\r\nK=v\r\n", "D"},
    {"byte-order mark line",     "\xEF\xBB\xBF\r\n[S]\r\nK=v\r\n", "v"},
};

const Case kWrites[] = {
    {"new file",                      nullptr, "[S]\r\nK=v\r\n"},
    {"empty file",                    "", "[S]\r\nK=v\r\n"},
    {"section appended",              "[A]\r\nX=1\r\n", "[A]\r\nX=1\r\n[S]\r\nK=v\r\n"},
    {"break added before section",    "[A]\r\nX=1", "[A]\r\nX=1\r\n[S]\r\nK=v\r\n"},
    {"after trailing comment",        "[A]\r\n\r\n;e\r\n", "[A]\r\n\r\n;e\r\n[S]\r\nK=v\r\n"},
    {"key after last key",            "[S]\r\nA=1\r\n;c\r\nB=2\r\n\r\n;t\r\n[T]\r\n",
                                      "[S]\r\nA=1\r\n;c\r\nB=2\r\nK=v\r\n\r\n;t\r\n[T]\r\n"},
    {"odd lines stay after",          "[S]\r\nA=1\r\njunk\r\n", "[S]\r\nA=1\r\nK=v\r\njunk\r\n"},
    {"commented key is no key",       "[S]\r\n;K=1\r\n", "[S]\r\nK=v\r\n;K=1\r\n"},
    {"header without break",          "[S]", "[S]\r\nK=v\r\n"},
    {"last key without break",        "[S]\r\nA=1", "[S]\r\nA=1\r\nK=v\r\n"},
    {"LF file",                       "[S]\nA=1\n[T]\n", "[S]\nA=1\nK=v\r\n[T]\n"},
    {"CR file",                       "[S]\rA=1\r", "[S]\rA=1\rK=v\r\n"},
    {"first copy of section",         "[S]\r\n[T]\r\n[S]\r\nB=2\r\n",
                                      "[S]\r\nK=v\r\n[T]\r\n[S]\r\nB=2\r\n"},
    {"header kept as written",        " [ s ] x\r\n", " [ s ] x\r\nK=v\r\n"},
    {"key rewritten in place",        "[S]\r\n  k \t= old ;n\r\nB=2\r\n", "[S]\r\nk=v\r\nB=2\r\n"},
    {"rewritten key keeps LF",        "[S]\nK=1\nB=2\n", "[S]\nK=v\nB=2\n"},
    {"rewritten last line",           "[S]\r\nK=1", "[S]\r\nK=v"},
    {"first duplicate changed",       "[S]\r\nK=1\r\nK=2\r\n", "[S]\r\nK=v\r\nK=2\r\n"},
    {"text before sections kept",     ";top\r\nK=0\r\n[S]\r\n", ";top\r\nK=0\r\n[S]\r\nK=v\r\n"},
    {"byte-order mark is no header",  "\xEF\xBB\xBF[S]\r\n", "\xEF\xBB\xBF[S]\r\n[S]\r\nK=v\r\n"},
};
// clang-format on

QByteArray Bytes(const char* text) {
    return text ? QByteArray(text) : QByteArray("<no file>");
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
    void read_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kReads)); ++i) {
            QTest::newRow(kReads[i].name) << i;
        }
    }

    void read() {
        QFETCH(int, index);
        Reset(kReads[index].before);
        QCOMPARE(
            ReadIniValue(Path(), QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("D")),
            QString::fromLatin1(kReads[index].expected));
    }

    void readNamesValuesAndDefaults() {
        const QString s = QStringLiteral("S");
        const QString k = QStringLiteral("K");
        const QByteArray x126(126, 'x');
        const QByteArray file = "[S]\r\nK=\"" + x126 +
                                "yz\"\r\nL=\xE9t\xE9\r\nM= \r\n"
                                "[\xDCnter]\r\nMy Key = 1\r\n";
        Reset(file.constData());
        // Cut to 126 after the quotes are gone.
        QCOMPARE(ReadIniValue(Path(), s, k, {}), QString::fromLatin1(x126));
        QCOMPARE(ReadIniValue(Path(), s, "L", {}), QStringLiteral("\u00E9t\u00E9"));
        QCOMPARE(ReadIniValue(Path(), QStringLiteral(" \u00FCNTER\t"), " my key ", {}), "1");
        // Missing: the default without trailing spaces (cut like a value); a blank default
        // and the default for an empty value come back as given.
        QCOMPARE(ReadIniValue(Path(), s, "X", " D \t  "), " D \t");
        QCOMPARE(ReadIniValue(Path(), s, "X", "   "), "   ");
        QCOMPARE(ReadIniValue(Path(), s, "X", QString(130, 'd')), QString(126, 'd'));
        QCOMPARE(ReadIniValue(Path(), s, "M", "COM5  "), "COM5  ");
    }

    void write_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kWrites)); ++i) {
            QTest::newRow(kWrites[i].name) << i;
        }
    }

    void write() {
        QFETCH(int, index);
        Reset(kWrites[index].before);
        QVERIFY(
            WriteIniValue(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"), Path()));
        QCOMPARE(FileBytes(), Bytes(kWrites[index].expected));
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
        // No cache: another program's change is seen at the next read.
        Reset("[PATHS]\nP1=D:\\X\n");
        QCOMPARE(ReadIniValue(Path(), "PATHS", "P1", {}), "D:\\X");
    }

    void lineBreaksAreRefused_data() {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("CR LF in value") << "S"
                                        << "K"
                                        << "a\r\nb";
        QTest::newRow("LF in key") << "S"
                                   << "K\n"
                                   << "v";
        QTest::newRow("CR in section") << "S\r"
                                       << "K"
                                       << "v";
        QTest::newRow("NUL in value") << "S"
                                      << "K" << QString(QChar(0));
    }

    void lineBreaksAreRefused() {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        Reset("[S]\r\nK=1\r\n");
        QVERIFY(!WriteIniValue(section, key, value, Path()));
        QCOMPARE(FileBytes(), QByteArray("[S]\r\nK=1\r\n"));
        Reset(nullptr);
        QVERIFY(!WriteIniValue(section, key, value, Path()));
        QVERIFY(!QFileInfo::exists(Path()));
    }

    void writeReplacesFileWhole() {
        Reset("[S]\r\nK=old\r\n");
        QFile reader(Path());
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QVERIFY(WriteIniValue("S", "K", "new", Path()));
        // Replaced, not rewritten in place: a reader of the old file still has all of it.
        QCOMPARE(reader.readAll(), QByteArray("[S]\r\nK=old\r\n"));
        QCOMPARE(FileBytes(), QByteArray("[S]\r\nK=new\r\n"));
        const QString nowhere = dir_.filePath(QStringLiteral("nowhere/Kestrum.ini"));
        QVERIFY(!WriteIniValue("S", "K", "v", nowhere));
        QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("nowhere"))));
    }

    void windowsPathTextFindsTheFile() {
        Reset("[S]\r\nK=1\r\n");
        const QString upper =
            QDir::toNativeSeparators(dir_.path()).toUpper() + QStringLiteral("\\KESTRUM.INI");
        QCOMPARE(ReadIniValue(upper, "S", "K", {}), "1");
        QVERIFY(WriteIniValue("S", "K", "2", upper));
        QCOMPARE(FileBytes(), QByteArray("[S]\r\nK=2\r\n"));
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{"Kestrum.ini"});
    }

    void wholeSections() {
        const IniText text(
            QByteArray("X=0\r\n[N1]\r\nA = \"1\"\r\n;B=2\r\na=3\r\nC=\r\n[n2]\r\n"
                       "[n1]\r\nD=4\r\n"));
        QCOMPARE(text.SectionNames(), (QStringList{"N1", "n2"}));
        QCOMPARE(text.SectionEntries("n1"),
                 (QList<QPair<QString, QString>>{{"A", "1"}, {"C", ""}}));
        QVERIFY(text.SectionEntries("N3").isEmpty());
    }
};

KESTRUM_TEST(TestIniFile)
#include "tst_inifile.moc"
