// Arbitrary bytes as the settings file: every read gives text or the
// default, a save replaces the file with a whole store.
#include "platform/core/Settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    const QString path = somnex::settingsFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    const QString app = QStringLiteral("ZUL_Programming"), main = QStringLiteral("Somnex3");
    for (const char *key : {"Height", "ToTray", "LastWord", "MenuTransp", ""}) {
        (void)somnex::GetSetting(app, main, QString::fromLatin1(key), 7);
        (void)somnex::GetSettingInt(app, main, QString::fromLatin1(key), 7);
        (void)somnex::GetSettingReal(app, main, QString::fromLatin1(key), 7.5);
        (void)somnex::GetSettingBool(app, main, QString::fromLatin1(key), true);
    }
    somnex::SaveSetting(app, main, QStringLiteral("Width"), QStringLiteral("4100"));
    if (somnex::GetSetting(app, main, QStringLiteral("Width")) != QLatin1String("4100"))
        std::abort(); // a save must always be readable afterwards
    return 0;
}
