#pragma once
// The merged word list as the dictionary panel's list view shows it; hidden
// (no rows) while the list is rebuilt.

#include "dictionary/WordIndex.h"

#include <QAbstractListModel>

namespace somnex {

// The word list as the list view shows it.
class WordListModel : public QAbstractListModel {
public:
    explicit WordListModel(const dictionary::WordIndex *words, QObject *parent)
        : QAbstractListModel(parent), words_(words)
    {
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() || hidden_ ? 0 : words_->size();
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= words_->size())
            return {};
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return words_->word(index.row());
        return {};
    }
    void beginRebuild()
    {
        beginResetModel();
        hidden_ = true;
        endResetModel();
    }
    void endRebuild()
    {
        beginResetModel();
        hidden_ = false;
        endResetModel();
    }

private:
    const dictionary::WordIndex *words_;
    bool hidden_ = false;
};

} // namespace somnex
