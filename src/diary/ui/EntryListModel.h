#pragma once
// The diary's list of dreams: one row per entry, newest night first, each
// with its title (or first words) and a second line naming its night, lunar
// day, kinds and fulfilment mark.

#include "diary/Entry.h"

#include <QAbstractListModel>
#include <QList>

namespace somnex::diary {

// "Ночь на 9 декабря 2026" for the night that began on 8 December.
QString nightCaption(const QDate &night);
// The second line of a row: night, lunar day, lucid, kinds and mark, joined
// with " · ".
QString summaryLine(const EntrySummary &e);
// A row of the list: the title; the night and its mark; the lunar day, lucid
// and the kinds (so that a narrow list cuts none of them off the mark).
QString listRowText(const EntrySummary &e);

class EntryListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { IdRole = Qt::UserRole + 1 };

    using QAbstractListModel::QAbstractListModel;

    void setEntries(QList<EntrySummary> entries);
    const QList<EntrySummary> &entries() const { return entries_; }
    // The row of an id, -1 when it is not listed.
    int rowOf(const QString &id) const;
    // One row's summary changed (its title while the user types, its mark).
    void updateEntry(const EntrySummary &e);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

private:
    QList<EntrySummary> entries_;
};

} // namespace somnex::diary
