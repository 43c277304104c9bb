#include "check/configuration_check.h"

#include "base/app_state.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/platform.h"
#include "db/protocol_names.h"
#include "dncadmin/atomic_file.h"
#include "dncadmin/dncadmin_diff.h"
#include "dncadmin/dncadmin_merge.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>

#include <algorithm>

namespace {

const QString kShopTerminal = QStringLiteral("SHOP TERMINAL");

// Names as the DNC server and the look-ups see them: letter case and outer blanks ignored.
QString NameKey(const QString& name) {
    return UpperLatin1(name.trimmed());
}

QString Quoted(const QString& text) {
    return QStringLiteral("\"") + text + QStringLiteral("\"");
}

// How many other clients a finding about a group names.
constexpr qsizetype kOthersNamed = 10;

QString NamesText(const QStringList& names) {
    return names.join(QStringLiteral(", "));
}

// The sort of LoadClientDirs: folder text, ASCII letter case ignored, ties by row.
bool DirectoryBefore(const CheckDirectoryRow* a, const CheckDirectoryRow* b) {
    const QString x = a->Path;
    const QString y = b->Path;
    const qsizetype n = std::min(x.size(), y.size());
    for (qsizetype i = 0; i < n; ++i) {
        QChar c = x.at(i);
        QChar d = y.at(i);
        if (c.unicode() < 128) {
            c = c.toLower();
        }
        if (d.unicode() < 128) {
            d = d.toLower();
        }
        if (c != d) {
            return c < d;
        }
    }
    if (x.size() != y.size()) {
        return x.size() < y.size();
    }
    return a->DirId < b->DirId;
}

class Checker {
public:
    Checker(const CheckData& data, const CheckOptions& options) : data_(data), options_(options) {
        for (const CheckServerRow& server : data_.Servers) {
            if (!serverNames_.contains(server.Id)) {
                serverNames_.insert(server.Id, server.Name);
            }
        }
        for (const CheckClientRow& client : data_.Clients) {
            clients_.insert(client.Id, &client);
            byServer_[client.ServerId].append(&client);
        }
        for (const CheckDirectoryRow& dir : data_.Directories) {
            dirs_[dir.ClientId].append(&dir);
        }
        for (auto it = dirs_.begin(); it != dirs_.end(); ++it) {
            std::stable_sort(it->begin(), it->end(), DirectoryBefore);
        }
    }

    QList<Finding> Run() {
        CheckRows();
        CheckClients();
        CheckServers();
        CheckNames();
        CheckBtsAddresses();
        for (const KnownDncAdminFile& file : options_.Files) {
            CheckDrift(file);
        }
        return std::move(findings_);
    }

private:
    QString ServerOf(const CheckClientRow& client) const {
        return serverNames_.value(client.ServerId);
    }

    void Add(Severity severity, const char* kind, const CheckClientRow* client, const QString& text,
             const QString& server = QString()) {
        Finding f;
        f.severity = severity;
        f.Kind = QLatin1String(kind);
        if (client) {
            f.Server = ServerOf(*client);
            f.Client = client->Name;
            f.ClientId = client->Id;
        } else {
            f.Server = server;
        }
        f.Text = text;
        findings_.append(f);
    }

    QString DisplayProtocolOf(const CheckClientRow& client) const {
        const auto it = data_.Protocols.constFind(client.ProtocolId);
        return ProtocolDisplayName(
            it != data_.Protocols.constEnd() ? *it : QString::number(client.ProtocolId));
    }

