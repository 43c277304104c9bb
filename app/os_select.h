#pragma once
// The operating-system selection (ADMIN/OS): which Tools commands the main window offers
// for it, and the rewrite of "Program Files" folder names in the INI files that a change
// of selection makes. No widgets here, so all of it is testable on its own.

#include <QList>
#include <QString>

#include <optional>

namespace OsValue {
inline const QString XP = QStringLiteral("32");
inline const QString Vista7 = QStringLiteral("64");
inline const QString XPMode = QStringLiteral("32XP");
inline const QString None = QString();
}  // namespace OsValue

// What the selection does to one Tools menu item. A visibility of nothing means the item
// keeps whatever visibility it has.
struct ToolsItemState {
    QString objectName;
    bool enabled = false;
    std::optional<bool> visible;
};

// The Tools items for a selection, or nothing for a value that is none of "32XP", "64",
// "32" and "": such a value leaves the menu as it is. The comparison is exact.
std::optional<QList<ToolsItemState>> ToolsMenuFor(const QString& selectedOs);

// The folder name that paths under Program Files get for a selection: "PROGRAM FILES (X86)"
// for "64", otherwise "PROGRAM FILES".
QString ProgramFilesFolderName(const QString& selectedOs);

// The text (every line ended by CR LF) with, on each line, the first folder whose name
// starts with "Program Files" (any case, after a backslash) renamed to the folder name of
// the selection. The rest of the line keeps its case. A line on which that folder is not
// followed by another backslash is left as it is.
QString RewriteProgramFilesText(const QString& text, const QString& selectedOs);

// Reads the file, rewrites it as above and writes it back; the write adds one CR LF at the
// end. A missing file becomes a file holding one empty line. Returns true when it failed,
// after showing the "Write error!" message; a file that exists but cannot be read is left
// untouched and counts as failed.
bool RewriteProgramFilesPaths(const QString& filePath, const QString& selectedOs);
