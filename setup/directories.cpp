#include "setup/directories.h"

#include "base/paths.h"

#include <QDir>

QString DirectoryListText(const DirectoryRecord& directory) {
    if (directory.directory_alias.isEmpty()) {
        return directory.directory_direct;
    }
    return directory.directory_alias + QStringLiteral(" = ") + directory.directory_direct;
}

FolderChoice ChooseDirectoryFolder(const QString& pathName, bool isComputer) {
    if (pathName.isEmpty() && !isComputer) {
        return {QString(), QStringLiteral("Select a folder in the tree first.")};
    }
    // Only folders of this computer's file system: a network entry or computer has no path
    // the DNC server can use.
    const bool unc =
        pathName.startsWith(QStringLiteral("\\\\")) || pathName.startsWith(QStringLiteral("//"));
    if (isComputer || unc || !QDir::isAbsolutePath(pathName)) {
        return {QString(), QStringLiteral("Only a folder of this computer can be a client "
                                          "directory, not a network entry.")};
    }
#ifndef Q_OS_WIN
    // "\" separates folders in the stored text; a Linux name holding one cannot be stored.
    if (pathName.contains(QLatin1Char('\\'))) {
        return {QString(), QStringLiteral("The folder \"%1\" has a \"\\\" in its name, which "
                                          "a directory path cannot hold.")
                               .arg(pathName)};
    }
#endif
    return {WindowsPathText(pathName), QString()};
}

QStringList AliasSuggestions() {
    QStringList suggestions;
    for (char c = '0'; c <= '9'; ++c) {
        suggestions << QStringLiteral("TV") + QLatin1Char(c);
    }
    for (char c = 'A'; c <= 'Z'; ++c) {
        suggestions << QStringLiteral("TV") + QLatin1Char(c);
    }
    return suggestions;
}

QValidator::State AliasValidator::validate(QString& input, int& pos) const {
    QString kept;
    int keptBeforeCursor = 0;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i).toUpper();
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9'))) {
            kept += c;
            if (i < pos) {
                ++keptBeforeCursor;
            }
        }
    }
    if (kept.size() > kAliasMaxLength) {
        return Invalid;
    }
    input = kept;
    pos = keptBeforeCursor;
    return Acceptable;
}
