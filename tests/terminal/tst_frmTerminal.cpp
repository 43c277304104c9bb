// The terminal window through its real widgets, on the fast clock and in-process lines:
// loading, the screen, typed keys, CLEAR, the loop test over good and bad lines, stopping
// and closing in the middle, the pieces on a slow line, the statistics and the capture.

#include "base/modal.h"
#include "base/waits.h"
#include "components/saxcomm.h"
#include "terminal/frmTerminal.h"
#include "tests/support/fast_clock.h"
#include "tests/support/message_recorder.h"
#include "tests/support/test_main.h"
#include "tests/terminal/test_lines.h"

#include <QCheckBox>
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
class TerminalRig : public FastClock {
public:
    explicit TerminalRig(TerminalLine line = {kPort, "9600,N,8,1", 64, "9600"})
        : line_(std::move(line)) {
        lines.Add(kPort);
    }
    ~TerminalRig() { window.reset(); }

    bool Open() {
        window = std::make_unique<frmTerminal>(line_);
        if (!window->Load()) {
            return false;
        }
        window->show();
        return true;
    }
    TestPort& Port() { return lines.Port(kPort); }
    QString Screen() const { return Child<QPlainTextEdit>("txtTerminal")->toPlainText(); }
    QString Text(const char* name) const {
        if (auto* label = window->findChild<QLabel*>(name)) {
            return label->text();
        }
        return Child<QPushButton>(name)->text();
    }
    void Click(const char* name) { QTest::mouseClick(Child<QPushButton>(name), Qt::LeftButton); }
    template <class T>
    T* Child(const char* name) const {
        return window->findChild<T*>(QLatin1String(name));
    }
    // Lets ms pass on the fast clock, with events running.
    void Run(int ms) { WaitMilliseconds(ms); }
    // Runs until the loop test has judged this many cycles (or 60 s have passed).
    void RunCycles(int cycles) {
        for (int i = 0;
             i < 60000 && window->Loop().Busy() && window->Loop().Statistics().cyclesRun < cycles;
             i += 10) {
            Run(10);
        }
    }

    MessageRecorder messages;
    TestLines lines;
    std::unique_ptr<frmTerminal> window;

private:
    TerminalLine line_;
};

using Fault = std::function<std::optional<char>(qint64, char)>;

// Characters at positions from..to of everything sent are lost; changed by change instead.
Fault Spoil(qint64 from, qint64 to, int change = -1) {
    return [=](qint64 p, char c) -> std::optional<char> {
        if (p < from || p > to) {
            return c;
        }
        if (change < 0) {
            return std::nullopt;
        }
        return char(c ^ change);
    };
}

}  // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(TerminalLine)

