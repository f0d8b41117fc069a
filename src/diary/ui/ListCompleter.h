#pragma once
// Completion of a comma-separated list in a line box (the dream's tags,
// people and places): the part after the last comma is completed from the
// words given, letter case and ё/е ignored, and the chosen word takes its
// place, the parts before it kept.

#include <QCompleter>
#include <QStringList>

class QLineEdit;
class QStandardItemModel;

namespace somnex::diary {

class ListCompleter : public QCompleter {
    Q_OBJECT

public:
    explicit ListCompleter(QLineEdit *box);

    // The words offered, in the order given (duplicates by case and ё kept once).
    void setWords(const QStringList &words);
    QStringList words() const;

    // Lower case, ё as е: how the part typed and the words are compared.
    static QString folded(const QString &text);

    QStringList splitPath(const QString &path) const override;
    QString pathFromIndex(const QModelIndex &index) const override;

private:
    QLineEdit *box_;
    QStandardItemModel *model_;
};

} // namespace somnex::diary
