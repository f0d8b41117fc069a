// Documents made by other programs, read and compared with the text a word
// processor gives for them (stored beside each document; SOURCES.md names
// where each comes from). Files listed in differs.txt are known to differ
// in layout only (runs of spaces, note marks, a few list labels); they must
// still read.
#include "platform/rtf/RtfReader.h"
#include "support/QtPrint.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

using namespace somnex;

namespace {

const QString kCorpus = QStringLiteral(SOMNEX_RTF_CORPUS);

QString normalise(QString t)
{
    t.remove(QChar(0xFEFF));
    t.replace(QChar(0xA0), QLatin1Char(' '));
    t.replace(QChar(0x2028), QLatin1Char('\n'));
    t.remove(QLatin1Char('\r'));
    QStringList kept;
    for (QString line : t.split(QLatin1Char('\n'))) {
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
        if (!line.trimmed().isEmpty())
            kept << line;
    }
    return kept.join(QLatin1Char('\n'));
}

void bodyText(const std::vector<RtfBlock> &blocks, QString &out)
{
    for (const RtfBlock &b : blocks) {
        if (b.table) {
            for (const auto &row : b.table->rows)
                for (const auto &cell : row)
                    bodyText(cell, out);
            continue;
        }
        for (const RtfRun &r : b.runs)
            if (!r.hidden && r.picture < 0)
                out += r.text;
        out += QLatin1Char('\n');
    }
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(RtfCorpus, MatchesTheWordProcessorsText)
{
    const QStringList files = QDir(kCorpus).entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 40);
    QSet<QString> differs;
    for (const QByteArray &line : readFile(kCorpus + QStringLiteral("/differs.txt")).split('\n'))
        if (!line.trimmed().isEmpty() && !line.startsWith('#'))
            differs.insert(QString::fromUtf8(line.split(' ').front()));
    int matched = 0;
    for (const QString &name : files) {
        const QString stem = name.chopped(4);
        const RtfReadResult r = ReadRtf(readFile(kCorpus + QLatin1Char('/') + name));
        ASSERT_TRUE(r.ok()) << stem.toStdString() << ": " << r.error.toStdString();
        QString ours;
        bodyText(r.document.blocks, ours);
        const QString expected =
            normalise(QString::fromUtf8(readFile(kCorpus + QLatin1Char('/') + stem + QStringLiteral(".txt"))));
        const bool same = normalise(ours) == expected;
        if (differs.contains(stem)) {
            EXPECT_FALSE(same) << stem.toStdString() << " matches now: take it off differs.txt";
            EXPECT_EQ(normalise(ours).isEmpty(), expected.isEmpty()) << stem.toStdString();
            continue;
        }
        EXPECT_EQ(normalise(ours), expected) << stem.toStdString();
        matched += same;
    }
    std::printf("%d of %lld documents match\n", matched, static_cast<long long>(files.size()));
}
