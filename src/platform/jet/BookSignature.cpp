#include "platform/jet/BookSignature.h"

#include "platform/error/Error.h"

#include <QFile>

#include <algorithm>

namespace somnex::jet {

const std::array<char, kSignatureLength> BookSignature = {'D', 'B', '1', ' ', 'Z', 'U', 'L', ' ', 'S', 'o', 'm',
                                                          'n', 'e', 'x', ' ', 'b', 'o', 'o', 'k', ' ', 'v', '3'};

const std::array<char, kSignatureLength> JetHeaderBytes = {0x00, 0x01, 0x00, 0x00, 'S',  't', 'a', 'n',
                                                           'd',  'a',  'r',  'd',  ' ',  'J', 'e', 't',
                                                           ' ',  'D',  'B',  0x00, 0x01, 0x00};

bool IsValidVersion(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(kSignatureLength);
    return head.size() == kSignatureLength && std::equal(head.begin(), head.end(), BookSignature.begin());
}

namespace {

void writeHead(const QString &fileName, const std::array<char, kSignatureLength> &bytes, const char *source)
{
    QFile f(fileName);
    // ReadWrite without truncation: only the first 22 bytes are replaced.
    if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        throw Error(75, QString::fromLatin1(source),
                    QStringLiteral("Не удаётся открыть файл для записи: %1 (%2)").arg(fileName, f.errorString()));
    if (f.size() < kSignatureLength)
        throw Error(62, QString::fromLatin1(source), QStringLiteral("Файл короче 22 байт: %1").arg(fileName));
    if (f.write(bytes.data(), kSignatureLength) != kSignatureLength || !f.flush())
        throw Error(75, QString::fromLatin1(source),
                    QStringLiteral("Не удаётся записать файл: %1 (%2)").arg(fileName, f.errorString()));
}

void putHead(QByteArray &image, const std::array<char, kSignatureLength> &bytes)
{
    if (image.size() < kSignatureLength)
        throw Error(62, QString(), QStringLiteral("Образ файла короче 22 байт."));
    std::copy(bytes.begin(), bytes.end(), image.begin());
}

} // namespace

void LockBase(const QString &fileName)
{
    writeHead(fileName, BookSignature, "LockBase");
}
void UnlockBase(const QString &fileName)
{
    writeHead(fileName, JetHeaderBytes, "UnlockBase");
}
void stampSignature(QByteArray &image)
{
    putHead(image, BookSignature);
}
void restoreJetHeader(QByteArray &image)
{
    putHead(image, JetHeaderBytes);
}

} // namespace somnex::jet
