#pragma once
// The application state read at start-up and kept for the whole run.

#include <QString>
#include <QStringList>

extern QString SettingsFileName;   // program folder + separator + "Kestrum.ini"
extern QString LocalComputerName;  // upper case; "" when the system call failed
extern QStringList HelpFileNames;  // HELPFILENAME, HELPFILENAME1 ... HELPFILENAME8, upper case
extern QString DatabaseFolder;     // MDBPATH, upper case (default the program folder)
extern QString DncConnectionString;
extern QString ExportDncAdminFlag;
extern QString BtManagerPath;
extern qint16 BtsConfigBaud;
extern QString BtsReconnectPath;
extern qint16 BtsTimerInc;
extern QString BtsMenuFlag;
extern QString BtsComPort;
extern QString BtsTermFlag;
extern qint16 PrintFontSize;
extern QString SelectedOs;  // ADMIN/OS, read by the main window when it loads

// Back to the values before start-up (tests start every case from here).
void ResetApplicationState();

// A settings number as the start-up reads it: 0 when the text does not convert to a
// 16-bit integer.
qint16 SettingToInt16(const QString& text);

// This computer's name as the system reports it, or "" when the call fails.
QString GetLocalComputerName();

// A top-level window with exactly this title, 0 when there is none.
quintptr FindWindowByTitle(const QString& title);
