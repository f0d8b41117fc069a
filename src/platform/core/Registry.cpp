#include "platform/core/Registry.h"
#include "platform/core/AtomicFile.h"

#include "platform/core/Identity.h"

#include "platform/core/Settings.h"
#include "platform/error/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>

namespace somnex {
namespace {

[[noreturn]] void raise(long code, const QString &text)
{
    throw Error(code, QStringLiteral("RegistryClass"), text.left(255));
}

[[noreturn]] void raiseErrno(int err)
{
    raise(err ? err : 5, systemErrorText(err ? err : EACCES));
}

// A registry file or an autostart entry, written whole or not at all.
void writeOrRaise(const QString &path, const QByteArray &bytes)
{
    try {
        writeFileAtomically(path, bytes);
    } catch (const Error &e) {
        raise(5, e.description());
    }
}

bool isRunKey(Registry::Root root, const QString &path)
{
    return root == Registry::HKEY_CURRENT_USER
           && path.compare(QLatin1String(Registry::kRunPath), Qt::CaseInsensitive) == 0;
}

QString rootName(Registry::Root root)
{
    return QString::number(quint32(root), 16);
}

// Registry keys are case-insensitive; the file keeps them folded.
QString keyName(const QString &path)
{
    QString p = path;
    while (p.endsWith(QLatin1Char('\\')))
        p.chop(1);
    return p.toLower();
}

QJsonObject readFile()
{
    QFile f(registryFilePath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QJsonDocument d = QJsonDocument::fromJson(f.readAll());
    return d.isObject() ? d.object() : QJsonObject();
}

void writeFile(const QJsonObject &o)
{
    const QString path = registryFilePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        raiseErrno(errno);
    {
        // A file that does not read as a registry is kept aside, not overwritten.
        QFile old(path);
        if (old.open(QIODevice::ReadOnly) && !QJsonDocument::fromJson(old.readAll()).isObject()) {
            old.close();
            QFile::remove(path + QStringLiteral(".bad"));
            QFile::copy(path, path + QStringLiteral(".bad"));
        }
    }
    writeOrRaise(path, QJsonDocument(o).toJson(QJsonDocument::Indented));
}

QString typeName(int saveAs)
{
    switch (saveAs) {
    case Registry::kString:
    case Registry::REG_SZ: return QStringLiteral("REG_SZ");
    case Registry::REG_EXPAND_SZ: return QStringLiteral("REG_EXPAND_SZ");
    case Registry::REG_BINARY: return QStringLiteral("REG_BINARY");
    case Registry::REG_DWORD: return QStringLiteral("REG_DWORD");
    case Registry::REG_MULTI_SZ: return QStringLiteral("REG_MULTI_SZ");
    default: return QStringLiteral("REG_SZ");
    }
}

// Quoting of one argument of a desktop entry's Exec key.
QString quoteExecArg(const QString &arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needs = arg.isEmpty();
    for (QChar c : arg)
        if (reserved.contains(c))
            needs = true;
    if (!needs)
        return arg;
    QString out = QStringLiteral("\"");
    for (QChar c : arg) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

// String-level escapes of a desktop entry value.
QString escapeValue(const QString &v)
{
    QString out;
    for (QChar c : v) {
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QString unescapeValue(const QString &v)
{
    QString out;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == QLatin1Char('\\') && i + 1 < v.size()) {
            const QChar n = v[++i];
            if (n == QLatin1Char('n'))
                out += QLatin1Char('\n');
            else if (n == QLatin1Char('t'))
                out += QLatin1Char('\t');
            else if (n == QLatin1Char('r'))
                out += QLatin1Char('\r');
            else if (n == QLatin1Char('s'))
                out += QLatin1Char(' ');
            else
                out += n;
        } else {
            out += v[i];
        }
    }
    return out;
}

} // namespace

QString registryFilePath()
{
    return configHome() + QLatin1Char('/') + QLatin1String(kConfigSubfolder) + QStringLiteral("/registry.json");
}

QString autostartFilePath(const QString &name)
{
    return configHome() + QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
}

QString autostartDesktopEntry(const QString &name, const QString &commandLine)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=ZUL Somnex 3\n"
                          "Name[ru]=Сонник ZUL Somnex 3\n"
                          "Comment=Start the dream book in the notification area\n"
                          "Comment[ru]=Запуск сонника в области уведомлений\n"
                          "Icon=zul-somnex\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "NoDisplay=true\n"
                          "X-GNOME-Autostart-enabled=true\n"
                          "X-ZUL-Value=%2\n")
        .arg(escapeValue(commandLine), escapeValue(name));
}

QString commandFromDesktopEntry(const QString &entryText)
{
    const auto lines = entryText.split(QLatin1Char('\n'));
    for (const QString &line : lines)
        if (line.startsWith(QLatin1String("Exec=")))
            return unescapeValue(line.mid(5));
    return QString();
}

// Quotes a program path for an Exec line (exposed through the shell layer).
QString quoteForExec(const QString &arg)
{
    return quoteExecArg(arg);
}

void Registry::Value(Root root, const QString &regPath, const QString &valueName, int saveAs, const QVariant &v)
{
    QJsonObject data;
    data.insert(QStringLiteral("type"), typeName(saveAs));
    if (saveAs == REG_DWORD) {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok || d < 0 || d > 4294967295.0 || d != static_cast<double>(static_cast<qint64>(d)))
            raise(2, QStringLiteral("The value must be from 0 to 4294967295"));
        qint64 n = static_cast<qint64>(d);
        if (n > 2147483647)
            n -= 4294967296LL; // kept as the signed 32-bit field holds it
        data.insert(QStringLiteral("data"), static_cast<double>(n));
    } else {
        data.insert(QStringLiteral("data"), v.toString());
    }

