#include "platform/ui/Translations.h"
#include "platform/core/RussianDates.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileSystemModel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace somnex {

namespace {

// The texts of Qt's file dialog and file models that its Russian catalogue
// does not translate.
class MissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        struct Text {
            const char *context;
            const char *source;
            const char16_t *russian;
        };
        static constexpr Text texts[] = {
            {"QAbstractFileIconProvider", "Folder", u"Папка"},
            {"QAbstractFileIconProvider", "File Folder", u"Папка"},
            {"QAbstractFileIconProvider", "Drive", u"Диск"},
            {"QAbstractFileIconProvider", "File", u"Файл"},
            {"QAbstractFileIconProvider", "%1 File", u"Файл %1"},
            {"QAbstractFileIconProvider", "Alias", u"Ярлык"},
            {"QAbstractFileIconProvider", "Shortcut", u"Ярлык"},
            {"QFileSystemModel", "Folder", u"Папка"},
            {"QFileSystemModel", "%1 bytes", u"%1 байт"},
        };
        if (!context || !sourceText)
            return QString();
        for (const Text &t : texts)
            if (std::strcmp(context, t.context) == 0 && std::strcmp(sourceText, t.source) == 0)
                return QString::fromUtf16(t.russian);
        return QString();
    }
};

// The Russian plural of a count: one, few (2–4) or many.
const char16_t *pluralOf(qint64 n, const char16_t *one, const char16_t *few, const char16_t *many)
{
    const qint64 tens = n % 100, units = n % 10;
    if (tens >= 11 && tens <= 14)
        return many;
    if (units == 1)
        return one;
    if (units >= 2 && units <= 4)
        return few;
    return many;
}

} // namespace

bool LoadQtTranslations(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    const bool loaded =
        translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(translator);
    if (!loaded)
        delete translator;
    // installed last, so asked first
    QCoreApplication::installTranslator(new MissingQtTexts(&app));
    return loaded;
}

void UseRussianFormats()
{
    QLocale::setDefault(dates::russian());
}

QString RussianDataSize(qint64 bytes)
{
    if (bytes < 0)
        return QString();
    if (bytes < 1024)
        return QStringLiteral("%1 %2").arg(bytes).arg(QString::fromUtf16(pluralOf(bytes, u"байт", u"байта", u"байт")));
    const QLocale &ru = dates::russian();
    static constexpr const char16_t *units[] = {u"КБ", u"МБ", u"ГБ", u"ТБ"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    return ru.toString(value, 'f', value < 10 ? 1 : 0) + QLatin1Char(' ') + QString::fromUtf16(units[unit]);
}

QVariant RussianFileColumns::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DisplayRole && index.isValid()) {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (files) {
            const QModelIndex source = mapToSource(index);
            if (index.column() == 1) // size
                return files->isDir(source) ? QString() : RussianDataSize(files->size(source));
            if (index.column() == 3) // date modified
                return dates::format(files->lastModified(source), QStringLiteral("dd.MM.yyyy HH:mm"));
        }
    }
    return QIdentityProxyModel::data(index, role);
}

} // namespace somnex
