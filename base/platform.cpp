#include "base/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>

#include <iterator>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QString& ProgramFolderOverride() {
    static QString folder;
    return folder;
}

ComputerNameSource& NameSource() {
    static ComputerNameSource source;
    return source;
}

WindowFinder& Finder() {
    static WindowFinder finder;
    return finder;
}

ProgramStarter& Starter() {
    static ProgramStarter starter;
    return starter;
}

}  // namespace

QString ProgramTitle() {
    return QStringLiteral("Kestrum");
}

QString ProgramFolder() {
    if (!ProgramFolderOverride().isEmpty()) {
        return ProgramFolderOverride();
    }
    if (QCoreApplication::instance()) {
        return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    }
    // Before the application object exists (the single-instance check runs first), ask the
    // system for the program file, as the application object would.
#ifdef Q_OS_WIN
    wchar_t buffer[32768];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
    const QString file = QString::fromWCharArray(buffer, int(length));
#else
    const QString file = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
#endif
    return QDir::toNativeSeparators(QFileInfo(file).absolutePath());
}

void SetProgramFolder(const QString& folder) {
    ProgramFolderOverride() = QDir::toNativeSeparators(folder);
}

std::optional<QString> SystemComputerName() {
    if (NameSource()) {
        return NameSource()();
    }
#ifdef Q_OS_WIN
    char buffer[128];
    DWORD size = sizeof buffer;
    if (!GetComputerNameA(buffer, &size)) {
        return std::nullopt;
    }
    return QString::fromLocal8Bit(buffer, int(size));
#else
    const QString name = QSysInfo::machineHostName();
    if (name.isEmpty()) {
        return std::nullopt;
    }
    // The short name, as a Windows computer name would be.
    return name.section(QLatin1Char('.'), 0, 0);
#endif
}

ComputerNameSource SetComputerNameSource(ComputerNameSource source) {
    ComputerNameSource previous = std::move(NameSource());
    NameSource() = std::move(source);
    return previous;
}

quintptr FindWindowByTitleSeam(const QString& title) {
    if (Finder()) {
        return Finder()(title);
    }
    return SystemFindWindowByTitle(title);
}

WindowFinder SetWindowFinder(WindowFinder finder) {
    WindowFinder previous = std::move(Finder());
    Finder() = std::move(finder);
    return previous;
}

bool StartProgram(const QString& program, const QStringList& arguments) {
    if (Starter()) {
        return Starter()(program, arguments);
    }
    return QProcess::startDetached(program, arguments);
}

QStringList SplitStartCommand(const QString& commandLine) {
    const QString text = commandLine.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    if (QFileInfo(text).isFile()) {
        return {text};
    }
    return QProcess::splitCommand(text);
}

bool StartCommandLine(const QString& commandLine) {
    QStringList words = SplitStartCommand(commandLine);
    if (words.isEmpty()) {
        return false;
    }
    const QString program = words.takeFirst();
    return StartProgram(program, words);
}

ProgramStarter SetProgramStarter(ProgramStarter starter) {
    ProgramStarter previous = std::move(Starter());
    Starter() = std::move(starter);
    return previous;
}
