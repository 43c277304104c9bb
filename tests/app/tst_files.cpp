// Settings files read and written as the Windows private-profile calls do it, and the
// whole-file text helpers: what ends up on disk, byte for byte, and what the operator is told.

#include "base/atomic_file.h"
#include "base/clock.h"
#include "base/ini_text.h"
#include "base/inifile.h"
#include "base/textfile.h"
#include "tests/support/fast_clock.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_WIN
#include <QProcess>
#include <QScopeGuard>

#include <utility>

#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

struct Case {
    const char* name;
    const char* before;
    const char* read;   // key K of section S, default D
    const char* after;  // the file once K=w is written into S
};

// clang-format off
const Case kCases[] = {
    {"names ignore case",         "[s]\r\nk=Value\r\n", "Value", "[s]\r\nk=w\r\n"},
    {"LF only",                   "[S]\nA=1\nK=2\n", "2", "[S]\nA=1\nK=w\n"},
    {"blanks and tabs trimmed",   "[S]\r\n \tK \t=  a  b \t\r\n", "a  b", "[S]\r\nK=w\r\n"},
    {"vertical tabs trimmed",     "[S]\r\n\vK\v=\va\vb\v\r\n", "a\vb", "[S]\r\nK=w\r\n"},
    {"vertical tabs at header",   "\v[\vS\v]\r\n\v;K=1\r\nK=v\r\n", "v",
                                  "\v[\vS\v]\r\n\v;K=1\r\nK=w\r\n"},
    {"blanks around header",      "  [  S  ]  \r\nK=v\r\n", "v", "  [  S  ]  \r\nK=w\r\n"},
    {"double quotes",             "[S]\r\nK= \"  q  \" \r\n", "  q  ", "[S]\r\nK=w\r\n"},
    {"mismatched quotes",         "[S]\r\nK=\"q'\r\n", "\"q'", "[S]\r\nK=w\r\n"},
    {"empty quotes",              "[S]\r\nK=\"\"\r\n", "D", "[S]\r\nK=w\r\n"},
    {"comment is no key",         "[S]\r\n  ;K=1\r\nK=2\r\n", "2", "[S]\r\n  ;K=1\r\nK=w\r\n"},
    {"commented key only",        "[S]\r\n;K=1\r\n", "D", "[S]\r\nK=w\r\n;K=1\r\n"},
    {"semicolon, hash in value",  "[S]\r\nK=a ;b #c\r\n", "a ;b #c", "[S]\r\nK=w\r\n"},
    {"text after bracket",        "[S] rest]\r\nK=v\r\n", "v", "[S] rest]\r\nK=w\r\n"},
    {"header without bracket",    "[ S  \r\nK=v\r\n", "v", "[ S  \r\nK=w\r\n"},
    {"header kept as written",    " [ s ] x\r\n", "D", " [ s ] x\r\nK=w\r\n"},
    {"before first section",      ";top\r\nK=0\r\n[S]\r\n", "D", ";top\r\nK=0\r\n[S]\r\nK=w\r\n"},
    {"line without equals",       "[S]\r\nK\r\n", "D", "[S]\r\nK=w\r\nK\r\n"},
    {"first key wins",            "[S]\r\nK=1\r\nk=2\r\n", "1", "[S]\r\nK=w\r\nk=2\r\n"},
    {"key spelling kept",         "[S]\r\n  k \t= o\r\nB=2\r\n", "o", "[S]\r\nk=w\r\nB=2\r\n"},
    {"first section copy only",   "[S]\r\nA=1\r\n[T]\r\n[s]\r\nK=2\r\n", "D",
                                  "[S]\r\nA=1\r\nK=w\r\n[T]\r\n[s]\r\nK=2\r\n"},
    {"missing file",              nullptr, "D", "[S]\r\nK=w\r\n"},
    {"empty value",               "[S]\r\nK=\r\n", "D", "[S]\r\nK=w\r\n"},
    {"byte-order mark is text",   "\xEF\xBB\xBF[S]\r\nK=v\r\n", "D",
                                  "\xEF\xBB\xBF[S]\r\nK=v\r\n[S]\r\nK=w\r\n"},
    {"break before new section",  "[A]\r\nX=1", "D", "[A]\r\nX=1\r\n[S]\r\nK=w\r\n"},
    {"new section after comment", "[A]\r\n\r\n;e\r\n", "D", "[A]\r\n\r\n;e\r\n[S]\r\nK=w\r\n"},
    {"new key after last key",    "[S]\r\nA=1\r\n;c\r\nB=2\r\njunk\r\n\r\n;t\r\n[T]\r\n", "D",
                                  "[S]\r\nA=1\r\n;c\r\nB=2\r\nK=w\r\njunk\r\n\r\n;t\r\n[T]\r\n"},
    {"last key without break",    "[S]\r\nA=1", "D", "[S]\r\nA=1\r\nK=w\r\n"},
    {"new key in LF file",        "[S]\nA=1\n[T]\n", "D", "[S]\nA=1\nK=w\r\n[T]\n"},
};
// clang-format on

