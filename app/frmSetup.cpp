#include "app/frmSetup.h"

frmSetup::frmSetup(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Kestrum - TolvaneDNC administration"));
}
