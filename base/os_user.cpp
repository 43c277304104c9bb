#include "base/os_user.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
QString OsUserName() {
    return qEnvironmentVariable("USERNAME");
}
#else
#include <pwd.h>
#include <unistd.h>

QString OsUserName() {
    // The account the process runs as (the environment can say anything), asked once: every
    // change record names it.
    static const QString name = [] {
        if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) {
            return QString::fromLocal8Bit(entry->pw_name);
        }
        return qEnvironmentVariable("USER");
    }();
    return name;
}
#endif
