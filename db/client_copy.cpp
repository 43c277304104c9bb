#include "db/client_copy.h"

#include "db/backend.h"
#include "db/change_log.h"
#include "db/client_copy_writes.h"
#include "db/dnc_database.h"
#include "db/statement.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include <utility>

namespace {

using namespace client_copy;

// Each target's protocol and which per-client rows it has, its client row locked first: a
// delete by another administrator either ends before (the target is not found) or waits for
// this copy, never half-way through it. False when the read failed (reported).
bool ReadTargets(QList<Target>& targets, QHash<qint32, qint32>& protocols, Copy& copy) {
    QStringList select{QStringLiteral("c.client_id"), QStringLiteral("c.protocol_id")};
    for (const auto& [table, column] : kRowTables) {
        select << QStringLiteral(
                      "CASE WHEN EXISTS (SELECT 1 FROM %1 x WHERE x.%2 = c.client_id) "
                      "THEN 1 ELSE 0 END")
                      .arg(QLatin1String(table), QLatin1String(column));
    }
    QList<SqlValue> ids;
    for (const Target& target : std::as_const(targets)) {
        ids << SqlValue::Number(target.id);
    }
    QHash<qint32, QSet<QString>> rows;
    bool converted = true;
    const RowsRead read = ForEachRow(
        QStringLiteral("SELECT ") + select.join(QStringLiteral(", ")) +
            QStringLiteral(" FROM t_dnc_server_clients c WHERE c.client_id IN (") +
            Marks(ids.size()) + QStringLiteral(") ORDER BY c.client_id") +
            DncConnection.Engine().RowLockClause(),
        ids, ReportAs{kPrefix, kStepTargetProtocol}, [&](const QSqlQuery& query) {
            qint32 id = 0;
            qint32 protocol = 0;
            if (!ReadInt32(query.value(0), id) || protocols.contains(id)) {
                return;  // the first row of an id, as a look-up by id finds it
            }
            if (!ReadInt32(query.value(1), protocol)) {
                converted = false;
                ReportOwnError(
                    ReportAs{kPrefix, kStepTargetProtocol}, OwnError::Conversion,
                    QStringLiteral("protocol_id of client_id %1 is not a number").arg(id));
                return;
            }
            protocols.insert(id, protocol);
            int column = 2;
            for (const auto& [table, unused] : kRowTables) {
                if (query.value(column++).toInt() != 0) {
                    rows[id].insert(QLatin1String(table));
                }
            }
        });
    if (!read.ok || !converted) {
        copy.Failed();
        return false;
    }
    for (Target& target : targets) {
        target.rows = rows.value(target.id);
    }
    return true;
}

void CopyAttributes(const CopySource& source, qint32 protocol, const Targets& targets, Copy& copy) {
    const QList<qint32> ids = IdsOf(targets);
    const ClientModeRecord& mode = source.Mode;
    copy.CopyRow(mode.HasModeRow, QStringLiteral("t_client_mode"), targets,
                 {{QStringLiteral("m_baud"), Bare(mode.Baud)},
                  {QStringLiteral("m_parity"), SqlValue::Text(mode.Parity)},
                  {QStringLiteral("m_databits"), Bare(mode.DataBits)},
                  {QStringLiteral("m_stopbits"), Bare(mode.StopBits)}},
                 kStepPort);

    const UpAttributesRecord& up = source.Up;
    copy.CopyRow(up.HasFilterRow, QStringLiteral("t_filter_table_up"), targets,
                 {{QStringLiteral("start_file_char"), SqlValue::Text(up.start_file_char)},
                  {QStringLiteral("end_file_char"), SqlValue::Text(up.end_file_char)},
                  {QStringLiteral("filesave_mode"), SqlValue::Text(up.filesave_mode)},
                  {QStringLiteral("trim_percent"), SqlValue::YesNo(up.trim_percent)},
                  {QStringLiteral("crlf_adj"), SqlValue::YesNo(up.crlf_adj)},
                  {QStringLiteral("noparity_upload"), SqlValue::YesNo(up.noparity_upload)}},
                 kStepFilterUp);
    copy.CopyRow(up.HasTimeoutRow, QStringLiteral("t_timeout_table_up"), targets,
                 {{QStringLiteral("init_timeout"), SqlValue::Number(up.init_timeout)},
                  {QStringLiteral("up_timeout"), SqlValue::Number(up.up_timeout)}},
                 kStepTimeoutUp);

    copy.Set(kClients, kClientId, ids,
             {{QStringLiteral("protocol_id"), SqlValue::Number(protocol)}}, kStepProtocol);

    if (IsTerminalGroup(protocol)) {
        copy.EnsureRows(QStringLiteral("t_shopterm_clients"), targets,
                        {QStringLiteral("shop_client_id"), QStringLiteral("clients_id")},
                        kStepShopTermRow);
        const TerminalAttributesRecord terminal =
            source.Terminal ? *source.Terminal : TerminalAttributesOf(source.ClientId);
        copy.CopyRow(terminal.HasTerminalRow, QStringLiteral("t_client_terminal_mode"), targets,
                     {{QStringLiteral("line_length"), SqlValue::Number(terminal.line_length)},
                      {QStringLiteral("line_number"), SqlValue::Number(terminal.line_number)},
                      {QStringLiteral("char_delay"), SqlValue::Number(terminal.char_delay)}},
                     kStepTerminal);
        if (terminal.HasClientRow) {
            copy.Set(
                kClients, kClientId, ids,
                {{QStringLiteral("terminal_enabled"), SqlValue::YesNo(terminal.terminal_enabled)}},
                kStepTerminalFlag);
        }
    }

    if (IsRemoteGroup(protocol)) {
        copy.EnsureRows(QStringLiteral("t_remote"), targets, {QStringLiteral("rem_client_id")},
                        kStepRemoteRow);
        const RemoteAttributesRecord remote =
            source.Remote ? *source.Remote : RemoteAttributesOf(source.ClientId);
        copy.CopyRow(remote.HasRemoteRow, QStringLiteral("t_remote"), targets,
                     {{QStringLiteral("report_name"), SqlValue::Text(remote.report_name)},
                      {QStringLiteral("upload_report"), SqlValue::YesNo(remote.upload_report)}},
                     kStepRemote, QStringLiteral("rem_client_id"),
                     QStringLiteral("its report settings"));
        if (remote.HasClientRow) {
            // bts_eobdelay follows the target's own eob_delay, set at the end.
            copy.Set(
                kClients, kClientId, ids,
                {{QStringLiteral("terminal_enabled"), SqlValue::YesNo(remote.terminal_enabled)},
                 {QStringLiteral("bts_used"), SqlValue::YesNo(remote.bts_used)},
                 {QStringLiteral("bts_latency"), SqlValue::YesNo(remote.bts_latency)},
                 {QStringLiteral("bts_loop"), SqlValue::YesNo(remote.bts_loop)}},
                kStepRemoteFlags);
        }
    }

    const DownAttributesRecord& down = source.Down;
    copy.CopyRow(down.HasFilterRow, QStringLiteral("t_filter_table_down"), targets,
                 {{QStringLiteral("init"), SqlValue::YesNo(down.init)},
                  {QStringLiteral("strip_1stpercent"), SqlValue::YesNo(down.strip_1stpercent)},
                  {QStringLiteral("stop_Endpercent"), SqlValue::YesNo(down.stop_Endpercent)},
                  {QStringLiteral("strip_header"), SqlValue::YesNo(down.strip_header)},
                  {QStringLiteral("leader"), SqlValue::Number(down.leader)},
                  {QStringLiteral("trailer"), SqlValue::Number(down.trailer)},
                  {QStringLiteral("start_file_char"), SqlValue::Text(down.start_file_char)},
                  {QStringLiteral("end_file_char"), SqlValue::Text(down.end_file_char)},
                  {QStringLiteral("strip_all"), SqlValue::Number(down.strip_all)}},
                 kStepFilterDown);
    copy.CopyRow(down.HasTimeoutRow, QStringLiteral("t_timeout_table_down"), targets,
                 {{QStringLiteral("char_delay"), SqlValue::Number(down.char_delay)},
                  {QStringLiteral("eob_delay"), SqlValue::Number(down.eob_delay)},
                  {QStringLiteral("char_buffer"), SqlValue::Number(down.char_buffer)},
                  {QStringLiteral("init_timeout"), SqlValue::Number(down.init_timeout)},
                  {QStringLiteral("interchar_timeout"), SqlValue::Number(down.interchar_timeout)}},
                 kStepTimeoutDown);

    // bts_eobdelay is true exactly when the end-of-block delay is 0: set it from the delay each
    // target now has (its first row), so the two never disagree.
    const QString timeouts = QStringLiteral("t_timeout_table_down");
    QList<SqlValue> keys;
    for (const qint32 id : ids) {
        keys << SqlValue::Number(id);
    }
    QHash<qint32, QVariant> eob;
    const RowsRead read = ForEachRow(
        QStringLiteral("SELECT client_id, eob_delay FROM t_timeout_table_down WHERE client_id "
                       "IN (") +
            Marks(keys.size()) + QStringLiteral(") ORDER BY ") + RowOrderColumn(timeouts),
        keys, ReportAs{kPrefix, kStepEobDelay}, [&eob](const QSqlQuery& query) {
            qint32 id = 0;
            if (ReadInt32(query.value(0), id) && !eob.contains(id)) {
                eob.insert(id, query.value(1));
            }
        });
    if (!read.ok) {
        copy.Failed();
        return;
    }
    QList<qint32> none;
    QList<qint32> some;
    for (const qint32 id : ids) {
        if (!eob.contains(id)) {
            continue;
        }
        qint32 delay = 0;
        if (!ReadInt32(eob.value(id), delay)) {
            ReportOwnError(ReportAs{kPrefix, kStepEobDelay}, OwnError::Conversion,
                           QStringLiteral("eob_delay of client_id %1 is not a number").arg(id));
            copy.Failed();
            continue;
        }
        (delay == 0 ? none : some) << id;
    }
    copy.Set(kClients, kClientId, none, {{QStringLiteral("bts_eobdelay"), SqlValue::YesNo(true)}},
             kStepEobDelay);
    copy.Set(kClients, kClientId, some, {{QStringLiteral("bts_eobdelay"), SqlValue::YesNo(false)}},
             kStepEobDelay);
}

// The source's directories onto the targets, one source directory at a time for all of them:
// what each target sees of its own rows is what it would see copied alone.
void CopyDirectories(const CopySource& source, const Targets& targets, Copy& copy,
                     RecordsInClientOrder& order) {
    bool read = true;
    if (source.Dirs) {
        ClientDirs = *source.Dirs;
    } else {
        read = LoadClientDirs(source.ClientId) >= 0;
    }
    // Without the targets' rows every folder would look new and be added twice.
    const std::optional<QHash<qint32, QList<DirectoryRecord>>> stored =
        read ? LoadTargetDirsOf(IdsOf(targets)) : std::nullopt;
    if (!stored) {
        copy.Failed();
        return;
    }
    for (Target* target : targets) {
        target->dirs = stored->value(target->id);
    }
    const QList<DirectoryRecord> sourceDirs = ClientDirs;
    int step = 0;
    for (const DirectoryRecord& dir : sourceDirs) {
        if (dir.directory_direct.isEmpty()) {
            continue;  // a row without a path names no folder
        }
        order.Step(++step);
        // Updated with the alias, updated without it (another directory has it), added.
        QList<std::pair<Target*, qsizetype>> updates[2];
        Targets added;
        QList<QList<SqlValue>> rows;
        for (Target* target : targets) {
            const QList<DirectoryRecord>& have = target->dirs;
            // The same folder whatever the letter case: the column compares so too.
            qsizetype match = -1;
            for (qsizetype i = 0; i < have.size(); ++i) {
                if (have.at(i).directory_direct.compare(dir.directory_direct,
                                                        Qt::CaseInsensitive) == 0) {
                    match = i;
                    break;
                }
            }
            bool aliasInUse = false;
            if (!dir.directory_alias.isEmpty()) {
                for (qsizetype i = 0; i < have.size(); ++i) {
                    if (i != match && have.at(i).directory_alias.compare(
                                          dir.directory_alias, Qt::CaseInsensitive) == 0) {
                        aliasInUse = true;
                        break;
                    }
                }
            }
            if (aliasInUse) {
                target->outcome->Notes << QStringLiteral(
                                              "directory %1: the alias \"%2\" is already used by "
                                              "another directory of the target; not given")
                                              .arg(dir.directory_direct, dir.directory_alias);
            }
            if (match >= 0) {
                updates[aliasInUse ? 1 : 0].append({target, match});
                continue;
            }
            added << target;
            rows << QList<SqlValue>{
                SqlValue::Number(target->id), SqlValue::Text(dir.directory_direct),
                SqlValue::Text(aliasInUse ? QString() : dir.directory_alias),
                SqlValue::Number(dir.dir_mode), SqlValue::YesNo(dir.explore_from_here)};
        }
        for (const bool aliasInUse : {false, true}) {
            const auto& group = updates[aliasInUse ? 1 : 0];
            Assignments sets{{QStringLiteral("dir_mode"), SqlValue::Number(dir.dir_mode)}};
            if (!aliasInUse) {
                sets.append(
                    {QStringLiteral("directory_alias"), SqlValue::Text(dir.directory_alias)});
            }
            sets.append(
                {QStringLiteral("explore_from_here"), SqlValue::YesNo(dir.explore_from_here)});
            QList<qint32> dirIds;
            for (const auto& [target, at] : group) {
                dirIds << target->dirs.at(at).dir_id;
            }
            if (dirIds.isEmpty() ||
                !copy.Set(kDirectories, QStringLiteral("dir_id"), dirIds, sets, kStepDirectory)) {
                continue;
            }
            for (const auto& [target, at] : group) {
                DirectoryRecord& existing = target->dirs[at];
                existing.dir_mode = dir.dir_mode;
                existing.explore_from_here = dir.explore_from_here;
                if (!aliasInUse) {
                    existing.directory_alias = dir.directory_alias;
                }
                ++target->outcome->DirectoriesUpdated;
            }
        }
        const std::optional<QList<qint32>> keys =
            copy.Insert(kDirectories,
                        {QStringLiteral("client_id"), QStringLiteral("directory_direct"),
                         QStringLiteral("directory_alias"), QStringLiteral("dir_mode"),
                         QStringLiteral("explore_from_here")},
                        rows, kStepDirectory);
        if (!keys) {
            continue;
        }
        // Later source rows see this one: a second spelling of the path or the same alias
        // never makes a second row.
        for (qsizetype i = 0; i < added.size(); ++i) {
            DirectoryRecord row = dir;
            row.directory_alias = rows.at(i).at(2).bound().toString();
            row.dir_id = keys->value(i);
            added.at(i)->dirs.append(row);
            ++added.at(i)->outcome->DirectoriesAdded;
        }
    }
}

}  // namespace

