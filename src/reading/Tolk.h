#pragma once
// The interpretation window: the document of one word with see-also links,
// the history of words left by following links, find, copy and print.

#include "platform/rtf/RtfReader.h"
#include "platform/rtf/RtfWriter.h"
#include "reading/DreamDocument.h"
#include "reading/DreamReading.h"
#include "reading/TolkDocument.h"
#include "reading/TolkView.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

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
    // The diary, listing only the dreams with a symbol.
    virtual void showDiaryDreamsWith(const QString &headword) { (void)headword; }
    // The search in the interpretations, on a text.
    virtual void searchInterpretations(const QString &text) { (void)text; }
};

class SearchForm;

// Where the find window opens for an interpretation window (frames in screen
// coordinates): at the document's top right, kept on the screen.
QPoint findFormPlace(const QRect &owner, const QSize &form, const QRect &screen);

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
    // BuildTolk again for a word, when the books behind it changed.
    void ReloadWord(const QString &word);
    // BuildTolk for a handler: a failure (a damaged entry) is shown as an
    // error box titled with the handler's name. True when it succeeded.
    bool ShowWord(const QString &word, const QString &source);
    // Shows the article in the RTF file at path, captioned caption, in the
    // article's base font Courier New 10 pt (a monospace font where it is
    // missing). The word kept in the Tag stays. Raises when the file cannot
    // be read or is not an RTF document; the view is then empty.
    void ShowArticle(const QString &path, const QString &caption);
    // Shows a whole dream read against the books ("Ваш сон"); its symbols'
    // links open their interpretations, and "Назад" comes back to it.
    void ShowDream(const DreamReading &reading);
    bool showingDream() const;
    const DreamDocument &dreamDocument() const { return dreamDoc_; }
    // Follows the dream document's link at a position of its text: a
    // symbol's interpretation, or every line of a book unfolded. False when
    // there is no link there.
    bool followDreamLink(int position);
    void AddBack(const QString &word);
    void CheckBack();
    QString GetWord(int index) const;
    // The keyboard's way through the see-also links: Tab and Shift+Tab in the
    // text select the next or previous link (false past the last: the focus
    // moves on), Enter opens the selected one.
    bool selectLink(bool forward);
    bool followSelectedLink();
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
    void goBack();
    void renderDream();
    TolkHost *host_;
    std::optional<DreamReading> dream_;
    QSet<std::pair<int, int>> unfolded_;
    DreamDocument dreamDoc_;
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
