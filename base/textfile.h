#pragma once
// Whole-file text access for the parts of the program that read, replace or extend a
// text file. Text is ANSI (Latin-1); lines end in CR LF.

#include <QString>

struct TextFileRecord {
    QString FileName;      // full path
    QString Contents;      // the whole text
    qint32 Length = 0;     // the file's length in bytes, set by a read
    bool Success = false;  // set by every helper
};

// Reads every line of FileName into Contents, each followed by CR LF. Failure shows nothing.
// Only a regular file (or a link to one) is read: a FIFO or a device fails at once.
void ReadTextFile(TextFileRecord& record);

// Replaces FileName (atomically) with Contents followed by CR LF. Failure shows
// "Error opening file "..."" with the program's title.
void WriteTextFile(TextFileRecord& record);

// Appends Contents and CR LF to FileName, creating it when missing. Failure shows nothing.
// Only a regular file (or a link to one) is extended: a FIFO or a device is refused at once.
void AppendTextFile(TextFileRecord& record);
