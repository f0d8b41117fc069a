#include "reading/PrintDialog.h"

#include "platform/core/Messages.h"
#include "reading/PageSetup.h"
#include "reading/Tolk.h"
#include "support/Artwork.h"
#include "support/PdfFile.h"

#include <QAbstractTextDocumentLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QVBoxLayout>

#include <cups/cups.h>

#include <cstdio>

namespace somnex {

namespace {

bool g_chosen = false;
CurrentPrinter g_current;

// The print service's library, loaded when a printer is first asked about
// rather than with the program: it brings a dozen libraries of its own that
// every start would otherwise load.
struct CupsCalls {
    decltype(&cupsGetNamedDest) getNamedDest = nullptr;
    decltype(&cupsGetOption) getOption = nullptr;
    decltype(&cupsFreeDests) freeDests = nullptr;
};

const CupsCalls &cups()
{
    static const CupsCalls calls = [] {
        CupsCalls c;
        QLibrary lib(QStringLiteral("cups"), 2);
        if (!lib.load())
            return c;
        c.getNamedDest = reinterpret_cast<decltype(&cupsGetNamedDest)>(lib.resolve("cupsGetNamedDest"));
        c.getOption = reinterpret_cast<decltype(&cupsGetOption)>(lib.resolve("cupsGetOption"));
        c.freeDests = reinterpret_cast<decltype(&cupsFreeDests)>(lib.resolve("cupsFreeDests"));
        if (!c.getNamedDest || !c.getOption || !c.freeDests)
            c = CupsCalls();
        return c;
    }();
    return calls;
}

// The queue's device URI as the server reports it (empty for a queue it
// does not know or that has none, or without the print service's library).
QString deviceUri(const QString &queue)
{
    const CupsCalls &c = cups();
    if (!c.getNamedDest)
        return {};
    const QByteArray name = queue.toUtf8();
    cups_dest_t *dest = c.getNamedDest(CUPS_HTTP_DEFAULT, name.constData(), nullptr);
    if (!dest)
        return {};
    const char *uri = c.getOption("device-uri", dest->num_options, dest->options);
    QString out = uri ? QString::fromUtf8(uri) : QString();
    c.freeDests(1, dest);
    return out;
}

} // namespace

std::vector<PrinterEntry> InstalledPrinters()
{
    std::vector<PrinterEntry> out;
    for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
        out.push_back({info.printerName(), deviceUri(info.printerName()), info.makeAndModel(), info.location()});
    return out;
}

CurrentPrinter GetCurrentPrinter()
{
    if (g_chosen)
        return g_current;
    const QString name = QPrinterInfo::defaultPrinterName();
    return {name, name.isEmpty() ? QString() : deviceUri(name)};
}

void SetCurrentPrinter(const PrinterEntry &printer)
{
    g_chosen = true;
    g_current = {printer.name, printer.port};
}

void ForgetCurrentPrinter()
{
    g_chosen = false;
    g_current = {};
}

bool PrintDocument(QTextDocument &doc, QPrinter &printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    doc.documentLayout()->setPaintDevice(&printer);
    doc.setDocumentMargin(0);
    const QSizeF page = printer.pageRect(QPrinter::DevicePixel).size();
    doc.setPageSize(page);
    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0)
            printer.newPage();
        painter.save();
        painter.translate(0, -i * page.height());
        doc.drawContents(&painter, QRectF(QPointF(0, i * page.height()), page));
        painter.restore();
    }
    return painter.end();
}

// The printer: its name, type and place, and its page setup.
void PrintDialog::buildPrinterFrame()
{
    Frame1 = new QGroupBox(QStringLiteral("Принтер"), this);
    ImageCombo1 = new QComboBox(Frame1);
    ImageCombo1->setObjectName(QStringLiteral("ImageCombo1"));
    ImageCombo1->setIconSize({16, 16});
    ImageCombo1->setMinimumContentsLength(24);
    ImageCombo1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Label6 = new QLabel(Frame1);
    Label5 = new QLabel(Frame1);
    for (QLabel *l : {Label6, Label5}) {
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setMinimumWidth(200);
    }
    Command3 = new QPushButton(QStringLiteral("Настройки &страницы"), Frame1);
    Command3->setObjectName(QStringLiteral("Command3"));
    auto *g1 = new QGridLayout(Frame1);
    auto *printerName = new QLabel(QStringLiteral("&Имя:"), Frame1);
    printerName->setBuddy(ImageCombo1);
    g1->addWidget(printerName, 0, 0);
    g1->addWidget(ImageCombo1, 0, 1, 1, 2);
    g1->addWidget(new QLabel(QStringLiteral("Тип:"), Frame1), 1, 0);
    g1->addWidget(Label6, 1, 1, 1, 2);
    g1->addWidget(new QLabel(QStringLiteral("Место:"), Frame1), 2, 0);
    g1->addWidget(Label5, 2, 1);
    g1->addWidget(Command3, 2, 2, Qt::AlignRight);
    g1->setColumnStretch(1, 1);
}