    // Rows every client must have, and rows whose client is gone.
    void CheckRows() {
        QMap<qint32, QStringList> leftBehind;
        auto leftBy = [&](qint32 id, const QString& table) {
            if (!clients_.contains(id) && !leftBehind[id].contains(table)) {
                leftBehind[id].append(table);
            }
        };
        QHash<qint32, QStringList> missing;
        for (const QString& table : ClientDependentTables()) {
            QSet<qint32> present;
            for (const qint32 id : data_.DependentRows.value(table)) {
                present.insert(id);
                leftBy(id, table);
            }
            for (const CheckClientRow& client : data_.Clients) {
                if (!present.contains(client.Id)) {
                    missing[client.Id].append(table);
                }
            }
        }
        for (const CheckClientRow& client : data_.Clients) {
            const QStringList tables = missing.value(client.Id);
            if (tables.isEmpty()) {
                continue;
            }
            Add(Severity::Error, "missing-row", &client,
                QStringLiteral("%1 has no row in %2; the DNC server cannot read its settings")
                    .arg(client.Name, NamesText(tables)));
            findings_.last().Tables = tables;
        }
        for (const CheckDirectoryRow& dir : data_.Directories) {
            leftBy(dir.ClientId, QStringLiteral("t_client_directory"));
        }
        for (const qint32 id : data_.RemoteRows) {
            leftBy(id, QStringLiteral("t_remote"));
        }
        for (const auto& [shop, listed] : data_.ShopTerminalRows) {
            leftBy(shop, QStringLiteral("t_shopterm_clients"));
            leftBy(listed, QStringLiteral("t_shopterm_clients"));
        }
        for (auto it = leftBehind.cbegin(); it != leftBehind.cend(); ++it) {
            Add(Severity::Warning, "left-behind-rows", nullptr,
                QStringLiteral("A deleted client (id %1) left rows behind in %2")
                    .arg(it.key())
                    .arg(NamesText(*it)));
            findings_.last().ClientId = it.key();
            findings_.last().Tables = *it;
        }
    }

    void CheckClients() {
        const QString local = options_.LocalComputer.trimmed().toUpper();
        for (const CheckClientRow& client : data_.Clients) {
            if (!serverNames_.contains(client.ServerId)) {
                Add(Severity::Error, "no-server", &client,
                    QStringLiteral("%1 belongs to a DNC server that no longer exists (id %2)")
                        .arg(client.Name)
                        .arg(client.ServerId));
            }
            if (!data_.Protocols.contains(client.ProtocolId) &&
                CompositeProtocolName(client.ProtocolId).isEmpty()) {
                Add(Severity::Error, "unknown-protocol", &client,
                    QStringLiteral("%1 has protocol number %2, which is not in the protocol list")
                        .arg(client.Name)
                        .arg(client.ProtocolId));
            }
            const QString problem = DncAdminNameProblem(client.Name);
            if (!problem.isEmpty()) {
                Add(Severity::Error, "bad-name", &client,
                    QStringLiteral("Client %1 cannot be written to DNCAdmin.ini: %2")
                        .arg(Quoted(client.Name), problem));
            }
            if (client.BtsUsed &&
                (client.BtsAddress.trimmed().isEmpty() || client.BtsPin.trimmed().isEmpty())) {
                const bool noAddress = client.BtsAddress.trimmed().isEmpty();
                const bool noPin = client.BtsPin.trimmed().isEmpty();
                const QString lacks = noAddress && noPin
                                          ? QStringLiteral("no adapter address and no PIN")
                                      : noAddress ? QStringLiteral("no adapter address")
                                                  : QStringLiteral("no PIN");
                Add(Severity::Warning, "bts-incomplete", &client,
                    QStringLiteral("%1 has BTS switched on but %2").arg(client.Name, lacks));
            }
            CheckDirectories(client,
                             !local.isEmpty() && ServerOf(client).trimmed().toUpper() == local);
        }
    }

