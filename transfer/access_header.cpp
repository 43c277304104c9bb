#include "transfer/access_header.h"

#include <QDir>
#include <QFile>

bool IsAccessFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(19);
    const QByteArray format = head.mid(4, 15);
    return format == QByteArrayLiteral("Standard Jet DB") ||
           format == QByteArrayLiteral("Standard ACE DB");
}

QString AccessDatabaseTitle() {
    return QStringLiteral("DNC Database is an Access file");
}

QString AccessDatabaseMessage(const QString& shownPath) {
    return QStringLiteral(
               "The DNC Database at path \"%1\" is a Microsoft Access database, which Kestrum "
               "does not open.\n\n"
               "Import it into a new database in another folder with\n"
               "    kestrum-import \"%1\" %2\n"
               "and set MDBPATH in section ADMIN of Kestrum.ini to that folder.\n\n"
               "The Access file is left as it is; DNC servers may still read it.")
        .arg(shownPath, QDir::toNativeSeparators(QStringLiteral("NEWFOLDER/DNC.mdb")));
}
