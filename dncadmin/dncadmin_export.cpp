#include "dncadmin/dncadmin_export.h"

#include "base/ini_text.h"
#include "base/inifile.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/platform.h"
#include "db/client_attributes.h"
#include "db/protocol_names.h"
#include "dncadmin/atomic_file.h"

#include <QFileInfo>

#include <algorithm>

namespace {

const QString kCncList = QStringLiteral("CNC_LIST");
const QString kExportTitle = QStringLiteral("Export DNCAdmin error!");

}  // namespace

DefaultFolders DefaultFoldersOf(const QList<DirectoryRecord>& dirs) {
    DefaultFolders folders;
    bool down = false;
    bool up = false;
    for (const DirectoryRecord& dir : dirs) {
        if (!down && (dir.dir_mode == 1 || dir.dir_mode == 3)) {
            folders.Down = dir.directory_direct;
            down = true;
        }
        if (!up && dir.dir_mode == 2) {
            folders.Up = dir.directory_direct;
            up = true;
        }
    }
    if (!up) {
        folders.Up = folders.Down;
    }
    return folders;
}

bool IsShopTerminal(const QString& protocolDisplayName) {
    return protocolDisplayName == QLatin1String("SHOP TERMINAL");
}

QString DncAdminNameProblem(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        return QStringLiteral("the name is empty");
    }
    for (const QChar c : name) {
        if (c.unicode() > 0xFF || c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
            c.unicode() == 0) {
            return QStringLiteral("the name holds a character DNCAdmin.ini cannot hold");
        }
    }
    if (name.contains(QLatin1Char(']'))) {
        return QStringLiteral("a section name cannot hold \"]\"");
    }
    // In the list such a name would read back without its quotes, and name another section.
    if (name.size() > 1 &&
        (name.front() == QLatin1Char('"') || name.front() == QLatin1Char('\'')) &&
        name.back() == name.front()) {
        return QStringLiteral("the name is enclosed in quotes");
    }
    if (trimmed != name) {
        return QStringLiteral("the name begins or ends with a blank");
    }
    static const QStringList reserved = {kCncList,
                                         QStringLiteral("ADMIN"),
                                         QStringLiteral("NODE01"),
                                         QStringLiteral("NODE02"),
                                         QStringLiteral("NODE03"),
                                         QStringLiteral("NODE04")};
    for (const QString& word : reserved) {
        if (IniNamesEqual(IniName(name), IniName(word))) {
            return QStringLiteral("the name is a section DNCAdmin.ini uses itself");
        }
    }
    return QString();
}

std::optional<QByteArray> DncAdminBytesWithValue(const QByteArray& bytes, const QString& section,
                                                 const QString& key, const QString& value,
                                                 QString* error) {
    const auto beyondLatin1 = [](const QString& text) {
        return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
    };
    const bool ansi = IniText(bytes).Encoding() == IniEncoding::Ansi;
    if (ansi && (beyondLatin1(section) || beyondLatin1(key) || beyondLatin1(value))) {
        if (error) {
            *error = QStringLiteral("[%1] %2=%3 cannot be written in the file's encoding (ANSI)")
                         .arg(section, key, value);
        }
        return std::nullopt;
    }
    std::optional<QByteArray> next = IniBytesWithValue(bytes, section, key, value);
    if (!next && error) {
        *error = QStringLiteral("[%1] %2 cannot be written").arg(section, key);
    }
    return next;
}

std::optional<QByteArray> BuildDncAdminExport(const QByteArray& base,
                                              const QList<DncAdminClient>& clients,
                                              QString* error) {
    QByteArray bytes = base;
    auto write = [&](const QString& section, const QString& key, const QString& value) {
        std::optional<QByteArray> next = DncAdminBytesWithValue(bytes, section, key, value, error);
        if (!next) {
            return false;
        }
        bytes = std::move(*next);
        return true;
    };
    for (const DncAdminClient& client : clients) {
        const QString problem = DncAdminNameProblem(client.Name);
        if (!problem.isEmpty()) {
            if (error) {
                *error = QStringLiteral("Client \"%1\": %2").arg(client.Name, problem);
            }
            return std::nullopt;
        }
        if (!write(client.Name, QStringLiteral("NODE_ID"), client.NodeId) ||
            !write(client.Name, QStringLiteral("PORT_ID"), client.PortId) ||
            !write(client.Name, QStringLiteral("PROTOCOL"), client.Protocol) ||
            !write(client.Name, QStringLiteral("DEFAULT_DIR"), client.DefaultDir) ||
            !write(client.Name, QStringLiteral("DEFAULT_UP_DIR"), client.DefaultUpDir)) {
            return std::nullopt;
        }
    }
    int number = 0;
    for (const DncAdminClient& client : clients) {
        if (!write(kCncList, QString::number(++number), client.Name)) {
            return std::nullopt;
        }
    }
    return bytes;
}

