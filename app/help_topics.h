#pragma once
// What the help viewer finds in an HTML help file: its contents (the headings), its index
// (the headings and the terms marked for the index) and the topics a search finds.

#include <QList>
#include <QString>

class QTextDocument;

struct HelpTopic {
    QString title;
    int level = 1;     // heading level, 1 to 6
    int position = 0;  // where the heading starts in the document
};

// The headings in document order.
QList<HelpTopic> HelpContents(const QTextDocument& document);

// Every heading and every term marked by an anchor named "index:<term>", sorted without
// regard to letter case. A term is listed once per place it is marked.
QList<HelpTopic> HelpIndex(const QTextDocument& document);

// The topics (a heading and the text up to the next heading) that contain every word of
// the query, without regard to letter case, in document order. An empty query finds nothing.
QList<HelpTopic> SearchHelp(const QTextDocument& document, const QString& query);
