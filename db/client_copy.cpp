#include "db/client_copy.h"

#include "db/change_log.h"
#include "db/dnc_database.h"
#include "db/statement.h"

#include <utility>

namespace {

const QString kPrefix = QStringLiteral("Error Client Copy");
const QString kClients = QStringLiteral("t_dnc_server_clients");
const QString kClientId = QStringLiteral("client_id");
const QString kDirectories = QStringLiteral("t_client_directory");

// Steps of the copy, as its reports number them.
enum Step {
    kStepBegin = 1,
    kStepTargetProtocol,
    kStepPort,
    kStepFilterUp,
    kStepTimeoutUp,
    kStepSourceProtocol,
    kStepProtocol,
    kStepShopTermRow,
    kStepTerminal,
    kStepTerminalFlag,
    kStepRemoteRow,
    kStepRemote,
    kStepRemoteFlags,
    kStepFilterDown,
    kStepTimeoutDown,
    kStepEobDelay,
    kStepDirectory,
    kStepCommit,
};

using Assignments = QList<std::pair<QString, SqlValue>>;

// A text that holds a number is written as that number (the port values are kept as text).
SqlValue Bare(const QString& text) {
    bool ok = false;
    const qint64 number = text.trimmed().toLongLong(&ok);
    return ok ? SqlValue::Number(number) : SqlValue::Text(text);
}

class Copy {
public:
    Copy(CopyOutcome& outcome) : outcome_(outcome) {}

    // UPDATE table SET columns WHERE key = id. Returns the rows changed, -1 on a failure.
    qint64 Set(const QString& table, const QString& keyColumn, qint32 id,
               const Assignments& assignments, Step step) {
        const ReportAs as{kPrefix, step};
        const std::optional<QString> t = CheckedTable(table, as);
        const std::optional<QString> key = t ? CheckedColumn(*t, keyColumn, as) : std::nullopt;
        if (!key) {
            ++outcome_.FailedStatements;
            return -1;
        }
        QStringList sets;
        QStringList names;
        QList<SqlValue> values;
        for (const auto& [column, value] : assignments) {
            const std::optional<QString> c = CheckedColumn(*t, column, as);
            if (!c) {
                ++outcome_.FailedStatements;
                return -1;
            }
            sets << *c + QStringLiteral(" = ?");
            names << *c;
            values << value;
        }
        const TableWrite write = TableWrite::Update(*t, *key, SqlValue::Number(id), names, values);
        values << SqlValue::Number(id);
        const std::optional<CommandDone> done =
            RunLoggedCommand(write,
                             QStringLiteral("UPDATE ") + *t + QStringLiteral(" SET ") +
                                 sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") +
                                 *key + QStringLiteral(" = ?"),
                             values, as);
        if (!done) {
            ++outcome_.FailedStatements;
            return -1;
        }
        return done->rowsAffected;
    }

    // A per-client table: a target without the row gets nothing, and the outcome says so.
    void SetRow(const QString& table, qint32 id, const Assignments& assignments, Step step,
                const QString& keyColumn = kClientId) {
        if (Set(table, keyColumn, id, assignments, step) == 0) {
            Note(table + QStringLiteral(": the target has no row; nothing copied"));
        }
    }

    // The source's row onto the target's; a source without the row leaves the target's
    // values (what it keeps) as they are, and the outcome says so.
    void CopyRow(bool sourceHasRow, const QString& table, qint32 id, const Assignments& assignments,
                 Step step, const QString& keyColumn = kClientId,
                 const QString& kept = QStringLiteral("its own")) {
        if (sourceHasRow) {
            SetRow(table, id, assignments, step, keyColumn);
        } else {
            Note(table + QStringLiteral(": the source has no row; the target keeps ") + kept);
        }
    }

    std::optional<qint32> LookUpNumber(const QString& table, const QString& keyColumn, qint32 id,
                                       const QString& wanted, Step step, bool lockRow = false) {
        const LookUp found = LookUpField(table, keyColumn, SqlValue::Number(id),
                                         QStringLiteral("="), wanted, kPrefix, lockRow);
        qint32 value = 0;
        if (found.outcome == LookUp::Outcome::Failed) {
            ++outcome_.FailedStatements;
            return std::nullopt;
        }
        if (!found.found()) {
            return std::nullopt;
        }
        if (!ReadInt32(found.value, value)) {
            ReportOwnError(
                ReportAs{kPrefix, step}, OwnError::Conversion,
                QStringLiteral("%1 of %2 %3 is not a number").arg(wanted, keyColumn).arg(id));
            ++outcome_.FailedStatements;
            return std::nullopt;
        }
        return value;
    }

