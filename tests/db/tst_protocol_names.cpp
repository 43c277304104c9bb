// The one rule that turns a client's stored protocol into the name windows and files show.

#include "db/protocol_names.h"
#include "tests/support/test_main.h"

#include <QTest>

class TestProtocolNames : public QObject {
    Q_OBJECT

private slots:
    void displayName_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("code");  // 0: no composite code
        QTest::newRow("61") << "61"
                            << "LINE TERMINAL" << 61;
        QTest::newRow("63") << "63"
                            << "LINE TERMINAL" << 63;
        QTest::newRow("60 is no code") << "60"
                                       << "60" << 0;
        QTest::newRow("64 is no code") << "64"
                                       << "64" << 0;
        QTest::newRow("71") << "71"
                            << "REMOTE" << 71;
        QTest::newRow("74") << "74"
                            << "74" << 0;
        QTest::newRow("101") << "101"
                             << "MAZATROL" << 101;
        QTest::newRow("103") << "103"
                             << "MAZATROL" << 103;
        QTest::newRow("104") << "104"
                             << "104" << 0;
        QTest::newRow("XON") << "XON"
                             << "STANDARD" << 0;
        QTest::newRow("HW") << "HW"
                            << "STANDARD" << 0;
        QTest::newRow("NONE") << "NONE"
                              << "STANDARD" << 0;
        QTest::newRow("NO prefix") << "NOTHING"
                                   << "STANDARD" << 0;
        QTest::newRow("one letter") << "N"
                                    << "N" << 0;
        QTest::newRow("lower case stays") << "xon"
                                          << "xon" << 0;
        QTest::newRow("BTR") << "BTR"
                             << "BTR" << 0;
        QTest::newRow("SHOP TERMINAL") << "SHOP TERMINAL"
                                       << "SHOP TERMINAL" << 0;
        QTest::newRow("empty") << ""
                               << "" << 0;
    }
    void displayName() {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(int, code);
        const ProtocolDisplay display = DisplayProtocol(stored);
        QCOMPARE(display.Name, shown);
        QCOMPARE(display.Code.value_or(0), code);
        QCOMPARE(ProtocolDisplayName(stored), shown);
    }
};

KESTRUM_TEST(TestProtocolNames)
#include "tst_protocol_names.moc"