// The whole text or the selection.
void PrintDialog::buildRangeFrame()
{
    Frame2 = new QGroupBox(QStringLiteral("Диапазон печати"), this);
    Option1 = new QRadioButton(QStringLiteral("&Всё содержимое окна"), Frame2);
    Option2 = new QRadioButton(QStringLiteral("В&ыделенный фрагмент"), Frame2);
    auto *v2 = new QVBoxLayout(Frame2);
    v2->addWidget(Option1);
    v2->addWidget(Option2);
    v2->addStretch();
}

// The number of copies, typed or stepped.
void PrintDialog::buildCopiesFrame()
{
    Frame3 = new QGroupBox(QStringLiteral("Копии"), this);
    Text1 = new QLineEdit(QStringLiteral("1"), Frame3);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setMaxLength(10);
    Text1->setFixedWidth(48);
    VScroll1 = new QScrollBar(Qt::Vertical, Frame3);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setRange(kMinCopies, kMaxCopies);
    VScroll1->setValue(1);
    // the upper arrow adds a copy
    VScroll1->setInvertedAppearance(true);
    VScroll1->setInvertedControls(true);
    VScroll1->setFixedHeight(Text1->sizeHint().height());
    auto *h3 = new QHBoxLayout(Frame3);
    auto *copies = new QLabel(QStringLiteral("Число &копий:"), Frame3);
    copies->setBuddy(Text1);
    h3->addWidget(copies);
    h3->addWidget(Text1);
    h3->addSpacing(-h3->spacing());
    h3->addWidget(VScroll1);
    h3->addStretch();
}

PrintDialog::PrintDialog(TolkView *view, QWidget *owner) : QDialog(owner), view_(view)
{
    setObjectName(QStringLiteral("PrintDialog"));
    setWindowTitle(QStringLiteral("Печать"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    heading = new QLabel(QStringLiteral("Печать"), this);
    QFont hf = heading->font();
    hf.setBold(true);
    hf.setPointSizeF(hf.pointSizeF() * 1.3);
    heading->setFont(hf);

    buildPrinterFrame();
    buildRangeFrame();
    buildCopiesFrame();

    Command1 = new QPushButton(QStringLiteral("Ok"), this);
    Command2 = new QPushButton(QStringLiteral("Отмена"), this);
    Command1->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto *lower = new QHBoxLayout;
    lower->addWidget(Frame2, 1);
    lower->addWidget(Frame3, 1);
    auto *main = new QVBoxLayout(this);
    main->addWidget(heading);
    main->addWidget(Frame1);
    main->addLayout(lower);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    connect(ImageCombo1, &QComboBox::activated, this, [this] { ImageCombo1_Click(); });
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });

    PrintInit();
    if (view_ && view_->selLength() > 0) {
        Option2->setChecked(true);
    } else {
        Option1->setChecked(true);
        Option2->setEnabled(false);
    }
}

void PrintDialog::PrintInit()
{
    printers_ = InstalledPrinters();
    ImageCombo1->clear();
    for (const PrinterEntry &p : printers_)
        ImageCombo1->addItem(p.name);
    // the pages to a file, with or without a printer
    ImageCombo1->addItem(artworkIcon(QStringLiteral("print")), QStringLiteral("Файл PDF…"));
    const CurrentPrinter current = GetCurrentPrinter();
    const int index = CurrentPrinterIndex(printers_, current.name, current.port);
    ImageCombo1->setCurrentIndex(index >= 0 ? index : 0);
    markCurrent();
}

