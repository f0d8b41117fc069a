#pragma once
// The RTF reader for the articles of the literature shelf and for what
// RtfWriter writes. It reads a document the way a word processor shows it:
// paragraphs with their alignment, indents and spacing; runs with fonts,
// sizes, colours, emphasis, super- and subscript, strike-out and highlight;
// tables, nested ones included, with their columns' widths; pictures (PNG,
// JPEG, bitmaps; metafiles as a framed box of their size), floating ones in
// shapes too; text boxes' text in place; field results; footnotes as marks
// in the text with their texts gathered at the end; list labels, the
// writer's own (\listtext, \pntext) or made from the list table and old
// \pn numbering. Headers and footers are not part of the text.
// Characters of the Symbol and Wingdings fonts become their Unicode
// equivalents. Code pages come from \ansicpg, the fonts' \fcharset and \cpg
// (Windows-1251 from our own table, the rest from ICU); \'xx and \uN (with
// \ucN fallback skipping) escapes are understood. Groups nest on an explicit
// stack; input is bounded in size and depth, a bad document gives an error,
// never unbounded work.

#include "platform/rtf/RtfWriter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace somnex {

// What a document may make the reader hold. Past a limit the reader fails
// (maxBytes, maxDepth) or keeps what it has and drops the rest.
struct RtfReadLimits {
    qsizetype maxBytes = qsizetype(256) * 1024 * 1024;
    int maxDepth = 100000;      // groups open at once
    int maxFlows = 64;          // footnotes and text boxes open within one another
    int maxCodePages = 64;      // code pages read through ICU
    int maxTableEntries = 4096; // each of: fonts, colours, lists, list overrides, old-style numberings, list counters
    int maxFootnotes = 100000;
    int maxPictures = 100000;
    int maxTabStops = 64;         // of a paragraph
    int maxPictureSize = 1000000; // \picw, \pich (pixels), \picwgoal, \pichgoal (twips)
    int maxPictureScale = 10000;  // \picscalex, \picscaley (per cent)
};

struct RtfParagraphFormat {
    enum class Align { Left, Centre, Right, Justify };
    Align align = Align::Left;
    // in points
    double leftIndent = 0, rightIndent = 0, firstIndent = 0, spaceBefore = 0, spaceAfter = 0;
    // \sl: 0 single; with \slmult a multiple of a line in 240ths; otherwise
    // twips, at least (positive) or exactly (negative) that height
    int lineSpacing = 0;
    bool lineMultiple = false;
    std::vector<double> tabs; // tab stops, points from the left edge
    bool operator==(const RtfParagraphFormat &) const = default;
};

struct RtfTable;

// A paragraph, or a table when table is set.
struct RtfBlock {
    RtfParagraphFormat format;
    std::vector<RtfRun> runs; // a line break inside is U+2028
    RtfRun mark;              // the formatting of the paragraph's end (no text)
    std::shared_ptr<RtfTable> table;
};

struct RtfTable {
    // rows of cells, each cell a list of blocks
    std::vector<std::vector<std::vector<RtfBlock>>> rows;
    // the columns' widths in points as the rows' \cellx give them (0: not
    // stated); may be fewer than the columns
    std::vector<double> columnWidths;
};

struct RtfPicture {
    enum class Kind { Png, Jpeg, Dib, Metafile, Other };
    Kind kind = Kind::Other;
    QByteArray data;
    double width = 0, height = 0; // points as shown; 0 when not stated
};

struct RtfDocument {
    std::vector<RtfBlock> blocks;
    std::vector<std::vector<RtfBlock>> footnotes; // in the order of their marks
    std::vector<RtfPicture> pictures;             // indexed by RtfRun::picture
};

struct RtfReadResult {
    RtfDocument document;
    // The document's text as runs: paragraphs (and the paragraphs of table
    // cells) end with "\n", footnotes follow the body; "\t" is a tab;
    // pictures are left out.
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

} // namespace somnex
