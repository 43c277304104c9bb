#include "db/statement_count.h"

namespace {

// The database is used from the main thread only.
quint64 sent = 0;

}  // namespace

quint64 StatementsSent() {
    return sent;
}

void CountStatementSent() {
    ++sent;
}
