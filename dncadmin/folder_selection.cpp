#include "dncadmin/folder_selection.h"

#include "base/app_state.h"
#include "base/folder_select_mode.h"
#include "base/inifile.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/platform.h"
#include "db/dnc_database.h"
#include "dncadmin/atomic_file.h"
#include "dncadmin/dncadmin_diff.h"
#include "dncadmin/dncadmin_merge.h"

#include <QDir>
#include <QFileInfo>

QString SelectedFolderPath;

namespace {

const QString kPaths = QStringLiteral("PATHS");
const QString kMailboxTitle = QStringLiteral("MASTER Mailbox error!");
const QString kFolderTitle = QStringLiteral("MASTER folder path error!");

bool FolderExists(const QString& path) {
    return QFileInfo(NativePath(path)).isDir();
}

void Critical(const QString& text, const QString& title = QString()) {
    ShowMessage(text, MsgButtons::Ok, MsgIcon::Critical, title);
}

// One profile write whose failure is shown (a value the DNC servers then miss is no success).
bool Write(const QString& file, const QString& section, const QString& key, const QString& value) {
    if (WriteIniValue(section, key, value, file)) {
        return true;
    }
    Critical(
        QStringLiteral("%1 could not be written to \"%2\" (section %3).").arg(key, file, section),
        QStringLiteral("Write error!"));
    return false;
}

bool StorePath(const QString& key, const QString& value) {
    return Write(SettingsFileName, kPaths, key, value);
}

QString TolvaneIni() {
    return JoinPath(ProgramFolder(), QStringLiteral("TolvaneDNC.ini"));
}

}  // namespace

FolderModeTexts FolderModeTextsFor(qint16 mode) {
    const QString exportButton = QStringLiteral("&EXPORT");
    const QString okButton = QStringLiteral("&OK");
    const QString mailboxHeading = QStringLiteral("Selected MailBox Path:");
    switch (mode) {
        case 0: {
            const QString prompt =
                QStringLiteral("Select this TolvaneDNC Server's DNCAdmin folder:");
            return {QStringLiteral("Export DNCAdmin"),    prompt, QString(), exportButton,
                    QStringLiteral("DNCADMINEXPORTPATH"), prompt};
        }
        case 2:
            return {QStringLiteral("Export MASTER DNCAdmin"),
                    QString(),
                    QString(),
                    exportButton,
                    QString(),
                    QString()};
        case FolderSelect::TolvaneMailboxPath: {
            const QString prompt =
                QStringLiteral("Select the TolvaneDNC Server(s) Master MailBox folder:");
            return {QStringLiteral("Tolvane MASTER MailBox Path"), prompt, mailboxHeading, okButton,
                    QStringLiteral("MASTERMAILBOXPATH"),           prompt};
        }
        case FolderSelect::MasterFolderPath:
            return {QStringLiteral("MASTER Folder path"),
                    QStringLiteral("Select the TolvaneDNC Server(s) Master folder path:"),
                    QStringLiteral("Selected Master folder path:"),
                    okButton,
                    QStringLiteral("MASTERFOLDERPATH"),
                    QStringLiteral("Select the TolvaneDNC Server(s)\\DNCAdmin(s) Master path:")};
        case FolderSelect::MasterDNCAdminPath: {
            const QString prompt = QStringLiteral("Select the Master DNCAdmin path:");
            return {QStringLiteral("MASTER DNCAdmin path"),
                    prompt,
                    QStringLiteral("Selected Master DNCAdmin path"),
                    okButton,
                    QStringLiteral("MASTERDNCADMINPATH"),
                    prompt};
        }
        case FolderSelect::XPModeMailboxPath: {
            const QString prompt = QStringLiteral("Select the XPMode Master MailBox folder:");
            return {QStringLiteral("XPMode MASTER MailBox Path"), prompt, mailboxHeading, okButton,
                    QStringLiteral("MASTERMAILBOXPATH"),          prompt};
        }
        default:  // 1, and any number no caller uses: the design texts
            return {QStringLiteral("Export DNCAdmin"),
                    QString(),
                    QString(),
                    exportButton,
                    QString(),
                    QString()};
    }
}

