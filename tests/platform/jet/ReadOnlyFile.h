#pragma once
// Makes a file or folder truly read-only for the test's lifetime, also when
// the tests run as root (who ignores permission bits): then the file system's
// immutable flag is set as well. Reports whether writing is really refused.

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

class ReadOnlyGuard {
public:
    ReadOnlyGuard() = default;
    ReadOnlyGuard(const ReadOnlyGuard &) = delete;
    ReadOnlyGuard &operator=(const ReadOnlyGuard &) = delete;
    ~ReadOnlyGuard()
    {
        for (auto it = paths_.rbegin(); it != paths_.rend(); ++it) {
            setImmutable(*it, false);
            ::chmod(it->constData(), 0755);
        }
    }

    // Returns false when the file system would not make it read-only.
    bool protect(const QString &path)
    {
        const QByteArray p = QFile::encodeName(path);
        paths_.push_back(p);
        struct stat st {};
        if (::stat(p.constData(), &st) != 0)
            return false;
        ::chmod(p.constData(), S_ISDIR(st.st_mode) ? 0555 : 0444);
        if (::geteuid() == 0 && !setImmutable(p, true))
            return false;
        return true;
    }

private:
    static bool setImmutable(const QByteArray &path, bool on)
    {
        const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }

    std::vector<QByteArray> paths_;
};
