#include "diary/ui/ListCompleter.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QSet>
#include <QStandardItemModel>

namespace somnex::diary {

namespace {

constexpr int kFoldedRole = Qt::UserRole + 1;

// The text before the part being typed, with its comma and one space.
QString keptPart(const QString &text)
{
    const qsizetype comma = text.lastIndexOf(QLatin1Char(','));
    return comma < 0 ? QString() : text.left(comma + 1) + QLatin1Char(' ');
}

} // namespace

ListCompleter::ListCompleter(QLineEdit *box) : QCompleter(box), box_(box), model_(new QStandardItemModel(this))
{
    setModel(model_);
    setCompletionRole(kFoldedRole);
    setCaseSensitivity(Qt::CaseSensitive); // both sides are folded already
    setFilterMode(Qt::MatchStartsWith);
    setCompletionMode(QCompleter::PopupCompletion);
    setWidget(box);
    // QLineEdit::setCompleter would complete the whole text; the part after
    // the last comma is taken by hand.
    connect(box, &QLineEdit::textEdited, this, [this](const QString &text) {
        const QString part = text.mid(text.lastIndexOf(QLatin1Char(',')) + 1).trimmed();
        if (part.isEmpty()) {
            popup()->hide();
            return;
        }
        setCompletionPrefix(folded(part));
        if (completionCount() > 0)
            complete();
        else
            popup()->hide();
    });
    connect(this, qOverload<const QModelIndex &>(&QCompleter::activated), this,
            [this](const QModelIndex &index) { box_->setText(pathFromIndex(index)); });
}

QString ListCompleter::folded(const QString &text)
{
    QString f = text.toLower();
    f.replace(QChar(0x0451), QChar(0x0435)); // ё -> е
    return f;
}

void ListCompleter::setWords(const QStringList &words)
{
    model_->clear();
    QSet<QString> seen;
    for (const QString &w : words) {
        const QString key = folded(w.trimmed());
        if (key.isEmpty() || seen.contains(key))
            continue;
        seen.insert(key);
        auto *item = new QStandardItem(w.trimmed());
        item->setData(key, kFoldedRole);
        model_->appendRow(item);
    }
}

QStringList ListCompleter::words() const
{
    QStringList out;
    for (int r = 0; r < model_->rowCount(); ++r)
        out << model_->item(r)->text();
    return out;
}

QStringList ListCompleter::splitPath(const QString &path) const
{
    return {folded(path.mid(path.lastIndexOf(QLatin1Char(',')) + 1).trimmed())};
}

QString ListCompleter::pathFromIndex(const QModelIndex &index) const
{
    return keptPart(box_->text()) + index.data(Qt::DisplayRole).toString();
}

} // namespace somnex::diary