    void CheckDirectories(const CheckClientRow& client, bool onThisComputer) {
        const QList<const CheckDirectoryRow*> dirs = dirs_.value(client.Id);
        QMap<QString, QStringList> aliases;
        QList<DirectoryRecord> records;
        for (const CheckDirectoryRow* dir : dirs) {
            if (onThisComputer && !QFileInfo(NativePath(dir->Path)).isDir()) {
                Add(Severity::Error, "missing-folder", &client,
                    QStringLiteral("%1: folder %2 does not exist")
                        .arg(client.Name, Quoted(dir->Path)));
            }
            if (dir->Mode < 1 || dir->Mode > 3) {
                Add(Severity::Warning, "bad-dir-mode", &client,
                    QStringLiteral("%1: folder %2 has mode %3; only 1 (download), 2 (upload) and "
                                   "3 (both) are used")
                        .arg(client.Name, Quoted(dir->Path))
                        .arg(dir->Mode));
            }
            if (!dir->Alias.trimmed().isEmpty()) {
                aliases[NameKey(dir->Alias)].append(dir->Path);
            }
            DirectoryRecord record;
            record.dir_id = dir->DirId;
            record.directory_direct = dir->Path;
            record.dir_mode = qint16(dir->Mode);
            records.append(record);
        }
        for (auto it = aliases.cbegin(); it != aliases.cend(); ++it) {
            if (it->size() > 1) {
                Add(Severity::Warning, "same-alias", &client,
                    QStringLiteral("%1 has %2 folders with alias %3: %4")
                        .arg(client.Name)
                        .arg(it->size())
                        .arg(it.key(), NamesText(*it)));
            }
        }
        if (DisplayProtocolOf(client) != kShopTerminal &&
            DefaultFoldersOf(records).Down.isEmpty()) {
            Add(Severity::Error, "no-download-folder", &client,
                QStringLiteral(
                    "%1 has no download folder; the DNC server gets an empty DEFAULT_DIR")
                    .arg(client.Name));
        }
    }

    // Clients of one server that share a serial port or a node and port id.
    void CheckServers() {
        for (auto it = byServer_.cbegin(); it != byServer_.cend(); ++it) {
            QMap<qint32, QList<const CheckClientRow*>> ports;
            QMap<QPair<QString, QString>, QList<const CheckClientRow*>> ids;
            for (const CheckClientRow* client : *it) {
                const qint32 port = data_.ComPorts.value(client->Id, 0);
                if (port != 0) {
                    ports[port].append(client);
                }
                if (!client->NodeId.trimmed().isEmpty() || !client->PortId.trimmed().isEmpty()) {
                    ids[{NameKey(client->NodeId), NameKey(client->PortId)}].append(client);
                }
            }
            for (auto p = ports.cbegin(); p != ports.cend(); ++p) {
                for (const CheckClientRow* client : *p) {
                    if (p->size() > 1) {
                        Add(Severity::Error, "same-com-port", client,
                            QStringLiteral("%1 is on COM %2, the same serial port as %3")
                                .arg(client->Name)
                                .arg(p.key())
                                .arg(OthersText(*p, client)));
                    }
                }
            }
            for (auto n = ids.cbegin(); n != ids.cend(); ++n) {
                for (const CheckClientRow* client : *n) {
                    if (n->size() > 1) {
                        Add(Severity::Error, "same-node-port-id", client,
                            QStringLiteral("%1 has NODE_ID %2 and PORT_ID %3, the same as %4")
                                .arg(client->Name, Quoted(client->NodeId), Quoted(client->PortId),
                                     OthersText(*n, client)));
                    }
                }
            }
        }
    }

    // The others of a group as a finding names them. A long list is cut short: every
    // finding of a group naming all the others would grow with the square of its size.
    template <typename NameOf>
    static QString OthersText(const QList<const CheckClientRow*>& group, const CheckClientRow* self,
                              NameOf nameOf) {
        QStringList names;
        for (const CheckClientRow* other : group) {
            if (names.size() == kOthersNamed) {
                break;
            }
            if (other != self) {
                names << nameOf(other);
            }
        }
        const qsizetype more = group.size() - 1 - names.size();
        return NamesText(names) + (more > 0 ? QStringLiteral(" and %1 more").arg(more) : QString());
    }
    static QString OthersText(const QList<const CheckClientRow*>& group,
                              const CheckClientRow* self) {
        return OthersText(group, self, [](const CheckClientRow* other) { return other->Name; });
    }