QStringList MasterFolderNames() {
    return {QStringLiteral("TolvaneNode01"),   QStringLiteral("TolvaneNode02"),
            QStringLiteral("TolvaneNode03"),   QStringLiteral("TolvaneNode04"),
            QStringLiteral("MASTER DNCAdmin"), QStringLiteral("MASTER MailBox")};
}

QString StoredFolderFor(qint16 mode) {
    const QString key = FolderModeTextsFor(mode).StoredKey;
    if (key.isEmpty()) {
        return QString();
    }
    // A local path stored by an earlier version reads back as the same folder's text.
    return WindowsPathText(ReadIniValue(SettingsFileName, kPaths, key, QString()).toUpper());
}

QString FolderPathText(const QString& pathName, bool isComputer) {
    const bool network =
        pathName.startsWith(QStringLiteral("\\\\")) || pathName.startsWith(QStringLiteral("//"));
    if (isComputer || network || !QDir::isAbsolutePath(pathName)) {
        return QString();
    }
    return WindowsPathText(pathName);
}

bool CopyExportedFile(const QString& folder) {
    const QString source = JoinPath(ProgramFolder(), QStringLiteral("DNCAdmin.ini"));
    const QString target = JoinPath(folder, QStringLiteral("DNCAdmin.ini"));
    // The server's own file: the operator sees what changes for its clients first.
    if (const std::optional<QByteArray> bytes = ReadWholeFile(source);
        bytes && !ConfirmDncAdminReplacement(target, *bytes, QStringLiteral("Export DNCAdmin"))) {
        return false;
    }
    QString error;
    if (!CopyFileAtomically(source, target, &error)) {
        Critical(
            QStringLiteral("DNCAdmin.ini could not be copied to \"%1\": %2").arg(target, error),
            QStringLiteral("Export DNCAdmin error!"));
        return false;
    }
    return StorePath(QStringLiteral("DNCADMINEXPORTPATH"), folder);
}

bool SetupMailbox(const QString& m) {
    const QString tolvane = TolvaneIni();
    if (!Write(tolvane, QStringLiteral("TRANSACT"), QStringLiteral("INPATH"),
               m + QStringLiteral("\\IN\\IN")) ||
        !Write(tolvane, QStringLiteral("TRANSACT"), QStringLiteral("OUTPATH"),
               m + QStringLiteral("\\OUT\\OUT")) ||
        !StorePath(QStringLiteral("MASTERMAILBOXPATH"), m) ||
        !Write(tolvane, QStringLiteral("CLIENTS"), QStringLiteral("TEMPFILEPATH"),
               m + QStringLiteral("\\CLIENTS"))) {
        return false;
    }
    return UpdateMasterNodePaths(m);
}

bool UpdateMasterNodePaths(const QString& m) {
    const QString master =
        ReadIniValue(SettingsFileName, kPaths, QStringLiteral("MASTERDNCADMINPATH"), QString())
            .toUpper();
    if (master.isEmpty()) {
        Critical(QStringLiteral("Master DNCAdmin path not found!, Merge DNCAdmin"), kMailboxTitle);
        return true;
    }
    const QString file = JoinPath(master, QStringLiteral("DNCADMIN.INI"));
    if (!QFileInfo(NativePath(file)).isFile() ||
        ReadIniValue(file, QStringLiteral("ADMIN"), QStringLiteral("LINES_DISPLAYED"), QString())
            .isEmpty()) {
        Critical(QStringLiteral("Master DNCAdmin file not found!, Merge DNCAdmin from Host"),
                 kMailboxTitle);
        return true;
    }
    static const QStringList nodes = {QStringLiteral("01"), QStringLiteral("02"),
                                      QStringLiteral("03"), QStringLiteral("04")};
    if (!nodes.contains(ServerNodeId)) {
        return true;  // only four nodes have a section in the master
    }
    const QString section = QStringLiteral("NODE") + ServerNodeId;
    const QString clients = m + QStringLiteral("\\CLIENTS");
    return Write(file, section, QStringLiteral("DOWN_PATH"), clients) &&
           Write(file, section, QStringLiteral("UP_PATH"), clients) &&
           Write(file, section, QStringLiteral("INMAIL_PATH"), m + QStringLiteral("\\IN")) &&
           Write(file, section, QStringLiteral("OUTMAIL_PATH"), m + QStringLiteral("\\OUT"));
}

