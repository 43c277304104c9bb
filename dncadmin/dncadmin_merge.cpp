#include "dncadmin/dncadmin_merge.h"

#include "base/ini_text.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "dncadmin/atomic_file.h"
#include "dncadmin/dncadmin_export.h"

#include <QFileInfo>

QString MasterDncAdminPath;
std::array<QString, kMergeSources> DncAdminPaths;

namespace {

const QString kCncList = QStringLiteral("CNC_LIST");

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

QString ValueOf(const IniText& text, int section, const char* key) {
    const int line = text.FindKey(section, QByteArrayView(key));
    if (line < 0) {
        return QString();
    }
    return UpperLatin1(text.ToText(text.Value(text.Lines()[size_t(line)])));
}

bool SetProblem(QString* problem, const QString& text) {
    if (problem) {
        *problem = text;
    }
    return false;
}

}  // namespace

QString UpperLatin1(const QString& text) {
    QString upper = text;
    for (QChar& c : upper) {
        const QChar u = c.toUpper();
        if (u.unicode() <= 0xFF) {
            c = u;
        }
    }
    return upper;
}

void ClearMergeColumn(MergeColumn& column) {
    column.fill(MergeCell());
}

bool ReadDncAdminFile(const QString& file, MergeColumn& column, QString* problem) {
    ClearMergeColumn(column);
    QString readError;
    const std::optional<QByteArray> bytes = ReadWholeFile(file, &readError);
    if (!bytes) {
        return SetProblem(problem, readError);
    }
    if (bytes->isEmpty()) {
        return SetProblem(problem, QStringLiteral("the file is empty"));
    }
    const IniText text(*bytes);
    const int list = text.FindSection(QByteArrayView("CNC_LIST"));
    if (list < 0) {
        // The mark glues itself to the first line, so a list there is not seen (nor by the
        // DNC servers).
        return SetProblem(problem,
                          bytes->startsWith(kUtf8Mark)
                              ? QStringLiteral("it starts with a UTF-8 byte-order mark and holds "
                                               "no [CNC_LIST] that can be read; save it as ANSI")
                              : QStringLiteral("it holds no [CNC_LIST] section"));
    }
    for (int k = 1; k <= kMergeRows; ++k) {
        const QByteArray key = QByteArray::number(k);
        const int line = text.FindKey(list, key);
        if (line < 0) {
            continue;
        }
        const QString name = UpperLatin1(text.ToText(text.Value(text.Lines()[size_t(line)])));
        if (name.isEmpty()) {
            continue;
        }
        MergeCell& cell = column[size_t(k - 1)];
        cell.Name = name;
        const int section = text.FindSection(text.ToBytes(IniPassedName(name)));
        cell.NodeId = ValueOf(text, section, "NODE_ID");
        cell.PortId = ValueOf(text, section, "PORT_ID");
        cell.Protocol = ValueOf(text, section, "PROTOCOL");
        cell.DefaultDir = ValueOf(text, section, "DEFAULT_DIR");
        cell.DefaultUpDir = ValueOf(text, section, "DEFAULT_UP_DIR");
    }
    return true;
}

QByteArray StripClientList(const QByteArray& bytes) {
    const IniText text(bytes);
    const std::vector<IniLine>& lines = text.Lines();
    QByteArray out;
    out.reserve(bytes.size());
    bool kept = false;
    size_t i = 0;
    while (i < lines.size()) {
        const IniLine& line = lines[i];
        if (line.kind == IniLineKind::Section &&
            IniNamesEqual(text.Name(line), QByteArrayView("CNC_LIST"))) {
            if (!kept) {
                // The header keeps its place, so the new list stands where the old one stood.
                out += QByteArrayView(bytes).sliced(line.begin, line.next - line.begin);
                kept = true;
            }
            const size_t end = size_t(text.SectionEnd(int(i)));
            i = end;
            continue;
        }
        out += QByteArrayView(bytes).sliced(line.begin, line.next - line.begin);
        ++i;
    }
    return out;
}