    if (isRunKey(root, regPath)) {
        const QString file = autostartFilePath(valueName);
        if (!QDir().mkpath(QFileInfo(file).absolutePath()))
            raiseErrno(errno);
        writeOrRaise(file, autostartDesktopEntry(valueName, v.toString()).toUtf8());
        return;
    }

    QJsonObject all = readFile();
    QJsonObject r = all.value(rootName(root)).toObject();
    QJsonObject key = r.value(keyName(regPath)).toObject();
    if (!key.contains(QStringLiteral("class")))
        key.insert(QStringLiteral("class"), typeName(saveAs));
    QJsonObject values = key.value(QStringLiteral("values")).toObject();
    values.insert(valueName, data);
    key.insert(QStringLiteral("values"), values);
    r.insert(keyName(regPath), key);
    all.insert(rootName(root), r);
    writeFile(all);
}

bool Registry::IsThere(Root root, const QString &regPath, const QString &valueName)
{
    if (isRunKey(root, regPath)) {
        if (valueName.isEmpty())
            return true; // the autostart folder always stands for the key
        return QFileInfo::exists(autostartFilePath(valueName));
    }
    const QJsonObject r = readFile().value(rootName(root)).toObject();
    if (!r.contains(keyName(regPath)))
        return false;
    if (valueName.isEmpty())
        return true;
    return r.value(keyName(regPath)).toObject().value(QStringLiteral("values")).toObject().contains(valueName);
}

bool Registry::DeleteValue(Root root, const QString &regPath, const QString &valueName)
{
    if (valueName.isEmpty())
        return false;
    if (isRunKey(root, regPath)) {
        QFile f(autostartFilePath(valueName));
        if (f.exists() && !f.remove() && f.exists())
            raise(5, f.errorString());
        return true;
    }
    QJsonObject all = readFile();
    QJsonObject r = all.value(rootName(root)).toObject();
    if (!r.contains(keyName(regPath)))
        return true;
    QJsonObject key = r.value(keyName(regPath)).toObject();
    QJsonObject values = key.value(QStringLiteral("values")).toObject();
    if (!values.contains(valueName))
        return true;
    values.remove(valueName);
    key.insert(QStringLiteral("values"), values);
    r.insert(keyName(regPath), key);
    all.insert(rootName(root), r);
    writeFile(all);
    return true;
}

QString Registry::ReadString(Root root, const QString &regPath, const QString &valueName)
{
    if (isRunKey(root, regPath)) {
        QFile f(autostartFilePath(valueName));
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return commandFromDesktopEntry(QString::fromUtf8(f.readAll()));
    }
    const QJsonValue v = readFile()
                             .value(rootName(root))
                             .toObject()
                             .value(keyName(regPath))
                             .toObject()
                             .value(QStringLiteral("values"))
                             .toObject()
                             .value(valueName)
                             .toObject()
                             .value(QStringLiteral("data"));
    return v.isDouble() ? QString::number(static_cast<qint64>(v.toDouble())) : v.toString();
}

} // namespace somnex