    // Names the look-ups and the DNC server cannot tell apart.
    void CheckNames() {
        QMap<QString, QList<const CheckClientRow*>> names;
        for (const CheckClientRow& client : data_.Clients) {
            names[NameKey(client.Name)].append(&client);
        }
        for (const QList<const CheckClientRow*>& group : names) {
            if (group.size() < 2) {
                continue;
            }
            for (const CheckClientRow* client : group) {
                const QString others = OthersText(group, client, [&](const CheckClientRow* other) {
                    return Quoted(other->Name) +
                           (ServerOf(*other).isEmpty()
                                ? QString()
                                : QStringLiteral(" (") + ServerOf(*other) + QStringLiteral(")"));
                });
                Add(Severity::Error, "similar-names", client,
                    QStringLiteral("Client %1 cannot be told apart from %2 (letter case or blanks "
                                   "only)")
                        .arg(Quoted(client->Name), others));
            }
        }
    }

    void CheckBtsAddresses() {
        QMap<QString, QList<const CheckClientRow*>> addresses;
        for (const CheckClientRow& client : data_.Clients) {
            if (!client.BtsAddress.trimmed().isEmpty()) {
                addresses[client.BtsAddress.trimmed().toUpper()].append(&client);
            }
        }
        for (auto it = addresses.cbegin(); it != addresses.cend(); ++it) {
            if (it->size() < 2) {
                continue;
            }
            for (const CheckClientRow* client : *it) {
                Add(Severity::Error, "same-bts-address", client,
                    QStringLiteral("%1 has BTS adapter %2, the same as %3")
                        .arg(client->Name, it.key(), OthersText(*it, client)));
            }
        }
    }

    // What an export writes for a client now.
    DncAdminClient ExportOf(const CheckClientRow& client) const {
        QList<DirectoryRecord> records;
        for (const CheckDirectoryRow* dir : dirs_.value(client.Id)) {
            DirectoryRecord record;
            record.directory_direct = dir->Path;
            record.dir_mode = qint16(dir->Mode);
            records.append(record);
        }
        const DefaultFolders folders = DefaultFoldersOf(records);
        return DncAdminClient{client.Name,  client.NodeId, client.PortId, DisplayProtocolOf(client),
                              folders.Down, folders.Up};
    }

