#pragma once
// The tables of a dream-book file and the names of their columns and index:
// the book writer, the readers (the catalogue, the word index, the full-text
// index, the interpretation), the tools, the benchmarks and the tests all
// name them from here. Readers look names up ignoring letter case.

#include <QString>

namespace somnex::dictionary {

// One row per entry, read in the order of the index kListIndex.
inline const QString kBookTable = QStringLiteral("Book");
inline const QString kListColumn = QStringLiteral("List");   // the headword, text; held as UTF-16
inline const QString kTextColumn = QStringLiteral("Text");   // the interpretation, packed memo
inline const QString kLinksColumn = QStringLiteral("Links"); // headwords to see as well, packed memo or Null
// The headword order (compareHeadwords), over kListColumn.
inline const QString kListIndex = QStringLiteral("List");

// One row: the book's name on its button, its interpretation's heading, its
// colour and its icon.
inline const QString kConfigTable = QStringLiteral("Config");
inline const QString kToolNameColumn = QStringLiteral("ToolName");
inline const QString kTolkNameColumn = QStringLiteral("TolkName");
inline const QString kColorColumn = QStringLiteral("Color");
inline const QString kIconColumn = QStringLiteral("Icon");

} // namespace somnex::dictionary
