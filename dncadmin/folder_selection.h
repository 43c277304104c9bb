#pragma once
// What the folder-selection window does in each of its modes (FolderSelectMode): the
// texts it shows, the stored path it offers and the work of its confirm button. Kept apart
// from the window so every mode can be run on temporary folders.

#include <QString>
#include <QStringList>

// The folder chosen in the window; emptied when the window opens.
extern QString SelectedFolderPath;

struct FolderModeTexts {
    QString Caption;
    QString Prompt;     // Label1; empty: the design text stays
    QString Heading;    // Label2; empty: the design text stays
    QString Button;     // cmdExport
    QString StoredKey;  // section PATHS of the settings file; empty: none offered
    QString EmptyText;  // lblSelectedFolder when no path is stored
};

FolderModeTexts FolderModeTextsFor(qint16 mode);

// The six folders of a master folder tree, in the order they are made.
QStringList MasterFolderNames();

// The stored path the mode offers, upper-cased Windows path text ("" when none).
QString StoredFolderFor(qint16 mode);

// The Windows path text of a folder picked in the tree; "" for a computer or a network
// folder, which have no file-system path.
QString FolderPathText(const QString& pathName, bool isComputer);

enum class ConfirmOutcome {
    Nothing,   // no folder chosen, or the server check refused: the window stays as it is
    Close,     // done (possibly after a message): the window closes
    StayOpen,  // a folder or file error was shown: the window stays open
};

// The confirm button: the server check, then the work of the mode on SelectedFolderPath.
// Every path it writes is Windows path text, as the DNC servers read it.
ConfirmOutcome ConfirmFolderSelection(qint16 mode);

// The pieces of the work, each showing its own messages. They return false when the window
// must stay open.
bool CopyExportedFile(const QString& folder);     // mode 0
bool SetupMailbox(const QString& mailboxFolder);  // modes 3 and 6
bool UpdateMasterNodePaths(const QString& mailboxFolder);
bool CreateMasterFolderTree(const QString& masterFolder);  // mode 4
