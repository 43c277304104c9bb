// The terminal window through its real widgets, on the fast clock and in-process lines; its
// loop block and screen without a window; and a loop test on a looped-back pseudo-terminal on
// the real clock.

#include "base/modal.h"
#include "base/waits.h"
#include "components/saxcomm.h"
#include "terminal/frmTerminal.h"
#include "terminal/loop_test.h"
#include "terminal/terminal_screen.h"
#include "tests/support/fast_clock.h"
#include "tests/support/message_recorder.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_main.h"
#include "tests/terminal/test_lines.h"

#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

const int kPort = 3;
const int kBlock = 407;

// The terminal on COM3, a loopback unless the test changes it.
struct TerminalRig : FastClock {
    TerminalRig() { lines.Add(kPort); }
    bool Open() {
        window = std::make_unique<frmTerminal>(TerminalLine{kPort, "9600,N,8,1", 64, "9600"});
        return window->Load() && (window->show(), true);
    }
    TestPort& Port() { return lines.Port(kPort); }
    LoopTest& Loop() { return window->Loop(); }
    QString Screen() const {
        return window->findChild<QPlainTextEdit*>("txtTerminal")->toPlainText();
    }
    void Click(const char* name) {
        QTest::mouseClick(window->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    MessageRecorder messages;
    TestLines lines;
    std::unique_ptr<frmTerminal> window;
};

}  // namespace

Q_DECLARE_METATYPE(TerminalLine)

class TestFrmTerminal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Without a window: the loop test's block and the screen's text and hex views.
    void blockIsExact() {
        QByteArray expected;
        for (int k = 1; k <= 26; ++k) {
            expected +=
                QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ").left(k) + (k == 2 ? "\r\nAB\r\n" : "\r\n");
        }
        QCOMPARE(LoopTestData(), expected);
    }

