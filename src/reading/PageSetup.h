#pragma once
// The page setup of the program's printing, kept for the life of the
// process: the system page-setup dialog seeded from the last accepted setup.

#include <QPageLayout>

#include <optional>

class QPrinter;
class QWidget;

namespace somnex {

// Margins of the first page setup, in hundredths of a millimetre.
inline constexpr double kSetupLeft = 3000, kSetupTop = 2000, kSetupRight = 1500, kSetupBottom = 2000;

// Runs the page-setup dialog for printer, owned by owner. The dialog opens on
// the last accepted setup, or on the printer's page with the given margins
// (hundredths of a millimetre) the first time. Accepted: the setup is kept,
// applied to printer and the chosen margins are handed back; a setup the
// printer rejects shows "Принтер не поддерживает данный формат страницы.".
// Cancelled: nothing changes. True when accepted.
bool ShowPageSetup(QPrinter &printer, double &left, double &right, double &top, double &bottom, QWidget *owner);

// Puts the kept setup on printer (before any, the printer's page with the
// first setup's margins); false when the printer rejects it, with the message
// above when tell is set.
bool ApplyPageSetup(QPrinter &printer, bool tell = true);

// The kept setup, and forgetting it (a new process starts without one).
std::optional<QPageLayout> SavedPageSetup();
void ForgetPageSetup();

} // namespace somnex
