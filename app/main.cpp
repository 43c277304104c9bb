#include "app/frmSetup.h"
#include "app/startup.h"
#include "base/message_box.h"
#include "db/dnc_database.h"

#include <QApplication>

int main(int argc, char** argv) {
    // A second copy ends silently, before it reads anything or starts the window system
    // (which may itself print warnings).
    SingleInstanceLock instance;
    if (!instance.TryAcquire()) {
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrum"));
    InstallMessageBoxHandler();
    if (StartUp() != StartUpOutcome::ShowMainWindow) {
        DncConnection.Close();  // its statements need the driver the application owns
        return 1;
    }
    int result = 0;
    {
        frmSetup window;
        window.show();
        result = QApplication::exec();
    }
    DncConnection.Close();
    return result;
}
