// bench_protocol_dialogs: builds a configuration of 1,000 servers and 20,000 clients in a
// temporary folder and reports, for each of the six protocol attribute dialogs, the median
// time from creating the dialog to its window being shown for a client (its own connection
// opened and the client's rows read), and the median time of OK with one changed value.
// Exits 1 when an opening takes 100 ms or more.
//
//   bench_protocol_dialogs [runs]   (default 41)

#include "direct_sqlite.h"

#include "base/modal.h"
#include "base/settings.h"
#include "components/protocol_dialogs.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kServers = 1000;
constexpr int kClients = 20000;
constexpr double kTargetMs = 100;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;

    int messages = 0;
    SetMessageHandler([&messages](const MessageRequest& request) {
        if (++messages <= 3) {
            std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        }
        return MsgAnswer::Ok;
    });

    QTemporaryDir folder;
    QString error;
    if (!folder.isValid() || !CreateDatabaseFile(folder.path(), &error)) {
        std::fprintf(stderr, "cannot create DNC.mdb: %s\n", qPrintable(error));
        return 2;
    }
    const QString path = folder.filePath(QStringLiteral("DNC.mdb"));
    {
        DirectSqlite direct(path.toStdString());
        if (!direct.IsOpen()) {
            return 2;
        }
        direct.Build(kServers, kClients, "BENCHSRV", 64);
        direct.Exec(
            "INSERT INTO t_remote (rem_client_id) SELECT client_id FROM "
            "t_dnc_server_clients");
    }
    SetProgramFolder(folder.path());
    DncConnectionString = QStringLiteral("Provider = Microsoft.Jet.OLEDB.4.0;data source = ") +
                          path + QStringLiteral(";");
    // The program's own connection stays open while a dialog works on its own.
    if (!DncConnection.Open(DncConnectionString)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(DncConnection.LastError()));
        return 2;
    }
    const qint32 maxId =
        GetFieldValueMDB(QStringLiteral("t_dnc_server_clients"), QStringLiteral("client_id"),
                         SqlValue::Number(0), QStringLiteral(">"), QStringLiteral("client_id"))
            .value_or(1)
            .toInt() +
        kClients - 1;
    std::printf("Configuration: %d servers, %d clients with their attribute rows\n", kServers,
                kClients);

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
