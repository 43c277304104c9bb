#include "app/help_topics.h"

#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace {

const QString kIndexPrefix = QStringLiteral("index:");

}  // namespace

QList<HelpTopic> HelpContents(const QTextDocument& document) {
    QList<HelpTopic> topics;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        const QString title = block.text().simplified();
        if (level > 0 && !title.isEmpty()) {
            topics << HelpTopic{title, level, block.position()};
        }
    }
    return topics;
}

QList<HelpTopic> HelpIndex(const QTextDocument& document) {
    QList<HelpTopic> entries = HelpContents(document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QStringList names = fragment.charFormat().anchorNames();
            for (const QString& name : names) {
                if (name.startsWith(kIndexPrefix)) {
                    entries << HelpTopic{name.mid(kIndexPrefix.size()).simplified(), 0,
                                         fragment.position()};
                }
            }
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const HelpTopic& a, const HelpTopic& b) {
        return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
    });
    return entries;
}

QList<HelpTopic> SearchHelp(const QTextDocument& document, const QString& query) {
    const QStringList words = query.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QList<HelpTopic> found;
    if (words.isEmpty()) {
        return found;
    }
    const QList<HelpTopic> topics = HelpContents(document);
    const QString text = document.toPlainText();
    for (qsizetype i = 0; i < topics.size(); ++i) {
        const int start = topics.at(i).position;
        const int end = i + 1 < topics.size() ? topics.at(i + 1).position : int(text.size());
        const QStringView section = QStringView(text).mid(start, end - start);
        const bool all = std::all_of(words.cbegin(), words.cend(), [&](const QString& word) {
            return section.contains(word, Qt::CaseInsensitive);
        });
        if (all) {
            found << topics.at(i);
        }
    }
    return found;
}
