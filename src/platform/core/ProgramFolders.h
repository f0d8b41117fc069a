#pragma once
// Where the program finds itself and its shared data: its own folder and
// name, the shared data folder and the books, texts and places in it.

#include "platform/core/Identity.h"

#include <QString>

namespace somnex {

// The shared data folder that holds "ZUL Programming/ZUL Somnex/3.1/...":
// $SOMNEX_DATA_DIR when set (the folder above "ZUL Programming", or the
// ".../ZUL Programming/ZUL Somnex/3.1" folder itself), otherwise <prefix>/share for the program in
// <prefix>/bin; empty when it cannot be resolved.
QString SharedDataFolder();
// Path with a "/" appended when its last character is not "/".
QString AddSlash(const QString &path);

// The folder and base name of the running executable.
QString ProgramFolder();
QString ExeBaseName();
QString ExePath();

QString BooksFolderFor(const QString &sharedDataFolder);
QString TextsFolderFor(const QString &sharedDataFolder);

// The Russian spelling dictionary's folder (ru_RU.aff and ru_RU.dic, Debian's
// hunspell-ru): $SOMNEX_HUNSPELL_DIR when set, else /usr/share/hunspell; and
// whether the dictionary is there.
QString SpellingDictionaryFolder();
bool SpellingDictionaryInstalled();

// City.csv: beside the program when there, otherwise in the product's data folder.
QString CityFilePath();

} // namespace somnex
