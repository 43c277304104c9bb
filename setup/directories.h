#pragma once
// The rules of the client directories and their aliases, apart from the windows.

#include "db/dnc_database.h"

#include <QStringList>
#include <QValidator>

// The text a directory has in the list: "ALIAS = path" with an alias, the path alone without.
QString DirectoryListText(const DirectoryRecord& directory);

// The path a folder picked in the tree is stored with, or why it cannot be a directory.
struct FolderChoice {
    QString path;     // Windows path text; empty when refused
    QString refusal;  // the message for the operator; empty when accepted
};
// pathName is the tree's path of the folder ("" for nothing highlighted or a computer).
FolderChoice ChooseDirectoryFolder(const QString& pathName, bool isComputer);

// The alias suggestions: "TV" and each digit, then "TV" and each letter.
QStringList AliasSuggestions();

constexpr int kAliasMaxLength = 7;

// Alias text: letters turned to capitals, everything but A to Z and 0 to 9 dropped; text
// that would grow beyond seven characters is refused. Typing and pasting obey the same rule.
class AliasValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};
