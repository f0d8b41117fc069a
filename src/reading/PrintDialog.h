#pragma once
// The print dialog of the interpretation window: the printer, what to print
// (everything or the selection), the number of copies, the page setup.

#include "reading/PrinterRules.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTextDocument;

namespace somnex {

class TolkView;

// The printers of the print server in its order, with their device URIs.
std::vector<PrinterEntry> InstalledPrinters();

// The program's current printer: the server's default until one is chosen in
// the print dialog, then the last one chosen (for the life of the process).
struct CurrentPrinter {
    QString name;
    QString port;
};
CurrentPrinter GetCurrentPrinter();
void SetCurrentPrinter(const PrinterEntry &printer);
// Back to the server's default (as in a new process).
void ForgetCurrentPrinter();

// Prints doc on printer as one job, page by page inside the printer's
// margins; false when the job could not be started.
bool PrintDocument(QTextDocument &doc, QPrinter &printer);

class PrintDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrintDialog(TolkView *view, QWidget *owner = nullptr);

    void PrintInit();
    void ImageCombo1_Click();
    void Text1_Change();
    void VScroll1_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Davay();

    // The printers of ImageCombo1, as listed; "Файл PDF…" follows them.
    const std::vector<PrinterEntry> &printers() const { return printers_; }
    // Whether "Файл PDF…" is chosen rather than a printer.
    bool pdfChosen() const;
    // The file the PDF is written to; the file dialog unless set (tests).
    std::function<QString(QWidget *owner, const QString &suggested)> askPdfPath;
    // Writes the pages a printer would print to the PDF file, whole or not
    // at all; false (with the reason) when it cannot be written.
    bool savePdf(const QString &path, QString *why);

    QLabel *heading = nullptr;
    QGroupBox *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr;
    QComboBox *ImageCombo1 = nullptr;
    QLabel *Label6 = nullptr, *Label5 = nullptr;
    QPushButton *Command3 = nullptr;
    QRadioButton *Option1 = nullptr, *Option2 = nullptr;
    QLineEdit *Text1 = nullptr;
    QScrollBar *VScroll1 = nullptr;
    QPushButton *Command1 = nullptr, *Command2 = nullptr;

private:
    void markCurrent();
    void buildPrinterFrame();
    void buildRangeFrame();
    void buildCopiesFrame();

    QPointer<TolkView> view_;
    std::vector<PrinterEntry> printers_;
};

} // namespace somnex
