// Kestrum's start, as the program runs it, up to the main window shown. The program
// folder is the first argument instead of the executable's folder.

#include "app/frmSetup.h"
#include "app/startup.h"
#include "base/message_box.h"
#include "base/platform.h"
#include "bench/startup/shown_probe.h"
#include "db/dnc_database.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrum"));
    if (argc > 1) {
        SetProgramFolder(QString::fromLocal8Bit(argv[1]));
    }
    SingleInstanceLock instance;
    if (!instance.TryAcquire()) {
        return 2;
    }
    InstallMessageBoxHandler();
    if (StartUp() != StartUpOutcome::ShowMainWindow) {
        return 1;
    }
    int result = 0;
    {
        frmSetup window;
        new ShownProbe(window);
        window.show();
        result = QApplication::exec();
    }
    DncConnection.Close();
    return result;
}
