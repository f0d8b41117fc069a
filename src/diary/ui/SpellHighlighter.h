#pragma once
// Misspelt words of a dream's text underlined with a red wavy line as the
// user types, from a Speller (the Russian dictionary, the books' headwords,
// the user's words); each paragraph is checked when it changes.

#include <QList>
#include <QSyntaxHighlighter>

class QLineEdit;

#include <functional>

namespace somnex::diary {

class Speller;

// The misspelt words of a line of text: start, length and the word.
struct MisspeltWord {
    int start = 0;
    int length = 0;
    QString text;
};
QList<MisspeltWord> misspeltWords(const QString &text, const Speller &speller);

// The same underline in a one-line box (the dream's title): its misspelt
// words get the red wavy line, drawn by the box as it draws text being
// composed; called again as the text or the cursor moves.
void underlineMisspelt(QLineEdit *box, const Speller *speller);

class SpellHighlighter : public QSyntaxHighlighter {
    Q_OBJECT

public:
    explicit SpellHighlighter(QTextDocument *document);

    // The speller to check with; none checks nothing. Not owned.
    void setSpeller(const Speller *speller);
    const Speller *speller() const { return speller_; }

    // The misspelt word at a position of the document: its start and length,
    // or length 0 for none.
    struct Word {
        int start = 0;
        int length = 0;
        QString text;
    };
    Word misspeltAt(int position) const;

protected:
    void highlightBlock(const QString &text) override;

private:
    const Speller *speller_ = nullptr;
};

} // namespace somnex::diary
