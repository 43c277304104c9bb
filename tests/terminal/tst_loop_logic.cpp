// The loop test's block, and the screen's text and hex views, without a window.

#include "terminal/loop_test.h"
#include "terminal/terminal_screen.h"
#include "tests/support/test_main.h"

#include <QTest>

class TestLoopLogic : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void blockIsExact() {
        const QByteArray& block = LoopTestData();
        QCOMPARE(block.size(), 407);
        const QList<QByteArray> lines = block.split('\n');
        QCOMPARE(lines.size(), 28);  // 27 lines and nothing after the last line end
        QVERIFY(lines.last().isEmpty());
        const QByteArray alphabet("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        QList<QByteArray> expected;
        for (int k = 1; k <= 26; ++k) {
            expected << alphabet.left(k) + '\r';
        }
        expected.insert(1, "AB\r");
        expected << QByteArray();
        QCOMPARE(lines, expected);
    }

    void screenShowsCharacters_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        const auto row = [](const char* name, const QByteArray& bytes, const char* text,
                            const char* hex) {
            QTest::newRow(name) << bytes << QString(text) << QString(hex);
        };
        row("CR LF", "AB\r\nC", "AB<DH><AH>\nC", "41 42 0D 0A 43");
        row("CR alone", "A\rB", "A<DH>B", "41 0D 42");
        row("other controls", QByteArray("\x00\x01\x1B\x1F", 4), "<0H><1H><1BH><1FH>",
            "00 01 1B 1F");
        row("127 and over hidden", "x\x7F\x80\xE9\xFFy", "xy", "78 7F 80 E9 FF 79");
        QTest::newRow("sixteen to a hex line")
            << QByteArray(17, ' ') << QString(17, QLatin1Char(' '))
            << QStringList(16, QStringLiteral("20")).join(QLatin1Char(' ')) + "\n20";
    }

    void screenShowsCharacters() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, hex);
        TerminalScreen screen;
        // In pieces, as characters arrive: the result must not depend on how they were cut.
        QString shown;
        for (qsizetype i = 0; i < bytes.size(); i += 3) {
            shown += screen.Append(bytes.mid(i, 3));
        }
        QTEST(shown, "text");
        QCOMPARE(screen.SetView(TerminalScreen::View::Hex), hex);
        QTEST(screen.SetView(TerminalScreen::View::Text), "text");
    }

    void screenStaysBounded() {
        TerminalScreen screen;
        // One endless line of controls: broken into lines, never a token cut in two.
        const QString text = screen.Append(QByteArray(3000, '\x1B'));
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            QVERIFY(line.size() <= TerminalScreen::kMaxLineLength);
            QVERIFY(line.startsWith(QStringLiteral("<1BH>")) &&
                    line.endsWith(QStringLiteral("H>")));
        }
        screen.Append(QByteArray(TerminalScreen::kKeptBytes, 'x'));
        QCOMPARE(screen.Kept().size(), TerminalScreen::kKeptBytes);
        QVERIFY(!screen.Kept().contains('\x1B'));
    }
};

KESTRUM_TEST(TestLoopLogic)
#include "tst_loop_logic.moc"
