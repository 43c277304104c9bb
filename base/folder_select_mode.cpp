#include "base/folder_select_mode.h"

qint16 FolderSelectMode = FolderSelect::None;