QString DatabaseFailureText(const ErrorInfo& error) {
    if (IsBusyError(error)) {
        return QStringLiteral("the database is busy or locked by another program (%1)")
            .arg(error.description);
    }
    return QStringLiteral("the database could not be read (%1)").arg(error.description);
}

ExportOutcome ExportDncAdmin(const QStringList& clientNames, const QString& basePath,
                             const QString& targetPath) {
    ExportOutcome outcome;
    if (!QFileInfo(NativePath(basePath)).isFile()) {
        outcome.Error = QStringLiteral(
                            "The base file \"%1\" was not found; DNCAdmin.ini was "
                            "not written.")
                            .arg(basePath);
        return outcome;
    }
    QString readError;
    const std::optional<QByteArray> base = ReadWholeFile(basePath, &readError);
    if (!base) {
        outcome.Error =
            QStringLiteral("The base file \"%1\" cannot be read: %2").arg(basePath, readError);
        return outcome;
    }

    QList<DncAdminClient> clients;
    {
        // Any failed read stops the export: a value it left out would be written as empty.
        const ReportWatch reads;
        // Every client in a few statements, not a few per client.
        const std::optional<NamedClients> read = ClientsByName(clientNames, true);
        for (const QString& name : clientNames) {
            if (!read || reads.Failed()) {
                break;
            }
            const auto client = read->constFind(name);
            if (client == read->cend() && NameReadAsInvalidText(name)) {
                // Not a client deleted meanwhile: its name cannot be read, and a list
                // without it would pass for the whole one.
                const std::optional<QList<qint32>> ids = ClientIdsOfNameAsRead(name);
                QStringList shown;
                for (const qint32 id : ids.value_or(QList<qint32>())) {
                    shown << QString::number(id);
                }
                outcome.Error = QStringLiteral(
                                    "The name of client id %1 is not valid text; DNCAdmin.ini "
                                    "was not written.")
                                    .arg(shown.isEmpty() ? QStringLiteral("?")
                                                         : shown.join(QStringLiteral(", ")));
                return outcome;
            }
            if (client == read->cend()) {
                outcome.Skipped << name;
                continue;
            }
            ExportClientMode = client->Mode;
            ClientDirs = client->Dirs;
            const QString protocol = ProtocolDisplayName(ExportClientMode.Protocol);
            if (IsShopTerminal(protocol)) {
                ++outcome.ShopTerminals;
                continue;
            }
            const DefaultFolders folders = DefaultFoldersOf(ClientDirs);
            clients.append(DncAdminClient{name, ExportClientMode.NodeId, ExportClientMode.PortId,
                                          protocol, folders.Down, folders.Up});
        }
        if (reads.Failed()) {
            outcome.Error = QStringLiteral("The export stopped: %1; DNCAdmin.ini was not written.")
                                .arg(DatabaseFailureText(reads.Last()));
            return outcome;
        }
    }

    QString buildError;
    const std::optional<QByteArray> bytes = BuildDncAdminExport(*base, clients, &buildError);
    if (!bytes) {
        outcome.Error = buildError + QStringLiteral("; DNCAdmin.ini was not written.");
        return outcome;
    }
    QString saveError;
    if (!SaveFileAtomically(targetPath, *bytes, &saveError)) {
        outcome.Error = QStringLiteral("\"%1\" cannot be written: %2").arg(targetPath, saveError);
        return outcome;
    }
    for (const DncAdminClient& client : clients) {
        outcome.Listed << client.Name;
    }
    outcome.Bytes = *bytes;
    outcome.Ok = true;
    return outcome;
}

bool ExportDncAdminInProgramFolder(const QStringList& clientNames) {
    const QString folder = ProgramFolder();
    const ExportOutcome outcome =
        ExportDncAdmin(clientNames, JoinPath(folder, QStringLiteral("DNCAdminExportCopy.ini")),
                       JoinPath(folder, QStringLiteral("DNCAdmin.ini")));
    for (const QString& name : outcome.Skipped) {
        ShowMessage(QStringLiteral("Client \"%1\" not found; it is not exported.").arg(name),
                    MsgButtons::Ok, MsgIcon::Exclamation, kExportTitle);
    }
    if (!outcome.Ok) {
        ShowMessage(outcome.Error, MsgButtons::Ok, MsgIcon::Critical, kExportTitle);
    }
    return outcome.Ok;
}