    void Insert(const QString& table, const QStringList& columns, const QList<SqlValue>& values,
                Step step) {
        if (!InsertRow(table, columns, values, ReportAs{kPrefix, step})) {
            ++outcome_.FailedStatements;
        }
    }

    void Note(const QString& text) { outcome_.Notes << text; }

private:
    CopyOutcome& outcome_;
};

void CopyAttributes(const CopySource& source, qint32 protocol, qint32 target, Copy& copy) {
    const ClientModeRecord& mode = source.Mode;
    copy.CopyRow(mode.HasModeRow, QStringLiteral("t_client_mode"), target,
                 {{QStringLiteral("m_baud"), Bare(mode.Baud)},
                  {QStringLiteral("m_parity"), SqlValue::Text(mode.Parity)},
                  {QStringLiteral("m_databits"), Bare(mode.DataBits)},
                  {QStringLiteral("m_stopbits"), Bare(mode.StopBits)}},
                 kStepPort);

    const UpAttributesRecord& up = source.Up;
    copy.CopyRow(up.HasFilterRow, QStringLiteral("t_filter_table_up"), target,
                 {{QStringLiteral("start_file_char"), SqlValue::Text(up.start_file_char)},
                  {QStringLiteral("end_file_char"), SqlValue::Text(up.end_file_char)},
                  {QStringLiteral("filesave_mode"), SqlValue::Text(up.filesave_mode)},
                  {QStringLiteral("trim_percent"), SqlValue::YesNo(up.trim_percent)},
                  {QStringLiteral("crlf_adj"), SqlValue::YesNo(up.crlf_adj)},
                  {QStringLiteral("noparity_upload"), SqlValue::YesNo(up.noparity_upload)}},
                 kStepFilterUp);
    copy.CopyRow(up.HasTimeoutRow, QStringLiteral("t_timeout_table_up"), target,
                 {{QStringLiteral("init_timeout"), SqlValue::Number(up.init_timeout)},
                  {QStringLiteral("up_timeout"), SqlValue::Number(up.up_timeout)}},
                 kStepTimeoutUp);

    copy.Set(kClients, kClientId, target,
             {{QStringLiteral("protocol_id"), SqlValue::Number(protocol)}}, kStepProtocol);

    if (IsTerminalGroup(protocol)) {
        const std::optional<qint32> listed = copy.LookUpNumber(
            QStringLiteral("t_shopterm_clients"), QStringLiteral("shop_client_id"), target,
            QStringLiteral("shop_client_id"), kStepShopTermRow);
        if (!listed) {
            copy.Insert(QStringLiteral("t_shopterm_clients"),
                        {QStringLiteral("shop_client_id"), QStringLiteral("clients_id")},
                        {SqlValue::Number(target), SqlValue::Number(target)}, kStepShopTermRow);
        }
        const TerminalAttributesRecord terminal =
            source.Terminal ? *source.Terminal : TerminalAttributesOf(source.ClientId);
        copy.CopyRow(terminal.HasTerminalRow, QStringLiteral("t_client_terminal_mode"), target,
                     {{QStringLiteral("line_length"), SqlValue::Number(terminal.line_length)},
                      {QStringLiteral("line_number"), SqlValue::Number(terminal.line_number)},
                      {QStringLiteral("char_delay"), SqlValue::Number(terminal.char_delay)}},
                     kStepTerminal);
        if (terminal.HasClientRow) {
            copy.Set(
                kClients, kClientId, target,
                {{QStringLiteral("terminal_enabled"), SqlValue::YesNo(terminal.terminal_enabled)}},
                kStepTerminalFlag);
        }
    }

    if (IsRemoteGroup(protocol)) {
        const std::optional<qint32> remoteRow =
            copy.LookUpNumber(QStringLiteral("t_remote"), QStringLiteral("rem_client_id"), target,
                              QStringLiteral("rem_client_id"), kStepRemoteRow);
        if (!remoteRow) {
            copy.Insert(QStringLiteral("t_remote"), {QStringLiteral("rem_client_id")},
                        {SqlValue::Number(target)}, kStepRemoteRow);
        }
        const RemoteAttributesRecord remote =
            source.Remote ? *source.Remote : RemoteAttributesOf(source.ClientId);
        copy.CopyRow(remote.HasRemoteRow, QStringLiteral("t_remote"), target,
                     {{QStringLiteral("report_name"), SqlValue::Text(remote.report_name)},
                      {QStringLiteral("upload_report"), SqlValue::YesNo(remote.upload_report)}},
                     kStepRemote, QStringLiteral("rem_client_id"),
                     QStringLiteral("its report settings"));
        if (remote.HasClientRow) {
            // bts_eobdelay follows the target's own eob_delay, set at the end.
            copy.Set(
                kClients, kClientId, target,
                {{QStringLiteral("terminal_enabled"), SqlValue::YesNo(remote.terminal_enabled)},
                 {QStringLiteral("bts_used"), SqlValue::YesNo(remote.bts_used)},
                 {QStringLiteral("bts_latency"), SqlValue::YesNo(remote.bts_latency)},
                 {QStringLiteral("bts_loop"), SqlValue::YesNo(remote.bts_loop)}},
                kStepRemoteFlags);
        }
    }

    const DownAttributesRecord& down = source.Down;
    copy.CopyRow(down.HasFilterRow, QStringLiteral("t_filter_table_down"), target,
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
    copy.CopyRow(down.HasTimeoutRow, QStringLiteral("t_timeout_table_down"), target,
                 {{QStringLiteral("char_delay"), SqlValue::Number(down.char_delay)},
                  {QStringLiteral("eob_delay"), SqlValue::Number(down.eob_delay)},
                  {QStringLiteral("char_buffer"), SqlValue::Number(down.char_buffer)},
                  {QStringLiteral("init_timeout"), SqlValue::Number(down.init_timeout)},
                  {QStringLiteral("interchar_timeout"), SqlValue::Number(down.interchar_timeout)}},
                 kStepTimeoutDown);

    // bts_eobdelay is true exactly when the end-of-block delay is 0: set it from the delay the
    // target now has, so the two never disagree.
    if (const std::optional<qint32> eob =
            copy.LookUpNumber(QStringLiteral("t_timeout_table_down"), kClientId, target,
                              QStringLiteral("eob_delay"), kStepEobDelay)) {
        copy.Set(kClients, kClientId, target,
                 {{QStringLiteral("bts_eobdelay"), SqlValue::YesNo(*eob == 0)}}, kStepEobDelay);
    }
}

void CopyDirectories(const CopySource& source, qint32 target, Copy& copy, CopyOutcome& outcome) {
    bool read = true;
    if (source.Dirs) {
        ClientDirs = *source.Dirs;
    } else {
        read = LoadClientDirs(source.ClientId) >= 0;
    }
    // Without the target's rows every folder would look new and be added twice.
    if (!read || LoadTargetDirs(target) < 0) {
        ++outcome.FailedStatements;
        return;
    }
    const QList<DirectoryRecord> sourceDirs = ClientDirs;
    for (const DirectoryRecord& dir : sourceDirs) {
        if (dir.directory_direct.isEmpty()) {
            continue;  // a row without a path names no folder
        }
        // The same folder whatever the letter case: the column compares so too.
        qsizetype match = -1;
        for (qsizetype i = 0; i < TargetDirs.size(); ++i) {
            if (TargetDirs.at(i).directory_direct.compare(dir.directory_direct,
                                                          Qt::CaseInsensitive) == 0) {
                match = i;
                break;
            }
        }
        bool aliasInUse = false;
        if (!dir.directory_alias.isEmpty()) {
            for (qsizetype i = 0; i < TargetDirs.size(); ++i) {
                if (i != match && TargetDirs.at(i).directory_alias.compare(
                                      dir.directory_alias, Qt::CaseInsensitive) == 0) {
                    aliasInUse = true;
                    break;
                }
            }
        }
        if (aliasInUse) {
            copy.Note(QStringLiteral("directory %1: the alias \"%2\" is already used by another "
                                     "directory of the target; not given")
                          .arg(dir.directory_direct, dir.directory_alias));
        }
        if (match >= 0) {
            DirectoryRecord& existing = TargetDirs[match];
            Assignments sets{{QStringLiteral("dir_mode"), SqlValue::Number(dir.dir_mode)}};
            if (!aliasInUse) {
                sets.append(
                    {QStringLiteral("directory_alias"), SqlValue::Text(dir.directory_alias)});
            }
            sets.append(
                {QStringLiteral("explore_from_here"), SqlValue::YesNo(dir.explore_from_here)});
            if (copy.Set(kDirectories, QStringLiteral("dir_id"), existing.dir_id, sets,
                         kStepDirectory) > 0) {
                existing.dir_mode = dir.dir_mode;
                existing.explore_from_here = dir.explore_from_here;
                if (!aliasInUse) {
                    existing.directory_alias = dir.directory_alias;
                }
                ++outcome.DirectoriesUpdated;
            }
            continue;
        }
        const QString alias = aliasInUse ? QString() : dir.directory_alias;
        const std::optional<CommandDone> done = InsertRow(
            kDirectories,
            {QStringLiteral("client_id"), QStringLiteral("directory_direct"),
             QStringLiteral("directory_alias"), QStringLiteral("dir_mode"),
             QStringLiteral("explore_from_here")},
            {SqlValue::Number(target), SqlValue::Text(dir.directory_direct), SqlValue::Text(alias),
             SqlValue::Number(dir.dir_mode), SqlValue::YesNo(dir.explore_from_here)},
            ReportAs{kPrefix, kStepDirectory});
        if (!done) {
            ++outcome.FailedStatements;
            continue;
        }
        // Later source rows see this one: a second spelling of the path or the same alias
        // never makes a second row.
        DirectoryRecord added = dir;
        added.directory_alias = alias;
        ReadInt32(done->lastInsertId, added.dir_id);
        TargetDirs.append(added);
        ++outcome.DirectoriesAdded;
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
    CopyOutcome outcome;
    outcome.TargetId = targetId;
    if (!source.Mode.HasClientRow || source.ClientId <= 0) {
        outcome.Skipped = QStringLiteral("the source client was not found");
        return outcome;
    }
    if (targetId == source.ClientId) {
        outcome.TargetFound = true;
        outcome.Skipped = QStringLiteral("a client is never copied onto itself");
        return outcome;
    }

    // Reports wait until the transaction has ended, so no message box runs while the
    // database is locked for writing.
    DeferredReports reports;
    Transaction transaction(ReportAs{kPrefix, kStepBegin});
    if (!transaction.Begun()) {
        ++outcome.FailedStatements;
        outcome.Skipped = QStringLiteral("the transaction could not begin");
        return outcome;
    }
    Copy copy(outcome);
    // The target's row is locked first: a delete by another administrator either ends before
    // (nothing is written) or waits for this copy, never half-way through it.
    const std::optional<qint32> targetProtocol = copy.LookUpNumber(
        kClients, kClientId, targetId, QStringLiteral("protocol_id"), kStepTargetProtocol, true);
    if (!targetProtocol) {
        outcome.Skipped = outcome.FailedStatements > 0
                              ? QStringLiteral("its protocol could not be read")
                              : QStringLiteral("the client no longer exists");
        return outcome;
    }
    outcome.TargetFound = true;
    // The source's protocol as stored now: a source deleted since it was read copies nothing.
    const std::optional<qint32> sourceProtocol = copy.LookUpNumber(
        kClients, kClientId, source.ClientId, QStringLiteral("protocol_id"), kStepSourceProtocol);
    if (!sourceProtocol) {
        outcome.Skipped = outcome.FailedStatements > 0
                              ? QStringLiteral("the source's protocol could not be read")
                              : QStringLiteral("the source client no longer exists");
        return outcome;
    }
    if (*targetProtocol == kShopTerminalProtocol) {
        outcome.Skipped = QStringLiteral("a shop terminal (protocol 5) keeps its attributes");
    } else {
        CopyAttributes(source, *sourceProtocol, targetId, copy);
        outcome.AttributesCopied = true;
    }
    if (withDirectories) {
        CopyDirectories(source, targetId, copy, outcome);
    }
    outcome.Committed = transaction.Commit(ReportAs{kPrefix, kStepCommit});
    if (!outcome.Committed) {
        ++outcome.FailedStatements;
        outcome.AttributesCopied = false;
        outcome.DirectoriesAdded = 0;
        outcome.DirectoriesUpdated = 0;
        outcome.Skipped = QStringLiteral("the changes could not be saved");
    }
    return outcome;
}
