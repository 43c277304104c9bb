#pragma once
// The database the tests run on: a fresh DNC.mdb file per test (the default), or, in the
// "_pg" variants of the database tests (KESTRUM_TEST_BACKEND=pg), a database of its own on
// the PostgreSQL server named by KESTRUM_TEST_PG, emptied again for every test.

#include <QString>
#include <QStringList>

class QSemaphore;

// Whether this test executable runs on the server.
bool TestOnServer();
// The URI of the server's maintenance database ("" when none is named).
QString TestServerUri();
// A URI naming another database on the same server.
QString TestServerDatabaseUri(const QString& database);
// This process's own database on the server, made once with the schema; emptied and given
// its protocol rows again at each call, keys starting at 1. "" with *error on failure.
QString FreshServerDatabase(QString* error);
// Another administrator: a connection of its own to uri that runs the statements in one
// transaction, releases *ran once they ran, and commits after holdMs (while the other side's
// statement waits for its locks). Run it in a thread of its own.
void ActAsOtherAdministrator(const QString& uri, const QStringList& statements, QSemaphore* ran,
                             int holdMs = 300);
// The command that controls the test server (KESTRUM_TEST_PG_CTL: pg_ctl with its data
// folder); empty when the server was not started by scripts/lib.sh.
QStringList TestServerControl();
// Restarts the server as an administrator would (every session ends) and waits until it
// accepts connections again. False, with *error, when it could not.
bool RestartTestServer(QString* error);
// Runs one statement on the maintenance database (CREATE DATABASE and the like).
bool RunOnServer(const QString& sql, QString* error = nullptr);
