#pragma once
// The rules for a DNC client's name: the characters it may hold, the names it may never
// take, and the check that no server has a client of that name yet.

#include <QString>
#include <QValidator>

// Upper case of the text, keeping only blanks, digits, capital letters and the signs
// ":;<=>?@" (character codes 32 and 48 to 90 after upper-casing).
QString FilterClientName(const QString& text);

// Typed and pasted text alike obey FilterClientName; the cursor stays after the characters
// that were kept before it.
class ClientNameValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;
};

// A name that is a section of the server's DNCAdmin.ini (ADMIN, CNC_LIST, NODE01 to NODE04,
// in any letter case): a client section of that name would overwrite the server's own.
bool IsReservedClientName(const QString& name);
// Shows why a reserved name is refused. Returns whether the name was reserved.
bool RefuseReservedClientName(const QString& name);

// True when any client row of any server has this name (letter case ignored, as the column
// compares), after telling the user which server has it. Also true, after the database
// report, when the check itself failed: a name that could not be checked is not used.
bool ClientNameInUse(const QString& name);
