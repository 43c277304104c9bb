#include "large_configuration.h"

#include "direct_sqlite.h"

#include "base/messages.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "db/new_installation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <cstdio>

bool LargeConfiguration::Build(const std::function<void(DirectSqlite&)>& more) {
    QString error;
    if (!folder_.isValid() || !CreateDatabaseFile(folder_.path(), &error)) {
        std::fprintf(stderr, "cannot create DNC.mdb: %s\n", qPrintable(error));
        return false;
    }
    DirectSqlite direct(Path().toStdString());
    if (!direct.IsOpen()) {
        return false;
    }
    names_ = direct.Build(kServers, kClients, kLocalServer, kLocalClients);
    if (more) {
        more(direct);
    }
    return true;
}

bool LargeConfiguration::Connect() {
    SetProgramFolder(Folder());
    DncConnectionString = QStringLiteral("Provider = Microsoft.Jet.OLEDB.4.0;data source = ") +
                          Path() + QStringLiteral(";");
    if (!DncConnection.Open(DncConnectionString)) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(DncConnection.LastError()));
        return false;
    }
    return true;
}

void UseOffscreenPlatform(bool allowDisplay) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        (!allowDisplay || qEnvironmentVariableIsEmpty("DISPLAY"))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (!text.contains(QLatin1String("propagateSizeHints"))) {
            std::fprintf(stderr, "%s\n", qPrintable(text));
        }
    });
}

void CountMessages(int& messages) {
    SetMessageHandler([&messages](const MessageRequest& request) {
        if (++messages <= 3) {
            std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        }
        return MsgAnswer::Ok;
    });
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Figure Measure(const char* name, int runs, double targetMs, const std::function<void(int)>& kestrum,
               const std::function<void(int)>& direct) {
    std::vector<double> kestrumTimes;
    std::vector<double> directTimes;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        kestrum(i);
        kestrumTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
        timer.start();
        direct(i);
        directTimes.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return Figure{name, Median(kestrumTimes), Median(directTimes), targetMs};
}

namespace {

class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        painted |= event->type() == QEvent::Paint;
        return false;
    }
};

}  // namespace

void ShowUntilPainted(QWidget& window) {
    PaintWatch watch;
    window.installEventFilter(&watch);
    window.show();
    QElapsedTimer limit;
    limit.start();
    while (!watch.painted && limit.elapsed() < 2000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    window.removeEventFilter(&watch);
}
