#include "shell/Autostart.h"

#include "platform/core/Registry.h"
#include "platform/core/Shell.h"

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
        r.Value(Registry::HKEY_CURRENT_USER, run, QString::fromLatin1(kAutostartName),
                Registry::kString, AutostartCommand(ExePath()));
    else
        r.DeleteValue(Registry::HKEY_CURRENT_USER, run, QString::fromLatin1(kAutostartName));
}

bool IsAutostart()
{
    return Registry().IsThere(Registry::HKEY_CURRENT_USER, QString::fromLatin1(Registry::kRunPath),
                              QString::fromLatin1(kAutostartName));
}

} // namespace somnex
