#pragma once
// The per-user settings store: application -> section -> key -> text.
//
// Kept as one JSON document in $XDG_CONFIG_HOME/zul-somnex/settings.json
// (~/.config when the variable is unset). JSON carries any text exactly, so
// keys that are file paths ("/", "\"), Cyrillic, "=", "[" and leading or
// trailing blanks survive. Every save replaces the file atomically (a
// temporary file renamed over the old one), so a crash during a save leaves
// either the old or the new store, never a broken one.

#include <QString>
#include <QVariant>

namespace somnex {

// Text stored under the key, or the default converted to text when missing.
QString GetSetting(const QString &app, const QString &section, const QString &key, const QVariant &def = QString());
// Creates the section when needed and stores the text.
void SaveSetting(const QString &app, const QString &section, const QString &key, const QVariant &value);

// Typed reads: a stored text that does not convert reads as the default.
int GetSettingInt(const QString &app, const QString &section, const QString &key, int def);
double GetSettingReal(const QString &app, const QString &section, const QString &key, double def);
// "True"/"False" in any letter case, or a number (0 is false).
bool GetSettingBool(const QString &app, const QString &section, const QString &key, bool def);

// Conversions the readers share (also used for values read elsewhere).
bool textToBool(const QString &text, bool def);
int textToInt(const QString &text, int def);
double textToReal(const QString &text, double def);
// Booleans are stored as the text True or False; reals in their shortest form.
QString boolText(bool v);
QString realText(double v);

// Holds every SaveSetting made while it lives and writes the store once when
// it ends (an orderly exit stores dozens of values). Nested batches join the
// outermost one.
class SettingsBatch {
public:
    SettingsBatch();
    ~SettingsBatch();
    SettingsBatch(const SettingsBatch &) = delete;
    SettingsBatch &operator=(const SettingsBatch &) = delete;
};

// The file behind the store (for tests and the README).
QString settingsFilePath();
// The per-user configuration folder ($XDG_CONFIG_HOME or ~/.config).
QString configHome();

} // namespace somnex
