#include "transfer/access_header.h"

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
