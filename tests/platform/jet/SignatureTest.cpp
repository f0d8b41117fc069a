#include "platform/jet/BookSignature.h"

#include "platform/error/Error.h"

#include "ReadOnlyFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace somnex::jet;

namespace {

QByteArray bytes(const std::array<char, kSignatureLength> &a)
{
    return QByteArray(a.data(), kSignatureLength);
}

QString put(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
}

} // namespace

TEST(BookSignature, Constants)
{
    EXPECT_EQ(bytes(BookSignature), QByteArray("DB1 ZUL Somnex book v3"));
    EXPECT_EQ(bytes(JetHeaderBytes).toHex(' '),
              QByteArray("00 01 00 00 53 74 61 6e 64 61 72 64 20 4a 65 74 20 44 42 00 01 00"));
}

TEST(BookSignature, IsValidVersion)
{
    QTemporaryDir dir;
    const QByteArray sig = bytes(BookSignature);
    struct Case {
        const char *name;
        QByteArray content;
        bool valid;
    };
    const Case cases[] = {
        {"exact.book", sig, true},
        {"book.book", sig + QByteArray(5000, 'x'), true},
        {"short.book", sig.left(21), false},
        {"empty.book", QByteArray(), false},
        {"jet.book", bytes(JetHeaderBytes) + QByteArray(100, '\0'), false},
        {"case.book", QByteArray("db1 ZUL Somnex book v3") + "rest", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsValidVersion(put(dir, QString::fromLatin1(c.name), c.content)), c.valid) << c.name;
    EXPECT_FALSE(IsValidVersion(dir.filePath(QStringLiteral("missing.book"))));
}

TEST(BookSignature, LockAndUnlockWriteOnlyTheFirst22Bytes)
{
    QTemporaryDir dir;
    QByteArray body(9000, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = static_cast<char>(i * 7 + 3);
    const QString path = put(dir, QStringLiteral("a.book"), body);
    auto read = [&] {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    };
    LockBase(path);
    QByteArray now = read();
    ASSERT_EQ(now.size(), body.size());
    EXPECT_EQ(now.left(22), bytes(BookSignature));
    EXPECT_EQ(now.mid(22), body.mid(22));
    EXPECT_TRUE(IsValidVersion(path));
    UnlockBase(path);
    now = read();
    EXPECT_EQ(now.left(22), bytes(JetHeaderBytes));
    EXPECT_EQ(now.mid(22), body.mid(22));
    EXPECT_FALSE(IsValidVersion(path));
}

TEST(BookSignature, LockFailuresRaise)
{
    QTemporaryDir dir;
    const QString shortFile = put(dir, QStringLiteral("short.book"), QByteArray(10, 'x'));
    const QString readOnly = put(dir, QStringLiteral("ro.book"), QByteArray(100, 'x'));
    ReadOnlyGuard guard;
    if (!guard.protect(readOnly))
        GTEST_SKIP() << "cannot make a file read-only here";
    for (const QString &path : {shortFile, readOnly, dir.filePath(QStringLiteral("missing.book"))}) {
        EXPECT_THROW(LockBase(path), somnex::Error) << path.toStdString();
    }
    QFile f(shortFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(10, 'x')); // not extended, not changed
    QByteArray image(10, 'x');
    EXPECT_THROW(stampSignature(image), somnex::Error);
}
