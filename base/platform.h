#pragma once
// What the program asks of the operating system. Each piece has one home here, with a
// Windows branch where the platform differs, and a hook that tests (or another platform)
// can replace.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The program's title: names the settings file and titles the message boxes.
QString ProgramTitle();

// The folder that holds the program file. Tests point it at a temporary installation.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);  // empty restores the executable's folder

// This computer's network name as the system reports it, or nothing when the call fails.
std::optional<QString> SystemComputerName();
using ComputerNameSource = std::function<std::optional<QString>()>;
ComputerNameSource SetComputerNameSource(ComputerNameSource source);  // empty restores

// A top-level window with exactly this title: its handle, or 0 when there is none.
// Without a window system (or, on Linux, without an X display) nothing is found.
quintptr SystemFindWindowByTitle(const QString& title);
using WindowFinder = std::function<quintptr(const QString&)>;
WindowFinder SetWindowFinder(WindowFinder finder);  // empty restores
quintptr FindWindowByTitleSeam(const QString& title);

// Starts an outside program (path and arguments) detached, with a normal focused window.
// Returns false when it could not be started.
bool StartProgram(const QString& program, const QStringList& arguments = {});
using ProgramStarter = std::function<bool(const QString&, const QStringList&)>;
ProgramStarter SetProgramStarter(ProgramStarter starter);  // empty restores

// Starts a configured command line through StartProgram, never through a shell: the whole
// text is the program when it names an existing file (a path may hold blanks), otherwise
// the text is split as a command line (quotes group words). False for an empty text.
bool StartCommandLine(const QString& commandLine);
// The program and arguments StartCommandLine passes on.
QStringList SplitStartCommand(const QString& commandLine);

// A string or 32-bit number value under HKEY_LOCAL_MACHINE, as text. Always nothing where
// the platform has no registry.
std::optional<QString> ReadLocalMachineRegistryValue(const QString& keyPath,
                                                     const QString& valueName);
