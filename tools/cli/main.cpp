// somnex-cli: the program's main jobs without a window.
#include "tools/cli/Commands.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <functional>
#include <map>

namespace somnex::cli {

void out(const QString &text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, static_cast<size_t>(b.size()), stdout);
}

void err(const QString &text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, static_cast<size_t>(b.size()), stderr);
}

} // namespace somnex::cli

static const char *kUsage =
    "Использование:\n"
    "  somnex-cli lookup СЛОВО [--json]    толкования слова по включённым сонникам\n"
    "  somnex-cli words [НАЧАЛО]           слова сонников (все или с этого начала)\n"
    "  somnex-cli suggest ТЕКСТ [--json]   слова, которые может означать текст\n"
    "  somnex-cli search ТЕКСТ [--json]    слова, в толкованиях которых есть все слова текста\n"
    "  somnex-cli interpret [--json] ТЕКСТ|-\n"
    "                                      толкование сна целиком (- : текст со стандартного ввода)\n"
    "  somnex-cli calendar [--at \"ГГГГ-ММ-ДД ЧЧ:ММ[:СС]\"] [--lat ГРАД --lon ГРАД] [--json]\n"
    "                                      лунный день и сбываемость снов\n"
    "  somnex-cli calendar --month ГГГГ-ММ [--lat ГРАД --lon ГРАД] [--json]\n"
    "                                      лунный календарь на месяц\n"
    "  somnex-cli article ФАЙЛ [--html]    текст статьи (или документ в HTML)\n"
    "  somnex-cli articles                 статьи полки литературы\n"
    "  somnex-cli diary add|list|show|search|mark|delete|restore|synth ...\n"
    "                                      дневник снов (somnex-cli diary --help)\n";

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The trace of steps that failed and were let go is for developers
    // (QT_LOGGING_RULES="somnex.ignored=true" brings it back); the user reads
    // the command's own message.
    QLoggingCategory::setFilterRules(QStringLiteral("somnex.ignored=false"));
    QStringList args = QCoreApplication::arguments().mid(1);
    const std::map<QString, std::function<int(const QStringList &)>> commands = {
        {QStringLiteral("lookup"), somnex::cli::lookup},       {QStringLiteral("words"), somnex::cli::words},
        {QStringLiteral("suggest"), somnex::cli::suggest},     {QStringLiteral("search"), somnex::cli::search},
        {QStringLiteral("interpret"), somnex::cli::interpret}, {QStringLiteral("calendar"), somnex::cli::calendar},
        {QStringLiteral("article"), somnex::cli::article},     {QStringLiteral("articles"), somnex::cli::articles},
        {QStringLiteral("diary"), somnex::cli::diary},
    };
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        somnex::cli::out(QString::fromUtf8(kUsage));
        return args.isEmpty() ? 2 : 0;
    }
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        somnex::cli::err(QStringLiteral("Неизвестная команда: ") + args[0] + QLatin1Char('\n')
                         + QString::fromUtf8(kUsage));
        return 2;
    }
    return it->second(args.mid(1));
}
