#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK {
namespace {

// Runs `body` in a child process and returns its wait status.
template <typename Body>
int inChild(Body body) {
    pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

void expectCleanExit(int status) {
    ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(StandardOutputTest, ClosedPipeDoesNotKillTheHost) {
    expectCleanExit(inChild([] {
        int fds[2];
        if (pipe(fds) != 0) _exit(2);
        close(fds[0]);  // nobody will ever read
        dup2(fds[1], STDOUT_FILENO);
        signal(SIGPIPE, SIG_DFL);  // the default would end the process
        for (int i = 0; i < 3; ++i) platform::linux_os::standardOutput().write("line\n");
        // Nothing of ours may stay pending to hit the host later.
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE)) _exit(3);
    }));
}

TEST(StandardOutputTest, ClosedDescriptorIsIgnored) {
    expectCleanExit(inChild([] {
        close(STDOUT_FILENO);
        platform::linux_os::standardOutput().write("nowhere\n");
    }));
}

}  // namespace
}  // namespace VeltoSDK
