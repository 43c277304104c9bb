#pragma once

#include <QMainWindow>

// The main window: the menus from which every other window is opened.
class frmSetup : public QMainWindow {
    Q_OBJECT
public:
    explicit frmSetup(QWidget* parent = nullptr);
};
