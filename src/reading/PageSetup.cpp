#include "reading/PageSetup.h"

#include "platform/core/Messages.h"

#include <QDoubleSpinBox>
#include <QPageSetupDialog>
#include <QPrinter>

namespace somnex {

namespace {

std::optional<QPageLayout> g_saved;

void rejected()
{
    ShowMessage(QStringLiteral("Принтер не поддерживает данный формат страницы."), QString(), MsgIcon::Error);
}

QPageLayout withMargins(QPageLayout layout, double left, double right, double top, double bottom)
{
    layout.setUnits(QPageLayout::Millimeter);
    layout.setMargins(QMarginsF(left / 100, top / 100, right / 100, bottom / 100));
    return layout;
}

} // namespace

bool ShowPageSetup(QPrinter &printer, double &left, double &right, double &top, double &bottom, QWidget *owner)
{
    if (g_saved) {
        printer.setPageLayout(*g_saved);
    } else {
        printer.setPageLayout(withMargins(printer.pageLayout(), left, right, top, bottom));
    }
    QPageSetupDialog dialog(&printer, owner);
    // The dialog opens its margin fields on the page's own margins; give
    // them the seeded ones (in the layout's units, which the dialog shows).
    const QMarginsF seeded = printer.pageLayout().margins();
    const std::pair<const char *, double> fields[] = {{"leftMargin", seeded.left()},
                                                      {"topMargin", seeded.top()},
                                                      {"rightMargin", seeded.right()},
                                                      {"bottomMargin", seeded.bottom()}};
    for (const auto &[name, value] : fields)
        if (auto *box = dialog.findChild<QDoubleSpinBox *>(QLatin1String(name)))
            box->setValue(value);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QPageLayout chosen = printer.pageLayout();
    if (!printer.setPageLayout(chosen)) {
        rejected();
        return true;
    }
    g_saved = chosen;
    const QMarginsF m = chosen.margins(QPageLayout::Millimeter);
    left = m.left() * 100;
    top = m.top() * 100;
    right = m.right() * 100;
    bottom = m.bottom() * 100;
    return true;
}

bool ApplyPageSetup(QPrinter &printer, bool tell)
{
    const QPageLayout layout =
        g_saved ? *g_saved : withMargins(printer.pageLayout(), kSetupLeft, kSetupRight, kSetupTop, kSetupBottom);
    if (printer.setPageLayout(layout))
        return true;
    if (tell)
        rejected();
    return false;
}

std::optional<QPageLayout> SavedPageSetup()
{
    return g_saved;
}

void ForgetPageSetup()
{
    g_saved.reset();
}

} // namespace somnex