    void screenShowsCharacters_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        QTest::newRow("CR LF") << QByteArray("AB\r\nC") << "AB<DH><AH>\nC"
                               << "41 42 0D 0A 43";
        QTest::newRow("controls") << QByteArray("\x00\x01\x1B\x1F", 4) << "<0H><1H><1BH><1FH>"
                                  << "00 01 1B 1F";
        QTest::newRow("127 and over hidden") << QByteArray("x\x7F\x80\xE9\xFFy") << "xy"
                                             << "78 7F 80 E9 FF 79";
        QTest::newRow("sixteen to a hex line")
            << QByteArray(17, ' ') << QString(17, ' ') << QStringList(16, "20").join(' ') + "\n20";
    }
    void screenShowsCharacters() {
        QFETCH(QByteArray, bytes);
        TerminalScreen screen;
        // In pieces, as characters arrive: the result must not depend on how they were cut.
        QString shown;
        for (qsizetype i = 0; i < bytes.size(); i += 3) {
            shown += screen.Append(bytes.mid(i, 3));
        }
        QTEST(shown, "text");
        QTEST(screen.SetView(TerminalScreen::View::Hex), "hex");
        QTEST(screen.SetView(TerminalScreen::View::Text), "text");
    }

    // A bounded screen, in the window too; a capture file that cannot be written is refused.
    void screenAndCapture() {
        TerminalScreen screen;
        // One endless line of controls: broken into lines, never a token cut in two.
        for (const QString& line : screen.Append(QByteArray(3000, '\x1B')).split('\n')) {
            QVERIFY(line.size() <= TerminalScreen::kMaxLineLength);
            QVERIFY(line.startsWith("<1BH>") && line.endsWith("H>"));
        }
        screen.Append(QByteArray(TerminalScreen::kKeptBytes, 'x'));
        QCOMPARE(screen.Kept().size(), TerminalScreen::kKeptBytes);
        QVERIFY(!screen.Kept().contains('\x1B'));
        // The window keeps as many lines.
        TerminalRig rig;
        QVERIFY(rig.Open());
        for (int i = 0; i < 30; ++i) {
            rig.Port().line->Arrive(QByteArray(200, '\n'));
            WaitMilliseconds(5);
        }
        QCOMPARE(rig.window->findChild<QPlainTextEdit*>("txtTerminal")->blockCount(),
                 TerminalScreen::kMaxLines);

        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("no/such/folder/x.cap"));
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            files->setDirectory(folder.path());
            files->selectFile(path);
            return int(QDialog::Accepted);
        });
        rig.Click("cmdCapture");
        SetModalHook(previous);
        QVERIFY(!rig.window->Capturing());
        QVERIFY2(rig.messages.Last().text.startsWith("Cannot write the capture file " + path),
                 qPrintable(rig.messages.Last().text + " / " + path));
    }

    void opensOnClientLine_data() {
        QTest::addColumn<TerminalLine>("line");
        QTest::addColumn<QString>("message");
        QTest::newRow("usable") << TerminalLine{kPort, "19200,E,7,2", 128, "19200"} << "";
        QTest::newRow("port 0")
            << TerminalLine{0, "9600,N,8,1", 64, "9600"}
            << "This client has no com port (port 0): set its port before opening the terminal.";
        QTest::newRow("no settings") << TerminalLine{kPort, "", 64, "9600"}
                                     << "The line settings \"\" of this client are not valid: set "
                                        "its port properties before opening the terminal.";
        QTest::newRow("will not open")
            << TerminalLine{4, "9600,N,8,1", 64, "9600"} << "Com Error, COM4 didn't open.";
    }
    void opensOnClientLine() {
        QFETCH(TerminalLine, line);
        QFETCH(QString, message);
        TerminalRig rig;
        QStringList shown;
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            shown << dialog.windowTitle() + (rig.Port().line ? " open" : "");
            return int(QDialog::Rejected);
        });
        OpenTerminal(line);
        SetModalHook(previous);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM3")), int(kPortFree));
        // The window, or the message instead of it.
        QCOMPARE(
            shown + rig.messages.Texts(),
            QStringList{message.isEmpty() ? "Terminal Mode - Com3,19200,E,7,2 open" : message});
    }

    // The loop test over lines that lose, change or delay characters; and a cycle ended by
    // LOOP STOP, closing the window or the line going away: the echo still arriving is judged
    // (never a false failure), no further block goes out, the port is freed. LOOP TEST pressed
    // again while the stopped cycle finishes: that cycle keeps its bytes and the test runs on.
    void loopTest_data() {
        QTest::addColumn<QList<int>>("line");  // spoil from, to, XOR (-1 loses); delay from, ms
        QTest::addColumn<QString>("how");      // what ends the test, "" a failure or 10 passes
        QTest::addColumn<int>("passes");       // cycles passed
        QTest::addColumn<QString>("text");     // the failure shown, "" none
        QTest::addColumn<QString>("firstBad");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, QList<int> line, const char* how, int passes,
                            const char* text, const char* bad, const char* message = "") {
            QTest::newRow(name) << line << QString(how) << passes << QString(text) << QString(bad)
                                << QString(message);
        };
        const int k = kBlock;
        row("lossless", {-1, -1, -1, 0, 0}, "", 10, "", "none");
        row("late within the second", {-1, -1, -1, 0, 900}, "", 10, "", "none");
        row("third cycle loses its last line", {2 * k + 379, 3 * k - 1, -1, 0, 0}, "", 2,
            "count 379 of 407 , failed", "position 380, expected \"A\", received nothing");
        row("one changed", {4 * k + 100, 4 * k + 100, 0x80, 0, 0}, "", 4, "count OK, data failed",
            "position 101, expected \"I\", received <C9H>");
        row("one lost", {7, 7, -1, 0, 0}, "", 0, "count 406 of 407 , failed",
            "position 8, expected \"A\", received \"B\"");
        row("half too late", {-1, -1, -1, 204, 1200}, "", 0, "count 204 of 407 , failed",
            "position 205, expected \"N\", received nothing");
        row("silent line", {0, k, -1, 0, 0}, "", 0, "count 0, no data, failed",
            "position 1, expected \"A\", received nothing");
        // The echo, or half of it, comes after the cycle ends.
        row("LOOP STOP", {-1, -1, -1, 0, 600}, "stop", 1, "", "none");
        row("window closed", {-1, -1, -1, 0, 400}, "close", 0, "", "none");
        row("line lost", {-1, -1, -1, 0, 400}, "unplug", 0, "", "none",
            "Com Error, COM3 was lost: the device went away.");
        row("pressed again", {-1, -1, -1, 200, 600}, "again", 2, "", "none");
    }
    void loopTest() {
        QFETCH(QList<int>, line);
        QFETCH(QString, how);
        QFETCH(int, passes);
        QFETCH(QString, text);
        QFETCH(QString, message);
        TerminalRig rig;
        TestPort& port = rig.Port();
        std::tie(port.spoilFrom, port.spoilTo, port.xorWith, port.delayFrom, port.delayMs) =
            std::tuple(line[0], line[1], line[2], line[3], line[4]);
        QVERIFY(rig.Open());
        int passed = 0;
        connect(&rig.Loop(), &LoopTest::CyclePassed, this, [&] {
            QCOMPARE(rig.Screen(), QString());  // emptied after each good cycle
            if (++passed == 10) {
                rig.Click("cmdLoop");
            }
        });
        const qint64 start = rig.NowMs();
        rig.Click("cmdLoop");
        if (how.isEmpty()) {  // until the failed cycle or the tenth passed one
            for (int i = 0;
                 i < 6000 && rig.Loop().Busy() && rig.Loop().Statistics().cyclesRun <= passes;
                 ++i) {
                WaitMilliseconds(10);
            }
        } else {
            WaitMilliseconds(1100);
            QVERIFY(rig.Loop().CycleUnderWay());
        }
        if (how == "stop") {
            rig.Click("cmdLoop");
        } else if (how == "close") {
            const qint64 before = rig.NowMs();
            rig.window->close();
            QVERIFY(rig.NowMs() - before >= 1000);
        } else if (how == "unplug") {
            port.line->Unplug();
        } else if (how == "again") {
            rig.Click("cmdLoop");
            rig.Click("cmdLoop");
            WaitMilliseconds(3000);
            QVERIFY(rig.Loop().Running());
            rig.Click("cmdLoop");
        }
        WaitMilliseconds(5000);  // no cycle follows
        const LoopStatistics& stats = rig.Loop().Statistics();
        const int fails = text.isEmpty() ? 0 : 1;
        QVERIFY(!rig.Loop().Busy());
        // Cycles passed, run and failed; bytes sent as counted and as written.
        QCOMPARE((QList<qint64>{passed, stats.cyclesRun, stats.cyclesFailed, stats.bytesSent,
                                port.written}),
                 (QList<qint64>{passes, passes + fails, fails, kBlock * std::max(passes + fails, 1),
                                kBlock * std::max(passes + fails, 1)}));
        // (A closed window keeps the echo it was waiting for.)
        QVERIFY2(how == "close" || (fails ? rig.Screen().startsWith(text) : rig.Screen().isEmpty()),
                 qPrintable(rig.Screen()));
        QTEST(rig.window->findChild<QLabel*>("lblLoopFirstBad")->text().mid(18), "firstBad");
        // One second before the first cycle, two per cycle after; 64-character pieces.
        QCOMPARE(port.writes.first() - start, qint64(1000));
        if (how.isEmpty() && stats.cyclesRun > 1) {
            QCOMPARE(port.writes[7] - port.writes[0], qint64(2000));
        }
        QCOMPARE(rig.messages.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (how == "close" || how == "unplug") {
            QVERIFY(!port.line);
            QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM3")), int(kPortFree));
        } else if (!fails) {
            QCOMPARE(stats.bytesReceived, port.written);
        }
    }

    // On the real clock: typed keys come back, and a cycle stopped while its block is on its
    // way is still judged on all of it.
    void loopTestOverPseudoTerminal() {
#ifdef Q_OS_WIN
        QSKIP("no pseudo-terminals on Windows (the system COM port test covers the port there)");
#else
        PtyLoopback far;
        QVERIFY(far.IsValid());
        far.MapPort(7);
        MessageRecorder messages;
        {
            frmTerminal window({7, "115200,N,8,1", 64, "115200"});
            QVERIFY(window.Load());
            window.show();
            auto* screen = window.findChild<QPlainTextEdit*>("txtTerminal");
            QTest::keyClicks(screen, "hi");
            QTRY_COMPARE(screen->toPlainText(), QStringLiteral("hi"));
            auto* loop = window.findChild<QPushButton*>("cmdLoop");
            QTest::mouseClick(loop, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(window.Loop().CycleUnderWay(), 3000);
            QTest::mouseClick(loop, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!window.Loop().Busy(), 3000);
            // Runs, failures, the cycle's bytes and all bytes received.
            const LoopStatistics& stats = window.Loop().Statistics();
            QCOMPARE((QList<qint64>{stats.cyclesRun, stats.cyclesFailed, stats.bytesReceived,
                                    window.ReceivedTotal()}),
                     (QList<qint64>{1, 0, kBlock, kBlock + 2}));
            window.close();
            QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
        }
        QCOMPARE(messages.Count(), 0);
#endif
    }
};

KESTRUM_TEST(TestFrmTerminal)
#include "tst_frmTerminal.moc"
