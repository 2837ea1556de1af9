#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/LinuxStandardOutput.hpp"

namespace VeltoSDK::platform {
namespace {

// With a blocking pipe nobody reads, lines that do not fit are dropped whole instead of
// waiting; once the pipe is read, the next line gets through and the drops are counted once.
TEST(StandardOutputTest, StuckPipeDropsWholeLinesAndCountsThem) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    std::unique_ptr<StandardOutput> output = linux_os::makeDescriptorOutput(fds[1]);
    const int capacity = ::fcntl(fds[1], F_GETPIPE_SZ);
    const std::string line = std::string(999, 'x') + "\n";
    const int written = capacity / static_cast<int>(line.size()) + 20;  // 20 beyond what fits
    for (int i = 0; i < written; ++i) output->write(line);
    output->write(line + line + line);  // several lines in one write count as several
    EXPECT_EQ(output->takeDroppedLineCount(), 0u) << "nothing got through since the drops";
    EXPECT_EQ(::fcntl(fds[1], F_GETFL) & O_NONBLOCK, 0) << "the host's description is untouched";

    std::string drained(static_cast<size_t>(capacity), '\0');
    drained.resize(std::max<ssize_t>(0, ::read(fds[0], drained.data(), drained.size())));
    const size_t kept = drained.size() / line.size();
    std::string whole;
    for (size_t i = 0; i < kept; ++i) whole += line;
    EXPECT_TRUE(kept > 0 && drained == whole) << "only whole lines";

    output->write("back\n");
    EXPECT_EQ(output->takeDroppedLineCount(), written + 3 - kept);
    EXPECT_EQ(output->takeDroppedLineCount(), 0u);
    char tail[8] = {};
    EXPECT_EQ(::read(fds[0], tail, sizeof tail), 5);
    EXPECT_STREQ(tail, "back\n");
    for (int fd : fds) ::close(fd);
}

// Lines written by several threads at once each arrive whole, none lost: the threads take
// turns at the output, most without sleeping.
TEST(StandardOutputTest, LinesFromManyThreadsArriveWhole) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), std::fclose);
    ASSERT_TRUE(file);
    std::unique_ptr<StandardOutput> output = linux_os::makeDescriptorOutput(::fileno(file.get()));
    std::vector<std::thread> writers;
    for (char name : {'a', 'b', 'c', 'd'})
        writers.emplace_back([&output, name] {
            for (int i = 0; i < 500; ++i) output->write(std::string(60, name) + "\n");
        });
    for (auto& writer : writers) writer.join();

    std::string text(4 * 500 * 61 + 1, '\0');
    text.resize(std::max<ssize_t>(0, ::pread(::fileno(file.get()), text.data(), text.size(), 0)));
    std::map<std::string, int> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) ++lines[line];
    EXPECT_EQ(lines, (std::map<std::string, int>{{std::string(60, 'a'), 500},
                                                 {std::string(60, 'b'), 500},
                                                 {std::string(60, 'c'), 500},
                                                 {std::string(60, 'd'), 500}}));
}

}  // namespace
}  // namespace VeltoSDK::platform
