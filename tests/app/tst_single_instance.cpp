// One copy of the program per installation: real copies of the built program are started.

#include "app/startup.h"
#include "base/settings.h"
#include "db/new_installation.h"
#include "tests/support/test_main.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

constexpr int kDeadlineMs = 30000;

// The process id written on the first line of a lock file.
qint64 LockOwner(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toLongLong() : 0;
}

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString program_;
    QString lockPath_;
    std::vector<std::unique_ptr<QProcess>> started_;

    QProcess* Start() {
        started_.push_back(std::make_unique<QProcess>());
        started_.back()->setWorkingDirectory(dir_.path());
        started_.back()->start(program_, {});
        return started_.back().get();
    }

private Q_SLOTS:
    void initTestCase() {
        const QString folder = QFileInfo(dir_.path()).canonicalFilePath();
        program_ = folder + QStringLiteral("/Kestrum");
        QVERIFY(QFile::copy(QStringLiteral(KESTRUM_BINARY_DIR "/Kestrum"), program_));
        QVERIFY(CreateDatabaseFile(folder));
        // The lock the copies take: the one this installation's program folder names.
        SetProgramFolder(folder);
        lockPath_ = SingleInstanceLock().FilePath();
        SetProgramFolder(QString());
        QFile::remove(lockPath_);
    }

    void cleanup() {
        for (const std::unique_ptr<QProcess>& process : started_) {
            process->kill();
            process->waitForFinished(kDeadlineMs);
        }
        started_.clear();
    }

    void cleanupTestCase() { QFile::remove(lockPath_); }

    void secondCopyEndsSilently() {
        QProcess* first = Start();
        QVERIFY2(first->waitForStarted(kDeadlineMs), qPrintable(first->errorString()));
        QTRY_COMPARE_WITH_TIMEOUT(LockOwner(lockPath_), first->processId(), kDeadlineMs);

        QProcess* second = Start();
        QVERIFY(second->waitForFinished(kDeadlineMs));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(second->readAllStandardOutput(), QByteArray());
        QCOMPARE(second->readAllStandardError(), QByteArray());
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(LockOwner(lockPath_), first->processId());

        // A copy that died holding the lock does not keep the program from starting.
        first->kill();
        QVERIFY(first->waitForFinished(kDeadlineMs));
        QVERIFY(QFileInfo::exists(lockPath_));
        QProcess* third = Start();
        QVERIFY(third->waitForStarted(kDeadlineMs));
        QTRY_COMPARE_WITH_TIMEOUT(LockOwner(lockPath_), third->processId(), kDeadlineMs);
        QCOMPARE(third->state(), QProcess::Running);
    }

    void unusableLockFolderDoesNotStopTheProgram() {
        const QString path = dir_.filePath(QStringLiteral("held.lock"));
        SingleInstanceLock first(path);
        QVERIFY(first.TryAcquire());
        QVERIFY(!SingleInstanceLock(path).TryAcquire());
        QVERIFY(SingleInstanceLock(dir_.filePath(QStringLiteral("no/folder.lock"))).TryAcquire());
    }
};

KESTRUM_TEST(TestSingleInstance)
#include "tst_single_instance.moc"
