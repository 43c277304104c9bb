#pragma once
// The one form in which database and run-time errors are shown:
// prefix + number + " at Line " + line + " - " + description + " - reported by " + source.
// The routine that reports goes on with its next statement.

#include <QString>

class QSqlError;

struct ErrorInfo {
    qint32 number = 0;
    QString description;
    QString source;
};

// The error of a failed statement, as the report shows it: the database's own error code and
// message, reported by the database engine.
ErrorInfo ErrorFromSql(const QSqlError& error);

// Errors the program itself raises, with the numbers they are reported under.
enum class OwnError : qint32 {
    ConnectionClosed = 3704,  // the database connection is not open
    UnknownName = 3265,       // a table, column or operator the schema does not have
    NotFound = 3021,          // a look-up that the operation needed found no row
    Conversion = 13,          // a value that does not convert to the needed type
    BadStatement = 3134,      // a statement the code put together wrongly (lists of unequal length)
};
// Reported by the program itself (its title is the source).
ErrorInfo OwnErrorInfo(OwnError error, const QString& description);

QString FormatErrorReport(const QString& prefix, const ErrorInfo& error, int line);

// Shows the report (OK only, no icon, the program's title).
void ReportError(const QString& prefix, const ErrorInfo& error, int line);

// Whether a report was made while it lives, and the last one: a job that must not go on
// with what a failed read left (an export, a merge) checks it before it writes.
class ReportWatch {
public:
    ReportWatch();
    ~ReportWatch();
    ReportWatch(const ReportWatch&) = delete;
    ReportWatch& operator=(const ReportWatch&) = delete;
    bool Failed() const { return count_ > 0; }
    const ErrorInfo& Last() const { return last_; }

private:
    friend void ReportError(const QString&, const ErrorInfo&, int);
    ReportWatch* outer_ = nullptr;
    int count_ = 0;
    ErrorInfo last_;
};

// The database was busy or locked by another connection past its waiting time.
bool IsBusyError(const ErrorInfo& error);

// While one of these lives, reports are kept and shown, in order, when the last one ends. A
// sequence that holds a transaction uses it, so no message box (and its event loop) runs
// while the database is locked for writing.
class DeferredReports {
public:
    DeferredReports();
    ~DeferredReports();
    DeferredReports(const DeferredReports&) = delete;
    DeferredReports& operator=(const DeferredReports&) = delete;
    // Drops the reports kept since this one began: the work they were about is run again.
    void Discard();

private:
    qsizetype start_ = 0;
};
