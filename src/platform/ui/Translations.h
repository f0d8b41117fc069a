#pragma once
// Qt's own Russian texts for the standard dialogs and context menus.

class QCoreApplication;

namespace somnex {

// Installs Qt's Russian catalogue (qtbase_ru from Qt's translations folder)
// into app; false when it cannot be found or read.
bool LoadQtTranslations(QCoreApplication &app);

} // namespace somnex
