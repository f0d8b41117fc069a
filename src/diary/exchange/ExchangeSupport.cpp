#include "diary/exchange/ExchangeSupport.h"

namespace somnex::diary::exchange {

Error exchangeError(long number, const QString &description)
{
    return Error(number, QStringLiteral("DiaryExchange"), description);
}

[[noreturn]] void journalFail(const QString &file, const QString &why, long number)
{
    throw exchangeError(number, QStringLiteral("Файл «%1»: %2. Ничего не импортировано.").arg(file, why));
}

QString wholeMegabytes(qint64 bytes)
{
    return QString::number(bytes / (qint64(1024) * 1024));
}

QString utcText(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QString withoutNul(QString s)
{
    s.remove(QChar(0));
    return s;
}

QStringList tagTexts(const Entry &e)
{
    QStringList out;
    for (const Tag &t : e.tags)
        out << t.text;
    return out;
}

QStringList kindNames(const Entry &e)
{
    QStringList out;
    for (DreamKind k : e.kinds)
        out << kindName(k);
    return out;
}

} // namespace somnex::diary::exchange
