#include "db/transaction.h"

#include "db/statement.h"

namespace {

constexpr int kStepBegin = 1;
constexpr int kStepCommit = 2;

}  // namespace

DatabaseTransaction::DatabaseTransaction(const QString& prefix)
    : prefix_(prefix), transaction_(std::make_unique<Transaction>(ReportAs{prefix, kStepBegin})) {}

DatabaseTransaction::~DatabaseTransaction() {
    transaction_.reset();
}

bool DatabaseTransaction::Begun() const {
    return transaction_ && transaction_->Begun();
}

bool DatabaseTransaction::Commit() {
    if (!transaction_) {
        return false;
    }
    const bool committed = transaction_->Commit(ReportAs{prefix_, kStepCommit});
    transaction_.reset();
    return committed;
}

void DatabaseTransaction::Rollback() {
    transaction_.reset();
}
