#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/Linux.hpp"

namespace VeltoSDK {
namespace {

// Writing to a pipe nobody reads, or to a closed descriptor, must not end the host.
TEST(StandardOutputTest, ClosedPipeOrDescriptorDoesNotKillTheHost) {
    for (bool closedDescriptor : {false, true}) {
        pid_t child = fork();
        if (child == 0) {
            int fds[2];
            if (pipe(fds) != 0) _exit(2);
            close(fds[0]);
            dup2(fds[1], STDOUT_FILENO);
            if (closedDescriptor) close(STDOUT_FILENO);
            signal(SIGPIPE, SIG_DFL);
            for (int i = 0; i < 3; ++i) platform::linux_os::standardOutput().write("line\n");
            sigset_t pending;  // nothing of ours may stay pending to hit the host later
            sigpending(&pending);
            _exit(sigismember(&pending, SIGPIPE) ? 3 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

}  // namespace
}  // namespace VeltoSDK
