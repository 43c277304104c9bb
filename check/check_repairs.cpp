// The repairs of findings, one at a time or in batches of one transaction each.

#include "check/configuration_check.h"
#include "db/dnc_database.h"

namespace {

RepairRequest RequestOf(const Finding& finding) {
    return {finding.Kind == QLatin1String("missing-row")
                ? RepairRequest::Kind::AddMissingRows
                : RepairRequest::Kind::RemoveLeftBehindRows,
            finding.ClientId, finding.Tables};
}

}  // namespace

RepairDone RepairFinding(const Finding& finding) {
    return IsRepairable(finding) ? RepairMDB(RequestOf(finding)) : RepairDone();
}

int RepairFindings(const QList<Finding>& findings,
                   const std::function<void(const Finding&, const RepairDone&)>& repaired) {
    QList<const Finding*> batch;
    int done = 0;
    const auto runBatch = [&]() -> bool {
        QList<RepairRequest> requests;
        for (const Finding* finding : std::as_const(batch)) {
            requests << RequestOf(*finding);
        }
        if (const std::optional<QList<RepairDone>> results = RepairBatchMDB(requests)) {
            for (qsizetype i = 0; i < batch.size(); ++i) {
                repaired(*batch.at(i), results->at(i));
            }
            done += int(batch.size());
            batch.clear();
            return true;
        }
        // One failed: each alone, so only those that fail stay unrepaired.
        for (const Finding* finding : std::as_const(batch)) {
            if (DncConnection.IsLost() || !DncConnection.IsOpen()) {
                return false;
            }
            const RepairDone result = RepairFinding(*finding);
            if (DncConnection.IsLost() || !DncConnection.IsOpen()) {
                return false;
            }
            repaired(*finding, result);
            ++done;
        }
        batch.clear();
        return true;
    };
    for (const Finding& finding : findings) {
        if (!IsRepairable(finding)) {
            continue;
        }
        batch << &finding;
        if (batch.size() == kRepairBatch && !runBatch()) {
            return done;
        }
    }
    if (!batch.isEmpty()) {
        runBatch();
    }
    return done;
}