// A file's bytes, "<no file>" when there is none; and the other way: null bytes remove it.
QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}
void PutFile(const QString& path, const QByteArray& bytes) {
    QFile::remove(path);
    QFile file(path);
    QVERIFY(bytes.isNull() ||
            (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()));
}
// A file as a UTF-16LE file holds this text: the byte-order mark, then two bytes a unit.
QByteArray Utf16(const QString& text) {
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    return bytes;
}

}  // namespace

class TestFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString Path(const char* name = "Kestrum.ini") const { return dir_.filePath(name); }

private Q_SLOTS:
    void readAndWrite_data() {
        QTest::addColumn<const Case*>("row");
        for (const Case& row : kCases) {
            QTest::newRow(row.name) << &row;
        }
    }
    void readAndWrite() {
        QFETCH(const Case*, row);
        PutFile(Path(), row->before);
        QCOMPARE(ReadIniValue(Path(), "S", "K", "D"), QString::fromLatin1(row->read));
        QVERIFY(WriteIniValue("S", "K", "w", Path()));
        QCOMPARE(FileBytes(Path()), QByteArray(row->after));
    }

    // Names, values and defaults read and written; what may not be written; whole sections.
    void namesValuesAndDefaults() {
        const QByteArray x126(126, 'x');
        PutFile(Path(), "[S]\r\nK=\"" + x126 +
                            "yz\"\r\nL=\xE9t\xE9\r\nM= \r\n[\xDCnter]\r\nMy Key = 1\r\n");
        QCOMPARE(ReadIniValue(Path(), "S", "K", {}), QString::fromLatin1(x126));  // quotes first
        QCOMPARE(ReadIniValue(Path(), "S", "L", {}), QStringLiteral("\u00E9t\u00E9"));
        QCOMPARE(ReadIniValue(Path(), QStringLiteral(" \u00FCNTER "), " my key ", {}), "1");
        // Names passed in lose their spaces only: a tab is part of the name.
        QCOMPARE(ReadIniValue(Path(), QStringLiteral("\u00FCNTER\t"), "My Key", "D"), "D");
        QCOMPARE(ReadIniValue(Path(), QStringLiteral("\u00DCnter"), "\tMy Key", "D"), "D");
        // Missing: the default without trailing spaces, cut like a value; a blank default and
        // the default for an empty value come back as given.
        QCOMPARE(ReadIniValue(Path(), "S", "X", " D \t  "), " D \t");
        QCOMPARE(ReadIniValue(Path(), "S", "X", QString(130, 'd')), QString(126, 'd'));
        QCOMPARE(ReadIniValue(Path(), "S", "M", "COM5  "), "COM5  ");

        // Written names and values.
        PutFile(Path(), nullptr);
        QVERIFY(WriteIniValue(" PATHS ", " P1 ", "C:\\P1", Path()));
        QVERIFY(WriteIniValue("PATHS", "P2", "", Path()));
        QVERIFY(WriteIniValue("PATHS", "P3", "  \"a\" ;b  ", Path()));
        QVERIFY(WriteIniValue("\u00C4", "K", "\u00E9t\u00E9", Path()));
        QVERIFY(WriteIniValue("\u00E4", "L", "1", Path()));
        QVERIFY(WriteIniValue("paths", "p2", "C:\\P2", Path()));
        // A tab in a name passed in is part of it: "[PATHS]" is another section.
        QVERIFY(WriteIniValue("PATHS\t", "P1", "2", Path()));
        QCOMPARE(FileBytes(Path()),
                 QByteArray("[PATHS]\r\nP1=C:\\P1\r\nP2=C:\\P2\r\nP3=  \"a\" ;b  \r\n"
                            "[\xC4]\r\nK=\xE9t\xE9\r\nL=1\r\n[PATHS\t]\r\nP1=2\r\n"));
        // The file's own "[PATHS\t]" trims to "PATHS", which the first copy already is.
        QCOMPARE(ReadIniValue(Path(), "PATHS", "P1", {}), "C:\\P1");
        QCOMPARE(ReadIniValue(Path(), "PATHS\t", "P1", "D"), "D");

        // Line breaks and NUL are refused: CR LF in a value, LF in a key, CR in a section, NUL.
        for (const QStringList& call :
             {QStringList{"S", "K", "a\r\nb"}, QStringList{"S", "K\n", "v"},
              QStringList{"S\r", "K", "v"}, QStringList{"S", "K", QString(QChar(0))}}) {
            for (const char* before : {"[S]\r\nK=1\r\n", static_cast<const char*>(nullptr)}) {
                PutFile(Path(), before);
                QVERIFY2(!WriteIniValue(call[0], call[1], call[2], Path()),
                         qPrintable(call.join('|')));
                QCOMPARE(FileBytes(Path()), before ? QByteArray(before) : "<no file>");
            }
        }

        // Whole sections, as the DNCAdmin comparison reads them.
        const IniText text(
            "X=0\r\n[N1]\r\nA = \"1\"\r\n;B=2\r\na=3\r\nC=\r\n[n2]\r\n[n1]\r\nD=4\r\n");
        QCOMPARE(text.SectionNames(), (QStringList{"N1", "n2"}));
        QCOMPARE(text.SectionEntries("n1"),
                 (QList<QPair<QString, QString>>{{"A", "1"}, {"C", ""}}));
        QVERIFY(text.SectionEntries("N3").isEmpty());
    }

    // A file that starts with the UTF-16LE byte-order mark is read and written in UTF-16,
    // every other unit kept; names match without regard to case beyond Latin-1 too. A file
    // whose bytes could not be written back exactly is never rewritten.
    void unicodeFiles_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("call");  // section, read (key K, default D), value written
        QTest::addColumn<QByteArray>("after");  // the same as before: refused
        const QString euro130 = QString(130, QChar(0x20AC)), emoji = QStringLiteral("\U0001F600");
        const QString greek = QStringLiteral("[\u03A3\u0416]\r\nK=");
        const auto row = [](const char* name, const QString& before, const QStringList& call,
                            const QString& after) {
            QTest::newRow(name) << Utf16(before) << call << Utf16(after);
        };
        row("key replaced", "[S]\r\n K = v \r\n", {"S", "v", "w"}, "[S]\r\nK=w\r\n");
        row("section appended", "[A]\r\nX=1", {"S", "D", "w"}, "[A]\r\nX=1\r\n[S]\r\nK=w\r\n");
        row("mark only", "", {"S", "D", "w"}, "\r\n[S]\r\nK=w\r\n");
        row("beyond Latin-1", greek + "\u20AC1\r\n;\u4E2D\r\n",
            {"\u03C3\u0436", "\u20AC1", "\u2126\u00E9"}, greek + "\u2126\u00E9\r\n;\u4E2D\r\n");
        row("surrogate pair kept", "[S]\r\nK=" + emoji + "\r\nL=" + emoji + "\r\n",
            {"S", emoji, "w"}, "[S]\r\nK=w\r\nL=" + emoji + "\r\n");
        row("LF kept, new line CR LF", "[S]\nA=1\n[T]\n", {"S", "D", "w"},
            "[S]\nA=1\nK=w\r\n[T]\n");
        row("value cut at 126", "[S]\r\nK=" + euro130 + "\r\n", {"S", euro130.left(126), "w"},
            "[S]\r\nK=w\r\n");
        for (const auto& [name, bytes] :
             {std::pair{"odd byte refused", Utf16("[S]\r\nK=v\r\n") + 'x'},
              {"unpaired surrogate refused",
               Utf16(QStringLiteral("[S]\r\nK=v\r\nL=\xD83D\r\n"))}}) {
            QTest::newRow(name) << bytes << QStringList{"S", "v", "w"} << bytes;
        }
    }
    void unicodeFiles() {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, call);
        QFETCH(QByteArray, after);
        const bool refused = after == before;
        MessageRecorder messages;
        PutFile(Path(), before);
        QCOMPARE(ReadIniValue(Path(), call[0], "K", "D"), call[1]);
        QCOMPARE(WriteIniValue(call[0], "K", call[2], Path()), !refused);
        QCOMPARE(FileBytes(Path()), after);
        // The same write done in memory, as the DNCAdmin export builds its file.
        QCOMPARE(IniBytesWithValue(before, call[0], "K", call[2]).value_or("refused"),
                 refused ? QByteArray("refused") : after);
        QCOMPARE(ReadIniValue(Path(), call[0], "k", "D"), refused ? call[1] : call[2]);
        QCOMPARE(messages.Texts(), refused ? QStringList{"The Unicode file \"" + Path() +
                                                         "\" cannot be rewritten exactly; it "
                                                         "was left unchanged."}
                                           : QStringList());
        QVERIFY(!refused || messages.Last().icon == MsgIcon::Critical);
    }

    // A write that was killed leaves its temporary file; the next write to the same file
    // removes it, and nothing else: not a live writer's, not another file's, not a look-alike.
    // A write leaves no temporary file of its own, and replaces the file whole.
    void replaceAndTemporaryFiles() {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        // A process id that runs no process, and one that does (this one's parent; on
        // Windows a command interpreter waiting for a key).
        const QString dead = ".kestrum-tmp-" + QString::number(0x7FFFFFF0);
#ifdef Q_OS_WIN
        QProcess waiting;
        waiting.start(QStringLiteral("cmd.exe"), {"/c", "pause"});
        QVERIFY(waiting.waitForStarted());
        const auto stop = qScopeGuard([&waiting] {
            waiting.kill();
            waiting.waitForFinished();
        });
        const QString live = ".kestrum-tmp-" + QString::number(waiting.processId());
#else
        const QString live = ".kestrum-tmp-" + QString::number(::getppid());
#endif
        const QStringList left = {"Kestrum.ini" + dead + "-aB3xYz", "Notes.txt" + dead + "-Q1w2E3"};
        QStringList kept = {"Kestrum.ini" + live + "-aB3xYz",
                            "DNCAdmin.ini" + dead + "-aB3xYz",
                            "Kestrum.ini" + dead + "-aB3xY",
                            "Kestrum.ini" + dead + "-aB3xYz.bak",
                            "Kestrum.ini.XadKQF",
                            "xKestrum.ini" + dead + "-aB3xYz"};
        for (const QString& name : left + kept) {
            PutFile(dir.filePath(name), "x");
        }
        QVERIFY(WriteIniValue("S", "K", "v", dir.filePath("Kestrum.ini")));
        // The text-file helper writes through the same replace.
        TextFileRecord record{dir.filePath("Notes.txt"), "n", 0, false};
        WriteTextFile(record);
        kept << "Kestrum.ini"
             << "Notes.txt";
        kept.sort();
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);

        PutFile(Path(), "[S]\r\nK=old\r\n");
