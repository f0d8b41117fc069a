// article and articles: the literature shelf without a window.
#include "platform/rtf/RtfLayout.h"
#include "tools/cli/Commands.h"

#include "literature/Shelf.h"
#include "platform/core/ProgramFolders.h"
#include "platform/rtf/RtfReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace somnex::cli {

int article(const QStringList &args)
{
    QStringList names = args;
    const bool html = names.removeAll(QStringLiteral("--html")) > 0;
    if (names.size() != 1) {
        err(QStringLiteral("Укажите один файл статьи: somnex-cli article ФАЙЛ [--html]\n"));
        return 2;
    }
    QString file = names.front();
    if (!QFileInfo(file).isFile()) {
        // a name on the shelf
        const QString folder = TextsFolderFor(SharedDataFolder());
        for (const QString &name : literature::ArticleFiles(folder))
            if (literature::NameWithoutExtension(name) == file || name == file)
                file = QDir(folder).filePath(name);
    }
    QFile f(file);
    if (!QFileInfo(f).isFile()) {
        err(QStringLiteral("Файл не найден: ") + file + QLatin1Char('\n'));
        return 1;
    }
    const RtfReadLimits limits;
    if (f.size() > limits.maxBytes) {
        err(QStringLiteral("Статья слишком велика: ") + file + QLatin1Char('\n'));
        return 1;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("Не удаётся прочитать файл: ") + file + QLatin1Char('\n'));
        return 1;
    }
    RtfRun base;
    base.font = QStringLiteral("Courier New");
    base.pointSize = 10;
    const RtfReadResult r = ReadRtf(f.readAll(), base, limits);
    if (!r.ok()) {
        err(r.error + QStringLiteral(": ") + file + QLatin1Char('\n'));
        return 1;
    }
    if (!html) {
        QString text = RtfPlainText(r.runs);
        text.replace(QChar(0xA0), QLatin1Char(' '));
        if (!text.endsWith(QLatin1Char('\n')))
            text += QLatin1Char('\n');
        out(text);
        return 0;
    }
    QTextDocument doc;
    FillRtfDocument(&doc, r.document, {base.font, QStringLiteral("monospace")});
    out(doc.toHtml());
    return 0;
}

int articles(const QStringList &args)
{
    if (!args.isEmpty()) {
        err(QStringLiteral("Команда articles не принимает аргументов\n"));
        return 2;
    }
    const QString folder = TextsFolderFor(SharedDataFolder());
    for (const QString &name : literature::ArticleFiles(folder))
        out(literature::NameWithoutExtension(name) + QLatin1Char('\t') + QDir(folder).filePath(name)
            + QLatin1Char('\n'));
    return 0;
}

} // namespace somnex::cli
