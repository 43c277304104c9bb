// Settings and DNCAdmin files must read and change exactly as the Windows private-profile
// calls read and change them: whole files are compared byte for byte.

#include "app/ini_text.h"
#include "app/inifile.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kMissing("<no file>");

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : kMissing;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

}  // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path(const QString& name = QStringLiteral("Kestrum.ini")) const {
        return dir_.filePath(name);
    }
    void Reset(const QByteArray& bytes) {
        QFile::remove(Path());
        if (bytes != kMissing) {
            WriteBytes(Path(), bytes);
        }
    }

private Q_SLOTS:
    void read_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("defaultValue");
        QTest::addColumn<QString>("expected");

        const QString s = QStringLiteral("S");
        const QString k = QStringLiteral("K");
        const QString d = QStringLiteral("DEF");
        const QByteArray x126(126, 'x');
        QTest::newRow("names ignore case") << QByteArray("[Sec]\r\nKey=Value\r\n") << "SEC"
                                           << "kEY" << d << "Value";
        QTest::newRow("LF only") << QByteArray("[S]\nA=1\nK=2\n") << s << k << d << "2";
        QTest::newRow("CR only") << QByteArray("[S]\rA=1\rK=2") << s << k << d << "2";
        QTest::newRow("LF CR is two breaks") << QByteArray("[S]\n\rK=3\n\r") << s << k << d << "3";
        QTest::newRow("blanks and tabs trimmed")
            << QByteArray("[S]\r\n \tK \t=  spaced  value \t\r\n") << s << k << d
            << "spaced  value";
        QTest::newRow("blanks around header")
            << QByteArray("  [  S  ]  \r\nK=v\r\n") << s << k << d << "v";
        QTest::newRow("names passed in trimmed") << QByteArray("[S]\r\nK=v\r\n") << "  S "
                                                 << " K  " << d << "v";
        QTest::newRow("inner blanks of names")
            << QByteArray("[My Sec]\r\nMy Key = v\r\n") << "my sec"
            << "MY KEY" << d << "v";
        QTest::newRow("double quotes")
            << QByteArray("[S]\r\nK=\"  q  \"\r\n") << s << k << d << "  q  ";
        QTest::newRow("single quotes") << QByteArray("[S]\r\nK= 'q' \r\n") << s << k << d << "q";
        QTest::newRow("mismatched quotes")
            << QByteArray("[S]\r\nK=\"q'\r\n") << s << k << d << "\"q'";
        QTest::newRow("one quote stays") << QByteArray("[S]\r\nK=\"\r\n") << s << k << d << "\"";
        QTest::newRow("empty quotes give default")
            << QByteArray("[S]\r\nK=\"\"\r\n") << s << k << d << d;
        QTest::newRow("only outer pair")
            << QByteArray("[S]\r\nK=\"\"q\"\"\r\n") << s << k << d << "\"q\"";
        QTest::newRow("comment is no key")
            << QByteArray("[S]\r\n  ;K=1\r\nK=2\r\n") << s << k << d << "2";
        QTest::newRow("commented key only") << QByteArray("[S]\r\n;K=1\r\n") << s << k << d << d;
        QTest::newRow("hash starts a key")
            << QByteArray("[S]\r\n#K=1\r\n") << s << "#K" << d << "1";
        QTest::newRow("semicolon inside value")
            << QByteArray("[S]\r\nK=a ;b #c\r\n") << s << k << d << "a ;b #c";
        QTest::newRow("equals inside value")
            << QByteArray("[S]\r\nK=a=b\r\n") << s << k << d << "a=b";
        QTest::newRow("text after bracket ignored")
            << QByteArray("[S] rest]\r\nK=v\r\n") << s << k << d << "v";
        QTest::newRow("header without bracket")
            << QByteArray("[S x  \r\nK=v\r\n") << "S x" << k << d << "v";
        QTest::newRow("before first section unreadable")
            << QByteArray("K=early\r\n[S]\r\n") << s << k << d << d;
        QTest::newRow("line without equals") << QByteArray("[S]\r\nK\r\n") << s << k << d << d;
        QTest::newRow("first key wins")
            << QByteArray("[S]\r\nK=1\r\nk=2\r\n") << s << k << d << "1";
        QTest::newRow("first section copy only")
            << QByteArray("[S]\r\nA=1\r\n[T]\r\n[s]\r\nK=2\r\n") << s << k << d << d;
        QTest::newRow("key of another section")
            << QByteArray("[S]\r\n[T]\r\nK=1\r\n") << s << k << d << d;
        QTest::newRow("126 kept") << QByteArray("[S]\r\nK=" + x126 + "\r\n") << s << k << d
                                  << QString::fromLatin1(x126);
        QTest::newRow("long value cut") << QByteArray("[S]\r\nK=" + x126 + "yz\r\n") << s << k << d
                                        << QString::fromLatin1(x126);
        QTest::newRow("quotes off before cut") << QByteArray("[S]\r\nK=\"" + x126 + "yz\"\r\n") << s
                                               << k << d << QString::fromLatin1(x126);
        QTest::newRow("missing file") << kMissing << s << k << d << d;
        QTest::newRow("missing section") << QByteArray("[T]\r\nK=1\r\n") << s << k << d << d;
        QTest::newRow("missing key") << QByteArray("[S]\r\nA=1\r\n") << s << k << d << d;
        QTest::newRow("missing: default loses trailing spaces")
            << QByteArray("[S]\r\n") << s << k << " D \t  "
            << " D \t";
        QTest::newRow("missing: blank default kept") << kMissing << s << k << "   "
                                                     << "   ";
        QTest::newRow("missing: long default cut")
            << kMissing << s << k << QString(130, QLatin1Char('d')) << QString(126, 'd');
        QTest::newRow("empty value gives default") << QByteArray("[BTS]\r\nBTSCOM=\r\n") << "BTS"
                                                   << "BTSCOM"
                                                   << "COM5"
                                                   << "COM5";
        QTest::newRow("blank value gives default as given")
            << QByteArray("[S]\r\nK=  \t\r\n") << s << k << "D  "
            << "D  ";
        QTest::newRow("Latin-1") << QByteArray("[\xDCnter]\r\nK=\xE9t\xE9\r\n")
                                 << QStringLiteral("\u00FCNTER") << k << d
                                 << QStringLiteral("\u00E9t\u00E9");
        QTest::newRow("byte-order mark is text")
            << QByteArray("\xEF\xBB\xBF[S]\r\nK=v\r\n") << s << k << d << d;
        QTest::newRow("byte-order mark line")
            << QByteArray("\xEF\xBB\xBF\r\n[S]\r\nK=v\r\n") << s << k << d << "v";
        QTest::newRow("empty file") << QByteArray() << s << k << d << d;
    }

    void read() {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, defaultValue);
        QFETCH(QString, expected);
        Reset(file);
        QCOMPARE(ReadIniValue(Path(), section, key, defaultValue), expected);
    }

    void write_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("written");

        const QString s = QStringLiteral("S");
        const QString k = QStringLiteral("K");
        const QString v = QStringLiteral("v");
        QTest::newRow("new file") << kMissing << s << k << v << QByteArray("[S]\r\nK=v\r\n")
                                  << true;
        QTest::newRow("empty file")
            << QByteArray() << s << k << v << QByteArray("[S]\r\nK=v\r\n") << true;
        QTest::newRow("names trimmed") << kMissing << " S\t"
                                       << "  K " << v << QByteArray("[S]\r\nK=v\r\n") << true;
        QTest::newRow("section appended") << QByteArray("[A]\r\nX=1\r\n") << s << k << v
                                          << QByteArray("[A]\r\nX=1\r\n[S]\r\nK=v\r\n") << true;
        QTest::newRow("section appended after break added")
            << QByteArray("[A]\r\nX=1") << s << k << v << QByteArray("[A]\r\nX=1\r\n[S]\r\nK=v\r\n")
            << true;
        QTest::newRow("section appended to LF file")
            << QByteArray("[A]\nX=1\n") << s << k << v << QByteArray("[A]\nX=1\n[S]\r\nK=v\r\n")
            << true;
        QTest::newRow("section appended after trailing comment")
            << QByteArray("[A]\r\nX=1\r\n\r\n; end\r\n") << s << k << v
            << QByteArray("[A]\r\nX=1\r\n\r\n; end\r\n[S]\r\nK=v\r\n") << true;
        QTest::newRow("key after last key")
            << QByteArray("[S]\r\nA=1\r\n; c\r\nB=2\r\n\r\n; tail\r\n[T]\r\nZ=9\r\n") << s << k << v
            << QByteArray("[S]\r\nA=1\r\n; c\r\nB=2\r\nK=v\r\n\r\n; tail\r\n[T]\r\nZ=9\r\n")
            << true;
        QTest::newRow("key after last key, not after odd lines")
            << QByteArray("[S]\r\nA=1\r\njunk\r\n") << s << k << v
            << QByteArray("[S]\r\nA=1\r\nK=v\r\njunk\r\n") << true;
        QTest::newRow("key into empty section") << QByteArray("[S]\r\n\r\n[T]\r\n") << s << k << v
                                                << QByteArray("[S]\r\nK=v\r\n\r\n[T]\r\n") << true;
        QTest::newRow("commented key is not the key")
            << QByteArray("[S]\r\n;K=1\r\n") << s << k << v << QByteArray("[S]\r\nK=v\r\n;K=1\r\n")
            << true;
        QTest::newRow("key after header without break")
            << QByteArray("[S]") << s << k << v << QByteArray("[S]\r\nK=v\r\n") << true;
        QTest::newRow("key after last line without break")
            << QByteArray("[S]\r\nA=1") << s << k << v << QByteArray("[S]\r\nA=1\r\nK=v\r\n")
            << true;
        QTest::newRow("key into LF file") << QByteArray("[S]\nA=1\n[T]\n") << s << k << v
                                          << QByteArray("[S]\nA=1\nK=v\r\n[T]\n") << true;
        QTest::newRow("key into CR file")
            << QByteArray("[S]\rA=1\r") << s << k << v << QByteArray("[S]\rA=1\rK=v\r\n") << true;
        QTest::newRow("key into first copy of section")
            << QByteArray("[S]\r\nA=1\r\n[T]\r\n[S]\r\nB=2\r\n") << s << k << v
            << QByteArray("[S]\r\nA=1\r\nK=v\r\n[T]\r\n[S]\r\nB=2\r\n") << true;
        QTest::newRow("header spelling kept") << QByteArray("  [ Sec ] x\r\n") << "SEC" << k << v
                                              << QByteArray("  [ Sec ] x\r\nK=v\r\n") << true;
        QTest::newRow("key rewritten in place")
            << QByteArray("[S]\r\n  Key \t=  old ; note\r\nB=2\r\n") << s << "KEY"
            << "new" << QByteArray("[S]\r\nKey=new\r\nB=2\r\n") << true;
        QTest::newRow("rewritten key keeps LF") << QByteArray("[S]\nK=1\nB=2\n") << s << k << v
                                                << QByteArray("[S]\nK=v\nB=2\n") << true;
        QTest::newRow("rewritten last line without break")
            << QByteArray("[S]\r\nK=1") << s << k << v << QByteArray("[S]\r\nK=v") << true;
        QTest::newRow("first duplicate changed")
            << QByteArray("[S]\r\nK=1\r\nk=2\r\n") << s << k << v
            << QByteArray("[S]\r\nK=v\r\nk=2\r\n") << true;
        QTest::newRow("value as given") << QByteArray("[S]\r\nK=1\r\n") << s << k << "  \"a\" ;b  "
                                        << QByteArray("[S]\r\nK=  \"a\" ;b  \r\n") << true;
        QTest::newRow("empty value")
            << QByteArray("[S]\r\nK=1\r\n") << s << k << "" << QByteArray("[S]\r\nK=\r\n") << true;
        QTest::newRow("same value")
            << QByteArray("[S]\nK = v\n") << s << k << v << QByteArray("[S]\nK=v\n") << true;
        QTest::newRow("text before first section kept")
            << QByteArray("; top\r\nK=early\r\n[S]\r\n") << s << k << v
            << QByteArray("; top\r\nK=early\r\n[S]\r\nK=v\r\n") << true;
        QTest::newRow("Latin-1 written")
            << kMissing << QStringLiteral("\u00C4") << k << QStringLiteral("\u00E9t\u00E9")
            << QByteArray("[\xC4]\r\nK=\xE9t\xE9\r\n") << true;
        QTest::newRow("Latin-1 names match")
            << QByteArray("[\xC4]\r\nK=1\r\n") << QStringLiteral("\u00E4") << k << v
            << QByteArray("[\xC4]\r\nK=v\r\n") << true;
        QTest::newRow("byte-order mark line is no header")
            << QByteArray("\xEF\xBB\xBF[S]\r\n") << s << k << v
            << QByteArray("\xEF\xBB\xBF[S]\r\n[S]\r\nK=v\r\n") << true;
        const QByteArray kept("[S]\r\nK=1\r\n");
        QTest::newRow("CR LF in value refused") << kept << s << k << "a\r\nb" << kept << false;
        QTest::newRow("LF in key refused") << kept << s << "K\n" << v << kept << false;
        QTest::newRow("CR in section refused") << kept << "S\r" << k << v << kept << false;
        QTest::newRow("NUL in value refused")
            << kept << s << k << QString(QChar(0)) << kept << false;
        QTest::newRow("refused write creates nothing")
            << kMissing << s << k << "a\nb" << kMissing << false;
    }

    void write() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QFETCH(bool, written);
        Reset(before);
        QCOMPARE(WriteIniValue(section, key, value, Path()), written);
        QCOMPARE(ReadBytes(Path()), after);
        // Only the file itself: the temporary file of the replace is gone.
        const QStringList expected =
            after == kMissing ? QStringList() : QStringList{QStringLiteral("Kestrum.ini")};
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), expected);
    }

    void writesKeepCallOrderAndReadBack() {
        Reset(kMissing);
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(WriteIniValue(QStringLiteral("PATHS"), QStringLiteral("DNCADMINPATH%1").arg(i),
                                  QStringLiteral("C:\\P%1").arg(i), Path()));
        }
        QVERIFY(WriteIniValue(QStringLiteral("BTS"), QStringLiteral("BTSCOM"),
                              QStringLiteral("COM7"), Path()));
        QVERIFY(WriteIniValue(QStringLiteral("paths"), QStringLiteral("dncadminpath2"),
                              QStringLiteral("  D:\\X  "), Path()));
        QCOMPARE(ReadBytes(Path()), QByteArray("[PATHS]\r\nDNCADMINPATH1=C:\\P1\r\n"
                                               "DNCADMINPATH2=  D:\\X  \r\n"
                                               "DNCADMINPATH3=C:\\P3\r\n[BTS]\r\nBTSCOM=COM7\r\n"));
        QCOMPARE(ReadIniValue(Path(), QStringLiteral("PATHS"), QStringLiteral("DNCADMINPATH2"),
                              QString()),
                 QStringLiteral("D:\\X"));
        // No cache: another program's change is seen at the next read.
        WriteBytes(Path(), "[BTS]\nBTSCOM=COM9\n");
        QCOMPARE(ReadIniValue(Path(), QStringLiteral("BTS"), QStringLiteral("BTSCOM"), QString()),
                 QStringLiteral("COM9"));
    }

    void writeReplacesFileWhole() {
        Reset("[S]\r\nK=old\r\n");
        QFile reader(Path());
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QVERIFY(
            WriteIniValue(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new"), Path()));
        // The old file was replaced, not rewritten in place: an open reader still sees it.
        QCOMPARE(reader.readAll(), QByteArray("[S]\r\nK=old\r\n"));
        QCOMPARE(ReadBytes(Path()), QByteArray("[S]\r\nK=new\r\n"));
    }

    void missingFolderCreatesNothing() {
        const QString path = dir_.filePath(QStringLiteral("nowhere/Kestrum.ini"));
        QVERIFY(
            !WriteIniValue(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"), path));
        QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("nowhere"))));
        QCOMPARE(ReadIniValue(path, QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("d")),
                 QStringLiteral("d"));
    }

    void windowsPathTextFindsTheFile() {
        // The settings hold Windows path text; the file is found whatever the letter case.
        Reset("[S]\r\nK=1\r\n");
        const QString upper =
            QDir::toNativeSeparators(dir_.path()).toUpper() + QStringLiteral("\\KESTRUM.INI");
        QCOMPARE(ReadIniValue(upper, QStringLiteral("S"), QStringLiteral("K"), QString()),
                 QStringLiteral("1"));
        QVERIFY(
            WriteIniValue(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("2"), upper));
        QCOMPARE(ReadBytes(Path()), QByteArray("[S]\r\nK=2\r\n"));
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{"Kestrum.ini"});
    }

    void wholeSections() {
        const IniText text(
            QByteArray("X=0\r\n[NODE01]\r\nA = \"1\"\r\n;B=2\r\na=3\r\nC=\r\n[Node02]\r\n"
                       "[node01]\r\nD=4\r\n[ Other ]\r\n"));
        QCOMPARE(text.SectionNames(), (QStringList{"NODE01", "Node02", "Other"}));
        const QList<QPair<QString, QString>> entries =
            text.SectionEntries(QStringLiteral("node01"));
        QCOMPARE(entries, (QList<QPair<QString, QString>>{{"A", "1"}, {"C", ""}}));
        QVERIFY(text.SectionEntries(QStringLiteral("NODE03")).isEmpty());
        QVERIFY(!ReadIniText(dir_.filePath(QStringLiteral("none.ini"))));
    }
};

KESTRUM_TEST(TestIniFile)
#include "tst_inifile.moc"
