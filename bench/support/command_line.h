#pragma once
// The benchmarks' command line: "--name value" options, in any order.

#include <QString>
#include <QStringList>

// The value after the option name, or otherwise when it is not given.
inline QString BenchOption(const QStringList& args, const char* name, const QString& otherwise) {
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at > 0 && at + 1 < args.size() ? args.at(at + 1) : otherwise;
}
