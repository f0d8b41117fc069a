#pragma once
// "Ваш сон": the document of a whole dream read against the books, in the
// interpretation window's built-text form (line breaks as CR LF, links
// between hidden markers < and >), with its formatting and its links.
//
// The dream comes first, its symbols as links; then, a section a symbol,
// each book's best line for this dream, marked, with the words that matched
// it in bold, the next two beneath it, and a link that unfolds the rest.

#include "reading/DreamReading.h"
#include "reading/TolkDocument.h"

#include <QSet>
#include <QString>

#include <utility>
#include <vector>

namespace somnex {

struct DreamLink {
    enum Kind { Symbol, Unfold, Diary, Search };
    qsizetype open = 0;  // the built text's position of the link's "<"
    qsizetype close = 0; // and of its ">"
    Kind kind = Symbol;
    int symbol = 0; // index in DreamReading::symbols
    int book = 0;   // for Unfold: index in the symbol's books
};

struct DreamDocument {
    QString text;
    std::vector<TolkFormat> formats; // one a character of text
    std::vector<DreamLink> links;    // in text order
    // The link whose hot zone (its first letter through its closing marker)
    // holds a position of the text; null when none does.
    const DreamLink *linkAt(qsizetype position) const;
};

// Books' lines shown under a symbol before "ещё N толкований".
inline constexpr int kLinesShown = 3;

// The document of a reading. unfolded lists the (symbol, book) pairs whose
// every line is shown.
DreamDocument BuildDreamDocument(const DreamReading &reading, const QSet<std::pair<int, int>> &unfolded = {});

// "1 толкование", "2 толкования", "5 толкований".
QString interpretationsCount(int n);
// "1 сон", "2 сна", "5 снов".
QString dreamsCount(int n);
// "В вашем дневнике: 5 снов с этим символом, сбылось 2 из 3 отмеченных".
QString historyLine(const DiaryHistory &h);

// The caption of the window that shows a dream.
inline const QString kDreamCaption = QStringLiteral("Ваш сон");

} // namespace somnex