    void CheckDrift(const KnownDncAdminFile& file) {
        if (!QFileInfo(NativePath(file.Path)).isFile()) {
            return;  // never written: nothing to compare
        }
        const std::optional<QByteArray> bytes = ReadWholeFile(file.Path);
        if (!bytes) {
            Add(Severity::Warning, "file-unreadable", nullptr,
                QStringLiteral("%1 cannot be read").arg(Quoted(file.Path)));
            return;
        }
        const QList<DncAdminClient> onDisk = ReadDncAdminClients(*bytes);
        QHash<QString, const CheckClientRow*> byName;
        for (const CheckClientRow& client : data_.Clients) {
            byName.insert(NameKey(client.Name), &client);
        }
        // The servers the file is of: those of the clients it lists (the export holds one).
        QMap<qint32, int> counts;
        for (const DncAdminClient& listed : onDisk) {
            if (const CheckClientRow* client = byName.value(NameKey(listed.Name))) {
                ++counts[client->ServerId];
            }
        }
        QList<qint32> servers;
        if (file.Master) {
            servers = counts.keys();
        } else if (!counts.isEmpty()) {
            qint32 best = counts.firstKey();
            for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
                if (it.value() > counts.value(best)) {
                    best = it.key();
                }
            }
            servers = {best};
        }
        if (servers.isEmpty()) {
            return;  // no client of the file is known: it cannot be told whose it is
        }
        QList<DncAdminClient> expected;
        for (const qint32 server : servers) {
            for (const CheckClientRow* client : byServer_.value(server)) {
                if (DisplayProtocolOf(*client) != kShopTerminal) {
                    DncAdminClient entry = ExportOf(*client);
                    expected.append(entry);
                }
            }
        }
        const DncAdminDiff diff = DiffDncAdminClients(onDisk, expected, file.Master);
        const QString fileServer = file.Master ? QString() : serverNames_.value(servers.first());
        for (const QString& name : diff.Added) {
            Add(Severity::Error, "drift-added", byName.value(NameKey(name)),
                QStringLiteral("%1 is missing from %2; the DNC server does not know it until "
                               "the file is written again")
                    .arg(name, Quoted(file.Path)));
        }
        for (const QString& name : diff.Removed) {
            const CheckClientRow* client = byName.value(NameKey(name));
            Add(Severity::Warning, "drift-removed", nullptr,
                QStringLiteral("%1 in %2 is no longer a client%3")
                    .arg(name, Quoted(file.Path),
                         fileServer.isEmpty() ? QString() : QStringLiteral(" of ") + fileServer),
                client ? ServerOf(*client) : fileServer);
            findings_.last().Client = name;
        }
        for (const DncAdminClientChange& change : diff.Changed) {
            Add(Severity::Warning, "drift-changed", byName.value(NameKey(change.Name)),
                QStringLiteral("%1 in %2 differs from the database: %3")
                    .arg(change.Name, Quoted(file.Path), KeyChangesText(change.Keys)));
        }
    }

    const CheckData& data_;
    const CheckOptions& options_;
    QHash<qint32, QString> serverNames_;
    QHash<qint32, const CheckClientRow*> clients_;
    QMap<qint32, QList<const CheckClientRow*>> byServer_;
    QHash<qint32, QList<const CheckDirectoryRow*>> dirs_;
    QList<Finding> findings_;
};

int KindRank(const QString& kind) {
    static const QStringList order = {"missing-row",        "no-server",        "unknown-protocol",
                                      "bad-name",           "similar-names",    "same-com-port",
                                      "same-node-port-id",  "same-bts-address", "bts-incomplete",
                                      "no-download-folder", "missing-folder",   "same-alias",
                                      "bad-dir-mode",       "drift-added",      "drift-removed",
                                      "drift-changed",      "file-unreadable",  "left-behind-rows"};
    const qsizetype rank = order.indexOf(kind);
    return rank < 0 ? int(order.size()) : int(rank);
}

}  // namespace

QList<KnownDncAdminFile> KnownDncAdminFiles() {
    QList<KnownDncAdminFile> files;
    auto add = [&files](const QString& path, bool master) {
        for (const KnownDncAdminFile& known : files) {
            // Windows reads "/" as "\" too: one file, however the settings spell it.
            if (QDir::toNativeSeparators(known.Path)
                        .compare(QDir::toNativeSeparators(path), Qt::CaseInsensitive) == 0 ||
                SameFile(known.Path, path)) {
                return;
            }
        }
        files.append({path, master});
    };
    add(JoinPath(ProgramFolder(), QStringLiteral("DNCAdmin.ini")), false);
    const QString exported = ReadIniValue(SettingsFileName, QStringLiteral("PATHS"),
                                          QStringLiteral("DNCADMINEXPORTPATH"), QString());
    if (!exported.trimmed().isEmpty()) {
        add(JoinPath(exported, QStringLiteral("DNCAdmin.ini")), false);
    }
    const QString master = ReadIniValue(SettingsFileName, QStringLiteral("PATHS"),
                                        QStringLiteral("MASTERDNCADMINPATH"), QString());
    if (!master.trimmed().isEmpty()) {
        add(MasterFileOf(master), true);
    }
    return files;
}

