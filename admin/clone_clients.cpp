#include "admin/clone_clients.h"

#include "db/dnc_database.h"
#include "transfer/backup.h"

#include <QMap>

QString LastCloneServer;
QString LastCloneSource;

CloneRun PrepareClone(const QString& source, const QStringList& targets) {
    CloneRun run;
    run.SourceName = source;
    run.Targets = targets;
    if (source.isEmpty()) {
        run.Refused = QStringLiteral("No source client is selected.");
        return run;
    }
    const ReportWatch reads;
    const std::optional<qint32> id = GetClientID(source);
    if (id) {
        run.Source = ReadCopySource(*id);
    }
    if (reads.Failed()) {
        // Said already (a lost connection among the causes); it is not that the source went.
        run.ReadFailed = true;
        run.Refused = QStringLiteral("The client \"%1\" could not be read.").arg(source);
        return run;
    }
    if (!id || !run.Source.Mode.HasClientRow) {
        run.Refused = QStringLiteral("The client \"%1\" no longer exists.").arg(source);
        return run;
    }
    if (const std::optional<QString> refusal = BackupRefusal(QStringLiteral("Clone"))) {
        run.Refused = *refusal;
        return run;
    }
    CurrentClientName = run.Source.Mode.ClientName;
    CurrentClientId = run.Source.ClientId;
    CurrentServerId = run.Source.Mode.ServerId;
    CurrentClientMode = run.Source.Mode;
    DownAttributes = run.Source.Down;
    UpAttributes = run.Source.Up;
    // Every target's id in a few statements; a failed read leaves each to its own look-up.
    run.TargetsFound = ClientsByName(targets, false);
    return run;
}

bool CloneNextTarget(CloneRun& run) {
    if (!run.Refused.isEmpty() || run.Results.size() >= run.Targets.size()) {
        return false;
    }
    // The next targets, copied together: a target named twice waits for the next batch, where
    // it finds what the first copy left.
    QList<CloneTargetResult> batch;
    QList<qint32> ids;
    for (qsizetype next = run.Results.size();
         next < run.Targets.size() && batch.size() < kCloneTargetsPerBatch; ++next) {
        CloneTargetResult result;
        result.Name = run.Targets.at(next);
        std::optional<qint32> id;
        if (run.TargetsFound) {
            const auto found = run.TargetsFound->constFind(result.Name);
            if (found != run.TargetsFound->cend()) {
                id = found->Mode.ClientId;
            }
        } else {
            id = GetClientID(result.Name);
        }
        if (id && ids.contains(*id)) {
            break;
        }
        if (id) {
            ids << *id;
            result.Outcome.TargetId = *id;
        } else {
            result.Outcome.Skipped = QStringLiteral("the client no longer exists");
        }
        batch.append(result);
    }
    const QList<CopyOutcome> outcomes = CopyClientOntoMany(run.Source, ids, true);
    qsizetype done = 0;
    for (CloneTargetResult& result : batch) {
        if (result.Outcome.Skipped.isEmpty()) {
            result.Outcome = outcomes.at(done++);
        }
        run.Results.append(result);
    }
    return true;
}

namespace {

// "A, B, C" with at most a few names, then how many more.
QString NameList(const QStringList& names) {
    constexpr int kShown = 8;
    if (names.size() <= kShown) {
        return names.join(QStringLiteral(", "));
    }
    return names.mid(0, kShown).join(QStringLiteral(", ")) +
           QStringLiteral(" and %1 more").arg(names.size() - kShown);
}

}  // namespace

QString CloneSummaryText(const CloneRun& run) {
    if (!run.Refused.isEmpty()) {
        return run.Refused + QStringLiteral(" Nothing was copied.");
    }
    QStringList copied;
    QMap<QString, QStringList> skipped;  // reason -> targets
    QMap<QString, QStringList> notes;    // note -> targets
    int added = 0;
    int updated = 0;
    int failed = 0;
    for (const CloneTargetResult& result : run.Results) {
        const CopyOutcome& o = result.Outcome;
        if (o.AttributesCopied) {
            copied << result.Name;
        }
        if (!o.Skipped.isEmpty()) {
            skipped[o.Skipped] << result.Name;
        }
        for (const QString& note : o.Notes) {
            notes[note] << result.Name;
        }
        added += o.DirectoriesAdded;
        updated += o.DirectoriesUpdated;
        failed += o.FailedStatements;
    }

    QStringList lines;
    lines << QStringLiteral("Clone of %1:").arg(run.SourceName);
    lines << QStringLiteral("Properties copied to %1 of %2 clients%3")
                 .arg(copied.size())
                 .arg(run.Targets.size())
                 .arg(copied.isEmpty() ? QStringLiteral(".")
                                       : QStringLiteral(": ") + NameList(copied) + '.');
    lines << QStringLiteral("Directories added: %1, updated: %2.").arg(added).arg(updated);
    for (auto it = skipped.cbegin(); it != skipped.cend(); ++it) {
        lines << QStringLiteral("Skipped, %1: %2.").arg(it.key(), NameList(it.value()));
    }
    for (auto it = notes.cbegin(); it != notes.cend(); ++it) {
        lines << QStringLiteral("Not copied, %1: %2.").arg(it.key(), NameList(it.value()));
    }
    if (run.Results.size() < run.Targets.size()) {
        lines << QStringLiteral("Stopped before: %1.")
                     .arg(NameList(run.Targets.mid(run.Results.size())));
    }
    if (failed > 0) {
        lines << QStringLiteral("%1 statements failed (reported above).").arg(failed);
    }
    return lines.join(QLatin1Char('\n'));
}
