#pragma once
// Files written whole or not at all. The new content goes to a temporary
// file in the same folder, is flushed and synced to the disk, and is then
// renamed over the old file, and the folder is synced too: a crash, a kill or
// a full disk at any moment leaves either the old file intact or the new one
// complete, never a mixture or an empty file. Every durable write of the
// program (settings, registry values, the word cache, exports, the diary's
// creation and restores) goes through here.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace somnex {

// A Russian text for a system error number, whatever the locale: "на диске
// нет места", "диск доступен только для чтения", "нет такого файла или
// папки" …; an unknown number as "системная ошибка N".
QString systemErrorText(int errorNumber);

struct AtomicWriteOptions {
    // The new file's permission bits; absent: those of the file replaced,
    // or 0644 less the umask for a new one.
    std::optional<unsigned> mode;
    // Replaces an existing file (else refuses, EEXIST).
    bool replace = true;
};

// Writes bytes to path as described above. Throws somnex::Error (number
// kAtomicWriteError) whose description names the path and the reason in
// Russian; the old file is then unchanged and no temporary file is left.
void writeFileAtomically(const QString &path, const QByteArray &bytes, const AtomicWriteOptions &options = {});

// The same, the content written by a function into a temporary file that
// is already open (its descriptor and name given): a database made in place,
// a copy. The function throws to give up; the temporary file is removed.
void commitFileAtomically(const QString &path, const std::function<void(int fd, const QString &temporary)> &fill,
                          const AtomicWriteOptions &options = {});

// For many files at once (a folder of notes): each written whole under a
// temporary name and renamed into place, not yet synced; syncFileSystem
// then syncs them all at the end, once.
void writeFileUnsynced(const QString &path, const QByteArray &bytes, const AtomicWriteOptions &options = {});
void syncFileSystem(const QString &folder);

// Syncs a folder's entry list to the disk (after a rename or a new file in
// it). Throws somnex::Error naming the folder when the disk refuses.
void syncFolder(const QString &folder);

// What holds the user's dreams is the user's alone, whatever the umask:
// files owner-only (0600), folders owner-only (0700).
inline constexpr unsigned kPrivateFileMode = 0600;
inline constexpr unsigned kPrivateFolderMode = 0700;
// Puts a file or a folder right (nothing when it is so already or does not
// exist); false when the file system refuses.
bool makePrivate(const QString &path);
// Makes the folder with its missing parents, each folder it made private;
// false when it cannot be made.
bool makePrivateFolders(const QString &folder);

inline constexpr long kAtomicWriteError = 75;

} // namespace somnex
