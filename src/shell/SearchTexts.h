#pragma once
// "Искать в толкованиях": the headwords whose interpretations speak of every
// word of a query, in any form, best first. A click opens the word's
// interpretation with the hits marked.

#include "dictionary/TextIndex.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTextEdit;

namespace somnex {

class SearchTexts : public QDialog {
    Q_OBJECT
public:
    // open: shows a headword's interpretation and returns the view it is in.
    SearchTexts(std::function<QTextEdit *(const QString &word)> open, QWidget *parent);

    // The index to search; null while it is being built.
    void setIndex(std::shared_ptr<const dictionary::TextIndex> index);
    void Text1_Change();
    void List1_Click(QListWidgetItem *item);

    QLineEdit *Text1 = nullptr;
    QLabel *Label1 = nullptr; // state of the index, or how many were found
    QListWidget *List1 = nullptr;

private:
    std::function<QTextEdit *(const QString &)> open_;
    std::shared_ptr<const dictionary::TextIndex> index_;
    QTimer delay_; // a search runs once the typing pauses
};

// Marks every word of the view whose stem is one of stems.
int highlightStems(QTextEdit *view, const QStringList &stems);

} // namespace somnex
