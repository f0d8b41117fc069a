#include "support/PdfFile.h"

#include <QFileDialog>

namespace somnex {

QString askPdfFile(QWidget *owner, const QString &title, const QString &suggested)
{
    QString path = QFileDialog::getSaveFileName(owner, title, suggested, QStringLiteral("Документы PDF (*.pdf)"));
    if (!path.isEmpty() && !path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    return path;
}

} // namespace somnex