void PrintDialog::markCurrent()
{
    const CurrentPrinter current = GetCurrentPrinter();
    for (int i = 0; i < static_cast<int>(printers_.size()); ++i) {
        const PrinterEntry &p = printers_[static_cast<size_t>(i)];
        const bool isCurrent = p.name + p.port == current.name + current.port;
        ImageCombo1->setItemIcon(i, artworkIcon(isCurrent ? QStringLiteral("printer-current")
                                                          : QStringLiteral("printer")));
        ImageCombo1->setItemData(i, isCurrent, Qt::UserRole);
    }
    const int i = ImageCombo1->currentIndex();
    const bool pdf = pdfChosen();
    const PrinterType t = i >= 0 && !pdf ? DescribePrinter(printers_[static_cast<size_t>(i)]) : PrinterType{};
    Label6->setText(pdf ? QStringLiteral("Документ PDF") : t.type);
    Label5->setText(pdf ? QStringLiteral("файл на диске") : t.location);
    Frame3->setEnabled(!pdf); // one file, however many copies
}

bool PrintDialog::pdfChosen() const
{
    return ImageCombo1->currentIndex() == static_cast<int>(printers_.size());
}

void PrintDialog::ImageCombo1_Click()
{
    const int i = ImageCombo1->currentIndex();
    if (i >= 0 && i < static_cast<int>(printers_.size()))
        SetCurrentPrinter(printers_[static_cast<size_t>(i)]);
    markCurrent();
}

void PrintDialog::Text1_Change()
{
    VScroll1->setValue(CopiesFromText(Text1->text()));
}

void PrintDialog::VScroll1_Change()
{
    Text1->setText(QString::number(VScroll1->value()));
}

void PrintDialog::Command1_Click()
{
    Davay();
    close();
}

void PrintDialog::Command2_Click()
{
    close();
}

void PrintDialog::Command3_Click()
{
    QPrinter printer(QPrinter::HighResolution);
    const int i = ImageCombo1->currentIndex();
    if (i >= 0)
        printer.setPrinterName(printers_[static_cast<size_t>(i)].name);
    double left = kSetupLeft, right = kSetupRight, top = kSetupTop, bottom = kSetupBottom;
    ShowPageSetup(printer, left, right, top, bottom, this);
}

bool PrintDialog::savePdf(const QString &path, QString *why)
{
    const auto failed = [&] {
        if (why)
            *why = QStringLiteral("Не удалось записать файл «%1».").arg(path);
        return false;
    };
    if (!view_)
        return failed();
    const std::unique_ptr<QTextDocument> doc = view_->printDocument(view_->selLength() > 0);
    // written beside the file under another name, then put in its place
    const QFileInfo target(path);
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!part.open())
        return failed();
    part.close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(part.fileName());
    printer.setCreator(QStringLiteral("ZUL Somnex"));
    printer.setDocName(view_->window()->windowTitle());
    ApplyPageSetup(printer, false);
    if (!PrintDocument(*doc, printer) || QFileInfo(part.fileName()).size() == 0
        || ::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return failed();
    part.setAutoRemove(false); // it is the file now
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

void PrintDialog::Davay()
{
    QCoreApplication::processEvents();
    if (view_ && Option1->isChecked())
        view_->setSel(view_->selStart(), 0);
    if (pdfChosen()) {
        const QString suggested =
            (view_ ? view_->window()->windowTitle() : QStringLiteral("Толкование")) + QStringLiteral(".pdf");
        const QString path = askPdfPath ? withPdfSuffix(askPdfPath(this, suggested))
                                        : askPdfFile(this, QStringLiteral("Сохранить в PDF"), suggested);
        if (path.isEmpty())
            return;
        QString why;
        if (!savePdf(path, &why))
            ShowMessage(why, QString(), MsgIcon::Error);
        close();
        return;
    }
    const int i = ImageCombo1->currentIndex();
    const QString target = i >= 0 ? printers_[static_cast<size_t>(i)].name : GetCurrentPrinter().name;
    const int copies = VScroll1->value();
    bool layoutTold = false;
    for (int copy = 0; copy < copies; ++copy) {
        QCoreApplication::processEvents();
        if (!view_)
            break;
        const std::unique_ptr<QTextDocument> doc = view_->printDocument(view_->selLength() > 0);
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(target);
        printer.setDocName(view_->window()->windowTitle());
        if (!ApplyPageSetup(printer, !layoutTold))
            layoutTold = true;
        if (!PrintDocument(*doc, printer)) {
            ShowMessage(QStringLiteral("Не удаётся начать печать на принтере «") + target + QStringLiteral("»."),
                        QString(), MsgIcon::Error);
            break;
        }
        QCoreApplication::processEvents();
    }
    close();
}

} // namespace somnex
