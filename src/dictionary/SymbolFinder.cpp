#include "dictionary/SymbolFinder.h"

#include "dictionary/WordFinder.h"

#include <algorithm>
#include <array>

namespace somnex {

namespace {

// Words a dream report is full of that never name a thing dreamt of.
bool isFunctionWord(QStringView w)
{
    static const std::array<QStringView, 64> words = {
        u"я",     u"меня",  u"мне",   u"мной",  u"ты",    u"тебя",  u"тебе",  u"он",    u"его",   u"ему",
        u"она",   u"её",    u"ее",    u"ей",    u"оно",   u"мы",    u"нас",   u"нам",   u"вы",    u"вас",
        u"они",   u"их",    u"им",    u"ими",   u"себя",  u"себе",  u"был",   u"была",  u"было",  u"были",
        u"быть",  u"есть",  u"буду",  u"будет", u"это",   u"этот",  u"эта",   u"то",    u"тот",   u"та",
        u"что",   u"как",   u"так",   u"где",   u"когда", u"потом", u"тут",   u"там",   u"ничего", u"всё",
        u"все",   u"весь",  u"очень", u"уже",   u"ещё",   u"еще",   u"вдруг", u"только", u"но",   u"да",
        u"же",    u"ли",    u"бы",    u"чтобы"};
    return std::find(words.begin(), words.end(), w) != words.end();
}

struct Token {
    qsizetype start = 0;
    qsizetype end = 0;
    QString folded;
};

// The words of a text with their places: runs of letters and digits, a
// hyphen or an apostrophe between letters kept inside.
std::vector<Token> tokens(QStringView text)
{
    std::vector<Token> out;
    const auto isWordChar = [](QChar c) { return c.isLetterOrNumber(); };
    qsizetype i = 0;
    while (i < text.size()) {
        if (!isWordChar(text[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < text.size()
               && (isWordChar(text[i])
                   || ((text[i] == u'-' || text[i] == u'\'') && i + 1 < text.size() && isWordChar(text[i + 1]))))
            ++i;
        out.push_back({start, i, foldWord(text.mid(start, i - start))});
    }
    return out;
}

} // namespace

SymbolFinder::SymbolFinder() = default;
SymbolFinder::~SymbolFinder() = default;
SymbolFinder::SymbolFinder(SymbolFinder &&) noexcept = default;
SymbolFinder &SymbolFinder::operator=(SymbolFinder &&) noexcept = default;

void SymbolFinder::build(const WordIndex &words)
{
    phrases_.clear();
    longestPhrase_ = 0;
    Stemmer stemmer;
    for (int i = 0; i < words.size(); ++i) {
        const QStringList parts = foldedWords(words.word(i));
        if (parts.isEmpty())
            continue;
        QStringList stems;
        for (const QString &w : parts)
            stems.append(stemmer.stem(w));
        phrases_[stems.join(u' ')].push_back(i);
        longestPhrase_ = std::max(longestPhrase_, int(parts.size()));
    }
}

std::vector<SymbolMark> SymbolFinder::find(QStringView text) const
{
    std::vector<SymbolMark> marks;
    if (phrases_.empty())
        return marks;
    const std::vector<Token> words = tokens(text);
    Stemmer stemmer;
    std::vector<QString> stems;
    stems.reserve(words.size());
    for (const Token &t : words)
        stems.push_back(stemmer.stem(t.folded));
    size_t i = 0;
    while (i < words.size()) {
        if (isStopWord(words[i].folded) || isFunctionWord(words[i].folded)) {
            ++i;
            continue;
        }
        bool found = false;
        const size_t longest = std::min(size_t(longestPhrase_), words.size() - i);
        for (size_t n = longest; n >= 1 && !found; --n) {
            QString key = stems[i];
            for (size_t k = 1; k < n; ++k)
                key += u' ' + stems[i + k];
            const auto it = phrases_.find(key);
            if (it == phrases_.end())
                continue;
            marks.push_back({words[i].start, words[i + n - 1].end - words[i].start, it->second.front()});
            i += n;
            found = true;
        }
        if (!found)
            ++i;
    }
    return marks;
}

} // namespace somnex
