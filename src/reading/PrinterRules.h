#pragma once
// The rules of the print dialog that need no printer: what a printer's type
// and location are, which list entry is the current printer, and the number
// of copies a typed text gives.

#include <QString>

#include <vector>

namespace somnex {

struct PrinterType {
    QString type;
    QString location;
};

// Type and location of a printer from its device name and port: the name and
// the port, except for a network name "\\server\share", whose server part
// (through the last "\") is the location and whose share name is the type.
PrinterType GetPrinterType(const QString &name, const QString &port);

// A printer of the print server as the dialog lists it.
struct PrinterEntry {
    QString name; // the queue name
    QString port; // the device URI (a queue has no port of its own)
    QString makeAndModel;
    QString location; // as the server's administrator wrote it
};

// What the dialog shows for a queue: the type and location of
// GetPrinterType; where that gives only the name as the type, the make and
// model instead (when known), and the queue's location, else its device URI.
PrinterType DescribePrinter(const PrinterEntry &printer);

// The index of the entry whose name followed by its port equals the current
// printer's, or -1.
int CurrentPrinterIndex(const std::vector<PrinterEntry> &printers, const QString &currentName,
                        const QString &currentPort);

// The spin bar's value for a typed number of copies: the number, rounded,
// at least 1 and at most 99; a text that is not a number counts as 0.
int CopiesFromText(const QString &text);

inline constexpr int kMinCopies = 1;
inline constexpr int kMaxCopies = 99;

} // namespace somnex
