// kestrum-newinstall <folder>: creates an empty DNC.mdb for a new installation.
// kestrum-newinstall <URI>: creates the tables in an empty server database.
// It never replaces an existing DNC.mdb, nor adds to a database that holds the tables.

#include "base/redaction.h"
#include "db/backend.h"
#include "db/new_installation.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = QCoreApplication::arguments();
    // An empty folder name would mean the current folder, which nobody asked for.
    if (args.size() != 2 || args.at(1).isEmpty() || args.at(1).startsWith(QLatin1Char('-'))) {
        err << "Usage: kestrum-newinstall <program-folder>|<server-URI>\n"
               "Creates an empty DNC.mdb in the folder; an existing one is never replaced.\n"
               "Given a URI, creates the tables in that empty server database.\n";
        return 2;
    }
    QString error;
    if (IsDatabaseUri(args.at(1))) {
        if (!CreateServerSchema(args.at(1), &error)) {
            err << "kestrum-newinstall: " << WithoutPasswords(error) << "\n";
            return 1;
        }
        out << "Created the tables in " << ShownLocation(args.at(1)) << "\n";
        return 0;
    }
    if (!CreateDatabaseFile(args.at(1), &error)) {
        err << "kestrum-newinstall: " << WithoutPasswords(error) << "\n";
        return 1;
    }
    out << "Created " << args.at(1) << "/DNC.mdb\n";
    return 0;
}