MergeList MergeEntries(const MergeTable& table) {
    MergeList list;
    int count = 0;
    for (const MergeColumn& column : table.Columns) {
        for (const MergeCell& cell : column) {
            if (!cell.Name.isEmpty()) {
                ++count;
            }
        }
    }
    if (count > kMergeRows) {
        list.Refusal = QStringLiteral("ERROR! Clients > 64");
        return list;
    }
    std::array<int, kMergeRows * kMergeSources> sourceOf{};
    for (int c = 0; c < kMergeSources; ++c) {
        for (const MergeCell& cell : table.Columns[size_t(c)]) {
            if (cell.Name.isEmpty()) {
                continue;
            }
            const QString problem = DncAdminNameProblem(cell.Name);
            if (!problem.isEmpty()) {
                list.Refusal = QStringLiteral("ERROR! Client %1 in DNCAdmin.ini %2: %3")
                                   .arg(cell.Name)
                                   .arg(c + 1)
                                   .arg(problem);
                list.Cells.clear();
                return list;
            }
            const QByteArray name = IniName(cell.Name);
            for (qsizetype i = 0; i < list.Cells.size(); ++i) {
                if (IniNamesEqual(IniName(list.Cells.at(i)->Name), name)) {
                    list.Refusal = QStringLiteral("ERROR! Client %1 in DNCAdmin.ini %2 and %3")
                                       .arg(cell.Name)
                                       .arg(sourceOf[size_t(i)] + 1)
                                       .arg(c + 1);
                    list.Cells.clear();
                    return list;
                }
            }
            sourceOf[size_t(list.Cells.size())] = c;
            list.Cells.append(&cell);
        }
    }
    return list;
}

std::optional<QByteArray> BuildMergedMaster(const QByteArray& master,
                                            const QList<const MergeCell*>& cells, QString* error) {
    QByteArray bytes = StripClientList(master);
    auto write = [&](const QString& section, const QString& key, const QString& value) {
        std::optional<QByteArray> next = DncAdminBytesWithValue(bytes, section, key, value, error);
        if (!next) {
            return false;
        }
        bytes = std::move(*next);
        return true;
    };
    int n = 0;
    for (const MergeCell* cell : cells) {
        if (!write(kCncList, QString::number(++n), cell->Name) ||
            !write(cell->Name, QStringLiteral("NODE_ID"), cell->NodeId) ||
            !write(cell->Name, QStringLiteral("PORT_ID"), cell->PortId) ||
            !write(cell->Name, QStringLiteral("PROTOCOL"), cell->Protocol) ||
            !write(cell->Name, QStringLiteral("DEFAULT_DIR"), cell->DefaultDir) ||
            !write(cell->Name, QStringLiteral("DEFAULT_UP_DIR"), cell->DefaultUpDir)) {
            return std::nullopt;
        }
    }
    return bytes;
}

QString MasterFileOf(const QString& masterFolder) {
    return JoinPath(masterFolder, QStringLiteral("DNCAdmin.ini"));
}

MergeOutcome MergeDncAdmin(const MergeTable& table, const QString& masterFolder,
                           const QString& templatePath) {
    MergeOutcome outcome;
    if (masterFolder.trimmed().isEmpty()) {
        outcome.Status = QStringLiteral("ERROR! No Master DNCAdmin folder");
        outcome.Error = QStringLiteral("Select the Master DNCAdmin folder before the merge.");
        return outcome;
    }
    const MergeList list = MergeEntries(table);
    if (!list.Refusal.isEmpty()) {
        outcome.Status = list.Refusal;
        return outcome;
    }
    outcome.MasterFile = MasterFileOf(masterFolder);
    const QFileInfo master(NativePath(outcome.MasterFile));
    QString readError;
    std::optional<QByteArray> bytes;
    if (master.exists()) {
        bytes = ReadWholeFile(outcome.MasterFile, &readError);
        if (!bytes) {
            outcome.Error = QStringLiteral("Master DNCAdmin read error! \"%1\": %2")
                                .arg(outcome.MasterFile, readError);
        }
    } else if (!QFileInfo(NativePath(masterFolder)).isDir()) {
        outcome.Error =
            QStringLiteral("Master DNCAdmin folder \"%1\" not found!").arg(masterFolder);
    } else {
        bytes = ReadWholeFile(templatePath, &readError);
        if (!bytes) {
            outcome.Error =
                QStringLiteral("Template \"%1\" cannot be read: %2").arg(templatePath, readError);
        }
    }
    if (!bytes) {
        outcome.Status = QStringLiteral("ERROR! Merge not done");
        return outcome;
    }
    QString saveError;
    const std::optional<QByteArray> merged = BuildMergedMaster(*bytes, list.Cells, &saveError);
    if (!merged || !SaveFileAtomically(outcome.MasterFile, *merged, &saveError)) {
        outcome.Status = QStringLiteral("ERROR! Merge not done");
        outcome.Error = QStringLiteral("Master DNCAdmin write error!");
        outcome.Reason = saveError;
        return outcome;
    }
    outcome.Clients = int(list.Cells.size());
    outcome.Status = QStringLiteral("Merge successful, ") + QString::number(outcome.Clients) +
                     QStringLiteral(" Clients");
    outcome.Ok = true;
    return outcome;
}
