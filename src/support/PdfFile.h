#pragma once
// Where the pages go when they go to a PDF file rather than a printer.

#include <QString>

class QWidget;

namespace somnex {

// The file a PDF is saved to, chosen in the file dialog from the name
// suggested; ".pdf" is added to a name without it. Empty when given up.
QString askPdfFile(QWidget *owner, const QString &title, const QString &suggested);
// The name with ".pdf" added when it has none (an empty name stays empty).
QString withPdfSuffix(const QString &path);

} // namespace somnex
