#pragma once
// A small registry in the manner the program's settings code expects: keys
// under roots, named values, result codes. The current user's Run key is
// realised as an XDG autostart entry; every other key lives in a per-user
// JSON file ($XDG_CONFIG_HOME/zul-somnex/registry.json).

#include <QString>
#include <QVariant>

namespace somnex {

class Registry {
public:
    enum Root : quint32 {
        HKEY_CLASSES_ROOT = 0x80000000u,
        HKEY_CURRENT_USER = 0x80000001u,
        HKEY_LOCAL_MACHINE = 0x80000002u,
        HKEY_USERS = 0x80000003u,
    };
    enum ValueType : int {
        REG_SZ = 1,
        REG_EXPAND_SZ = 2,
        REG_BINARY = 3,
        REG_DWORD = 4,
        REG_MULTI_SZ = 7,
    };
    // SaveAs 0 means a string.
    static constexpr int kString = 0;

    static constexpr const char *kRunPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

    // Writes V under RegPath\ValueName, creating the key when missing.
    // Raises somnex::Error (source "RegistryClass") on failure; a 32-bit
    // number outside 0..4294967295 raises error 2.
    void Value(Root root, const QString &regPath, const QString &valueName, int saveAs, const QVariant &v);
    // False when the key does not exist; true when it exists and no value
    // name is given; otherwise whether the value exists.
    bool IsThere(Root root, const QString &regPath, const QString &valueName = QString());
    // Empty name: nothing, false. Otherwise deletes the value when present
    // (a missing key or value is no error) and returns true.
    bool DeleteValue(Root root, const QString &regPath, const QString &valueName);

    // The stored data of a value as text (empty when missing); used by the
    // autostart check and by tests.
    QString ReadString(Root root, const QString &regPath, const QString &valueName);
};

// The registry's file for keys other than the Run key.
QString registryFilePath();
// The autostart entry file that stands for the value named `name` of the
// current user's Run key: $XDG_CONFIG_HOME/autostart/<name>.desktop.
QString autostartFilePath(const QString &name);

// Turns the Run key's data ("<program> /tray") into a desktop entry and back.
QString autostartDesktopEntry(const QString &name, const QString &commandLine);
QString commandFromDesktopEntry(const QString &entryText);
// One argument quoted for a desktop entry's Exec key.
QString quoteForExec(const QString &arg);

} // namespace somnex
