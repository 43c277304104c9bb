// The terminal and its loop test on a looped-back pseudo-terminal, on the real clock.

#include "terminal/frmTerminal.h"
#include "tests/support/message_recorder.h"
#include "tests/support/pty_pair.h"
#include "tests/support/test_main.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

class TestTerminalPty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loopTestOverPseudoTerminal() {
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
            // Stopped while the block is on its way: the cycle is still judged on all of it.
            QTest::mouseClick(loop, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!window.Loop().Busy(), 3000);
            const LoopStatistics& stats = window.Loop().Statistics();
            QCOMPARE(stats.cyclesRun, 1);
            QCOMPARE(stats.cyclesFailed, 0);
            QCOMPARE(stats.bytesReceived, qint64(LoopTestData().size()));
            QCOMPARE(window.ReceivedTotal(), qint64(LoopTestData().size()) + 2);
            window.close();
            QCOMPARE(SaxComm::PortStatus(QStringLiteral("COM7")), int(kPortFree));
        }
        QCOMPARE(messages.Count(), 0);
    }
};

KESTRUM_TEST(TestTerminalPty)
#include "tst_terminal_pty.moc"
