#pragma once
// What the command-line tools print alike: results on standard output, and one line naming
// the reason for a failure on standard error, behind the tool's name.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QTextStream>

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
    Err() << QCoreApplication::applicationName() << ": " << text << Qt::endl;
    return exitCode;
}

// A wrong command line: the reason and the usage, exit code 2.
inline int Usage(const QCommandLineParser& parser, const QString& text) {
    Err() << QCoreApplication::applicationName() << ": " << text << "\n"
          << parser.helpText() << Qt::flush;
    return 2;
}
