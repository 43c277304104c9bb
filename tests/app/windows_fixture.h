#pragma once
// Shared by the window tests: an installation with a settings file, and the look-ups that
// find a window's controls by name.

#include "tests/support/temp_installation.h"
#include "tests/support/widget_probe.h"

#include <QAction>
#include <QTest>
#include <QWidget>

#include <memory>

// Bytes as a test writes them: "\n" stands for CR LF.
inline QByteArray CrLf(const char* text) {
    return QByteArray(text).replace("\n", "\r\n");
}

// A temporary installation whose Kestrum.ini holds exactly these bytes (none when null).
inline std::unique_ptr<TempInstallation> MakeInstallation(const char* settings) {
    TempInstallation::Options options;
    if (settings) {
        options.settings = CrLf(settings);
    }
    return std::make_unique<TempInstallation>(options);
}
