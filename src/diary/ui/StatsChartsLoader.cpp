#include "diary/ui/StatsChartsLoader.h"

#include "diary/charts/StatsCharts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace somnex::diary {

QStringList statsChartsFolders()
{
    const QString chosen = qEnvironmentVariable("SOMNEX_CHARTS_DIR");
    if (!chosen.isEmpty())
        return {QDir::cleanPath(chosen)};
    return {QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/" SOMNEX_CHARTS_RELATIVE_DIR))};
}

const StatsChartsApi *loadStatsCharts(QString *reason)
{
    const QString name = QStringLiteral(SOMNEX_CHARTS_MODULE);
    const QStringList folders = statsChartsFolders();
    for (const QString &folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo(path).isFile())
            continue;
        // QLibrary only refers to the module: the second window of a process
        // finds it loaded already, and nothing here ever unloads it.
        QLibrary library(path);
        if (!library.load()) {
            *reason = QStringLiteral("модуль «%1» не загружается (%2).")
                          .arg(QDir::toNativeSeparators(path), library.errorString());
            return nullptr;
        }
        const auto entry = reinterpret_cast<SomnexStatsChartsEntry>(library.resolve(SOMNEX_STATS_CHARTS_ENTRY));
        const StatsChartsApi *api = entry ? entry() : nullptr;
        if (!api || api->version != kStatsChartsVersion) {
            *reason = QStringLiteral("модуль «%1» — от другой версии программы.").arg(QDir::toNativeSeparators(path));
            return nullptr;
        }
        return api;
    }
    QStringList shown;
    for (const QString &folder : folders)
        shown << QDir::toNativeSeparators(folder);
    *reason = QStringLiteral("нет модуля %1 в папке %2.").arg(name, shown.join(QStringLiteral(", ")));
    return nullptr;
}

} // namespace somnex::diary