#ifdef Q_OS_WIN
        QVERIFY(WriteIniValue("S", "K", "new", Path()));  // a file held open: heldOpen()
#else
        QFile reader(Path());
        QVERIFY(reader.open(QIODevice::ReadOnly));
        QVERIFY(WriteIniValue("S", "K", "new", Path()));
        // Replaced, not rewritten in place: a reader of the old file still has all of it.
        QCOMPARE(reader.readAll(), QByteArray("[S]\r\nK=old\r\n"));
#endif
        // Windows path text finds the new file.
        const QString upper = QDir::toNativeSeparators(dir_.path()).toUpper() + "\\KESTRUM.INI";
        QCOMPARE(ReadIniValue(upper, "S", "K", {}), "new");
        QVERIFY(WriteIniValue("S", "K", "2", upper));
        QCOMPARE(FileBytes(Path()), QByteArray("[S]\r\nK=2\r\n"));
        QVERIFY(!WriteIniValue("S", "K", "v", dir_.filePath("nowhere/Kestrum.ini")));
        QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("nowhere"))));
    }

    // Windows replaces no file another program (a DNC server reading it) holds open without
    // sharing deletion: the replace waits on the clock, up to the usual 5 s, then fails naming
    // the file, leaving it whole and no temporary file.
    void heldOpen_data() {
        QTest::addColumn<bool>("renameOver");  // else ReplaceFileAtomically
        QTest::addColumn<int>("letGoMs");      // -1: held throughout
        QTest::addColumn<int>("waitedMs");
        QTest::addColumn<QString>("error");  // "" when it succeeds
        const QString held =
            "\"$F\" could not be replaced: another program holds it open (waited 5 s)";
        QTest::newRow("replace, let go") << false << 300 << 300 << "";
        QTest::newRow("replace, held") << false << -1 << 5000 << held + "; it was left as it is";
        QTest::newRow("rename over, held") << true << -1 << 5000 << held;
    }
    void heldOpen() {
#ifndef Q_OS_WIN
        QSKIP("Only Windows refuses to rename over a file another program holds open");
#else
        QFETCH(bool, renameOver);
        QFETCH(int, letGoMs);
        QFETCH(int, waitedMs);
        QFETCH(QString, error);
        QTemporaryDir folder;
        const QString path = QDir::toNativeSeparators(folder.filePath("DNCAdmin.ini"));
        const auto name = reinterpret_cast<const wchar_t*>(path.utf16());
        PutFile(path, "old");
        if (renameOver) {
            PutFile(path + ".new", "new");
        }
        HANDLE holder = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        QVERIFY(holder != INVALID_HANDLE_VALUE);
        const auto cleanUp = qScopeGuard([&holder] {
            if (holder != INVALID_HANDLE_VALUE) {
                CloseHandle(holder);
            }
        });
        FastClock clock;
        ClockTimer letGo;
        connect(&letGo, &ClockTimer::timeout, [&] {
            CloseHandle(std::exchange(holder, INVALID_HANDLE_VALUE));
            letGo.stop();
        });
        if (letGoMs > 0) {
            letGo.start(letGoMs);
        }
        QString reason;
        const bool ok = renameOver ? RenameOver(path + ".new", path, &reason)
                                   : ReplaceFileAtomically(path, "new", &reason);
        QCOMPARE(ok ? QString() : reason, error.replace("$F", path));
        QCOMPARE(FileBytes(path), ok ? QByteArray("new") : QByteArray("old"));
        QVERIFY2(clock.NowMs() >= waitedMs && clock.NowMs() < waitedMs + 100,
                 qPrintable(QString::number(clock.NowMs())));
        // A failed rename over leaves its source for the caller; nothing else stays.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).join(' '),
                 renameOver && !ok ? "DNCAdmin.ini DNCAdmin.ini.new" : "DNCAdmin.ini");
