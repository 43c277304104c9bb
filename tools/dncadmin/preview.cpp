#include "tools/dncadmin/preview.h"

#include "base/paths.h"
#include "dncadmin/atomic_file.h"
#include "dncadmin/dncadmin_diff.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace {

int Fail(QTextStream& err, const QString& text) {
    err << "kestrum-dncadmin: " << text << Qt::endl;
    return 1;
}

// The clients of the file on disk; none when there is no file yet.
std::optional<QList<DncAdminClient>> ClientsOnDisk(const QString& path, QString* error) {
    if (!QFileInfo(NativePath(path)).exists()) {
        return QList<DncAdminClient>();
    }
    const std::optional<QByteArray> bytes = ReadWholeFile(path, error);
    if (!bytes) {
        return std::nullopt;
    }
    return ReadDncAdminClients(*bytes);
}

void PrintDiff(QTextStream& out, const QString& target, bool exists, const DncAdminDiff& diff) {
    out << "Dry run, nothing written. Changes to " << target
        << (exists ? QString() : QStringLiteral(" (a new file)")) << ":\n";
    const QStringList lines = DncAdminDiffLines(diff);
    if (lines.isEmpty()) {
        out << "  no client changes\n";
    }
    for (const QString& line : lines) {
        out << "  " << line << "\n";
    }
    out.flush();
}

}  // namespace

bool TakeDryRun(QStringList& args) {
    return args.removeAll(QStringLiteral("--dry-run")) > 0;
}

int PreviewExport(const QStringList& clientNames, const QString& basePath,
                  const QString& targetPath, const QString& server, QTextStream& out,
                  QTextStream& err) {
    QString error;
    const std::optional<QList<DncAdminClient>> before = ClientsOnDisk(targetPath, &error);
    if (!before) {
        return Fail(err, QStringLiteral("\"%1\" cannot be read: %2").arg(targetPath, error));
    }
    // The export itself, written into a scratch folder: the same reads and the same refusals.
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        return Fail(err, QStringLiteral("no scratch folder for the dry run"));
    }
    const ExportOutcome outcome =
        ExportDncAdmin(clientNames, basePath,
                       JoinPath(WindowsPathText(scratch.path()), QStringLiteral("DNCAdmin.ini")));
    for (const QString& name : outcome.Skipped) {
        err << "kestrum-dncadmin: client \"" << name << "\" not found; not exported" << Qt::endl;
    }
    if (!outcome.Ok) {
        return Fail(err, outcome.Error);
    }
    out << "Would write " << targetPath << ": " << outcome.Listed.size() << " clients of server "
        << server << "\n";
    PrintDiff(out, targetPath, QFileInfo(NativePath(targetPath)).exists(),
              DiffDncAdminClients(*before, ReadDncAdminClients(outcome.Bytes)));
    return 0;
}

int PreviewMerge(const MergeTable& table, const QString& masterFolder, const QString& templatePath,
                 QTextStream& out, QTextStream& err) {
    const MergePreview preview = PreviewMergedMaster(table, masterFolder, templatePath);
    if (!preview.Ok) {
        return Fail(err, preview.Error);
    }
    out << "Would write " << preview.MasterFile << ": " << preview.Clients << " clients\n";
    PrintDiff(out, preview.MasterFile, preview.MasterExists,
              DiffDncAdminClients(ReadDncAdminClients(preview.Old),
                                  ReadDncAdminClients(preview.New), true));
    return 0;
}
