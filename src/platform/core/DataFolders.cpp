#include "platform/core/DataFolders.h"

#include "platform/core/Identity.h"

#include <QDir>

namespace somnex {

QString userDataFolder()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QLatin1Char('/') + QLatin1String(kDataSubfolder));
}

} // namespace somnex
