#pragma once
// "Личный дневник": the diary made private under a password, the password
// changed, the diary back to plain text; and the sheet of the recovery key
// shown once when the diary is made private.

#include <QString>

class QWidget;

namespace somnex::diary {

class DiaryStore;

// The dialog over the store of the diary window; returns when it closes.
void editDiaryPrivacy(DiaryStore &store, QWidget *owner);

// "Ключ восстановления": the key in large letters, to copy or print, with
// what it is for.
void showRecoveryKey(const QString &key, QWidget *owner);

} // namespace somnex::diary
