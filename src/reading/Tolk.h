#pragma once
// The interpretation window: the document of one word with see-also links,
// the history of words left by following links, find, copy and print.

#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"
#include "reading/TolkDocument.h"

#include <QPointer>
#include <QTextEdit>

#include <QWidget>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;

namespace somnex {

// What the window needs of the program around it.
class TolkHost {
public:
    virtual ~TolkHost() = default;
    // The enabled books with entries, in catalogue order, and every book button.
    virtual std::vector<TolkBook> tolkBooks() = 0;
    virtual std::vector<TolkButton> tolkButtons() = 0;
    // The selected word of the main word list (empty when none).
    virtual QString currentWord() = 0;
    virtual bool literatureActive() = 0;
    // The main window's top in twips, the default top of this window.
    virtual double mainTopTwips() = 0;
    // The window closed: the main toolbar's button is released.
    virtual void tolkClosed() = 0;
};

class SearchForm;

// The rich-text control: the built text beside the document that shows it,
// with one mapping between their positions.
// WCAG contrast ratio of two colours (1 to 21).
double ContrastRatio(const QColor &a, const QColor &b);
// The colour a text run is drawn in: black (no colour given) becomes the
// palette's text colour; a colour whose contrast to the background is below
// 3:1 is moved towards the text colour until it reaches it (a dark theme
// lightens the books' dark colours).
QColor ReadableColour(const QColor &colour, const QColor &background, const QColor &text);

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
    QString built_;
    std::vector<TolkFormat> formats_;
    std::vector<int> crlf_; // built positions of the CR of each CR LF
};

class Tolk : public QWidget {
    Q_OBJECT
public:
    explicit Tolk(TolkHost *host, QWidget *owner = nullptr);
    ~Tolk() override;

    // The load: geometry, then the interpretation of the current word.
    // False when loading failed (the window has been told to close).
    bool Form_Load();
    void Form_Resize();

    void BuildTolk(const QString &word);
    // BuildTolk for a handler: a failure (a damaged entry) is shown as an
    // error box titled with the handler's name. True when it succeeded.
    bool ShowWord(const QString &word, const QString &source);
    // Shows the article in the RTF file at path, captioned caption, in the
    // article's base font Courier New 10 pt (a monospace font where it is
    // missing). The word kept in the Tag stays. Raises when the file cannot
    // be read or is not an RTF document; the view is then empty.
    void ShowArticle(const QString &path, const QString &caption);
    void AddBack(const QString &word);
    void CheckBack();
    QString GetWord(int index) const;
    void ShowFind();
    void mnuCopy_Click();
    void mnuPrint_Click();
    void Toolbar1_ButtonClick(const QString &key);
    void BackMenu_Click(const QString &word);
    // The mouse over the document and its release there.
    void RichTextBox1_MouseMove(const QPoint &pos);
    void RichTextBox1_MouseUp(Qt::MouseButton button, const QPoint &pos);
    // Window-wide keys; true when used.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers mods, bool inDocument);

    // The default size in twips.
    static constexpr double kDesignWidth = 6600;
    static constexpr double kDesignHeight = 6100;
    // Whether printers are installed (tests may pretend: -1 asks the system).
    static void setPrintersOverride(int count);

    QToolBar *Toolbar1 = nullptr;
    QAction *btnBack = nullptr, *btnHome = nullptr, *btnPrnt = nullptr, *btnCopy = nullptr, *btnFind = nullptr;
    QToolButton *backButton = nullptr;
    QMenu *backMenu = nullptr;
    QFrame *Text2 = nullptr;
    TolkView *RichTextBox1 = nullptr;
    QStringList Back; // the history, oldest first
    QMenu *Menu = nullptr;
    QAction *mnuCopy = nullptr, *mnuPrint = nullptr;
    QPointer<SearchForm> searchForm;
    QPoint pointer; // the last mouse position over the document

protected:
    void resizeEvent(QResizeEvent *) override;
    void closeEvent(QCloseEvent *) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    TolkHost *host_;
};

class SearchForm : public QWidget {
    Q_OBJECT
public:
    explicit SearchForm(Tolk *owner);
    void FND();

    QLabel *heading = nullptr, *label = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr;

private:
    Tolk *tolk_;
};

} // namespace somnex
