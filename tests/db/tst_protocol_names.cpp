// The one rule that turns a client's stored protocol into the name windows and files show.

#include "db/protocol_names.h"
#include "tests/support/test_main.h"

#include <QTest>

class TestProtocolNames : public QObject {
    Q_OBJECT

private slots:
    void displayName() {
        // Stored text, the name shown, the composite code (0: none).
        const struct {
            const char *stored, *shown;
            int code;
        } rows[] = {
            {"61", "LINE TERMINAL", 61},
            {"63", "LINE TERMINAL", 63},
            {"60", "60", 0},
            {"64", "64", 0},
            {"71", "REMOTE", 71},
            {"74", "74", 0},
            {"101", "MAZATROL", 101},
            {"104", "104", 0},
            {"XON", "STANDARD", 0},
            {"NOTHING", "STANDARD", 0},
            {"N", "N", 0},
            {"xon", "xon", 0},
            {"BTR", "BTR", 0},
            {"", "", 0},
        };
        for (const auto& r : rows) {
            const ProtocolDisplay display = DisplayProtocol(r.stored);
            QCOMPARE(display.Name, r.shown);
            QCOMPARE(display.Code.value_or(0), r.code);
            QCOMPARE(ProtocolDisplayName(r.stored), r.shown);
        }
    }
};

KESTRUM_TEST(TestProtocolNames)
#include "tst_protocol_names.moc"
