#pragma once
// What the command-line tools print alike: results on standard output, and one line naming
// the reason for a failure on standard error, behind the tool's name. No failure line shows a
// database password, whatever the text it was made from.

#include "base/redaction.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QTextStream>

#include <optional>

inline QTextStream& Out() {
    static QTextStream out(stdout);
    return out;
}

inline QTextStream& Err() {
    static QTextStream err(stderr);
    return err;
}

// The reason on standard error; returns the exit code (1: failed, 2: could not run).
inline int Fail(const QString& text, int exitCode = 1) {
    Err() << QCoreApplication::applicationName() << ": " << WithoutPasswords(text) << Qt::endl;
    return exitCode;
}

// A wrong command line: the reason and the usage, exit code 2.
inline int Usage(const QCommandLineParser& parser, const QString& text) {
    Err() << QCoreApplication::applicationName() << ": " << WithoutPasswords(text) << "\n"
          << parser.helpText() << Qt::flush;
    return 2;
}

// The tool's name and the program's version, for --version and the failure lines.
inline void SetToolIdentity(const QString& name) {
    QCoreApplication::setApplicationName(name);
    QCoreApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                                .arg(KESTRUM_VERSION_MAJOR)
                                                .arg(KESTRUM_VERSION_MINOR)
                                                .arg(KESTRUM_VERSION_REVISION));
}

// Reads the command line and answers a wrong one, --help and --version: returns the exit code
// when the tool is done, nothing when it goes on.
inline std::optional<int> ParseCommandLine(QCommandLineParser& parser) {
    if (!parser.parse(QCoreApplication::arguments())) {
        return Usage(parser, parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        Out() << parser.helpText() << Qt::flush;
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        Out() << QCoreApplication::applicationName() << ' '
              << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    return std::nullopt;
}
