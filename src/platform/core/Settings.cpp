#include "platform/core/Settings.h"
#include "platform/core/AtomicFile.h"
#include "platform/core/Identity.h"

#include "platform/core/Messages.h"
#include "platform/error/Error.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cmath>

namespace somnex {
namespace {

struct Store {
    QJsonObject root;
    QString loadedPath;
    QDateTime loadedTime;
    qint64 loadedSize = -1;
    int batchDepth = 0;
    bool dirty = false;
    // The file on disk could not be read as a store: it is kept aside as
    // settings.json.bad before the first save replaces it.
    bool unreadable = false;
    // A failed save was reported; the next failures stay quiet until a save
    // succeeds again.
    bool failureReported = false;
};

void reportSaveFailure(Store &s, const QString &path)
{
    if (s.failureReported)
        return;
    s.failureReported = true;
    ShowMessage(QStringLiteral("Не удалось сохранить настройки программы в файл\n%1\n\n"
                               "Проверьте, что на диске есть свободное место и файл доступен для записи. "
                               "Изменения настроек будут потеряны при выходе из программы.")
                    .arg(path),
                QString(), MsgIcon::Warning);
}

Store &store()
{
    static Store s;
    return s;
}

// Reads the file again when it is another file or it changed on disk since
// the last read; a missing or unreadable file is an empty store.
void refresh(Store &s)
{
    const QString path = settingsFilePath();
    const QFileInfo fi(path);
    if (s.batchDepth > 0 && s.loadedPath == path)
        return;
    if (path == s.loadedPath && fi.exists() && fi.lastModified() == s.loadedTime && fi.size() == s.loadedSize)
        return;
    if (path == s.loadedPath && !fi.exists() && s.loadedSize == -1)
        return; // still missing (a save that failed keeps its values here)
    s.loadedPath = path;
    s.loadedTime = fi.lastModified();
    s.loadedSize = fi.exists() ? fi.size() : -1;
    s.root = QJsonObject();
    s.unreadable = false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        s.unreadable = fi.exists();
        return;
    }
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    if (err.error == QJsonParseError::NoError && doc.isObject())
        s.root = doc.object();
    else
        s.unreadable = true;
}

void writeOut(Store &s)
{
    const QString path = settingsFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (s.unreadable) {
        // Whatever the user had there is not lost to the new store.
        const QString aside = path + QStringLiteral(".bad");
        QFile::remove(aside);
        QFile::copy(path, aside);
        s.unreadable = false;
    }
    const QByteArray data = QJsonDocument(s.root).toJson(QJsonDocument::Indented);
    try {
        writeFileAtomically(path, data);
    } catch (const Error &) {
        // Kept in memory: later reads in this run still see the values.
        s.dirty = false;
        reportSaveFailure(s, path);
        return;
    }
    const QFileInfo fi(path);
    s.loadedPath = path;
    s.loadedTime = fi.lastModified();
    s.loadedSize = fi.size();
    s.failureReported = false;
    s.dirty = false;
}

QString variantText(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Bool: return boolText(v.toBool());
    case QMetaType::Double:
    case QMetaType::Float: return realText(v.toDouble());
    default: return v.toString();
    }
}

} // namespace

QString configHome()
{
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(QString::fromLocal8Bit(xdg)))
        return QString::fromLocal8Bit(xdg);
    return QDir::homePath() + QStringLiteral("/.config");
}

QString settingsFilePath()
{
    return configHome() + QLatin1Char('/') + QLatin1String(kConfigSubfolder) + QStringLiteral("/settings.json");
}

QString GetSetting(const QString &app, const QString &section, const QString &key, const QVariant &def)
{
    Store &s = store();
    refresh(s);
    const QJsonValue v = s.root.value(app).toObject().value(section).toObject().value(key);
    if (v.isString())
        return v.toString();
    return variantText(def);
}

void SaveSetting(const QString &app, const QString &section, const QString &key, const QVariant &value)
{
    Store &s = store();
    refresh(s);
    QJsonObject a = s.root.value(app).toObject();
    QJsonObject sec = a.value(section).toObject();
    sec.insert(key, variantText(value));
    a.insert(section, sec);
    s.root.insert(app, a);
    s.dirty = true;
    if (s.batchDepth == 0)
        writeOut(s);
}

SettingsBatch::SettingsBatch()
{
    Store &s = store();
    if (s.batchDepth == 0)
        refresh(s);
    ++s.batchDepth;
}

SettingsBatch::~SettingsBatch()
{
    Store &s = store();
    if (--s.batchDepth == 0 && s.dirty)
        writeOut(s);
}

bool textToBool(const QString &text, bool def)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (ok && std::isfinite(d))
        return d != 0;
    return def;
}

double textToReal(const QString &text, double def)
{
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(d) ? d : def;
}

int textToInt(const QString &text, int def)
{
    // Integers that the user stores are read like the real they may have been
    // written as ("6100", "6100.0", " 1 "), rounded half away from zero.
    const double d = textToReal(text, std::nan(""));
    if (std::isnan(d) || d < -2147483648.0 || d > 2147483647.0)
        return def;
    return static_cast<int>(std::lround(d));
}

QString boolText(bool v)
{
    return v ? QStringLiteral("True") : QStringLiteral("False");
}

QString realText(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

int GetSettingInt(const QString &app, const QString &section, const QString &key, int def)
{
    return textToInt(GetSetting(app, section, key, QString()), def);
}

double GetSettingReal(const QString &app, const QString &section, const QString &key, double def)
{
    return textToReal(GetSetting(app, section, key, QString()), def);
}

bool GetSettingBool(const QString &app, const QString &section, const QString &key, bool def)
{
    return textToBool(GetSetting(app, section, key, QString()), def);
}

} // namespace somnex
