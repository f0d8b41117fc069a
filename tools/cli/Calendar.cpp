// calendar: the lunar day of a moment at a place, as the calendar window
// computes it.
#include "tools/cli/Commands.h"

namespace somnex::cli {

int calendar(const QStringList &)
{
    err(QStringLiteral("Лунный календарь в командной строке пока недоступен.\n"));
    return 2;
}

} // namespace somnex::cli
