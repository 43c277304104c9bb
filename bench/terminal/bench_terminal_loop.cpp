// Runs the loop test for a number of cycles (default 100) at 115200 baud over a
// pseudo-terminal whose far end echoes every byte, on the real clock, and compares the time
// taken with the waits the cycles ask for (two seconds a cycle). Targets: no character lost,
// no cycle failed, no more than 5% over. Exit code 1 when missed.
//   bench_terminal_loop [cycles] [chunk size]

#include "components/qserial_line.h"
#include "components/saxcomm.h"
#include "terminal/loop_test.h"
#include "tests/support/pty_pair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? qMax(1, atoi(argv[1])) : 100;
    const int chunk = argc > 2 ? atoi(argv[2]) : 64;
    const QString settings = QStringLiteral("115200,N,8,1");

    PtyLoopback far;
    if (!far.IsValid()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 2;
    }
    SystemSerialLines lines;
    lines.MapPort(7, far.Device());
    SetSerialLineProvider(&lines);

    SaxComm comm;
    comm.Initialise();
    comm.SetCommPort(7);
    comm.SetSettings(settings);
    comm.SetPortOpen(true);
    if (!comm.PortOpen()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(far.Device()));
        return 2;
    }
    LoopTest loop([&comm](const QByteArray& bytes) { comm.SetOutput(bytes); }, chunk,
                  QStringLiteral("115200"));
    const auto receive = [&] { loop.Received(comm.Input().toLatin1()); };
    loop.SetDrain(receive);
    QObject::connect(&comm, &SaxComm::Comm, receive);

    QEventLoop events;
    QObject::connect(&loop, &LoopTest::CyclePassed, [&] {
        if (loop.Statistics().cyclesRun >= cycles) {
            loop.Stop();
            events.quit();
        }
    });
    QObject::connect(&loop, &LoopTest::CycleFailed, [&](const QString& text) {
        std::fprintf(stderr, "cycle %d failed: %s\n", loop.Statistics().cyclesRun,
                     qPrintable(text));
        events.quit();
    });

    QElapsedTimer timer;
    timer.start();
    loop.Start();
    events.exec();
    const qint64 elapsed = timer.elapsed();
    comm.SetPortOpen(false);
    SetSerialLineProvider(nullptr);

    const LoopStatistics& stats = loop.Statistics();
    const qint64 waits = qint64(stats.cyclesRun) * (LoopTest::kLoopMs + LoopTest::kTimeoutMs);
    const qint64 lost = stats.bytesSent - stats.bytesReceived;
    const double ratio = double(elapsed) / double(waits);
    QTextStream out(stdout);
    out << stats.cyclesRun << " cycles (" << stats.cyclesFailed << " failed) at " << settings
        << ", pieces of " << chunk << ": sent " << stats.bytesSent << ", received "
        << stats.bytesReceived << ", lost " << lost << Qt::endl;
    out << "time " << elapsed << " ms, waits asked for " << waits << " ms, ratio "
        << QString::number(ratio, 'f', 4) << " (target <= 1.05)" << Qt::endl;
    // A pseudo-terminal moves bytes at no real speed: the block usually comes back within
    // the same millisecond, too fast to give a rate.
    out << "rate of the last cycle "
        << (stats.rate ? QString::number(qRound(*stats.rate)) + QStringLiteral(" cps")
                       : QStringLiteral("not measurable (under 1 ms)"))
        << ", line " << qRound(LineCharsPerSecond(settings)) << " cps" << Qt::endl;
    return stats.cyclesRun == cycles && stats.cyclesFailed == 0 && lost == 0 && ratio <= 1.05 ? 0
                                                                                              : 1;
}
