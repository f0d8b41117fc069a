#include "diary/ui/EntryListModel.h"

#include "platform/core/RussianDates.h"

namespace somnex::diary {

QString nightCaption(const QDate &night)
{
    // the night is named after the morning it ends in, as people say it
    return dates::nightCaption(night);
}

namespace {

// The night and, right after it, whether the dream came true.
QString nightAndMark(const EntrySummary &e)
{
    QString s = nightCaption(e.night);
    if (e.mark != Mark::None)
        s += QStringLiteral(" · ") + markName(e.mark);
    return s;
}

// The lunar day, lucid, the kinds: what else there is to say.
QString dreamNotes(const EntrySummary &e)
{
    QStringList parts;
    if (e.lunarDay > 0)
        parts << QStringLiteral("%1-й лунный день").arg(e.lunarDay);
    if (e.lucid)
        parts << QStringLiteral("осознанный");
    for (DreamKind k : e.kinds)
        parts << kindName(k);
    return parts.join(QStringLiteral(" · "));
}

} // namespace

QString summaryLine(const EntrySummary &e)
{
    const QString notes = dreamNotes(e);
    return notes.isEmpty() ? nightAndMark(e) : nightAndMark(e) + QStringLiteral(" · ") + notes;
}

QString listRowText(const EntrySummary &e)
{
    // three lines a row, whatever it has to say: the rows stay of one height
    const QString notes = dreamNotes(e);
    return e.displayTitle + QLatin1Char('\n') + nightAndMark(e) + QLatin1Char('\n')
           + (notes.isEmpty() ? QStringLiteral(" ") : notes);
}

void EntryListModel::setEntries(QList<EntrySummary> entries)
{
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

int EntryListModel::rowOf(const QString &id) const
{
    for (int i = 0; i < entries_.size(); ++i)
        if (entries_[i].id == id)
            return i;
    return -1;
}

void EntryListModel::updateEntry(const EntrySummary &e)
{
    const int row = rowOf(e.id);
    if (row < 0)
        return;
    entries_[row] = e;
    emit dataChanged(index(row), index(row));
}

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(entries_.size());
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= entries_.size())
        return {};
    const EntrySummary &e = entries_[index.row()];
    switch (role) {
    case Qt::DisplayRole: return listRowText(e);
    case Qt::ToolTipRole: return summaryLine(e);
    case Qt::AccessibleTextRole: return e.displayTitle + QStringLiteral(", ") + summaryLine(e);
    case IdRole: return e.id;
    default: return {};
    }
}

} // namespace somnex::diary
