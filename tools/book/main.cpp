// somnex-book: builds dream-book files from their plain sources and reads
// them back.
//
//   somnex-book build SOURCE.txt OUT.book     signed book from a source
//   somnex-book dump BOOK [--icon FILE.png]   the source form on stdout
//   somnex-book list BOOK... [--prefix P]     headwords in index order
//   somnex-book info BOOK...                  settings and counts
//   somnex-book synth OUT.book --words N [--seed S]   a large made-up book
//   somnex-book tables FILE                   user tables of any Jet 4 file
//   somnex-book export FILE TABLE             a table as JSON Lines
//
// The source format is described in dictionary/BookSource.h.

#include "dictionary/BookDatabase.h"
#include "dictionary/BookSchema.h"
#include "dictionary/BookSource.h"
#include "dictionary/SyntheticBook.h"
#include "platform/error/Error.h"
#include "platform/jet/BookSignature.h"
#include "platform/jet/JetExport.h"
#include "platform/jet/JetFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

using namespace somnex;
using namespace somnex::dictionary;

namespace {

void print(FILE *to, const QString &text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, static_cast<std::size_t>(b.size()), to);
}

[[noreturn]] void fail(const QString &message)
{
    throw Error(1, QStringLiteral("somnex-book"), message);
}

int usage()
{
    print(stderr, QStringLiteral("usage:\n"
                                 "  somnex-book build SOURCE.txt OUT.book\n"
                                 "  somnex-book dump BOOK [--icon FILE.png]\n"
                                 "  somnex-book list BOOK... [--prefix P]\n"
                                 "  somnex-book info BOOK...\n"
                                 "  somnex-book synth OUT.book --words N [--seed S]\n"
                                 "  somnex-book tables FILE\n"
                                 "  somnex-book export FILE TABLE\n"));
    return 2;
}

// The picture as ICO bytes (BMP when no ICO writer is available); pictures
// larger than an icon may be are scaled down to 256 pixels.
QByteArray iconBytes(const QString &path, const QString &where)
{
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull())
        fail(QStringLiteral("%1: не удаётся прочитать картинку «%2»: %3").arg(where, path, reader.errorString()));
    if (image.width() > 256 || image.height() > 256)
        image = image.scaled(256, 256, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    for (const char *format : {"ico", "bmp"}) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        if (writer.canWrite() && writer.write(image))
            return bytes;
    }
    fail(QStringLiteral("%1: не удаётся преобразовать картинку «%2»").arg(where, path));
}

void save(const QString &path, const QByteArray &bytes)
{
    QSaveFile out(path); // a temporary file renamed over the target at the end
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        fail(QStringLiteral("не удаётся записать «%1»: %2").arg(path, out.errorString()));
}

Database open(const QString &path)
{
    return DBEngine::instance().OpenDatabase(path);
}

