#pragma once
// The rich-text control of the interpretation window: the built text beside
// the document that shows it, with one mapping between their positions, and
// the readable colours of its text.

#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"
#include "reading/TolkDocument.h"

#include <QTextEdit>

#include <memory>

namespace somnex {

// WCAG contrast ratio of two colours (1 to 21).
double ContrastRatio(const QColor &a, const QColor &b);
// The colour a text run is drawn in: black (no colour given) becomes the
// palette's text colour; a colour whose contrast to the background is below
// 3:1 is moved towards the text colour until it reaches it (a dark theme
// lightens the books' dark colours).
QColor ReadableColour(const QColor &colour, const QColor &background, const QColor &text);

// The rich-text control: the built text beside the document that shows it,
// with one mapping between their positions.
class TolkView : public QTextEdit {
    Q_OBJECT
public:
    explicit TolkView(QWidget *parent = nullptr);

    // Shows text (line breaks as CR LF) with its formatting.
    void setTolk(const QString &text, const std::vector<TolkFormat> &formats);
    const QString &builtText() const { return built_; }
    // Shows an article as the RTF reader gives it; the built text becomes
    // the document's text, paragraph ends as CR LF. The document's fonts are
    // tried first, then families.
    void setArticle(const RtfDocument &article, const QStringList &families);

    // Position mapping: built text <-> document.
    int toDocument(int builtPos) const;
    int toBuilt(int docPos) const;

    // Selection in built-text positions.
    int selStart() const;
    int selLength() const;
    void setSel(int start, int length);
    QString selText() const;

    // The character index (built text) under a point of the viewport, or -1.
    int charFromPos(const QPoint &viewportPos) const;

    // The document (or the selection) as RTF.
    QByteArray rtf(bool selectionOnly) const;
    // The same as plain text (lines ending in LF) and as an HTML fragment,
    // for pasting where rich text is not taken. Hidden markers are left out
    // of all three.
    QString plainText(bool selectionOnly) const;
    QString html(bool selectionOnly) const;
    // A copy of what is shown (or of the selection) to print: the hidden
    // markers left out, the book and hand pictures drawn finer for paper.
    std::unique_ptr<QTextDocument> printDocument(bool selectionOnly) const;

    QString Tag; // the word shown

signals:
    void hovered(const QPoint &pos);
    void released(Qt::MouseButton button, const QPoint &pos);

protected:
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    // QTextEdit's own (English) menu would open on the press and take the
    // release: the window shows its own menu at the release instead.
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    std::vector<RtfRun> copyRuns(bool selectionOnly) const;

    QString built_;
    std::vector<TolkFormat> formats_;
    std::vector<int> crlf_; // built positions of the CR of each CR LF
};

} // namespace somnex
