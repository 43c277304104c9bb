// bench_protocol_dialogs: builds a configuration of 1,000 servers and 20,000 clients in a
// temporary folder and reports, for each of the six protocol attribute dialogs, the median
// time from creating the dialog to its window being shown for a client (its own connection
// opened and the client's rows read), and the median time of OK with one changed value.
// Exits 1 when an opening takes 100 ms or more.
//
//   bench_protocol_dialogs [runs]   (default 41)

#include "direct_sqlite.h"
#include "large_configuration.h"

#include "base/modal.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "setup/protocol_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kClients = LargeConfiguration::kClients;
constexpr double kTargetMs = 100;

}  // namespace

int main(int argc, char** argv) {
    UseOffscreenPlatform();
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;

    int messages = 0;
    CountMessages(messages);

    LargeConfiguration configuration;
    const bool built = configuration.Build([](DirectSqlite& direct) {
        direct.Exec(
            "INSERT INTO t_remote (rem_client_id) SELECT client_id FROM "
            "t_dnc_server_clients");
    });
    // The program's own connection stays open while a dialog works on its own.
    if (!built || !configuration.Connect()) {
        return 2;
    }
    const qint32 maxId =
        GetFieldValueMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_id"),
                         SqlValue::Number(0), QStringLiteral(">"), QStringLiteral("client_id"))
            .value_or(1)
            .toInt() +
        kClients - 1;
    std::printf("Configuration: %d servers, %d clients with their attribute rows\n",
                LargeConfiguration::kServers, kClients);

    const struct {
        AttributeDialogKind kind;
        const char* name;
    } kinds[] = {{AttributeDialogKind::Standard, "standard"},
                 {AttributeDialogKind::Second, "second (BTR)"},
                 {AttributeDialogKind::Third, "third (shop terminal)"},
                 {AttributeDialogKind::LineTerminal, "line terminal"},
                 {AttributeDialogKind::Remote, "remote"},
                 {AttributeDialogKind::Mazatrol, "MAZATROL"}};

    std::mt19937 random(11);
    bool met = true;
    std::printf("\n%-24s %14s %14s %10s  %s\n", "dialog (median)", "open ms", "OK ms", "target ms",
                "result");
    for (const auto& k : kinds) {
        std::vector<double> opens;
        std::vector<double> oks;
        for (int i = 0; i < runs; ++i) {
            const qint32 clientId = maxId - qint32(random() % kClients);
            const bool change = i % 2 == 1;
            QElapsedTimer timer;
            double shownAt = 0;
            const ModalHook previous = SetModalHook([&](QDialog& dialog) {
                dialog.show();
                QCoreApplication::processEvents();
                shownAt = double(timer.nsecsElapsed()) / 1e6;
                if (change) {
                    auto* edit = dialog.findChild<QLineEdit*>(
                        QStringLiteral("t_timeout_table_down.init_timeout"));
                    edit->setText(QString::number(30 + i));
                    QElapsedTimer ok;
                    ok.start();
                    dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
                    oks.push_back(double(ok.nsecsElapsed()) / 1e6);
                }
                return int(QDialog::Rejected);
            });
            timer.start();
            auto dialog = CreateAttributeDialog(k.kind);
            dialog->PropClientID = clientId;
            dialog->PropDNCpath = DncConnectionString;
            dialog->Show();
            SetModalHook(previous);
            opens.push_back(shownAt);
        }
        const double open = Median(opens);
        const bool ok = open < kTargetMs;
        met &= ok;
        std::printf("%-24s %14.2f %14.2f %10.0f  %s\n", k.name, open, Median(oks), kTargetMs,
                    ok ? "met" : "MISSED");
    }
    std::printf("\nmessages shown: %d\n", messages);
    return met && messages == 0 ? 0 : 1;
}