int build(const QString &sourcePath, const QString &outPath)
{
    QFile in(sourcePath);
    if (!in.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1: не удаётся открыть: %2").arg(sourcePath, in.errorString()));
    BookSource src = parseBookSource(in.readAll(), sourcePath);
    checkSeeAlso(src.content, sourcePath);
    if (src.iconFile) {
        const QString iconPath = QFileInfo(sourcePath).dir().filePath(*src.iconFile);
        src.content.icon = iconBytes(iconPath, QStringLiteral("%1:%2").arg(sourcePath).arg(src.iconLine));
    }
    QByteArray image;
    try {
        image = buildBookImage(src.content);
    } catch (const Error &e) {
        fail(QStringLiteral("%1: %2").arg(sourcePath, e.description()));
    }
    // read back what was written before it replaces anything
    const Database check = DBEngine::instance().OpenDatabaseImage(image, outPath);
    if (check.OpenRecordset(dictionary::kBookTable).RecordCount() != qsizetype(src.content.entries.size()))
        fail(QStringLiteral("%1: книга прочиталась не полностью").arg(outPath));
    save(outPath, image);
    return 0;
}

int dump(const QString &path, const QString &iconOut)
{
    const BookContent book = readBook(open(path));
    if (!iconOut.isEmpty()) {
        if (!book.icon || book.icon->isEmpty())
            fail(QStringLiteral("%1: в книге нет картинки").arg(path));
        QImage image;
        if (!image.loadFromData(*book.icon))
            fail(QStringLiteral("%1: картинку книги не удаётся прочитать").arg(path));
        if (!image.save(iconOut, "PNG"))
            fail(QStringLiteral("не удаётся записать «%1»").arg(iconOut));
    }
    const QByteArray text = formatBookSource(book, QFileInfo(path).completeBaseName() + QStringLiteral(".png"));
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    return 0;
}

int list(const QStringList &books, const QString &prefix)
{
    for (const QString &path : books) {
        Recordset rs = open(path).OpenRecordset(dictionary::kBookTable);
        rs.setIndex(dictionary::kListIndex);
        if (books.size() > 1)
            print(stdout, QStringLiteral("# %1\n").arg(path));
        QString out;
        for (qsizetype i = 0; i < rs.RecordCount(); ++i) {
            const QStringView w = rs.headword(i);
            if (prefix.isEmpty() || (w.size() >= prefix.size() && sameHeadword(w.left(prefix.size()), prefix)))
                out += w.toString() + u'\n';
        }
        print(stdout, out);
    }
    return 0;
}

int info(const QStringList &books)
{
    for (const QString &path : books) {
        const bool signed_ = jet::IsValidVersion(path);
        const Database db = open(path);
        const BookContent book = readBook(db);
        QString format = QStringLiteral("нет");
        if (book.icon) {
            QBuffer b;
            b.setData(*book.icon);
            const QByteArray f = QImageReader(&b).format();
            format =
                QStringLiteral("%1 байт, %2").arg(book.icon->size()).arg(QString::fromLatin1(f.isEmpty() ? "?" : f));
        }
        print(stdout, QStringLiteral("файл: %1\nподпись: %2\nназвание: %3\nзаголовок: %4\nцвет: %5\n"
                                     "картинка: %6\nстатей: %7\nразмер: %8 байт\n\n")
                          .arg(path, signed_ ? QStringLiteral("есть") : QStringLiteral("нет"), book.name, book.heading,
                               book.color.value_or(QStringLiteral("нет")), format)
                          .arg(book.entries.size())
                          .arg(QFileInfo(path).size()));
    }
    return 0;
}

int synth(const QString &out, int words, uint32_t seed)
{
    if (words < 1)
        fail(QStringLiteral("--words должно быть больше нуля"));
    const BookContent book = syntheticBook(words, seed, QStringLiteral("Синтетический сонник %1").arg(seed));
    save(out, buildBookImage(book));
    return 0;
}

// Any Jet 4 file, or a book behind its signature, read into memory; the
// file itself is never written.
jet::JetFile openJet(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1: не удаётся открыть: %2").arg(path, f.errorString()));
    if (f.size() > (qint64(1) << 31))
        fail(QStringLiteral("%1: файл больше 2 ГиБ").arg(path));
    QByteArray image = f.readAll();
    if (f.error() != QFileDevice::NoError)
        fail(QStringLiteral("%1: не удаётся прочитать: %2").arg(path, f.errorString()));
    if (image.size() < jet::kSignatureLength)
        fail(QStringLiteral("%1: файл короче 22 байт").arg(path));
    jet::restoreJetHeader(image);
    try {
        return jet::JetFile(std::move(image));
    } catch (const Error &e) {
        fail(QStringLiteral("%1: %2").arg(path, e.description()));
    }
}

int tables(const QString &path)
{
    const jet::JetFile db = openJet(path);
    QString out;
    for (const QString &t : db.tableNames())
        out += t + u'\n';
    print(stdout, out);
    return 0;
}

int exportTable(const QString &path, const QString &table)
{
    jet::JetFile db = openJet(path);
    try {
        jet::exportJsonLines(db, table, [](const QByteArray &line) {
            std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
        });
    } catch (const Error &e) {
        fail(QStringLiteral("%1: %2").arg(path, e.description()));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// Takes "name value" out of args into value; false when the option is not given.
bool takeOption(QStringList &args, const QString &name, QString *value)
{
    const qsizetype i = args.indexOf(name);
    if (i < 0)
        return false;
    if (i + 1 >= args.size())
        throw Error(2, QString(), QStringLiteral("после %1 нужно значение").arg(name));
    *value = args[i + 1];
    args.remove(i, 2);
    return true;
}

int synthCommand(QStringList &args)
{
    QString words, seed = QStringLiteral("1");
    takeOption(args, QStringLiteral("--words"), &words);
    takeOption(args, QStringLiteral("--seed"), &seed);
    bool okWords = false, okSeed = false;
    const int n = words.toInt(&okWords);
    const uint s = seed.toUInt(&okSeed);
    if (args.size() == 1 && okWords && okSeed)
        return synth(args[0], n, s);
    return usage();
}

// Runs one command with its arguments; the usage when they do not fit it.
int runCommand(const QString &command, QStringList &args)
{
    if (command == QLatin1String("build") && args.size() == 2)
        return build(args[0], args[1]);
    if (command == QLatin1String("dump")) {
        QString icon;
        takeOption(args, QStringLiteral("--icon"), &icon);
        if (args.size() == 1)
            return dump(args[0], icon);
    }
    if (command == QLatin1String("list")) {
        QString prefix;
        takeOption(args, QStringLiteral("--prefix"), &prefix);
        if (!args.isEmpty())
            return list(args, prefix);
    }
    if (command == QLatin1String("info") && !args.isEmpty())
        return info(args);
    if (command == QLatin1String("tables") && args.size() == 1)
        return tables(args[0]);
    if (command == QLatin1String("export") && args.size() == 2)
        return exportTable(args[0], args[1]);
    if (command == QLatin1String("synth"))
        return synthCommand(args);
    return usage();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    try {
        return runCommand(command, args);
    } catch (const Error &e) {
        // one prefixed line for each line of the message (a build lists every dangling see-also name)
        for (const QString &line : e.description().split(u'\n'))
            print(stderr, QStringLiteral("somnex-book: %1\n").arg(line));
        return e.number() == 2 ? 2 : 1;
    }
}
