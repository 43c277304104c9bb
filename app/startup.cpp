#include "app/startup.h"

#include "base/database_use_lock.h"
#include "base/redaction.h"
#include "base/settings.h"
#include "db/dnc_database.h"
#include "transfer/access_header.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

namespace {

QString LockFolder() {
    // A folder in memory: the lock file is written and flushed at every start, and a flush
    // to disk can cost more than the rest of the start-up. The user's runtime folder when
    // the session has one; otherwise the shared memory folder, where there is one, or the
    // temporary folder (the lock's name then carries the user name).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime;
    }
#ifdef Q_OS_LINUX
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    if (memory.isDir() && memory.isWritable()) {
        return memory.filePath();
    }
#endif
    return QDir::tempPath();
}

QString UserName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        user = qEnvironmentVariable("USERNAME");
    }
    return user;
}

void ReadRemainingSettings(const IniFileValues& settings);
StartUpOutcome OpenServerDatabase(const QString& uri, const IniFileValues& settings);

}  // namespace

SingleInstanceLock::SingleInstanceLock() {
    // One copy per user and installation: the lock lives in the user's own runtime folder
    // and is named after the program folder.
    const QByteArray key =
        QCryptographicHash::hash(QDir::cleanPath(NativePath(ProgramFolder())).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    path_ = QDir(LockFolder())
                .filePath(QStringLiteral("%1-%2-%3.lock")
                              .arg(ProgramTitle(), UserName(), QString::fromLatin1(key)));
    lock_ = std::make_unique<QLockFile>(path_);
    // Only a dead owner makes a lock stale; a live copy keeps it however long it runs.
    lock_->setStaleLockTime(0);
}

SingleInstanceLock::SingleInstanceLock(const QString& path)
    : lock_(std::make_unique<QLockFile>(path)), path_(path) {
    lock_->setStaleLockTime(0);
}

bool SingleInstanceLock::TryAcquire() {
    if (lock_->tryLock(0)) {
        return true;
    }
    // Only a running copy that holds the lock stops this one. A lock that cannot be made at
    // all (a folder that cannot be written) must not keep the program from starting, with
    // nothing said.
    return lock_->error() != QLockFile::LockFailedError;
}

QString SingleInstanceLock::FilePath() const {
    return path_;
}

StartUpOutcome StartUp() {
    const QString folder = ProgramFolder();
    SettingsFileName = JoinPath(folder, ProgramTitle() + QStringLiteral(".ini"));
    LocalComputerName = GetLocalComputerName().toUpper();

    // One reading of the settings file for the twenty values start-up takes: nothing else
    // writes it meanwhile.
    const IniFileValues settings(SettingsFileName);
    const QString helpDefault = ProgramTitle() + QStringLiteral(".hlp");
    HelpFileNames.clear();
    for (int i = 0; i <= 8; ++i) {
        const QString key =
            i == 0 ? QStringLiteral("HELPFILENAME") : QStringLiteral("HELPFILENAME%1").arg(i);
        HelpFileNames << settings.Read(QStringLiteral("HELP"), key, helpDefault).toUpper();
    }

    // A URI in ADMIN/DBURI puts the configuration on a server instead of DNC.mdb (the rule
    // every tool follows too: InstallationDatabase). Read as written: user and database names keep
    // their letter case.
    const QString serverUri =
        settings.Read(QStringLiteral("ADMIN"), QStringLiteral("DBURI"), QString()).trimmed();
    if (!serverUri.isEmpty()) {
        return OpenServerDatabase(serverUri, settings);
    }

    DatabaseFolder =
        settings.Read(QStringLiteral("ADMIN"), QStringLiteral("MDBPATH"), folder).toUpper();
    const QString databaseFile = JoinPath(DatabaseFolder, QStringLiteral("DNC.mdb"));
    DncConnectionString = DatabaseConnection::ConnectionStringFor(databaseFile);

    // The name must be stored exactly so: a file listed as "dnc.mdb" counts as missing, and
    // so does a folder of that name (a listing of files does not show folders).
    if (StoredFileName(databaseFile) != QLatin1String("DNC.mdb") ||
        !QFileInfo(NativePath(databaseFile)).isFile()) {
        ShowMessage(QStringLiteral("DNC Database not found at path \"") +
                        DisplayPath(databaseFile) + QStringLiteral("\""),
                    MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("DNC Database not found!"));
        return StartUpOutcome::DatabaseMissing;
    }

    // A site that has not moved from Access yet: say so and how to import it. The file is
    // never opened for writing (DNC servers may still read it).
    if (IsAccessFile(NativePath(databaseFile))) {
        ShowMessage(AccessDatabaseMessage(DisplayPath(databaseFile)), MsgButtons::Ok,
                    MsgIcon::Critical, AccessDatabaseTitle());
        return StartUpOutcome::AccessDatabase;
    }

    // Held while the program runs, whoever and wherever it runs from: no restore replaces the
    // configuration under it. A restore under way is waited for, within the usual limit.
    static DatabaseUseLock inUse;
    if (inUse.Acquire(NativePath(databaseFile), DatabaseUseLock::Mode::Shared, kDatabaseWaitMs) ==
        DatabaseUseLock::Result::InUse) {
        ShowMessage(QStringLiteral("DNC Database at \"") + DisplayPath(databaseFile) +
                        QStringLiteral("\" is being restored. Start the program again when the "
                                       "restore is done."),
                    MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("DNC Database in use!"));
        return StartUpOutcome::DatabaseMissing;
    }

    // A failed open is not fatal: each query then reports its own error. Nothing is written
    // at start-up: a database made before the change log gets it at its first write.
    DncConnection.Open(DncConnectionString, QString(), QString());
    ReadRemainingSettings(settings);
    return StartUpOutcome::ShowMainWindow;
}

namespace {

void ReadRemainingSettings(const IniFileValues& settings) {
    const auto read = [&settings](const char* section, const char* key, const char* defaultValue) {
        return settings
            .Read(QLatin1String(section), QLatin1String(key), QLatin1String(defaultValue))
            .toUpper();
    };
    ExportDncAdminFlag = read("EXPORT", "EXPORTDNCADMIN", "False");
    BtManagerPath = read("BTS", "BTMANAGERPATH", "");
    BtsConfigBaud = SettingToInt16(read("BTS", "BTSCONFIGBAUD", "3"));
    BtsReconnectPath = read("BTS", "BTSRECONNECTPATH", "");
    BtsTimerInc = SettingToInt16(read("BTS", "BTSTIMERINC", "100"));
    BtsMenuFlag = read("BTS", "BTSMENU", "False");
    BtsComPort = read("BTS", "BTSCOM", "COM5");
    BtsTermFlag = read("BTS", "BTSTERM", "False");
    PrintFontSize = SettingToInt16(read("BTS", "PRINTFONTSIZE", "10"));
}

StartUpOutcome OpenServerDatabase(const QString& uri, const IniFileValues& settings) {
    DncConnectionString = DatabaseConnection::ConnectionStringFor(uri);
    if (!DncConnection.Open(DncConnectionString, QString(), QString())) {
        // Several administrators share this database: without it there is nothing to edit.
        ShowMessage(QStringLiteral("DNC Database at \"") + ShownLocation(uri) +
                        QStringLiteral("\" cannot be opened: ") + DncConnection.LastError(),
                    MsgButtons::Ok, MsgIcon::Critical, QStringLiteral("DNC Database not reached!"));
        return StartUpOutcome::DatabaseMissing;
    }
    ReadRemainingSettings(settings);
    return StartUpOutcome::ShowMainWindow;
}

}  // namespace
