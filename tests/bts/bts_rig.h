#pragma once
// A simulated adapter on COM5, on the fast clock, with every message answered by a recorder;
// and a BTS protocol wired to it, every status text kept.

#include "base/settings.h"
#include "bts/bts_protocol.h"
#include "tests/support/fast_clock.h"
#include "tests/support/message_recorder.h"
#include "tests/support/temp_installation.h"
#include "tools/btssim/simulated_lines.h"

#include <QRegularExpression>

struct AdapterBench {
    explicit AdapterBench(const TempInstallation::Options& options) : installation(options) {
        BtsConfigBaud = 3;
    }
    TempInstallation installation;
    FastClock clock;
    MessageRecorder messages;
    SimulatedSerialLines lines;
    BtsAdapterModel& adapter = lines.AddAdapter(5);
    QStringList statuses;
};

struct BtsRig : AdapterBench {
    BtsProtocol bts;

    BtsRig() : AdapterBench({.createDatabase = false, .settings = {}}) {
        bts.msBTSBaud = QStringLiteral("9600");
        bts.ClientBtsUsed = true;
        QObject::connect(&bts, &BtsProtocol::StatusTextChanged,
                         [this](const QString& t) { statuses << t; });
    }
    bool Probe() {
        QString port = QStringLiteral("COM 5");
        return bts.ProbeComPort(port);
    }
    // The rates the scan showed, in order.
    QStringList Rates() const { return statuses.filter(QRegularExpression("^\\d+$")); }
};
