#include "diary/ui/SpellHighlighter.h"

#include "diary/Speller.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
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

QList<MisspeltWord> misspeltWords(const QString &text, const Speller &speller)
{
    QList<MisspeltWord> out;
    for (auto it = wordPattern().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!speller.correct(m.captured()))
            out.append({int(m.capturedStart()), int(m.capturedLength()), m.captured()});
    }
    return out;
}

void underlineMisspelt(QLineEdit *box, const Speller *speller)
{
    QList<QInputMethodEvent::Attribute> marks;
    if (speller) {
        QTextCharFormat wrong;
        wrong.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
        wrong.setUnderlineColor(Qt::red);
        // The box places these formats from its cursor.
        for (const MisspeltWord &w : misspeltWords(box->text(), *speller))
            marks.append(QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, w.start - box->cursorPosition(),
                                                      w.length, wrong));
    }
    QInputMethodEvent event(QString(), marks);
    QCoreApplication::sendEvent(box, &event);
}

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
    for (const MisspeltWord &w : misspeltWords(text, *speller_))
        setFormat(w.start, w.length, wrong);
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