#endif
    }

    // Whole-file text helpers: a read ends every line with CR LF; writes and appends end each
    // text with CR LF; only a failed write tells the operator, and makes no folder.
    void textFiles() {
        MessageRecorder messages;
        const auto read = [this](const QByteArray& bytes) {
            PutFile(Path("in.txt"), bytes);
            TextFileRecord record{Path("in.txt"), QStringLiteral("stale"), -1, false};
            ReadTextFile(record);
            return record.Success && record.Length == bytes.size() ? record.Contents : "failed";
        };
        QCOMPARE(read("a\nb\rc\r"), "a\r\nb\r\nc\r\n");
        QCOMPARE(read(""), "");
        QCOMPARE(read("\xE9\xFF"), QStringLiteral("\u00E9\u00FF\r\n"));  // Latin-1
        QCOMPARE(read({}), "failed");                                    // no file
        TextFileRecord record{Path("out.txt"), QStringLiteral("x\r\n\u00E9"), 0, false};
        WriteTextFile(record);
        QVERIFY(record.Success);
        QCOMPARE(FileBytes(Path("out.txt")), QByteArray("x\r\n\xE9\r\n"));
        for (const char* line : {"one", "two"}) {
            TextFileRecord entry{Path("BTSLog.txt"), QLatin1String(line), 0, false};
            AppendTextFile(entry);
            QVERIFY(entry.Success);
        }
        QCOMPARE(FileBytes(Path("BTSLog.txt")), QByteArray("one\r\ntwo\r\n"));
        QCOMPARE(messages.Count(), 0);
        TextFileRecord write{Path("gone/DNCAdmin.ini"), "x", 0, true};
        WriteTextFile(write);
        QVERIFY(!write.Success);
        QCOMPARE(messages.Texts(), QStringList{"Error opening file \"" + write.FileName + "\""});
        QVERIFY(!QFileInfo::exists(Path("gone")));
    }
};

KESTRUM_TEST(TestFiles)
#include "tst_files.moc"