CopySource ReadCopySource(qint32 clientId) {
    CopySource source;
    source.ClientId = clientId;
    source.Mode = ClientModeOf(clientId);
    source.Down = DownAttributesOf(clientId);
    source.Up = UpAttributesOf(clientId);
    source.Terminal = TerminalAttributesOf(clientId);
    source.Remote = RemoteAttributesOf(clientId);
    LoadClientDirs(clientId);
    source.Dirs = ClientDirs;
    return source;
}

CopyOutcome CopyClientAttributes(qint32 targetId) {
    CopySource source;
    source.ClientId = CurrentClientId;
    source.Mode = CurrentClientMode;
    source.Down = DownAttributes;
    source.Up = UpAttributes;
    // Records read for another client than CurrentClientId are never written anywhere.
    if (source.Mode.ClientId != CurrentClientId) {
        source.Mode.HasClientRow = false;
    }
    return CopyClientOnto(source, targetId, false);
}

CopyOutcome CopyClientOnto(const CopySource& source, qint32 targetId, bool withDirectories) {
    return CopyClientOntoMany(source, {targetId}, withDirectories).constFirst();
}

namespace {

// The copy onto the targets in one transaction. allOrNothing: a failing statement rolls all of
// it back and nothing is returned.
std::optional<QList<CopyOutcome>> CopyTogether(const CopySource& source,
                                               const QList<qint32>& targetIds, bool withDirectories,
                                               bool allOrNothing) {
    QList<CopyOutcome> outcomes(targetIds.size());
    QList<Target> targets;
    for (qsizetype i = 0; i < targetIds.size(); ++i) {
        CopyOutcome& outcome = outcomes[i];
        outcome.TargetId = targetIds.at(i);
        if (!source.Mode.HasClientRow || source.ClientId <= 0) {
            outcome.Skipped = QStringLiteral("the source client was not found");
        } else if (outcome.TargetId == source.ClientId) {
            outcome.TargetFound = true;
            outcome.Skipped = QStringLiteral("a client is never copied onto itself");
        } else {
            targets.append(Target{outcome.TargetId, &outcome, {}, {}});
        }
    }
    if (targets.isEmpty()) {
        return outcomes;
    }
    const auto skipAll = [&](const QString& why) {
        for (Target& target : targets) {
            target.outcome->Skipped = why;
        }
    };

    // Reports wait until the transaction has ended, so no message box runs while the
    // database is locked for writing.
    DeferredReports reports;
    Transaction transaction(ReportAs{kPrefix, kStepBegin});
    Copy copy(*targets.first().outcome);
    if (!transaction.Begun()) {
        copy.Failed();
        skipAll(QStringLiteral("the transaction could not begin"));
        return outcomes;
    }
    QHash<qint32, qint32> protocols;
    if (!ReadTargets(targets, protocols, copy)) {
        skipAll(QStringLiteral("its protocol could not be read"));
        return outcomes;
    }
    Targets found;
    for (Target& target : targets) {
        if (!protocols.contains(target.id)) {
            target.outcome->Skipped = QStringLiteral("the client no longer exists");
        } else {
            target.outcome->TargetFound = true;
            found << &target;
        }
    }
    // The source's protocol as stored now: a source deleted since it was read copies nothing.
    const LookUp stored =
        found.isEmpty() ? LookUp()
                        : LookUpField(kClients, kClientId, SqlValue::Number(source.ClientId),
                                      QStringLiteral("="), QStringLiteral("protocol_id"), kPrefix);
    qint32 sourceProtocol = 0;
    if (!found.isEmpty() && stored.found() && !ReadInt32(stored.value, sourceProtocol)) {
        ReportOwnError(
            ReportAs{kPrefix, kStepSourceProtocol}, OwnError::Conversion,
            QStringLiteral("protocol_id of client_id %1 is not a number").arg(source.ClientId));
        copy.Failed();
    }
    if (found.isEmpty() || !stored.found() || copy.FailedAny()) {
        if (!found.isEmpty() && stored.outcome == LookUp::Outcome::Failed) {
            copy.Failed();
        }
        const bool failed = copy.FailedAny();
        for (Target* target : std::as_const(found)) {
            target->outcome->Skipped =
                failed ? QStringLiteral("the source's protocol could not be read")
                       : QStringLiteral("the source client no longer exists");
        }
        return outcomes;
    }
    RecordsInClientOrder order(IdsOf(found));
    Targets attributes;
    for (Target* target : std::as_const(found)) {
        if (protocols.value(target->id) == kShopTerminalProtocol) {
            target->outcome->Skipped =
                QStringLiteral("a shop terminal (protocol 5) keeps its attributes");
        } else {
            attributes << target;
        }
    }
    if (!attributes.isEmpty()) {
        CopyAttributes(source, sourceProtocol, attributes, copy);
        for (Target* target : std::as_const(attributes)) {
            target->outcome->AttributesCopied = true;
        }
    }
    if (withDirectories) {
        CopyDirectories(source, found, copy, order);
    }
    order.Done();
    // A target half copied is a configuration nobody chose: a failing statement undoes the
    // copy (on a server it has undone the transaction already).
    const bool failed = copy.FailedAny();
    if (allOrNothing && failed) {
        return std::nullopt;
    }
    const bool committed = !failed && transaction.Commit(ReportAs{kPrefix, kStepCommit});
    if (allOrNothing && !committed) {
        return std::nullopt;
    }
    for (Target* target : std::as_const(found)) {
        CopyOutcome& outcome = *target->outcome;
        outcome.Committed = committed;
        if (!committed) {
            outcome.AttributesCopied = false;
            outcome.DirectoriesAdded = 0;
            outcome.DirectoriesUpdated = 0;
            outcome.Skipped = QStringLiteral("the changes could not be saved");
        }
    }
    if (!committed && !failed) {
        copy.Failed();
    }
    return outcomes;
}

}  // namespace

QList<CopyOutcome> CopyClientOntoMany(const CopySource& source, const QList<qint32>& targetIds,
                                      bool withDirectories) {
    if (targetIds.size() > 1) {
        DeferredReports reports;
        if (std::optional<QList<CopyOutcome>> together =
                CopyTogether(source, targetIds, withDirectories, true)) {
            return *together;
        }
        // A lost connection was said once and fails every target alike; else each target is
        // copied alone, so only one that fails stays uncopied, and says so itself.
        if (DncConnection.IsLost() || !DncConnection.IsOpen()) {
            QList<CopyOutcome> outcomes(targetIds.size());
            for (qsizetype i = 0; i < targetIds.size(); ++i) {
                outcomes[i].TargetId = targetIds.at(i);
                outcomes[i].Skipped = QStringLiteral("the changes could not be saved");
            }
            outcomes.first().FailedStatements = 1;
            return outcomes;
        }
        reports.Discard();
    }
    QList<CopyOutcome> outcomes;
    for (const qint32 id : targetIds) {
        outcomes << CopyTogether(source, {id}, withDirectories, false)->constFirst();
    }
    return outcomes;
}
