#include "dncadmin/dncadmin_diff.h"

#include "base/ini_text.h"
#include "base/messages.h"
#include "base/paths.h"
#include "dncadmin/atomic_file.h"
#include "dncadmin/dncadmin_merge.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

const char* const kKeys[] = {"NODE_ID", "PORT_ID", "PROTOCOL", "DEFAULT_DIR", "DEFAULT_UP_DIR"};

QList<QString> ValuesOf(const DncAdminClient& client) {
    return {client.NodeId, client.PortId, client.Protocol, client.DefaultDir, client.DefaultUpDir};
}

QString Shown(const QString& value) {
    return value.isEmpty() ? QStringLiteral("\"\"") : value;
}

}  // namespace

QList<DncAdminClient> ReadDncAdminClients(const QByteArray& fileBytes) {
    const IniText text(fileBytes);
    QList<QPair<qint64, QString>> numbered;
    for (const auto& [key, value] : text.SectionEntries(QStringLiteral("CNC_LIST"))) {
        bool number = false;
        const qint64 n = key.toLongLong(&number);
        if (number && n > 0 && !value.isEmpty()) {
            numbered.append({n, value});
        }
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<DncAdminClient> clients;
    for (const auto& [n, name] : numbered) {
        DncAdminClient client;
        client.Name = name;
        QString* fields[] = {&client.NodeId, &client.PortId, &client.Protocol, &client.DefaultDir,
                             &client.DefaultUpDir};
        for (const auto& [key, value] : text.SectionEntries(name)) {
            for (int k = 0; k < 5; ++k) {
                if (key.compare(QLatin1String(kKeys[k]), Qt::CaseInsensitive) == 0) {
                    *fields[k] = value;
                }
            }
        }
        clients.append(client);
    }
    return clients;
}

DncAdminDiff DiffDncAdminClients(const QList<DncAdminClient>& before,
                                 const QList<DncAdminClient>& after, bool ignoreValueCase) {
    DncAdminDiff diff;
    QHash<QString, const DncAdminClient*> old;
    for (const DncAdminClient& client : before) {
        old.insert(UpperLatin1(client.Name.trimmed()), &client);
    }
    QHash<QString, bool> seen;
    for (const DncAdminClient& client : after) {
        const QString key = UpperLatin1(client.Name.trimmed());
        seen.insert(key, true);
        const DncAdminClient* was = old.value(key);
        if (!was) {
            diff.Added << client.Name;
            continue;
        }
        DncAdminClientChange change{client.Name, {}};
        const QList<QString> a = ValuesOf(*was);
        const QList<QString> b = ValuesOf(client);
        for (int k = 0; k < 5; ++k) {
            const bool same =
                ignoreValueCase ? UpperLatin1(a[k]) == UpperLatin1(b[k]) : a[k] == b[k];
            if (!same) {
                change.Keys.append({QLatin1String(kKeys[k]), a[k], b[k]});
            }
        }
        if (!change.Keys.isEmpty()) {
            diff.Changed.append(change);
        }
    }
    for (const DncAdminClient& client : before) {
        if (!seen.contains(UpperLatin1(client.Name.trimmed()))) {
            diff.Removed << client.Name;
        }
    }
    return diff;
}

QString KeyChangesText(const QList<DncAdminKeyChange>& keys) {
    QStringList parts;
    for (const DncAdminKeyChange& key : keys) {
        parts << QStringLiteral("%1 %2 -> %3").arg(key.Key, Shown(key.Old), Shown(key.New));
    }
    return parts.join(QStringLiteral(", "));
}

QStringList DncAdminDiffLines(const DncAdminDiff& diff) {
    QStringList lines;
    for (const QString& name : diff.Added) {
        lines << QStringLiteral("added ") + name;
    }
    for (const QString& name : diff.Removed) {
        lines << QStringLiteral("removed ") + name;
    }
    for (const DncAdminClientChange& change : diff.Changed) {
        lines << QStringLiteral("changed %1: %2").arg(change.Name, KeyChangesText(change.Keys));
    }
    return lines;
}

QString DncAdminDiffSummary(const DncAdminDiff& diff, int maxLines) {
    if (diff.IsEmpty()) {
        return QStringLiteral("No client changes.");
    }
    QString text = QStringLiteral("%1 clients added, %2 removed, %3 changed:")
                       .arg(diff.Added.size())
                       .arg(diff.Removed.size())
                       .arg(diff.Changed.size());
    const QStringList lines = DncAdminDiffLines(diff);
    for (qsizetype i = 0; i < lines.size() && i < maxLines; ++i) {
        text += QStringLiteral("\n") + lines.at(i);
    }
    if (lines.size() > maxLines) {
        text += QStringLiteral("\n... and %1 more").arg(lines.size() - maxLines);
    }
    return text;
}

std::optional<DncAdminDiff> ReplacementDiff(const QString& path, const QByteArray& newBytes,
                                            bool ignoreValueCase) {
    if (!QFileInfo(NativePath(path)).isFile()) {
        return std::nullopt;
    }
    const std::optional<QByteArray> old = ReadWholeFile(path);
    if (!old) {
        return std::nullopt;
    }
    return DiffDncAdminClients(ReadDncAdminClients(*old), ReadDncAdminClients(newBytes),
                               ignoreValueCase);
}

MergePreview PreviewMergedMaster(const MergeTable& table, const QString& masterFolder,
                                 const QString& templatePath) {
    MergePreview preview;
    if (masterFolder.trimmed().isEmpty()) {
        preview.Error = QStringLiteral("ERROR! No Master DNCAdmin folder");
        return preview;
    }
    const MergeList list = MergeEntries(table);
    if (!list.Refusal.isEmpty()) {
        preview.Error = list.Refusal;
        return preview;
    }
    preview.MasterFile = MasterFileOf(masterFolder);
    preview.MasterExists = QFileInfo(NativePath(preview.MasterFile)).exists();
    if (!preview.MasterExists && !QFileInfo(NativePath(masterFolder)).isDir()) {
        preview.Error =
            QStringLiteral("Master DNCAdmin folder \"%1\" not found!").arg(masterFolder);
        return preview;
    }
    const QString source = preview.MasterExists ? preview.MasterFile : templatePath;
    QString error;
    const std::optional<QByteArray> bytes = ReadWholeFile(source, &error);
    if (!bytes) {
        preview.Error = QStringLiteral("\"%1\" cannot be read: %2").arg(source, error);
        return preview;
    }
    const std::optional<QByteArray> merged = BuildMergedMaster(*bytes, list.Cells);
    if (!merged) {
        preview.Error = QStringLiteral("Master DNCAdmin write error!");
        return preview;
    }
    if (preview.MasterExists) {
        preview.Old = *bytes;
    }
    preview.New = *merged;
    preview.Clients = int(list.Cells.size());
    preview.Ok = true;
    return preview;
}

bool ConfirmDncAdminReplacement(const QString& path, const QByteArray& newBytes,
                                const QString& title, bool ignoreValueCase) {
    const std::optional<DncAdminDiff> diff = ReplacementDiff(path, newBytes, ignoreValueCase);
    if (!diff || diff->IsEmpty()) {
        return true;
    }
    return ShowMessage(QStringLiteral("Replace \"%1\"?\n\n").arg(path) + DncAdminDiffSummary(*diff),
                       MsgButtons::YesNo, MsgIcon::Question, title) == MsgAnswer::Yes;
}
