#include "platform/core/ProgramFolders.h"

#include "platform/core/Identity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace somnex {

QString ExePath()
{
    const QString p = QCoreApplication::applicationFilePath();
    return p.isEmpty() ? QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget() : p;
}

QString ProgramFolder()
{
    return QFileInfo(ExePath()).absolutePath();
}

QString ExeBaseName()
{
    return QFileInfo(ExePath()).completeBaseName();
}

QString SharedDataFolder()
{
    const QByteArray env = qgetenv("SOMNEX_DATA_DIR");
    if (!env.isEmpty()) {
        // the folder above "ZUL Programming", or the program's own data
        // folder below it: both name the same place
        QString given = QDir::cleanPath(QString::fromLocal8Bit(env));
        const QString own = QLatin1Char('/') + QLatin1String(kDataSubfolder);
        if (given.endsWith(own))
            return given.chopped(own.size()).isEmpty() ? QStringLiteral("/") : given.chopped(own.size());
        return given;
    }
    const QString folder = ProgramFolder();
    if (folder.isEmpty())
        return QString();
    return QDir::cleanPath(folder + QStringLiteral("/../share"));
}

QString AddSlash(const QString &path)
{
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString BooksFolderFor(const QString &shared)
{
    return AddSlash(shared) + QLatin1String(kDataSubfolder) + QStringLiteral("/Books");
}

QString TextsFolderFor(const QString &shared)
{
    return AddSlash(shared) + QLatin1String(kDataSubfolder) + QStringLiteral("/Texts");
}

QString CityFilePath()
{
    QString beside = AddSlash(ProgramFolder()) + QStringLiteral("City.csv");
    if (QFileInfo::exists(beside))
        return beside;
    return AddSlash(SharedDataFolder()) + QLatin1String(kDataSubfolder) + QStringLiteral("/City.csv");
}

QString SpellingDictionaryFolder()
{
    const QString set = qEnvironmentVariable("SOMNEX_HUNSPELL_DIR");
    return set.isEmpty() ? QStringLiteral("/usr/share/hunspell") : set;
}

bool SpellingDictionaryInstalled()
{
    const QString folder = SpellingDictionaryFolder();
    return QFileInfo::exists(folder + QStringLiteral("/ru_RU.aff"))
           && QFileInfo::exists(folder + QStringLiteral("/ru_RU.dic"));
}

} // namespace somnex
