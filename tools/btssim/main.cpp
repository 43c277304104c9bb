// kestrum-btssim: a simulated BTS adapter on a pseudo-terminal, for trying the BTS
// functions without an adapter. It prints the device path on the first line; map a COM
// port to it in Kestrum.ini:
//   [COMPORTS]
//   COM7=/dev/pts/5
// Afterwards it prints "STATE ..." with the adapter's settings after every command, and
// "GONE" when a dropped line ends it.

#include "tools/btssim/adapter_model.h"
#include "tools/btssim/pty_adapter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrum-btssim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated BTS adapter on a pseudo-terminal"));
    parser.addHelpOption();
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Rate the adapter starts at (19200)."),
                                  QStringLiteral("rate"), QStringLiteral("19200"));
    const QCommandLineOption pin(QStringLiteral("pin"), QStringLiteral("PIN it holds (5093)."),
                                 QStringLiteral("pin"), QStringLiteral("5093"));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Its address (0012-6f-3a1b2c)."),
                                     QStringLiteral("address"), QStringLiteral("0012-6f-3a1b2c"));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("none, silent, error, echo-only, slow, garbage, noise or drop."),
        QStringLiteral("mode"), QStringLiteral("none"));
    const QCommandLineOption slowMs(QStringLiteral("slow-ms"),
                                    QStringLiteral("Delay of a slow reply (250)."),
                                    QStringLiteral("ms"), QStringLiteral("250"));
    const QCommandLineOption dropAfter(
        QStringLiteral("drop-after"),
        QStringLiteral("Commands answered before a dropping line goes away (0)."),
        QStringLiteral("count"), QStringLiteral("0"));
    parser.addOptions({baud, pin, address, fault, slowMs, dropAfter});
    parser.process(app);

    QTextStream err(stderr);
    BtsAdapterModel model(parser.value(address).toLatin1());
    const char code = BtsAdapterModel::CodeForBaud(parser.value(baud).toInt());
    if (code == 0) {
        err << "unsupported rate " << parser.value(baud) << Qt::endl;
        return 2;
    }
    model.settings.baudCode = code;
    model.settings.pin = parser.value(pin).toLatin1();
    if (!ParseAdapterFault(parser.value(fault), &model.fault)) {
        err << "unknown fault mode " << parser.value(fault) << Qt::endl;
        return 2;
    }
    model.slowMs = parser.value(slowMs).toInt();
    model.dropAfter = parser.value(dropAfter).toInt();

    PtyAdapter adapter(model);
    QString error;
    if (!adapter.Open(&error)) {
        err << error << Qt::endl;
        return 1;
    }
    QTextStream out(stdout);
    out << adapter.DevicePath() << Qt::endl;
    QObject::connect(&adapter, &PtyAdapter::StateChanged, &app,
                     [&out](const QString& state) { out << "STATE " << state << Qt::endl; });
    QObject::connect(&adapter, &PtyAdapter::LineGone, &app, [&out, &app] {
        out << "GONE" << Qt::endl;
        app.quit();
    });
    return app.exec();
}
