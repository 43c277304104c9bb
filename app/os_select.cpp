#include "app/os_select.h"

#include "base/messages.h"
#include "base/paths.h"
#include "base/textfile.h"

#include <QFileInfo>

namespace {

ToolsItemState Item(const char* name, bool enabled, std::optional<bool> visible) {
    return ToolsItemState{QLatin1String(name), enabled, visible};
}

constexpr bool Enabled = true;
constexpr bool Disabled = false;
constexpr std::optional<bool> Shown = true;
constexpr std::optional<bool> Hidden = false;
constexpr std::optional<bool> Keep = std::nullopt;

}  // namespace

std::optional<QList<ToolsItemState>> ToolsMenuFor(const QString& selectedOs) {
    if (selectedOs == OsValue::XPMode) {
        return QList<ToolsItemState>{
            Item("mnuNodeID", Enabled, Keep),
            Item("mnuMasterFolder", Disabled, Hidden),
            Item("mnuExportDNCAdmin", Enabled, Shown),
            Item("mnuToolsMerge", Disabled, Hidden),
            Item("mnuTolvaneMailboxPath", Disabled, Hidden),
            Item("mnuXPModeMailboxPath", Enabled, Shown),
            Item("mnuMasterDNCAdminPath", Enabled, Keep),
        };
    }
    if (selectedOs == OsValue::Vista7 || selectedOs == OsValue::XP) {
        const bool vista = selectedOs == OsValue::Vista7;
        return QList<ToolsItemState>{
            Item("mnuNodeID", Enabled, Keep),
            Item("mnuMasterFolder", Enabled, Shown),
            Item("mnuExportDNCAdmin", Enabled, Shown),
            Item("mnuToolsMerge", Enabled, Shown),
            Item("mnuTolvaneMailboxPath", Enabled, Shown),
            Item("mnuXPModeMailboxPath", Disabled, Hidden),
            Item("mnuMasterDNCAdminPath", Disabled, vista ? Keep : Hidden),
        };
    }
    if (selectedOs.isEmpty()) {
        return QList<ToolsItemState>{
            Item("mnuNodeID", Disabled, Keep),
            Item("mnuMasterFolder", Disabled, Keep),
            Item("mnuExportDNCAdmin", Disabled, Keep),
            Item("mnuToolsMerge", Disabled, Keep),
            Item("mnuTolvaneMailboxPath", Disabled, Keep),
            Item("mnuXPModeMailboxPath", Disabled, Hidden),
            Item("mnuMasterDNCAdminPath", Disabled, Hidden),
        };
    }
    return std::nullopt;
}

QString ProgramFilesFolderName(const QString& selectedOs) {
    return selectedOs == OsValue::Vista7 ? QStringLiteral("PROGRAM FILES (X86)")
                                         : QStringLiteral("PROGRAM FILES");
}

QString RewriteProgramFilesText(const QString& text, const QString& selectedOs) {
    static const QString kFolder = QStringLiteral("\\PROGRAM FILES");
    static const QString kLineEnd = QStringLiteral("\r\n");
    const QString replacement = ProgramFilesFolderName(selectedOs);

    QString result;
    result.reserve(text.size() + 64);
    qsizetype from = 0;  // start of the text not yet copied to result
    while (from < text.size()) {
        // Searched without changing case: upper-casing may change the length of the text.
        const qsizetype p = text.indexOf(kFolder, from, Qt::CaseInsensitive);
        if (p < 0) {
            break;
        }
        qsizetype lineEnd = text.indexOf(kLineEnd, p);
        if (lineEnd < 0) {
            lineEnd = text.size();
        }
        // The folder name runs to the next backslash; only one on the same line counts, so
        // a name at the end of a line never swallows the lines after it.
        const qsizetype next = text.indexOf(QLatin1Char('\\'), p + 1);
        if (next >= 0 && next < lineEnd) {
            result += QStringView(text).mid(from, p + 1 - from);
            result += replacement;
            result += QStringView(text).mid(next, lineEnd - next);
        } else {
            result += QStringView(text).mid(from, lineEnd - from);
        }
        from = lineEnd;  // at most one folder name per line
    }
    result += QStringView(text).mid(from);
    return result;
}

bool RewriteProgramFilesPaths(const QString& filePath, const QString& selectedOs) {
    TextFileRecord record;
    record.FileName = filePath;
    ReadTextFile(record);
    const bool unreadable = !record.Success && QFileInfo::exists(NativePath(filePath));
    if (!unreadable) {
        // A missing file reads as no text, and the write creates it.
        record.Contents = RewriteProgramFilesText(record.Contents, selectedOs);
        WriteTextFile(record);
    }
    if (unreadable || !record.Success) {
        ShowMessage(DisplayPath(filePath) + QStringLiteral(" write error!"), MsgButtons::Ok,
                    MsgIcon::Critical, QStringLiteral("Write error!"));
        return true;
    }
    return false;
}
