#pragma once
// What the benchmarks share: the large configuration (1,000 servers, 20,000 clients) in a
// temporary DNC.mdb, and the timing of an operation beside its direct SQLite form.

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <string>
#include <vector>

class DirectSqlite;
class QWidget;

class LargeConfiguration {
public:
    static constexpr int kServers = 1000;
    static constexpr int kClients = 20000;
    static constexpr int kLocalClients = 64;  // on the first server, kLocalServer
    static constexpr const char* kLocalServer = "BENCHSRV";

    // Creates DNC.mdb and fills it; more adds rows of a benchmark's own before it is closed.
    // Says on stderr what failed.
    bool Build(const std::function<void(DirectSqlite&)>& more = {});
    // Points the program at the file and opens its connection.
    bool Connect();

    QString Folder() const { return folder_.path(); }
    QString Path() const { return folder_.filePath(QStringLiteral("DNC.mdb")); }
    // In the order the rows were stored.
    const std::vector<std::string>& ClientNames() const { return names_; }

private:
    QTemporaryDir folder_;
    std::vector<std::string> names_;
};

// Runs with the offscreen platform unless QT_QPA_PLATFORM (or, when allowDisplay, DISPLAY)
// names one; the platform's notes on sizing every window it shows are not printed.
void UseOffscreenPlatform(bool allowDisplay = false);

// Answers every message with OK, counts it and prints the first three.
void CountMessages(int& messages);

double Median(std::vector<double> values);

// The median times of an operation of the program's and of the same work done directly,
// run alternately so both see the same caches and file.
struct Figure {
    const char* name;
    double kestrumMs;
    double directMs;
    double targetMs;  // 0: no time target
};
Figure Measure(const char* name, int runs, double targetMs, const std::function<void(int)>& kestrum,
               const std::function<void(int)>& direct);

// Shows the window and returns once it has been painted (two seconds at the most).
void ShowUntilPainted(QWidget& window);
