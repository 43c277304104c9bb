#include "tests/support/test_main.h"

#include "tests/support/test_backend.h"

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <vector>

namespace {

struct Registered {
    const char* name;
    TestFactory factory;
};

std::vector<Registered>& Registry() {
    static std::vector<Registered> registry;
    return registry;
}

}  // namespace

int RegisterTestClass(const char* name, TestFactory factory) {
    Registry().push_back({name, std::move(factory)});
    return int(Registry().size());
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    if (TestOnServer() && TestServerUri().isEmpty()) {
        // A developer's run without a server: the second pass over the database tests skips.
        qInfo(
            "SKIPPED: no PostgreSQL test server (scripts/test starts one and names it in "
            "KESTRUM_TEST_PG)");
        return 77;
    }
    QString only;
    std::vector<char*> args(argv, argv + argc);
    if (args.size() > 1 && args[1][0] != '-') {
        only = QString::fromLocal8Bit(args[1]);
        args.erase(args.begin() + 1);
    }
    // Each class would write its results over the last one's in an output file ("-o FILE,txt",
    // as the runs under Wine use): each gets FILE.1,txt, FILE.2,txt, ... instead.
    const auto output =
        std::find_if(args.begin(), args.end(), [](const char* a) { return !qstrcmp(a, "-o"); });
    const QByteArray spec =
        output != args.end() && output + 1 != args.end() ? QByteArray(*(output + 1)) : QByteArray();
    std::vector<QByteArray> names;
    names.reserve(Registry().size());
    int failures = 0, ran = 0;
    for (const Registered& entry : Registry()) {
        if (only.isEmpty() || only == QLatin1String(entry.name)) {
            ++ran;
            if (!spec.isEmpty()) {
                const qsizetype comma = spec.lastIndexOf(',');
                names.push_back((comma < 0 ? spec : spec.left(comma)) + '.' +
                                QByteArray::number(ran) +
                                (comma < 0 ? QByteArray() : spec.mid(comma)));
                *(output + 1) = names.back().data();
            }
            failures += QTest::qExec(entry.factory().get(), int(args.size()), args.data());
        }
    }
    if (ran == 0) {
        qWarning("No test class named %s", qPrintable(only));
    }
    return failures == 0 && ran > 0 ? 0 : 1;
}
