#include "app/inifile.h"

// Placeholder until the INI engine lands.
QString ReadIniValue(const QString&, const QString&, const QString&, const QString& defaultValue) {
    return defaultValue;
}

bool WriteIniValue(const QString&, const QString&, const QString&, const QString&) {
    return false;
}
