#include "diary/ui/SpellHighlighter.h"

#include "diary/Speller.h"

#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

namespace somnex::diary {

namespace {

// A word: letters, with inner hyphens ("из-за", "кто-то").
const QRegularExpression &wordPattern()
{
    static const QRegularExpression p(QStringLiteral("\\p{L}+(?:-\\p{L}+)*"));
    return p;
}

} // namespace

SpellHighlighter::SpellHighlighter(QTextDocument *document) : QSyntaxHighlighter(document) {}

void SpellHighlighter::setSpeller(const Speller *speller)
{
    speller_ = speller;
    rehighlight();
}

void SpellHighlighter::highlightBlock(const QString &text)
{
    if (!speller_)
        return;
    QTextCharFormat wrong;
    wrong.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    wrong.setUnderlineColor(Qt::red);
    for (auto it = wordPattern().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!speller_->correct(m.captured()))
            setFormat(int(m.capturedStart()), int(m.capturedLength()), wrong);
    }
}

SpellHighlighter::Word SpellHighlighter::misspeltAt(int position) const
{
    if (!speller_ || !document())
        return {};
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return {};
    const int inBlock = position - block.position();
    for (auto it = wordPattern().globalMatch(block.text()); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (inBlock < m.capturedStart() || inBlock > m.capturedEnd())
            continue;
        if (speller_->correct(m.captured()))
            return {};
        return {block.position() + int(m.capturedStart()), int(m.capturedLength()), m.captured()};
    }
    return {};
}

} // namespace somnex::diary