QList<Finding> CheckFindings(const CheckData& data, const CheckOptions& options) {
    QList<Finding> findings = Checker(data, options).Run();
    if (!options.Server.trimmed().isEmpty()) {
        const QString wanted = options.Server.trimmed();
        findings.removeIf([&wanted](const Finding& f) {
            return f.Server.trimmed().compare(wanted, Qt::CaseInsensitive) != 0;
        });
    }
    std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
        // Findings without a server (rows of deleted clients) come last.
        if (a.Server.isEmpty() != b.Server.isEmpty()) {
            return b.Server.isEmpty();
        }
        if (const int c = a.Server.compare(b.Server, Qt::CaseInsensitive); c != 0) {
            return c < 0;
        }
        if (const int c = a.Client.compare(b.Client, Qt::CaseInsensitive); c != 0) {
            return c < 0;
        }
        return KindRank(a.Kind) < KindRank(b.Kind);
    });
    return findings;
}

CheckResult CheckConfiguration(const CheckOptions& options) {
    CheckResult result;
    const CheckData data = ReadCheckData();
    if (!data.Ok) {
        return result;
    }
    result.Findings = CheckFindings(data, options);
    result.Ok = true;
    return result;
}

bool IsRepairable(const Finding& finding) {
    return finding.ClientId != 0 && (finding.Kind == QLatin1String("missing-row") ||
                                     finding.Kind == QLatin1String("left-behind-rows"));
}

QString SeverityName(Severity severity) {
    return severity == Severity::Error ? QStringLiteral("error") : QStringLiteral("warning");
}

QString FindingLine(const Finding& finding) {
    return QStringLiteral("%1\t%2\t%3\t%4\t%5")
        .arg(SeverityName(finding.severity),
             finding.Server.isEmpty() ? QStringLiteral("-") : finding.Server,
             finding.Client.isEmpty() ? QStringLiteral("-") : finding.Client, finding.Kind,
             finding.Text);
}

QByteArray FindingJson(const Finding& finding) {
    QJsonObject object;
    object.insert(QStringLiteral("severity"), SeverityName(finding.severity));
    object.insert(QStringLiteral("kind"), finding.Kind);
    object.insert(QStringLiteral("server"), finding.Server);
    object.insert(QStringLiteral("client"), finding.Client);
    object.insert(QStringLiteral("client_id"), finding.ClientId);
    object.insert(QStringLiteral("text"), finding.Text);
    object.insert(QStringLiteral("repairable"), IsRepairable(finding));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString CountsText(int errors, int warnings) {
    return QStringLiteral("%1 error%2, %3 warning%4")
        .arg(errors)
        .arg(errors == 1 ? "" : "s")
        .arg(warnings)
        .arg(warnings == 1 ? "" : "s");
}

QString CheckReportText(const QList<Finding>& findings) {
    QString text;
    int errors = 0;
    for (const Finding& f : findings) {
        errors += f.severity == Severity::Error ? 1 : 0;
    }
    text += QStringLiteral("Configuration check: ") +
            CountsText(errors, int(findings.size()) - errors) + QStringLiteral("\n");
    QString server;
    bool first = true;
    for (qsizetype i = 0; i < findings.size(); ++i) {
        const Finding& f = findings.at(i);
        if (first || f.Server != server) {
            first = false;
            server = f.Server;
            int e = 0;
            int w = 0;
            for (qsizetype j = i; j < findings.size() && findings.at(j).Server == server; ++j) {
                (findings.at(j).severity == Severity::Error ? e : w)++;
            }
            text += QStringLiteral("\n") +
                    (server.isEmpty() ? QStringLiteral("(no server)") : server) +
                    QStringLiteral(": ") + CountsText(e, w) + QStringLiteral("\n");
        }
        text += QStringLiteral("  %1: %2 [%3]\n").arg(SeverityName(f.severity), f.Text, f.Kind);
    }
    return text;
}
