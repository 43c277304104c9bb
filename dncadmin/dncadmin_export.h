#pragma once
// The export of a server's clients into DNCAdmin.ini, the client list the DNC servers read.
// The file is the base (DNCAdminExportCopy.ini) followed by the profile writes of the
// export, in their order, built in memory and saved once.

#include "db/dnc_database.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the export writes for one client.
struct DncAdminClient {
    QString Name;
    QString NodeId;
    QString PortId;
    QString Protocol;  // the display name
    QString DefaultDir;
    QString DefaultUpDir;
};

struct DefaultFolders {
    QString Down;  // first folder with dir_mode 1 or 3; "" when there is none
    QString Up;    // first folder with dir_mode 2; Down when there is none
};

// The default folders of a client's directory records (sorted by folder, as LoadClientDirs
// sorts them).
DefaultFolders DefaultFoldersOf(const QList<DirectoryRecord>& dirs);

// Shop terminals are served by the DNC server itself and are not listed.
bool IsShopTerminal(const QString& protocolDisplayName);

// Why a client name cannot be a section of DNCAdmin.ini ("" when it can). A name that reads
// back as another section, or as one the file itself uses, would corrupt the list.
QString DncAdminNameProblem(const QString& name);

// The bytes of an INI file (ANSI or UTF-16) after WriteIniValue(section, key, value): as
// IniBytesWithValue, but a letter an ANSI file cannot hold is refused instead of written
// as "?". Nothing, with error saying why, when the value cannot be written.
std::optional<QByteArray> DncAdminBytesWithValue(const QByteArray& bytes, const QString& section,
                                                 const QString& key, const QString& value,
                                                 QString* error);

// The base with one section per client (NODE_ID, PORT_ID, PROTOCOL, DEFAULT_DIR,
// DEFAULT_UP_DIR) and the CNC_LIST "1", "2", ... in the order given. Nothing (with error set)
// when a value cannot be written.
std::optional<QByteArray> BuildDncAdminExport(const QByteArray& base,
                                              const QList<DncAdminClient>& clients,
                                              QString* error = nullptr);

// The cause of a failed database read in words for the one who runs the export: a busy or
// locked database says so.
QString DatabaseFailureText(const ErrorInfo& error);

struct ExportOutcome {
    bool Ok = false;
    QString Error;          // why nothing was written
    QStringList Skipped;    // clients not found in the database
    QStringList Listed;     // the names in CNC_LIST, in order
    int ShopTerminals = 0;  // left out
    QByteArray Bytes;       // the file written
};

// The DNCAdmin.ini export of clientNames (the order of the export window's list): reads each
// client from the database, builds the file on the base and replaces target with it in one
// write. Database errors are reported by the database layer and stop the export; a client
// that is not found is skipped (and named in Skipped). On failure target is untouched.
ExportOutcome ExportDncAdmin(const QStringList& clientNames, const QString& basePath,
                             const QString& targetPath);

// The export window's export: base and target in the program folder, every message shown.
// Returns whether DNCAdmin.ini was written.
bool ExportDncAdminInProgramFolder(const QStringList& clientNames);
