#pragma once
// A document the RTF reader built, laid out in a QTextDocument for the
// screen and the printer.

#include "platform/rtf/RtfReader.h"

#include <QString>
#include <QStringList>

class QTextDocument;

namespace somnex {

// The family a document's font name stands for on this system: the legacy
// code-page variants ("Times New Roman Cyr", "Arial CE") are their base family.
QString RtfFontFamily(const QString &name);

// Replaces the content of doc with the document: text that is not hidden,
// tables, pictures, and the footnotes after a rule. Each run's font is tried
// first, then the fallback families.
void FillRtfDocument(QTextDocument *doc, const RtfDocument &rtf, const QStringList &fallbackFamilies = {});

} // namespace somnex
