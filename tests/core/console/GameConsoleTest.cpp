// ctest-labels: thread
#include "core/console/GameConsole.h"

#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::atomic<uint32_t> gTick{0};
std::atomic<uint32_t> gFrame{0};

ConsoleFrameCounters ReadCounters()
{
    return {gTick.load(), gFrame.load()};
}

std::mutex gHeardMutex;
std::vector<std::string> gHeard;

void Listen(uint32_t, uint32_t channel, const char* text)
{
    std::lock_guard<std::mutex> lock(gHeardMutex);
    gHeard.push_back(std::to_string(channel) + ":" + text);
}

// Frame mode and listener for one test; restored afterwards.
class GameConsoleFramesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        gConsole.SetFrameCounterHook(&ReadCounters);
        gConsole.SetListener(&Listen);
        std::lock_guard<std::mutex> lock(gHeardMutex);
        gHeard.clear();
    }
    void TearDown() override
    {
        gConsole.SetFrameInfoMode(CONSOLE_FRAME_INFO_DISABLED);
        gConsole.SetFrameCounterHook(nullptr);
        gConsole.SetListener(nullptr);
    }
};

// Sink that does not flush, to see what has really been written so far.
struct PlainSink : ConsoleSink
{
    std::mutex mutex;
    std::vector<std::string> lines;
    void Write(uint32_t, uint8_t, const char* text, size_t length) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        lines.emplace_back(text, length);
    }
    bool Has(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& seen : lines)
            if (seen == line)
                return true;
        return false;
    }
};
} // namespace

TEST(GameConsoleTest, MessagesFromManyThreadsArriveWholeAndInOrderPerThread)
{
    ConsoleCapture capture;
    constexpr int kThreads = 4;
    constexpr int kMessages = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kMessages; ++i)
                gConsole.Printf(CONSOLE_INFO, uint8_t(20 + t), "thread %d message %d", t, i);
        });
    for (std::thread& thread : threads)
        thread.join();
    int next[kThreads] = {};
    for (const CapturedMessage& message : capture.Messages())
    {
        const int t = message.channel - 20;
        ASSERT_GE(t, 0);
        ASSERT_LT(t, kThreads);
        EXPECT_EQ(message.kind, CONSOLE_INFO);
        EXPECT_EQ(message.text, "thread " + std::to_string(t) + " message " + std::to_string(next[t]));
        ++next[t];
    }
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(next[t], kMessages);
}

TEST(GameConsoleTest, ErrorReturnsOnlyOnceWritten)
{
    PlainSink sink;
    gConsole.AddSink(&sink);
    for (int i = 0; i < 200; ++i)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "queued %d", i);
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "failed: %s", "disk");
    gConsole.ReportCoreError("core %s"); // the text is the format, but nothing to substitute
    EXPECT_TRUE(sink.Has("queued 199"));
    EXPECT_TRUE(sink.Has("failed: disk"));
    EXPECT_TRUE(sink.Has("core %s"));
    for (int i = 0; i < 200; ++i)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "late %d", i);
    gConsole.RemoveSink(&sink); // what was queued before the removal still reaches the sink
    EXPECT_TRUE(sink.Has("late 199"));
}

TEST(GameConsoleTest, SinkAddedLaterSeesOnlyLaterMessages)
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "before the capture");
    ConsoleCapture capture;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "after the capture");
    EXPECT_FALSE(capture.Contains("before the capture"));
    EXPECT_TRUE(capture.Contains("after the capture"));
}

TEST_F(GameConsoleFramesTest, ScriptPrintsReachTheListenerWithTheirKinds)
{
    ConsoleCapture capture;
    gConsole.Print("hello");
    gConsole.PrintWarning("careful");
    gConsole.PrintError("broken");
    gConsole.Print(nullptr);
    const char* const noFormat = nullptr;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, noFormat);
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "not for the listener");
    const std::vector<CapturedMessage> messages = capture.Messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].kind, CONSOLE_PRINT);
    EXPECT_EQ(messages[1].kind, CONSOLE_WARNING);
    EXPECT_EQ(messages[2].kind, CONSOLE_ERROR);
    EXPECT_EQ(messages[2].channel, CONSOLE_CHANNEL_SCRIPT);
    std::lock_guard<std::mutex> lock(gHeardMutex);
    EXPECT_EQ(gHeard, (std::vector<std::string>{"4:hello", "4:careful", "4:broken"}));
}

