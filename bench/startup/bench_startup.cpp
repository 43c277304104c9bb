// Start-up benchmark: the time from starting a process to its first window painted, for
// Kestrum (start-up sequence and main window on a fresh installation) and for a minimal
// Qt Widgets program that shows an empty window, run alternately in the same session.
// Prints the medians and their ratio; the target is at most 1.3. Exit code 1 when the
// target is missed. It also times the main window's form alone (menu bar and menus, no
// program behind them): text needs the font system, which an empty window never starts.
// Kestrum against that form shows what the program's own start-up adds (target 1.2).
//   bench_startup [--runs N]
// Runs on the platform the environment names (QT_QPA_PLATFORM, DISPLAY); offscreen when
// neither is set.

#include "db/new_installation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

// Milliseconds from the process start to its first paint, or nothing when it failed.
std::optional<double> TimeToShown(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const auto started = std::chrono::steady_clock::now().time_since_epoch();
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        process.kill();
        return std::nullopt;
    }
    bool ok = false;
    const qint64 shown = process.readAllStandardOutput().trimmed().toLongLong(&ok);
    if (!ok) {
        return std::nullopt;
    }
    const qint64 start = std::chrono::duration_cast<std::chrono::nanoseconds>(started).count();
    return double(shown - start) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    int runs = 21;
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype i = args.indexOf(QStringLiteral("--runs")); i > 0 && i + 1 < args.size()) {
        runs = std::max(1, args.at(i + 1).toInt());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    // A fresh installation: the shipped settings and an empty DNC.mdb.
    QTemporaryDir folder;
    QString error;
    if (!folder.isValid() || !CreateDatabaseFile(folder.path(), &error)) {
        std::fprintf(stderr, "cannot set up an installation: %s\n", qPrintable(error));
        return 2;
    }
    QFile::copy(QStringLiteral(KESTRUM_SOURCE_DIR "/dist/Kestrum.ini"),
                QDir(folder.path()).filePath(QStringLiteral("Kestrum.ini")));

    const QString here = QCoreApplication::applicationDirPath();
    const QString kestrum = QDir(here).filePath(QStringLiteral("kestrum-startup-probe"));
    const QString minimal = QDir(here).filePath(QStringLiteral("minimal-window"));
    const QString form = QDir(here).filePath(QStringLiteral("menubar-window"));

    // One run of each first, unmeasured, so neither pays for a cold disk cache.
    TimeToShown(kestrum, {folder.path()});
    TimeToShown(minimal, {});
    TimeToShown(form, {});
    std::vector<double> kestrumTimes;
    std::vector<double> minimalTimes;
    std::vector<double> formTimes;
    for (int i = 0; i < runs; ++i) {
        const std::optional<double> k = TimeToShown(kestrum, {folder.path()});
        const std::optional<double> m = TimeToShown(minimal, {});
        const std::optional<double> f = TimeToShown(form, {});
        if (!k || !m || !f) {
            return 2;
        }
        kestrumTimes.push_back(*k);
        minimalTimes.push_back(*m);
        formTimes.push_back(*f);
    }
    const double k = Median(kestrumTimes);
    const double m = Median(minimalTimes);
    const double f = Median(formTimes);
    const double ratio = k / m;
#ifdef Q_OS_WIN
    const char* const defaultPlatform = "windows";
#else
    const char* const defaultPlatform = "xcb (DISPLAY)";
#endif
    std::printf("platform         %s\n", qgetenv("QT_QPA_PLATFORM").isEmpty()
                                             ? defaultPlatform
                                             : qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("runs             %d each, alternating\n", runs);
    std::printf("minimal window   median %.1f ms (min %.1f, max %.1f)\n", m,
                *std::min_element(minimalTimes.begin(), minimalTimes.end()),
                *std::max_element(minimalTimes.begin(), minimalTimes.end()));
    std::printf("main window form median %.1f ms (min %.1f, max %.1f), %.2f x minimal\n", f,
                *std::min_element(formTimes.begin(), formTimes.end()),
                *std::max_element(formTimes.begin(), formTimes.end()), f / m);
    std::printf("Kestrum          median %.1f ms (min %.1f, max %.1f)\n", k,
                *std::min_element(kestrumTimes.begin(), kestrumTimes.end()),
                *std::max_element(kestrumTimes.begin(), kestrumTimes.end()));
    std::printf("ratio            %.2f (target <= 1.30): %s\n", ratio,
                ratio <= 1.3 ? "met" : "MISSED");
    // What the program adds to its own window: start-up, settings, database, lock.
    std::printf("Kestrum / form   %.2f (target <= 1.20): %s\n", k / f,
                k / f <= 1.2 ? "met" : "MISSED");
    return ratio <= 1.3 ? 0 : 1;
}
