// How long a settings read and write take on a settings file of a few hundred lines.
//   bench_ini [lines]     (default 300)

#include "base/inifile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray SettingsFile(int lines) {
    QByteArray bytes;
    int written = 0;
    for (int section = 0; written < lines; ++section) {
        bytes += "[SECTION" + QByteArray::number(section) + "]\r\n";
        ++written;
        for (int key = 0; key < 20 && written < lines; ++key, ++written) {
            bytes += "KEY" + QByteArray::number(key) + " = C:\\DNC\\PARTS\\MACHINE" +
                     QByteArray::number(section * 100 + key) + "\r\n";
        }
    }
    return bytes + "[BTS]\r\nBTSCOM=COM5\r\n";  // the key looked up: at the very end
}

// Median of the runs, in microseconds per call.
template <class F>
double MedianMicros(int runs, int callsPerRun, F call) {
    std::vector<double> results;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < callsPerRun; ++i) {
            call(i);
        }
        results.push_back(double(timer.nsecsElapsed()) / 1000.0 / callsPerRun);
    }
    std::sort(results.begin(), results.end());
    return results[results.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int lines = argc > 1 ? std::max(1, atoi(argv[1])) : 300;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Kestrum.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return 1;
    }
    const QByteArray bytes = SettingsFile(lines);
    file.write(bytes);
    file.close();

    const QString bts = QStringLiteral("BTS");
    const QString key = QStringLiteral("BTSCOM");
    const double read = MedianMicros(9, 2000, [&](int) {
        if (ReadIniValue(path, bts, key, QStringLiteral("COM1")) != QLatin1String("COM5")) {
            std::abort();
        }
    });
    const double missing = MedianMicros(9, 2000, [&](int) {
        ReadIniValue(path, QStringLiteral("NONE"), key, QStringLiteral("COM1"));
    });
    const double write = MedianMicros(5, 200, [&](int i) {
        WriteIniValue(bts, key, i % 2 ? QStringLiteral("COM5") : QStringLiteral("COM6"), path);
    });
    std::printf("settings file: %d lines, %lld bytes\n", lines + 2, qint64(bytes.size()));
    std::printf("ReadIniValue, key at the end:   %8.1f us\n", read);
    std::printf("ReadIniValue, missing section:  %8.1f us\n", missing);
    std::printf("WriteIniValue, existing key:    %8.1f us (atomic replace)\n", write);
    return 0;
}
