#include "diary/store/StoreErrors.h"

#include "diary/DiaryStore.h"
#include "diary/Sqlite.h"

#include <sqlite3.h>

namespace somnex::diary::store {

namespace {
const QString kSource = QStringLiteral("Diary");
}

Error fileError(long number, const QString &path, const QString &why)
{
    switch (number) {
    case kErrorDamaged:
        return Error(number, kSource,
                     QStringLiteral("Файл дневника снов «%1» повреждён: %2. Файл не изменён.").arg(path, why));
    case kErrorForeign:
        return Error(number, kSource,
                     QStringLiteral("Файл «%1» не является дневником снов: %2. Файл не изменён.").arg(path, why));
    case kErrorNewer:
        return Error(number, kSource,
                     QStringLiteral("Дневник снов «%1» записан более новой версией программы (%2). "
                                    "Эта версия его не изменяет.")
                         .arg(path, why));
    case kErrorWrite:
        return Error(number, kSource,
                     QStringLiteral("Не удалось записать в дневник снов «%1»: %2. Ничего не записано.").arg(path, why));
    default: break;
    }
    return Error(number, kSource, QStringLiteral("Не удаётся открыть дневник снов «%1»: %2.").arg(path, why));
}

Error storeError(long number, const QString &text)
{
    return Error(number, kSource, text);
}

Error badValue(const QString &why)
{
    return Error(kErrorBadValue, kSource, why);
}

Error notFound(const QString &id)
{
    return Error(kErrorNotFound, kSource, QStringLiteral("В дневнике снов нет записи «%1».").arg(id));
}

Error readError(const QString &path, int rc, const char *message, int systemErrno)
{
    const int primary = rc & 0xff;
    if (primary == SQLITE_CORRUPT)
        return fileError(kErrorDamaged, path, sql::reason(rc, message));
    if (primary == SQLITE_NOTADB)
        return fileError(kErrorForeign, path, sql::reason(rc, message));
    return fileError(kErrorUnreadable, path, sql::reason(rc, message, systemErrno));
}

} // namespace somnex::diary::store
