#include "platform/core/ProgramFolders.h"

#include <gtest/gtest.h>

namespace somnex {
namespace {

// SOMNEX_DATA_DIR names the folder above "ZUL Programming" (as the program
// has always taken it) or the program's own data folder below it (as a user
// reading "the shared data folder" would give it): both lead to the books.
TEST(SharedDataFolder, TakesEitherFormOfTheVariable)
{
    struct Case {
        const char *value;
        const char *folder;
    };
    const Case cases[] = {
        {"/opt/dreams/share", "/opt/dreams/share"},
        {"/opt/dreams/share/", "/opt/dreams/share"},
        {"/opt/dreams/share/ZUL Programming/ZUL Somnex/3.1", "/opt/dreams/share"},
        {"/opt/dreams/share/ZUL Programming/ZUL Somnex/3.1/", "/opt/dreams/share"},
        {"/ZUL Programming/ZUL Somnex/3.1", "/"},
        {"/opt/ZUL Somnex/3.1", "/opt/ZUL Somnex/3.1"}, // not the whole subfolder
    };
    const QByteArray saved = qgetenv("SOMNEX_DATA_DIR");
    for (const Case &c : cases) {
        qputenv("SOMNEX_DATA_DIR", c.value);
        EXPECT_EQ(SharedDataFolder().toStdString(), c.folder) << c.value;
    }
    EXPECT_EQ(BooksFolderFor(SharedDataFolder()),
              QStringLiteral("/opt/ZUL Somnex/3.1/ZUL Programming/ZUL Somnex/3.1/Books"));
    if (saved.isEmpty())
        qunsetenv("SOMNEX_DATA_DIR");
    else
        qputenv("SOMNEX_DATA_DIR", saved);
}

} // namespace
} // namespace somnex