class TestFrmTerminal : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensOnClientLine_data() {
        QTest::addColumn<TerminalLine>("line");
        QTest::addColumn<QString>("message");
        QTest::newRow("usable") << TerminalLine{kPort, "19200,E,7,2", 128, "19200"} << "";
        QTest::newRow("port 0") << TerminalLine{0, "9600,N,8,1", 64, "9600"}
                                << "This client has no com port (port 0): set its port before "
                                   "opening the terminal.";
        QTest::newRow("no settings") << TerminalLine{kPort, "", 64, "9600"}
                                     << "The line settings \"\" of this client are not valid: "
                                        "set its port properties before opening the terminal.";
        QTest::newRow("port will not open")
            << TerminalLine{4, "9600,N,8,1", 64, "9600"} << "Com Error, COM4 didn't open.";
    }

    void opensOnClientLine() {
        QFETCH(TerminalLine, line);
        QFETCH(QString, message);
        TerminalRig rig;
        QStringList shown;
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            auto* w = qobject_cast<frmTerminal*>(&dialog);
            shown << w->windowTitle() << w->findChild<QLabel*>("lblTxBuffer")->text()
                  << w->Comm().Settings() << QString::number(w->Comm().RThreshold())
                  << QVariant(rig.Port().open).toString();
            dialog.reject();
            return int(QDialog::Rejected);
        });
        OpenTerminal(line);
        SetModalHook(previous);
        QVERIFY(!rig.Port().open);
        QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM3")), int(kPortFree));
        if (message.isEmpty()) {
            QCOMPARE(shown, (QStringList{"Terminal Mode - Com3,19200,E,7,2", "TxBuffer: 128",
                                         "19200,E,7,2", "1", "true"}));
            QCOMPARE(rig.messages.Count(), 0);
            return;
        }
        QCOMPARE(shown, QStringList());
        QCOMPARE(rig.messages.Texts(), QStringList{message});
        QCOMPARE(rig.messages.Last().title, QStringLiteral("Terminal Mode COM selection Failed!"));
    }

    void showsReceivedCharacters() {
        TerminalRig rig;
        QVERIFY(rig.Open());
        rig.lines.Inject(kPort, QByteArray("OK\r\n\x01\x7F\xE9z"));
        rig.Run(10);
        QCOMPARE(rig.Screen(), QStringLiteral("OK<DH><AH>\n<1H>z"));
        QCOMPARE(rig.Text("lblCount"), QStringLiteral("Count: 8"));
        rig.Child<QCheckBox>("chkHexView")->click();
        QCOMPARE(rig.Screen(), QStringLiteral("4F 4B 0D 0A 01 7F E9 7A"));
        rig.lines.Inject(kPort, QByteArray("\n"));
        rig.Run(10);
        QCOMPARE(rig.Screen(), QStringLiteral("4F 4B 0D 0A 01 7F E9 7A 0A"));
        rig.Child<QCheckBox>("chkHexView")->click();
        QCOMPARE(rig.Screen(), QStringLiteral("OK<DH><AH>\n<1H>z<AH>\n"));
        rig.Click("cmdClear");
        QCOMPARE(rig.Screen(), QString());
        QCOMPARE(rig.Text("lblCount"), QStringLiteral("Count:"));
        // A long session keeps a bounded screen.
        for (int i = 0; i < 30; ++i) {
            rig.lines.Inject(kPort, QByteArray(200, '\n'));
            rig.Run(2);
        }
        QCOMPARE(rig.Text("lblCount"), QStringLiteral("Count: 6000"));
        QCOMPARE(rig.Child<QPlainTextEdit>("txtTerminal")->blockCount(), TerminalScreen::kMaxLines);
    }

    void typedKeysGoOutWithoutEcho() {
        TerminalRig rig;
        rig.Port().echo = false;
        QVERIFY(rig.Open());
        auto* screen = rig.Child<QPlainTextEdit>("txtTerminal");
        QTest::keyClicks(screen, QStringLiteral("G1"));
        QTest::keyClick(screen, Qt::Key_Return);
        QTest::keyClick(screen, Qt::Key_Escape);
        QTest::keyClick(screen, Qt::Key_Tab);
        rig.Run(10);
        QCOMPARE(rig.Port().AllWritten(), QByteArray("G1\r\x1B\t"));
        QCOMPARE(rig.Screen(), QString());
        QVERIFY(rig.window->isVisible());  // Esc did not close the window
    }

    void loopTestOverLines_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("delayFrom");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<int>("passes");  // cycles passed before the one that fails
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("firstBad");
        QTest::addColumn<QString>("rate");
        const auto row = [](const char* name, const Fault& fault, int delayFrom, int delayMs,
                            int passes, const char* text, const char* firstBad,
                            const char* rate = "Rate: -, line 960 cps") {
            QTest::newRow(name) << fault << delayFrom << delayMs << passes << QString(text)
                                << QString(firstBad) << QString(rate);
        };
        row("lossless, ten cycles", {}, 0, 0, 10, "", "none");
        row("late but within the second", {}, 0, 900, 10, "", "none",
            "Rate: 452 cps, line 960 cps (47%)");
        row("third cycle loses its last line", Spoil(2 * kBlock + 379, 3 * kBlock - 1), 0, 0, 2,
            "count 379 of 407 , failed", "position 380, expected \"A\", received nothing");
        row("one character changed", Spoil(4 * kBlock + 100, 4 * kBlock + 100, 0x80), 0, 0, 4,
            "count OK, data failed", "position 101, expected \"I\", received <C9H>");
        row("one character lost", Spoil(7, 7), 0, 0, 0, "count 406 of 407 , failed",
            "position 8, expected \"A\", received \"B\"");
        row("half the block too late", {}, 204, 1200, 0, "count 204 of 407 , failed",
            "position 205, expected \"N\", received nothing");
        row("silent line", Spoil(0, kBlock), 0, 0, 0, "count 0, no data, failed",
            "position 1, expected \"A\", received nothing");
    }

    void loopTestOverLines() {
        QFETCH(Fault, fault);
        QFETCH(int, passes);
        QFETCH(QString, text);
        TerminalRig rig;
        rig.Port().fault = fault;
        QFETCH(int, delayFrom);
        QFETCH(int, delayMs);
        rig.Port().delayFrom = delayFrom;
        rig.Port().delayMs = delayMs;
        QVERIFY(rig.Open());
        int passed = 0;
        connect(&rig.window->Loop(), &LoopTest::CyclePassed, this, [&] {
            // The screen is emptied after each good cycle.
            QCOMPARE(rig.Screen(), QString());
            if (++passed == 10) {
                rig.Click("cmdLoop");
            }
        });
        const qint64 start = rig.NowMs();
        rig.Click("cmdLoop");
        QCOMPARE(rig.Text("cmdLoop"), QStringLiteral("LOOP STOP"));
        rig.RunCycles(passes + 1);
        rig.Run(3000);  // no cycle follows the last one
        QCOMPARE(passed, passes);
        const LoopStatistics& stats = rig.window->Loop().Statistics();
        QCOMPARE(stats.cyclesRun, passes + 1 - (text.isEmpty() ? 1 : 0));
        QCOMPARE(stats.cyclesFailed, text.isEmpty() ? 0 : 1);
        QCOMPARE(rig.Port().writes.size() / 7, stats.cyclesRun);  // 64-character pieces
        QCOMPARE(stats.bytesSent, qint64(kBlock) * stats.cyclesRun);
        QCOMPARE(rig.Text("cmdLoop"), QStringLiteral("LOOP TEST"));
        // Characters that come after a failed cycle still show behind its text.
        QVERIFY(text.isEmpty() ? rig.Screen().isEmpty() : rig.Screen().startsWith(text));
        QFETCH(QString, firstBad);
        QCOMPARE(rig.Text("lblLoopFirstBad"), QStringLiteral("First difference: ") + firstBad);
        QTEST(rig.Text("lblLoopRate"), "rate");
        if (text.isEmpty()) {
            QCOMPARE(rig.Text("lblLoopBytes"), QStringLiteral("Sent: 4070   Received: 4070"));
        }
        QCOMPARE(
            rig.Text("lblLoopCycles"),
            QStringLiteral("Cycles: %1   Failed: %2").arg(stats.cyclesRun).arg(stats.cyclesFailed));
        // One second before the first cycle, two per cycle after.
        QCOMPARE(rig.Port().writes.first().atMs - start, qint64(1000));
        if (stats.cyclesRun > 1) {
            QCOMPARE(rig.Port().writes[7].atMs - rig.Port().writes[0].atMs, qint64(2000));
        }
        QCOMPARE(rig.messages.Count(), 0);
    }

    // A cycle under way ended by LOOP STOP, by closing the window or by the line going away:
    // the echo still arriving is judged (never a false failure), no further block goes out,
    // and closing waits for the line to settle and releases the port.
    void interruptedCycle_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("cyclesRun");
        QTest::addColumn<QString>("message");
        QTest::newRow("LOOP STOP") << "stop" << 1 << "";
        QTest::newRow("window closed") << "close" << 0 << "";
        QTest::newRow("line lost")
            << "unplug" << 0 << "Com Error, COM3 was lost: the device went away.";
    }
    void interruptedCycle() {
        QFETCH(QString, how);
        QFETCH(int, cyclesRun);
        QFETCH(QString, message);
        TerminalRig rig;
        rig.Port().delayMs = how == "stop" ? 600 : 400;  // the echo comes after the cycle ends
        QVERIFY(rig.Open());
        rig.Click("cmdLoop");
        rig.Run(1100);
        QVERIFY(rig.window->Loop().CycleUnderWay());
        if (how == "stop") {
            rig.Click("cmdLoop");
        } else if (how == "close") {
            const qint64 before = rig.NowMs();
            rig.window->close();
            QVERIFY(rig.NowMs() - before >= 1000);
        } else {
            const auto unplug = rig.Port().unplug;  // the line clears its own on the way out
            unplug();
        }
        QCOMPARE(rig.Text("cmdLoop"), QStringLiteral("LOOP TEST"));
        rig.Run(5000);
        QVERIFY(!rig.window->Loop().Busy());
        const LoopStatistics& stats = rig.window->Loop().Statistics();
        QCOMPARE(stats.cyclesRun, cyclesRun);
        QCOMPARE(stats.cyclesFailed, 0);
        QCOMPARE(rig.Port().written, qint64(kBlock));
        QCOMPARE(rig.messages.Texts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (how == "stop") {
            QCOMPARE(stats.bytesReceived, qint64(kBlock));
            QCOMPARE(rig.Screen(), QString());
            // Stopped between cycles, no further block goes out.
            rig.Click("cmdLoop");
            rig.Run(500);
            rig.Click("cmdLoop");
            rig.Run(5000);
            QCOMPARE(rig.Port().written, qint64(kBlock));
        } else {
            QVERIFY(!rig.Port().open);
            QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM3")), int(kPortFree));
        }
    }

    void blockGoesOutInPieces_data() {
        QTest::addColumn<QString>("baud");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("pieceSize");
        QTest::addColumn<int>("gapMs");
        QTest::newRow("1200") << "1200" << 64 << 10 << 100;
        QTest::newRow("2400") << "2400" << 0 << 10 << 100;
        QTest::newRow("4800") << "4800" << 128 << 10 << 100;
        QTest::newRow("9600 by buffer") << "9600" << 64 << 64 << 0;
        QTest::newRow("9600 no buffer") << "9600" << 0 << kBlock << 0;
    }

    void blockGoesOutInPieces() {
        QFETCH(QString, baud);
        QFETCH(int, chunk);
        QFETCH(int, pieceSize);
        QFETCH(int, gapMs);
        TerminalRig rig({kPort, baud + ",N,8,1", chunk, baud});
        QVERIFY(rig.Open());
        rig.Click("cmdLoop");
        rig.RunCycles(1);
        rig.Click("cmdLoop");
        const QList<TestPort::Write>& writes = rig.Port().writes;
        QCOMPARE(writes.size(), (kBlock + pieceSize - 1) / pieceSize);
        QCOMPARE(rig.Port().AllWritten(), LoopTestData());
        for (int i = 1; i < writes.size(); ++i) {
            QCOMPARE(writes[i - 1].bytes.size(), pieceSize);
            QCOMPARE(writes[i].atMs - writes[i - 1].atMs, qint64(gapMs));
        }
        QCOMPARE(rig.window->Loop().Statistics().cyclesFailed, 0);
    }

    void capturesRawBytes() {
        TerminalRig rig;
        QVERIFY(rig.Open());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("line.cap"));
        const ModalHook previous = SetModalHook([&](QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            if (!files) {
                return int(QDialog::Rejected);
            }
            files->selectFile(path);
            return int(QDialog::Accepted);
        });
        rig.lines.Inject(kPort, QByteArray("before"));
        rig.Run(5);
        rig.Click("cmdCapture");
        QCOMPARE(rig.Text("cmdCapture"), QStringLiteral("STOP CAPTURE"));
        const QByteArray bytes(
            "\x00\r\n\x7F\xFF\x1B"
            "abc",
            9);
        rig.lines.Inject(kPort, bytes.left(4));
        rig.Run(5);
        rig.lines.Inject(kPort, bytes.mid(4));
        rig.Run(5);
        rig.Click("cmdCapture");
        rig.lines.Inject(kPort, QByteArray("after"));
        rig.Run(5);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
        // A file that cannot be written is said so, and nothing is captured.
        const QString bad = folder.filePath(QStringLiteral("no/such/folder/x.cap"));
        SetModalHook([&](QDialog& dialog) {
            qobject_cast<QFileDialog*>(&dialog)->selectFile(bad);
            return int(QDialog::Accepted);
        });
        rig.Click("cmdCapture");
        SetModalHook(previous);
        QVERIFY(!rig.window->Capturing());
        QCOMPARE(rig.messages.Count(), 1);
        QVERIFY(rig.messages.Last().text.startsWith(
            QStringLiteral("Cannot write the capture file ") + bad));
    }
};

KESTRUM_TEST(TestFrmTerminal)
#include "tst_frmTerminal.moc"
