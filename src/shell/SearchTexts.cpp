#include "shell/SearchTexts.h"

#include "dictionary/WordFinder.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QVBoxLayout>

namespace somnex {

namespace {
const QString kBuilding = QStringLiteral("Указатель толкований ещё строится…");
constexpr int kRole = Qt::UserRole + 1;
} // namespace

SearchTexts::SearchTexts(std::function<QTextEdit *(const QString &)> open, QWidget *parent)
    : QDialog(parent), open_(std::move(open))
{
    setObjectName(QStringLiteral("SearchTexts"));
    setWindowTitle(QStringLiteral("Искать в толкованиях"));
    auto *layout = new QVBoxLayout(this);
    Text1 = new QLineEdit(this);
    Text1->setPlaceholderText(QStringLiteral("Слова, которые есть в толковании"));
    Text1->setClearButtonEnabled(true);
    Text1->setObjectName(QStringLiteral("Text1"));
    Label1 = new QLabel(kBuilding, this);
    Label1->setTextFormat(Qt::PlainText);
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setWordWrap(true);
    List1->setAlternatingRowColors(true);
    layout->addWidget(Text1);
    layout->addWidget(Label1);
    layout->addWidget(List1, 1);
    resize(460, 420);

    delay_.setSingleShot(true);
    delay_.setInterval(150);
    connect(&delay_, &QTimer::timeout, this, &SearchTexts::Text1_Change);
    connect(Text1, &QLineEdit::textChanged, this, [this] { delay_.start(); });
    connect(Text1, &QLineEdit::returnPressed, this, [this] {
        delay_.stop();
        Text1_Change();
    });
    connect(List1, &QListWidget::itemActivated, this, &SearchTexts::List1_Click);
    connect(List1, &QListWidget::itemClicked, this, &SearchTexts::List1_Click);
}

void SearchTexts::setIndex(std::shared_ptr<const dictionary::TextIndex> index)
{
    index_ = std::move(index);
    Text1_Change();
}

void SearchTexts::Text1_Change()
{
    List1->clear();
    if (!index_) {
        Label1->setText(kBuilding);
        return;
    }
    const QString query = Text1->text();
    if (query.trimmed().isEmpty()) {
        Label1->setText(QStringLiteral("Введите слова, которые должны встретиться в толковании."));
        return;
    }
    const std::vector<dictionary::TextHit> hits = index_->search(query);
    Label1->setText(hits.empty() ? QStringLiteral("Ничего не найдено.")
                                 : QStringLiteral("Найдено слов: %1").arg(hits.size()));
    for (const dictionary::TextHit &h : hits) {
        auto *item = new QListWidgetItem(h.headword + QStringLiteral(" — ") + h.books.join(QStringLiteral(", "))
                                             + QStringLiteral("\n") + h.snippet,
                                         List1);
        item->setData(kRole, h.headword);
    }
}

void SearchTexts::List1_Click(QListWidgetItem *item)
{
    if (!item || !open_ || !index_)
        return;
    if (QTextEdit *view = open_(item->data(kRole).toString()))
        highlightStems(view, index_->queryStems(Text1->text()));
}

int highlightStems(QTextEdit *view, const QStringList &stems)
{
    QList<QTextEdit::ExtraSelection> marks;
    if (!view)
        return 0;
    if (stems.isEmpty()) {
        view->setExtraSelections(marks);
        return 0;
    }
    dictionary::Stemmer stemmer;
    QTextCharFormat mark;
    mark.setBackground(QColor(255, 230, 120));
    mark.setForeground(Qt::black);
    QTextDocument *doc = view->document();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const QString text = b.text();
        qsizetype start = -1;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const bool letter = i < text.size() && text[i].isLetterOrNumber();
            if (letter && start < 0)
                start = i;
            if (!letter && start >= 0) {
                if (stems.contains(stemmer.stem(dictionary::foldWord(QStringView(text).mid(start, i - start))))) {
                    QTextCursor c(doc);
                    c.setPosition(b.position() + int(start));
                    c.setPosition(b.position() + int(i), QTextCursor::KeepAnchor);
                    marks.append({c, mark});
                }
                start = -1;
            }
        }
    }
    view->setExtraSelections(marks);
    return int(marks.size());
}

} // namespace somnex
