#pragma once
// Defaults of the variables the tests read, set before any test runs: the
// offscreen platform, the build tree (tests live in <build>/tests), the
// test data folder, and a private runtime folder that is removed again when
// the test program ends.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace test_environment_detail {
inline std::string &ownRuntimeDir()
{
    static std::string dir;
    return dir;
}
inline pid_t &ownRuntimeDirPid()
{
    static pid_t pid = 0;
    return pid;
}
inline void removeOwnRuntimeDir()
{
    std::string &dir = ownRuntimeDir();
    // A forked child inherits the exit handler but not the folder.
    if (dir.empty() || ownRuntimeDirPid() != getpid())
        return;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    dir.clear();
}
inline std::string &ownCacheDir()
{
    static std::string dir;
    return dir;
}
inline pid_t &ownCacheDirPid()
{
    static pid_t pid = 0;
    return pid;
}
inline void removeOwnCacheDir()
{
    std::string &dir = ownCacheDir();
    if (dir.empty() || ownCacheDirPid() != getpid())
        return;
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    dir.clear();
}
} // namespace test_environment_detail

inline void setTestEnvironment()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        char dir[] = "/tmp/somnex-test-runtime-XXXXXX";
        if (mkdtemp(dir)) {
            setenv("XDG_RUNTIME_DIR", dir, 0);
            // Only the process that made the folder removes it; programs the
            // tests start inherit the variable and share the folder.
            test_environment_detail::ownRuntimeDir() = dir;
            test_environment_detail::ownRuntimeDirPid() = getpid();
            std::atexit(test_environment_detail::removeOwnRuntimeDir);
        }
    }
    // The word cache of the books: a folder of the test program's own, so
    // that no test reads or fills the user's. A program a test starts (and
    // may kill) shares its parent's, which the parent removes.
    const char *inherited = std::getenv("XDG_CACHE_HOME");
    if (!inherited || !std::strstr(inherited, "/somnex-test-cache-")) {
        char dir[] = "/tmp/somnex-test-cache-XXXXXX";
        if (mkdtemp(dir)) {
            setenv("XDG_CACHE_HOME", dir, 1);
            test_environment_detail::ownCacheDir() = dir;
            test_environment_detail::ownCacheDirPid() = getpid();
            std::atexit(test_environment_detail::removeOwnCacheDir);
        }
    }
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string path(exe, static_cast<size_t>(n));
        for (int up = 0; up < 2; ++up)
            path = path.substr(0, path.find_last_of('/'));
        setenv("SOMNEX_BUILD_DIR", path.c_str(), 0);
    }
#ifdef SOMNEX_SOURCE_DIR
    setenv("SOMNEX_TEST_DATA", SOMNEX_SOURCE_DIR "/tests/data", 0);
#endif
}
