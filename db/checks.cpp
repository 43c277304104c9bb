// The check that this computer is a configured DNC server whose clients share one node
// identifier, and the creation of a folder path level by level.

#include "base/app_state.h"
#include "base/messages.h"
#include "base/paths.h"
#include "db/client_attributes.h"
#include "db/dnc_database.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kMaxFolderLevels = 9;

void ConfigurationError(const QString& text, const QString& title) {
    ShowMessage(text, MsgButtons::Ok, MsgIcon::Critical, title);
}

bool IsSeparator(QChar c) {
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

struct SplitPath {
    QString drive;          // "C:" (or "/" for a path from the root)
    QStringList levels;     // path text of each level, top down
    bool driveForm = true;  // false when the text does not start with a drive
};

SplitPath Split(const QString& path) {
    SplitPath split;
    QString rest;
#ifndef Q_OS_WIN
    // On this platform the root plays the drive; "/A/B" is accepted beside "C:\A\B".
    if (path.startsWith(QLatin1Char('/'))) {
        split.drive = QStringLiteral("/");
        rest = path.mid(1);
    } else
#endif
    {
        split.drive = path.left(2);
        split.driveForm = path.size() >= 2 && path.at(0).isLetter() && path.at(0).unicode() < 128 &&
                          path.at(1) == QLatin1Char(':') &&
                          (path.size() == 2 || IsSeparator(path.at(2)));
        rest = path.mid(3);
    }
    QString level = split.drive == QLatin1String("/") ? QString() : split.drive;
    QString current;
    const auto addLevel = [&]() {
        if (!current.isEmpty()) {
            level += QLatin1Char('\\') + current;
            split.levels << level;
            current.clear();
        }
    };
    for (QChar c : rest) {
        if (IsSeparator(c)) {
            addLevel();
        } else {
            current += c;
        }
    }
    addLevel();
    if (split.drive == QLatin1String("/")) {
        for (QString& text : split.levels) {
            text.replace(QLatin1Char('\\'), QLatin1Char('/'));
        }
    }
    return split;
}

bool FolderExists(const QString& pathText) {
    const QFileInfo info(NativePath(pathText));
    return info.exists() && info.isDir();
}

}  // namespace

qint16 CheckServerConfig() {
    ServerNodeId.clear();
    ServerClientTable.clear();  // a refused check leaves no table of an earlier one
    const int servers = LoadServerNames();
    if (servers < 0) {
        return -1;  // the report named the cause; "0 Servers" would name a wrong one
    }
    if (servers == 0) {
        ConfigurationError(QStringLiteral("0 Servers configured!, create this Server\\w Clients "
                                          "prior to this selection"),
                           QStringLiteral("Server configuration error!"));
        return -1;
    }
    if (!ServerNames.contains(LocalComputerName)) {
        ConfigurationError(
            LocalComputerName + QStringLiteral(" is not configured as a DNC Server!, create "
                                               "this DNC Server prior to this selection"),
            QStringLiteral("Server configuration error!"));
        return -1;
    }

    bool failed = false;
    if (const std::optional<qint32> serverId = GetServerID(LocalComputerName, &failed)) {
        failed = LoadServerClientNames(*serverId) < 0;
    } else {
        ServerClients.clear();
    }
    if (failed) {
        return -1;  // reported
    }
    QStringList names;
    for (const ClientListEntry& client : std::as_const(ServerClients)) {
        if (client.ClientName.isEmpty()) {
            break;
        }
        names << client.ClientName;
    }
    // All clients in a few statements; the current client ends as the last one read, as a
    // client-by-client reading would leave it.
    const std::optional<NamedClients> read = ClientsByName(names, false);
    if (!read) {
        return -1;  // reported: not "0 Clients configured"
    }
    for (const QString& name : std::as_const(names)) {
        CurrentClientName = name;
        const auto client = read ? read->constFind(name) : NamedClients::const_iterator();
        // A client that vanished since the list was read has no node identifier to compare.
        if (!read || client == read->cend()) {
            continue;
        }
        CurrentServerId = client->Mode.ServerId;
        CurrentClientId = client->Mode.ClientId;
        CurrentClientMode = client->Mode;
        ServerClientTable.append(ServerClientRow{name, client->Mode.NodeId});
    }
    if (ServerClientTable.isEmpty()) {
        ConfigurationError(
            QStringLiteral("0 Clients configured!, create Clients prior to this selection"),
            QStringLiteral("Client configuration error!"));
        return -1;
    }

    const QString nodeId = ServerClientTable.constFirst().NodeId;
    for (const ServerClientRow& row : std::as_const(ServerClientTable)) {
        if (row.NodeId != nodeId) {
            // Not a failure: the node and port tool exists to repair exactly this.
            ConfigurationError(QStringLiteral("The NodeID's for this Server must be the same!, "
                                              "use the NodeID 'TOOL'"),
                               QStringLiteral("NodeID error!"));
            return 0;
        }
    }
    ServerNodeId = nodeId;
    return 0;
}

qint16 CreateFolderPath(const QString& path) {
    const SplitPath split = Split(path);
    if (split.levels.size() > kMaxFolderLevels) {
        ShowMessage(QStringLiteral("Directories exceed 9 levels"), MsgButtons::Ok, MsgIcon::None,
                    QStringLiteral("Directory error"));
        return -1;
    }
    const QString driveRoot =
        split.drive == QLatin1String("/") ? split.drive : split.drive + QLatin1Char('\\');
    if (!split.driveForm || !FolderExists(driveRoot)) {
        ShowMessage(
            QStringLiteral("Drive Error, \"") + split.drive + QStringLiteral("\"doesn't exist"),
            MsgButtons::Ok, MsgIcon::None, QStringLiteral("Drive designation error"));
        return -1;
    }
    for (const QString& level : split.levels) {
        if (FolderExists(level)) {
            continue;
        }
        // A level that cannot be made (no right to, or a file of that name) ends the walk:
        // the folders below it cannot exist either, and the caller must not count on them.
        if (!QDir().mkdir(NativePath(level))) {
            return -1;
        }
    }
    return 0;
}
