#pragma once
// How many statements the program has sent to the database: every query and command, and
// every begin, commit and rollback. On a database server each is a round trip, so the
// benchmarks and tests read this to see what an operation costs over a network.

#include <QtGlobal>

quint64 StatementsSent();
void CountStatementSent();
