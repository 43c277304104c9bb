// The yardstick: the least a Qt Widgets program does to show an empty window.

#include "bench/startup/shown_probe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(720, 160);
    new ShownProbe(window);
    window.show();
    return QApplication::exec();
}
