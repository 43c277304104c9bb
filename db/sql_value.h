#pragma once
// A value handed to a statement builder. Values are always bound as parameters, never
// spliced into SQL text, so a name such as O'HARA is stored and found like any other.

#include <QString>
#include <QVariant>

class SqlValue {
public:
    enum class Kind { Text, Number, YesNo, Null };

    // Text is never NULL: a null QString is bound as the empty text.
    static SqlValue Text(const QString& text) {
        return SqlValue(Kind::Text, text.isNull() ? QStringLiteral("") : text);
    }
    static SqlValue Number(qint64 number) { return SqlValue(Kind::Number, number); }
    // Yes/no columns hold -1 for true and 0 for false.
    static SqlValue YesNo(bool yes) { return SqlValue(Kind::YesNo, yes ? -1 : 0); }
    static SqlValue Null() { return SqlValue(Kind::Null, QVariant()); }

    Kind kind() const { return kind_; }
    QVariant bound() const { return value_; }
    // How the value reads in a report or a log: text in single quotes, numbers bare.
    QString display() const;

private:
    SqlValue(Kind kind, QVariant value) : kind_(kind), value_(std::move(value)) {}
    Kind kind_;
    QVariant value_;
};
