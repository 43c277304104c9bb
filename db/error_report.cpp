#include "db/error_report.h"

#include "base/messages.h"
#include "base/platform.h"
#include "db/backend.h"
#include "db/dnc_database.h"

#include <QSqlError>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace {

int deferDepth = 0;
ReportWatch* innermostWatch = nullptr;
QStringList& Deferred() {
    static QStringList texts;
    return texts;
}

void Show(const QString& text) {
    ShowMessage(text, MsgButtons::Ok, MsgIcon::None);
}

}  // namespace

ErrorInfo ErrorFromSql(const QSqlError& error) {
    ErrorInfo info;
    bool ok = false;
    info.number = error.nativeErrorCode().toInt(&ok);
    if (!ok) {
        // No code from the engine: fall back to the kind of failure Qt saw.
        info.number = qint32(error.type());
    }
    info.description = DncConnection.Engine().ErrorDescription(error);
    if (info.description.isEmpty()) {
        info.description = error.driverText().trimmed();
    }
    if (info.description.isEmpty()) {
        info.description = QStringLiteral("Unknown database error");
    }
    info.source = DncConnection.Engine().Name();
    return info;
}

ErrorInfo OwnErrorInfo(OwnError error, const QString& description) {
    return ErrorInfo{qint32(error), description, ProgramTitle()};
}

QString FormatErrorReport(const QString& prefix, const ErrorInfo& error, int line) {
    return prefix + QString::number(error.number) + QStringLiteral(" at Line ") +
           QString::number(line) + QStringLiteral(" - ") + error.description +
           QStringLiteral(" - reported by ") + error.source;
}

void ReportError(const QString& prefix, const ErrorInfo& error, int line) {
    for (ReportWatch* watch = innermostWatch; watch; watch = watch->outer_) {
        ++watch->count_;
        watch->last_ = error;
    }
    const QString text = FormatErrorReport(prefix, error, line);
    if (deferDepth > 0) {
        Deferred().append(text);
    } else {
        Show(text);
    }
}

ReportWatch::ReportWatch() : outer_(innermostWatch) {
    innermostWatch = this;
}

ReportWatch::~ReportWatch() {
    innermostWatch = outer_;
}

bool IsBusyError(const ErrorInfo& error) {
    // Only the engine that reported it knows its codes.
    const DatabaseEngine* engine = DatabaseEngine::Named(error.source);
    return engine && engine->IsBusyCode(error.number);
}

DeferredReports::DeferredReports() : start_(Deferred().size()) {
    ++deferDepth;
}

void DeferredReports::Discard() {
    Deferred().resize(std::min(start_, Deferred().size()));
}

DeferredReports::~DeferredReports() {
    if (--deferDepth > 0) {
        return;
    }
    const QStringList texts = std::exchange(Deferred(), QStringList());
    for (const QString& text : texts) {
        Show(text);
    }
}
