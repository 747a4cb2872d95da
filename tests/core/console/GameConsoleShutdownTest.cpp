// ctest-labels: thread
// The log file and what happens to messages when the console closes or the process exits.
#include "core/console/GameConsole.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
const char* kChildMode = "NORVEX_TEST_CONSOLE_CHILD";
constexpr int kChildMessages = 3000;

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

std::string TempPath(const char* name)
{
    return std::string(testing::TempDir()) + name + std::to_string(getpid());
}
} // namespace

// Started again as the exit test's child, the executable logs and exits before any test runs,
// leaving the console to close itself.
const bool gRanAsChild = [] {
    if (std::getenv(kChildMode) == nullptr)
        return false;
    for (int i = 0; i < kChildMessages; ++i)
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "line %d", i);
    std::exit(0);
}();

TEST(GameConsoleShutdownTest, MessagesQueuedAtExitReachTheLogFile)
{
    const std::string log = TempPath("console-exit-");
    const std::string command = std::string(kChildMode) + "=1 NORVEX_LOG=" + log +
                                " /proc/" + std::to_string(getpid()) +
                                "/exe 2>/dev/null >/dev/null";
    ASSERT_FALSE(gRanAsChild);
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string written = ReadFile(log);
    std::remove(log.c_str());
    std::string expected;
    for (int i = 0; i < kChildMessages; ++i)
        expected += "line " + std::to_string(i) + "\n";
    EXPECT_EQ(written, expected);
}

// Closing is for good, so the check runs in a child of its own and later tests keep a running console.
TEST(GameConsoleShutdownTest, AfterCloseMessagesAreWrittenAtOnceAndCutToARecord)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ConsoleCapture capture;
            gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "while running");
            gConsole.Close();
            bool heard = capture.Contains("while running");
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "after close%1013s past the cut", "");
            heard = heard && capture.Contains("after close", CONSOLE_WARNING) && !capture.Contains("past the cut");
            gConsole.Close();
            std::_Exit(heard ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
