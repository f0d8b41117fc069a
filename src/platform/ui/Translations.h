#pragma once
// Qt's own Russian texts for the standard dialogs and context menus, what
// that catalogue lacks, and Russian formats whatever the session's locale.

#include <QIdentityProxyModel>
#include <QString>

class QCoreApplication;

namespace somnex {

// Installs Qt's Russian catalogue (qtbase_ru from Qt's translations folder)
// into app, and over it the texts of the file dialog that catalogue leaves
// in English ("Folder", "File"); false when Qt's catalogue cannot be found
// or read (ours is installed all the same).
bool LoadQtTranslations(QCoreApplication &app);

// Makes Russian the locale of every number, date and size the program
// formats itself (spin boxes, the page setup's millimetres, dates), so that
// a session under C or an English locale still reads Russian.
void UseRussianFormats();

// A file size as a Russian reader writes it: "1 байт", "5 байт", "2 байта",
// "12,3 КБ", "4,5 МБ", "1,2 ГБ".
QString RussianDataSize(qint64 bytes);

// Over a file dialog's model: sizes and dates in Russian forms (the model
// formats them by the session's locale, and Qt's Russian size names read
// "5 байты").
class RussianFileColumns : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex &index, int role) const override;
};

} // namespace somnex
