// The loop test's block and the screen's text and hex views, without a window.

#include "terminal/loop_test.h"
#include "terminal/terminal_screen.h"
#include "tests/support/test_main.h"

#include <QTest>

class TestLoopLogic : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void blockIsExact() {
        QByteArray expected;
        for (int k = 1; k <= 26; ++k) {
            expected +=
                QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ").left(k) + (k == 2 ? "\r\nAB\r\n" : "\r\n");
        }
        QCOMPARE(expected.size(), 407);
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

    void screenStaysBounded() {
        TerminalScreen screen;
        // One endless line of controls: broken into lines, never a token cut in two.
        for (const QString& line : screen.Append(QByteArray(3000, '\x1B')).split('\n')) {
            QVERIFY(line.size() <= TerminalScreen::kMaxLineLength);
            QVERIFY(line.startsWith("<1BH>") && line.endsWith("H>"));
        }
        screen.Append(QByteArray(TerminalScreen::kKeptBytes, 'x'));
        QCOMPARE(screen.Kept().size(), TerminalScreen::kKeptBytes);
        QVERIFY(!screen.Kept().contains('\x1B'));
    }
};

KESTRUM_TEST(TestLoopLogic)
#include "tst_loop_logic.moc"
