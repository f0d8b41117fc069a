#include "platform/core/AtomicFile.h"

#include "platform/error/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace somnex {

QString systemErrorText(int e)
{
    switch (e) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("на диске нет места");
    case EROFS: return QStringLiteral("диск доступен только для чтения");
    case EACCES:
    case EPERM: return QStringLiteral("нет права доступа к файлу или папке");
    case ENOENT: return QStringLiteral("нет такого файла или папки");
    case ENOTDIR: return QStringLiteral("часть пути не является папкой");
    case EISDIR: return QStringLiteral("это папка, а не файл");
    case EEXIST: return QStringLiteral("файл уже существует");
    case EIO: return QStringLiteral("ошибка ввода-вывода на диске");
    case ENAMETOOLONG: return QStringLiteral("слишком длинное имя файла");
    case EMFILE:
    case ENFILE: return QStringLiteral("открыто слишком много файлов");
    case ENOMEM: return QStringLiteral("не хватает памяти");
    case EFBIG: return QStringLiteral("файл слишком велик");
    case EXDEV: return QStringLiteral("файлы на разных дисках");
    case EBUSY: return QStringLiteral("файл или папка заняты");
    case ELOOP: return QStringLiteral("слишком много символических ссылок в пути");
    default: return QStringLiteral("системная ошибка %1").arg(e);
    }
}

namespace {

[[noreturn]] void fail(const QString &path, int e)
{
    throw Error(
        kAtomicWriteError, QStringLiteral("AtomicFile"),
        QStringLiteral("Не удалось записать файл «%1»: %2. Прежний файл не изменён.").arg(path, systemErrorText(e)));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

unsigned defaultMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666u & ~unsigned(mask) & 0644u;
}

} // namespace

void syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // nothing to sync that could be opened
    const int rc = ::fsync(fd);
    const int e = errno;
    ::close(fd);
    // Folders on some file systems cannot be synced (EINVAL): their entries
    // are as durable as they get.
    if (rc != 0 && e != EINVAL && e != EROFS)
        throw Error(kAtomicWriteError, QStringLiteral("AtomicFile"),
                    QStringLiteral("Не удалось сохранить на диск папку «%1»: %2.").arg(folder, systemErrorText(e)));
}

void syncFileSystem(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail(folder, errno);
    const int rc = ::syncfs(fd);
    const int e = errno;
    ::close(fd);
    if (rc != 0)
        throw Error(
            kAtomicWriteError, QStringLiteral("AtomicFile"),
            QStringLiteral("Не удалось сохранить на диск файлы в папке «%1»: %2.").arg(folder, systemErrorText(e)));
}

namespace {

void commitFile(const QString &path, const std::function<void(int, const QString &)> &fill,
                const AtomicWriteOptions &options, bool durable)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (exists && !options.replace)
        fail(path, EEXIST);
    QByteArray temporary =
        QFile::encodeName(folder + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        fail(path, errno);
    const auto giveUp = [&](int e) {
        ::close(fd);
        ::unlink(temporary.constData());
        fail(path, e);
    };
    const unsigned mode = options.mode ? *options.mode : exists ? unsigned(old.st_mode & 07777) : defaultMode();
    if (::fchmod(fd, mode_t(mode)) != 0)
        giveUp(errno);
    try {
        fill(fd, QFile::decodeName(temporary));
    } catch (...) {
        ::close(fd);
        ::unlink(temporary.constData());
        throw;
    }
    if (durable && ::fsync(fd) != 0)
        giveUp(errno);
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlink(temporary.constData());
        fail(path, e);
    }
    if (!options.replace) {
        // link fails when the name was taken meanwhile; rename would not
        if (::link(temporary.constData(), target.constData()) != 0) {
            const int e = errno;
            ::unlink(temporary.constData());
            fail(path, e);
        }
        ::unlink(temporary.constData());
    } else if (::rename(temporary.constData(), target.constData()) != 0) {
        const int e = errno;
        ::unlink(temporary.constData());
        fail(path, e);
    }
    if (durable)
        syncFolder(folder);
}

} // namespace

void commitFileAtomically(const QString &path, const std::function<void(int, const QString &)> &fill,
                          const AtomicWriteOptions &options)
{
    commitFile(path, fill, options, true);
}

namespace {

void writeBytes(const QString &path, const QByteArray &bytes, const AtomicWriteOptions &options, bool durable)
{
    commitFile(
        path,
        [&](int fd, const QString &) {
            if (!writeAll(fd, bytes))
                fail(path, errno);
        },
        options, durable);
}

} // namespace

void writeFileAtomically(const QString &path, const QByteArray &bytes, const AtomicWriteOptions &options)
{
    writeBytes(path, bytes, options, true);
}

void writeFileUnsynced(const QString &path, const QByteArray &bytes, const AtomicWriteOptions &options)
{
    writeBytes(path, bytes, options, false);
}

bool makePrivate(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return errno == ENOENT;
    const unsigned wanted = S_ISDIR(st.st_mode) ? kPrivateFolderMode : kPrivateFileMode;
    if ((st.st_mode & 07777) == wanted)
        return true;
    return ::chmod(name.constData(), wanted) == 0;
}

bool makePrivateFolders(const QString &folder)
{
    QString path = QFileInfo(folder).absoluteFilePath();
    QStringList missing;
    while (!QFileInfo::exists(path)) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path)
            break;
        path = parent;
    }
    for (const QString &made : missing) {
        if (::mkdir(QFile::encodeName(made).constData(), kPrivateFolderMode) != 0 && errno != EEXIST)
            return false;
        makePrivate(made); // the umask may have taken bits away; never added
    }
    return QFileInfo(folder).isDir();
}

} // namespace somnex
