#include "support/PdfFile.h"

#include <QFileDialog>

namespace somnex {

QString askPdfFile(QWidget *owner, const QString &title, const QString &suggested)
{
    return withPdfSuffix(
        QFileDialog::getSaveFileName(owner, title, suggested, QStringLiteral("Документы PDF (*.pdf)")));
}

QString withPdfSuffix(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return path;
    return path + QStringLiteral(".pdf");
}

} // namespace somnex
