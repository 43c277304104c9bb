#pragma once
// The two ways a configuration moves: from an Access DNC.mdb into a new database
// (kestrum-import) and from one database to another (kestrum-dbcopy). A database is a
// DNC.mdb path or a server database URI.

#include "db/backend.h"
#include "transfer/configuration_copy.h"

#include <QString>

// Every user table of the Access file (rows only for the tables the schema has), with the
// AutoNumber counters.
bool ReadAccessConfiguration(const QString& path, SourceConfiguration* source, QString* error);

// Copies the Access file into target: a new DNC.mdb (refused when anything exists under
// that name; it appears only when complete) or the URI of an empty database.
CopyOutcome ImportAccessFile(const QString& accessPath, const QString& target);

// Copies the configuration in from into to: a new DNC.mdb, an existing one without rows,
// or the URI of an empty database.
CopyOutcome CopyDatabase(const QString& from, const QString& to);
