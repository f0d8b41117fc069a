#include "appstate/Autostart.h"

#include "platform/core/ProgramFolders.h"
#include "platform/core/Registry.h"

#include <QFile>

namespace somnex {

QString AutostartCommand(const QString &exePath)
{
    return quoteForExec(exePath) + QStringLiteral(" /tray");
}

void SetAutostart(bool enable)
{
    Registry r;
    const QString run = QString::fromLatin1(Registry::kRunPath);
    if (enable)
        r.Value(Registry::HKEY_CURRENT_USER, run, QString::fromLatin1(kAutostartName), Registry::kString,
                AutostartCommand(ExePath()));
    else
        r.DeleteValue(Registry::HKEY_CURRENT_USER, run, QString::fromLatin1(kAutostartName));
}

bool AutostartEntryEnabled(const QString &entryText)
{
    bool inMainGroup = false;
    const auto lines = entryText.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Hidden") && value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return false;
        if (key == QLatin1String("X-GNOME-Autostart-enabled")
            && value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

bool IsAutostart()
{
    if (!Registry().IsThere(Registry::HKEY_CURRENT_USER, QString::fromLatin1(Registry::kRunPath),
                            QString::fromLatin1(kAutostartName)))
        return false;
    // The desktop's settings turn an entry off by marking it, not removing it.
    QFile f(autostartFilePath(QString::fromLatin1(kAutostartName)));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return AutostartEntryEnabled(QString::fromUtf8(f.readAll()));
}

} // namespace somnex
