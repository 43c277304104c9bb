// Runs detection and the full configuration (PIN, latency on) on the real clock against
// kestrum-btssim on a pseudo-terminal, and compares the time taken with the sum of the
// waits the sequence asked for. Then sends single commands to a simulated adapter that
// answers nothing, where every character's echo times out: the time per command against
// what the exchange prescribes (5 characters x 100 ms, one 50 ms pass, a 100 ms read).
// Target: no more than 5% over. Exit code 1 when missed.
//   bench_bts_config [runs]

#include "base/settings.h"
#include "bts/bts_protocol.h"
#include "components/qserial_line.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTextStream>

#include <cstdio>
#include <functional>

namespace {

// Starts the simulator with these options, maps COM7 to it and runs work on a protocol
// whose port is probed. Returns false when the simulator or the port could not be had.
bool WithSimulator(const QStringList& options, const std::function<void(BtsProtocol&)>& work) {
    QProcess simulator;
    simulator.start(QStringLiteral(KESTRUM_BTSSIM_PATH), options);
    if (!simulator.waitForStarted(5000) || !simulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "cannot start the simulator\n");
        return false;
    }
    const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();
    SystemSerialLines lines;
    lines.MapPort(7, device);
    SetSerialLineProvider(&lines);
    BtsConfigBaud = 3;
    bool ok = false;
    {
        BtsProtocol bts;
        bts.msBTSBaud = QStringLiteral("9600");
        bts.ClientStopBits = 1;
        bts.ClientBtsUsed = true;
        bts.ClientBtsLatency = true;
        bts.msPinNumber = QStringLiteral("24681357");
        QString port = QStringLiteral("COM 7");
        ok = !bts.ProbeComPort(port) && !bts.CheckBtsPrerequisites();
        if (ok) {
            bts.ResetRequestedWait();
            work(bts);
        } else {
            std::fprintf(stderr, "port or prerequisites failed\n");
        }
    }
    SetSerialLineProvider(nullptr);
    simulator.terminate();
    simulator.waitForFinished(5000);
    return ok;
}

double Over(qint64 elapsed, qint64 prescribed) {
    return 100.0 * double(elapsed - prescribed) / double(prescribed);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 1;
    QTextStream out(stdout);
    bool allWithin = true;
    for (int run = 1; run <= runs; ++run) {
        bool failed = false;
        qint64 elapsed = 0;
        qint64 waits = 0;
        QString status;
        const bool started = WithSimulator({}, [&](BtsProtocol& bts) {
            QElapsedTimer timer;
            timer.start();
            const bool detected = bts.DetectBts();
            failed = !detected || bts.ConfigureBtsOn();
            elapsed = timer.elapsed();
            waits = bts.RequestedWaitMs();
            status = bts.StatusText();
        });
        if (!started || failed) {
            std::fprintf(stderr, "configuration failed: %s\n", qPrintable(status));
            return 2;
        }
        const double over = Over(elapsed, waits);
        out << "run " << run << ": sequence " << elapsed << " ms, waits asked for " << waits
            << " ms, over by " << QString::number(over, 'f', 2) << "% (target <= 5%)" << Qt::endl;
        allWithin = allWithin && over <= 5.0;

        // Commands nobody answers: the echo of each character times out.
        constexpr int kCommands = 10;
        constexpr qint64 kPrescribed = 5 * 100 + 50 + 105;
        WithSimulator({QStringLiteral("--fault"), QStringLiteral("silent")}, [&](BtsProtocol& bts) {
            bts.SaxComBTS.SetSettings(QStringLiteral("9600,N,8,1"));
            bts.SaxComBTS.SetPortOpen(true);
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < kCommands; ++i) {
                bts.SendBtsCommand(QStringLiteral("ATH1"), 11);
            }
            elapsed = timer.elapsed();
            waits = bts.RequestedWaitMs();
            bts.SaxComBTS.SetPortOpen(false);
        });
        const double perCommand = double(elapsed) / kCommands;
        const double silentOver = Over(elapsed, kPrescribed * kCommands);
        out << "run " << run << ": unanswered command " << QString::number(perCommand, 'f', 1)
            << " ms (waits asked for " << waits / kCommands << " ms), prescribed " << kPrescribed
            << " ms, over by " << QString::number(silentOver, 'f', 2) << "% (target <= 5%)"
            << Qt::endl;
        allWithin = allWithin && silentOver <= 5.0;
    }
    return allWithin ? 0 : 1;
}