TEST_F(GameConsoleFramesTest, LongMessageReachesTheListenerWholeButIsCutKeepingTheSuffix)
{
    ConsoleCapture capture;
    gConsole.SetFrameInfoMode(CONSOLE_FRAME_INFO_EVERY_LINE);
    gTick = 12;
    gFrame = 345;
    const std::string text = std::string(4999, 'a') + "z";
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_SCRIPT, "%s", text.c_str());
    const std::string suffix = " [frame: 12/345]";
    const std::vector<CapturedMessage> messages = capture.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text.size(), 1024u);
    EXPECT_EQ(messages[0].text, std::string(1024 - suffix.size(), 'a') + suffix);
    std::lock_guard<std::mutex> lock(gHeardMutex);
    ASSERT_EQ(gHeard.size(), 1u);
    EXPECT_EQ(gHeard[0], "4:" + text);
}

TEST_F(GameConsoleFramesTest, OverlongMessagesAreCutAtTheirFormattingBuffer)
{
    const std::string text(9000, 'b');
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_SCRIPT, "%s", text.c_str());
    std::lock_guard<std::mutex> lock(gHeardMutex);
    ASSERT_EQ(gHeard.size(), 1u);
    EXPECT_EQ(gHeard[0].size(), 2u + 8191u);
}

TEST_F(GameConsoleFramesTest, EveryLineModeAppendsOnChannelsFourAndSevenOnly)
{
    ConsoleCapture capture;
    gConsole.SetFrameInfoMode(CONSOLE_FRAME_INFO_EVERY_LINE);
    gTick = 3;
    gFrame = 9;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_SCRIPT, "%s", std::string(1020, 'c').c_str());
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_MULTIPLAYER, "sync");
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "plain");
    const std::vector<CapturedMessage> messages = capture.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, std::string(1024 - 13, 'c') + " [frame: 3/9]");
    EXPECT_EQ(messages[1].text, "sync [frame: 3/9]");
    EXPECT_EQ(messages[2].text, "plain");
}

TEST_F(GameConsoleFramesTest, WhenChangedModeWritesOneFrameLinePerNewFrame)
{
    ConsoleCapture capture;
    gConsole.SetFrameInfoMode(CONSOLE_FRAME_INFO_WHEN_CHANGED);
    gTick = 40;
    gFrame = 100;
    gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_SCRIPT, "first");
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_MULTIPLAYER, "second");
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "other channel");
    gFrame = 101;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_SCRIPT, "third");
    const std::vector<CapturedMessage> messages = capture.Messages();
    std::vector<std::string> texts;
    for (const CapturedMessage& message : messages)
        texts.push_back(message.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"[frame: 40/100]", "first", "second", "other channel",
                                               "[frame: 40/101]", "third"}));
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0].kind, CONSOLE_WARNING);
    EXPECT_EQ(messages[0].channel, CONSOLE_CHANNEL_SCRIPT);
}

TEST(GameConsoleTest, WindowActionsKeepTheVisibility)
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "start");
    gConsole.Show();
    gConsole.Flush();
    EXPECT_TRUE(gConsole.IsWindowShown());
    gConsole.Toggle();
    gConsole.Flush();
    EXPECT_FALSE(gConsole.IsWindowShown());
    gConsole.Toggle();
    gConsole.Cls();
    gConsole.Flush();
    EXPECT_TRUE(gConsole.IsWindowShown());
    gConsole.Hide();
    gConsole.Flush();
    EXPECT_FALSE(gConsole.IsWindowShown());
}

// A sink that logs runs on the console thread, which must not wait for itself.
TEST(GameConsoleTest, SinkThatLogsDoesNotDeadlock)
{
    struct Echo : ConsoleSink
    {
        std::atomic<int> depth{0};
        void Write(uint32_t, uint8_t, const char* text, size_t length) override
        {
            if (std::string(text, length) == "echo me" && depth++ == 0)
                gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "echoed");
        }
    } echo;
    ConsoleCapture capture;
    gConsole.AddSink(&echo);
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_RESOURCE, "echo me");
    EXPECT_TRUE(capture.Contains("echoed", CONSOLE_ERROR));
    gConsole.RemoveSink(&echo);
}
