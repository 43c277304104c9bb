// A second yardstick: the main window's own form (menu bar and menus) with nothing of the
// program behind it, so the benchmark shows what the widgets cost and what start-up adds.

#include "bench/startup/shown_probe.h"
#include "ui_frmSetup.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    Ui::frmSetup form;
    form.setupUi(&window);
    new ShownProbe(window);
    window.show();
    return QApplication::exec();
}
