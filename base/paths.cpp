#include "base/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

#ifndef Q_OS_WIN
#include <dirent.h>
#endif

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.isEmpty()) {
        return name;
    }
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))) {
        return folder + name;
    }
    // Windows path text ("C:\DATA", from the settings or the database) stays Windows text,
    // as the DNC servers and the operator read it; NativePath maps it when a file is opened.
    const bool driveLetter = folder.size() >= 2 && folder.at(1) == QLatin1Char(':');
    const bool windowsText =
        (driveLetter || folder.contains(QLatin1Char('\\'))) && !folder.contains(QLatin1Char('/'));
    const QChar sep = windowsText ? QLatin1Char('\\') : QDir::separator();
    return folder + sep + name;
}

namespace {

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

QString& DriveRoot() {
    static QString root;  // empty: the real root
    return root;
}

bool HasDriveLetter(const QString& text) {
    return text.size() >= 2 && text.at(1) == QLatin1Char(':') && text.at(0).isLetter();
}

// The part of a clean local path below the stand-in root ("" for the root itself), or
// nothing when the path is not under it.
std::optional<QString> BelowDriveRoot(const QString& cleanPath) {
    const QString& root = DriveRoot();
    if (root.isEmpty()) {
        return std::nullopt;
    }
    if (cleanPath.compare(root, kPathCase) == 0) {
        return QString();
    }
    const QString prefix = root + QLatin1Char('/');
    if (!cleanPath.startsWith(prefix, kPathCase)) {
        return std::nullopt;
    }
    return cleanPath.mid(prefix.size());
}

}  // namespace

QString SetDriveRoot(const QString& localFolder) {
    const QString previous = DriveRoot();
    DriveRoot() = localFolder.isEmpty() ? QString() : QDir::cleanPath(localFolder);
    return previous;
}

#ifdef Q_OS_WIN

QString NativePath(const QString& pathText) {
    if (!DriveRoot().isEmpty() && HasDriveLetter(pathText)) {
        return QDir::toNativeSeparators(DriveRoot()) + pathText.mid(2);
    }
    return pathText;
}

QString WindowsPathText(const QString& localPath) {
    if (localPath.isEmpty()) {
        return QString();
    }
    const QString clean = QDir::cleanPath(localPath);
    if (const std::optional<QString> below = BelowDriveRoot(clean)) {
        return QDir::toNativeSeparators(QStringLiteral("C:/") + *below);
    }
    return QDir::toNativeSeparators(clean);
}

#else

namespace {

// The entry of folder whose name matches part without regard to case; exact spelling first.
QString FindEntry(const QString& folder, const QString& part) {
    if (QFileInfo::exists(QDir(folder).filePath(part))) {
        return part;
    }
    // Names only: a listing with file details would stat every entry, and settings paths
    // are upper-cased, so start-up looks up the program folder's path this way.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir) {
        return QString();
    }
    QString found;  // of several spellings, the first in name order
    while (const dirent* entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name.compare(part, Qt::CaseInsensitive) == 0 && (found.isEmpty() || name < found)) {
            found = name;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

QString NativePath(const QString& pathText) {
    QString text = pathText;
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // A drive letter stands for the root.
    if (HasDriveLetter(text)) {
        text = text.mid(2);
        if (!text.startsWith(QLatin1Char('/'))) {
            text.prepend(QLatin1Char('/'));
        }
        if (!DriveRoot().isEmpty()) {
            text.prepend(DriveRoot());
        }
    }
    if (text.isEmpty() || QFileInfo::exists(text)) {
        return text;
    }
    const bool absolute = text.startsWith(QLatin1Char('/'));
    const QStringList parts = text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString resolved = absolute ? QStringLiteral("/") : QString();
    bool searching = true;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QString part = parts.at(i);
        if (searching && part != QLatin1String(".") && part != QLatin1String("..")) {
            const QString found =
                FindEntry(resolved.isEmpty() ? QStringLiteral(".") : resolved, part);
            if (found.isEmpty()) {
                searching = false;
            } else {
                part = found;
            }
        }
        if (!resolved.isEmpty() && !resolved.endsWith(QLatin1Char('/'))) {
            resolved += QLatin1Char('/');
        }
        resolved += part;
    }
    if (text.endsWith(QLatin1Char('/')) && !resolved.endsWith(QLatin1Char('/'))) {
        resolved += QLatin1Char('/');
    }
    return resolved;
}

QString WindowsPathText(const QString& localPath) {
    if (localPath.isEmpty()) {
        return QString();
    }
    QString text = QDir::cleanPath(localPath);
    if (const std::optional<QString> below = BelowDriveRoot(text)) {
        text = QLatin1Char('/') + *below;
    }
    const bool absolute = text.startsWith(QLatin1Char('/'));
    text.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (!absolute) {
        return text;
    }
    // NativePath reads any drive letter as the root; C: is the one Windows users expect.
    return QStringLiteral("C:") + text;
}

#endif

QString StoredFileName(const QString& pathText) {
    // List the folder, as a directory listing does, instead of trusting the spelling asked for.
    const QFileInfo info(NativePath(pathText));
    if (!info.exists()) {
        return QString();
    }
    const QString wanted = info.fileName();
#ifdef Q_OS_WIN
    const QStringList entries =
        info.dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (entries.contains(wanted)) {
        return wanted;
    }
    for (const QString& entry : entries) {
        if (entry.compare(wanted, Qt::CaseInsensitive) == 0) {
            return entry;
        }
    }
    return QString();
#else
    // Names are stored as spelt here: the name found is the stored one.
    return FindEntry(info.path(), wanted);
#endif
}

QString DisplayPath(const QString& pathText) {
#ifdef Q_OS_WIN
    return pathText;
#else
    // The folder as it is on disk; the name as asked for, since it may exist only under
    // another letter case, which is not what was asked for.
    const qsizetype cut =
        std::max(pathText.lastIndexOf(QLatin1Char('\\')), pathText.lastIndexOf(QLatin1Char('/')));
    if (cut < 0) {
        return pathText;
    }
    const QString folder = NativePath(pathText.left(cut + 1));
    if (!QFileInfo(folder).isDir()) {
        return pathText;
    }
    return JoinPath(folder, pathText.mid(cut + 1));
#endif
}
