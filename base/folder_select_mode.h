#pragma once
// Why the folder-selection window is open. The main window sets it just before it opens
// that window and puts it back to 0 when the window has closed.

#include <QtGlobal>

namespace FolderSelect {
constexpr qint16 None = 0;
constexpr qint16 TolvaneMailboxPath = 3;
constexpr qint16 MasterFolderPath = 4;
constexpr qint16 MasterDNCAdminPath = 5;
constexpr qint16 XPModeMailboxPath = 6;
}  // namespace FolderSelect

extern qint16 FolderSelectMode;
