#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs setTestEnvironment in a child without XDG_RUNTIME_DIR and returns the
// runtime folder the child made (empty when none).
std::string runtimeDirOfChild(bool forkGrandchild)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        unsetenv("XDG_RUNTIME_DIR");
        setTestEnvironment();
        const char *dir = std::getenv("XDG_RUNTIME_DIR");
        const std::string d = dir ? dir : "";
        if (write(fds[1], d.data(), d.size()) < 0)
            _exit(3);
        close(fds[1]);
        if (forkGrandchild) {
            // a process the test starts ends first: the folder must stay
            const pid_t g = fork();
            if (g == 0)
                std::exit(0);
            int st = 0;
            waitpid(g, &st, 0);
            if (!std::filesystem::exists(d))
                _exit(4);
        }
        std::exit(0);
    }
    close(fds[1]);
    std::string dir;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        dir.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return dir;
}

TEST(TestEnvironment, RuntimeFolderIsRemovedWhenTheTestProgramEnds)
{
    for (const bool grandchild : {false, true}) {
        const std::string dir = runtimeDirOfChild(grandchild);
        ASSERT_FALSE(dir.empty());
        EXPECT_EQ(dir.rfind("/tmp/somnex-test-runtime-", 0), 0u) << dir;
        EXPECT_FALSE(std::filesystem::exists(dir)) << dir << " left behind";
    }
    // This program's own folder is still there while it runs.
    const char *own = std::getenv("XDG_RUNTIME_DIR");
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(std::filesystem::exists(own));
}

} // namespace
