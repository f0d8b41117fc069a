#pragma once
// A small RTF reader for the articles of the literature shelf and for what
// RtfWriter writes: plain text in paragraphs, bold, italic, underline,
// hidden text, font sizes, fonts and colours from the document's tables.
// Code pages come from \ansicpg and the fonts' \fcharset (Windows-1251 for
// the Russian texts); \'xx and \uN (with \ucN fallback skipping) escapes are
// understood; tables, pictures, metadata and ignorable destinations are
// skipped. Input is bounded in size and group depth: a bad document gives an
// error, never unbounded work.

#include "platform/rtf/RtfWriter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

class QTextDocument;

namespace somnex {

struct RtfReadLimits {
    qsizetype maxBytes = 16 * 1024 * 1024;
    int maxDepth = 128;
};

struct RtfReadResult {
    // Runs of equal formatting in document order; "\n" ends a paragraph or
    // line, "\t" is a tab.
    std::vector<RtfRun> runs;
    QString error; // empty when the document was read
    bool ok() const { return error.isEmpty(); }
};

// Reads an RTF document. base gives the font, size and colour of text that
// the document does not format itself (its text is ignored). A document cut
// short (groups left open) is read up to where it ends.
RtfReadResult ReadRtf(QByteArrayView data, const RtfRun &base = {}, const RtfReadLimits &limits = {});

// The text that shows: every run that is not hidden, in order.
QString RtfPlainText(const std::vector<RtfRun> &runs);

// Replaces the content of doc with the runs that are not hidden; each run's
// font is tried first, then the fallback families.
void FillRtfDocument(QTextDocument *doc, const std::vector<RtfRun> &runs, const QStringList &fallbackFamilies = {});

} // namespace somnex