bool CreateMasterFolderTree(const QString& m) {
    const QString prefix = QStringLiteral("Master folder path '");
    if (m.toUpper().contains(QStringLiteral("\\\\TSCLIENT\\"))) {
        // A drive of a remote-desktop client: one folder at a time, as the share allows.
        // Share paths are Windows path text wherever the program runs.
        const QString base = m.endsWith(QLatin1Char('\\')) ? m : m + QLatin1Char('\\');
        for (const QString& name : MasterFolderNames()) {
            const QString folder = base + name;
            if (!FolderExists(folder) && !QDir().mkdir(NativePath(folder))) {
                Critical(prefix + folder + QStringLiteral("' creation error"), kFolderTitle);
                return false;
            }
            if (!FolderExists(folder)) {
                Critical(prefix + folder + QStringLiteral("' not created error"), kFolderTitle);
                return false;
            }
        }
        return StorePath(QStringLiteral("MASTERFOLDERPATH"), m);
    }
    if (!FolderExists(m)) {
        Critical(prefix + m + QStringLiteral("' not found"), kFolderTitle);
        return false;
    }
    if (!StorePath(QStringLiteral("MASTERFOLDERPATH"), m)) {
        return false;
    }
    for (const QString& name : MasterFolderNames()) {
        const QString folder = JoinPath(m, name);
        CreateFolderPath(folder);
        if (!FolderExists(folder)) {
            Critical(prefix + folder + QStringLiteral("' not created"),
                     QStringLiteral("MASTER folder path creation error!"));
            return false;
        }
    }
    return true;
}

ConfirmOutcome ConfirmFolderSelection(qint16 mode) {
    SelectedFolderPath = WindowsPathText(SelectedFolderPath);
    if (SelectedFolderPath.isEmpty()) {
        return ConfirmOutcome::Nothing;
    }
    if (CheckServerConfig() != 0) {
        return ConfirmOutcome::Nothing;
    }
    bool close = true;
    switch (mode) {
        case 0:
            close = CopyExportedFile(SelectedFolderPath);
            break;
        case 2:
            MasterDncAdminPath = SelectedFolderPath;
            close = StorePath(QStringLiteral("MASTERDNCADMINPATH"), SelectedFolderPath);
            for (int i = 0; close && i < kMergeSources; ++i) {
                close = StorePath(QStringLiteral("DNCADMINPATH") + QString::number(i + 1),
                                  WindowsPathText(DncAdminPaths[size_t(i)]));
            }
            break;
        case FolderSelect::TolvaneMailboxPath:
            if (SelectedFolderPath == QLatin1String("C:\\")) {
                SelectedFolderPath = QStringLiteral("C:\\DNC");
            }
            close = SetupMailbox(SelectedFolderPath);
            break;
        case FolderSelect::XPModeMailboxPath:
            close = SetupMailbox(SelectedFolderPath);
            break;
        case FolderSelect::MasterDNCAdminPath:
            close = StorePath(QStringLiteral("MASTERDNCADMINPATH"), SelectedFolderPath);
            break;
        case FolderSelect::MasterFolderPath:
            close = CreateMasterFolderTree(SelectedFolderPath);
            break;
        default:  // 1: nothing is written
            break;
    }
    return close ? ConfirmOutcome::Close : ConfirmOutcome::StayOpen;
}
