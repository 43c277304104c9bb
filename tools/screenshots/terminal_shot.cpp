// The terminal's picture: a looped-back line after one loop cycle and a few lines typed.

#include "terminal/frmTerminal.h"
#include "tools/btssim/simulated_lines.h"

#include <QPushButton>
#include <QTest>

#include <functional>

bool GrabTerminal(QWidget* parent,
                  const std::function<bool(const QString&, const QWidget*)>& grab) {
    SimulatedSerialLines lines;
    lines.AddLoopback(5);
    frmTerminal terminal({5, QStringLiteral("9600,N,8,1"), 64, QStringLiteral("9600")}, parent);
    if (!terminal.Load()) {
        return false;
    }
    terminal.move(40, 120);
    terminal.show();
    auto* loop = terminal.findChild<QPushButton*>(QStringLiteral("cmdLoop"));
    loop->click();
    bool ok = QTest::qWaitFor([&] { return terminal.Loop().Statistics().cyclesRun >= 1; }, 5000);
    loop->click();
    ok &= QTest::qWaitFor([&] { return !terminal.Loop().Busy(); }, 5000);
    terminal.Comm().SetOutput(QByteArray("%\r\nO1001 (FLANGE)\r\nN10 G90 G54 X0 Y0\r\n\x12"));
    QTest::qWait(300);
    ok &= grab(QStringLiteral("terminal.png"), &terminal);
    terminal.close();
    return ok;
}
