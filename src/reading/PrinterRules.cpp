#include "reading/PrinterRules.h"

#include "reading/TolkDocument.h"

#include <cmath>

namespace somnex {

PrinterType GetPrinterType(const QString &name, const QString &port)
{
    PrinterType r{name, port};
    if (name.startsWith(QLatin1String("\\\\"))) {
        const qsizetype last = name.lastIndexOf(QLatin1Char('\\'));
        // positions counted from 1: the last "\" must lie beyond the third character
        if (last + 1 > 3) {
            r.location = name.left(last + 1).trimmed();
            r.type = name.mid(last + 1).trimmed();
        }
    }
    return r;
}

PrinterType DescribePrinter(const PrinterEntry &printer)
{
    PrinterType r = GetPrinterType(printer.name, printer.port);
    if (r.type == printer.name && r.location == printer.port) {
        if (!printer.makeAndModel.trimmed().isEmpty())
            r.type = printer.makeAndModel.trimmed();
        if (!printer.location.trimmed().isEmpty())
            r.location = printer.location.trimmed();
    }
    return r;
}

int CurrentPrinterIndex(const std::vector<PrinterEntry> &printers, const QString &currentName,
                        const QString &currentPort)
{
    const QString current = currentName + currentPort;
    for (size_t i = 0; i < printers.size(); ++i)
        if (printers[i].name + printers[i].port == current)
            return static_cast<int>(i);
    return -1;
}

int CopiesFromText(const QString &text)
{
    const double v = LeadingNumber(text);
    if (!(v >= kMinCopies))
        return kMinCopies;
    if (v > kMaxCopies)
        return kMaxCopies;
    return static_cast<int>(std::nearbyint(v));
}

} // namespace somnex
