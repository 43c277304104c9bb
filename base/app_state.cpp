#include "base/app_state.h"

#include "base/platform.h"

#include <cmath>

QString SettingsFileName;
QString LocalComputerName;
QStringList HelpFileNames;
QString DatabaseFolder;
QString DncConnectionString;
QString ExportDncAdminFlag;
QString BtManagerPath;
qint16 BtsConfigBaud = 0;
QString BtsReconnectPath;
qint16 BtsTimerInc = 0;
QString BtsMenuFlag;
QString BtsComPort;
QString BtsTermFlag;
qint16 PrintFontSize = 0;
QString SelectedOs;

void ResetApplicationState() {
    SettingsFileName.clear();
    LocalComputerName.clear();
    HelpFileNames.clear();
    DatabaseFolder.clear();
    DncConnectionString.clear();
    ExportDncAdminFlag.clear();
    BtManagerPath.clear();
    BtsConfigBaud = 0;
    BtsReconnectPath.clear();
    BtsTimerInc = 0;
    BtsMenuFlag.clear();
    BtsComPort.clear();
    BtsTermFlag.clear();
    PrintFontSize = 0;
    SelectedOs.clear();
}

qint16 SettingToInt16(const QString& text) {
    const QString trimmed = text.trimmed();
    bool ok = false;
    const qint16 value = trimmed.toShort(&ok);
    if (ok) {
        return value;
    }
    // A number with a fraction rounds half to even, as the integer conversion of settings
    // always did; anything else (or out of range) is 0.
    const double number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number) || number < -32768.5 || number >= 32767.5) {
        return 0;
    }
    return qint16(std::nearbyint(number));
}

QString GetLocalComputerName() {
    const std::optional<QString> name = SystemComputerName();
    if (!name) {
        return QString();
    }
    return name->left(127);
}

quintptr FindWindowByTitle(const QString& title) {
    return FindWindowByTitleSeam(title);
}
