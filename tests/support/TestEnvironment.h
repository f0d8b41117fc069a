#pragma once
// Defaults of the variables the tests read, set before any test runs: the
// offscreen platform, the build tree (tests live in <build>/tests), the
// test data folder.

#include <cstdlib>
#include <string>

#include <unistd.h>

inline void setTestEnvironment()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        char dir[] = "/tmp/somnex-test-runtime-XXXXXX";
        if (mkdtemp(dir))
            setenv("XDG_RUNTIME_DIR", dir, 0);
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
