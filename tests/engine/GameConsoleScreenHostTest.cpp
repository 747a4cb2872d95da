// ctest-labels: thread
// The Game's console screen: made at start, keys and characters routed to it while open, entered
// lines run with the "()" rule and echoed when asked, the script's lines and the log's lines shown
// in order and colour, and everything let go at close.
#include "engine/scripting/ScriptTestSupport.h"

#include "engine/Game.h"
#include "ui/screens/UIGameConsoleScreen.h"
#include "engine/config/GameConfig.h"
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "platform/window/WindowTestInput.h"
#include "support/RecordingGameDelegate.h"

#include <thread>

namespace
{
constexpr uint32_t kKeyA = 65;

class GameConsoleScreenHostTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        win::ResetWindowSystem();
        gGameConfig.RemoveAllKeyBinds();
        gGameConfig.m_consoleHistory.Clear();
        gGameConfig.m_consoleShowCommands = false;
        gGame.Init(&m_delegate);
        gGame.GetInputManager().ClearInputEvents();
        ASSERT_NE(gGame.GetConsoleScreen(), nullptr);
    }
    void TearDown() override
    {
        gGame.GetInputManager().ClearInputEvents();
        gGame.Close();
        gGameConfig.RemoveAllKeyBinds();
        gGameConfig.m_consoleHistory.Clear();
        gGameConfig.m_consoleShowCommands = false;
        win::ResetWindowSystem();
        ScriptTest::TearDown();
    }
    UIGameConsoleScreen& Console() { return *gGame.GetConsoleScreen(); }
    void Type(const std::string& text)
    {
        for (char c : text)
            gGame.OnChar(uint8_t(c));
    }
    std::string Line(int32_t index) { return Console().GetLine(index).GetText(); }
    Vector LineColour(int32_t index) { return Console().GetLineColour(index); }
    size_t QueuedEvents() { return size_t(gGame.GetInputManager().GetInputEvents().Count()); }

    RecordingGameDelegate m_delegate;
};
} // namespace

TEST_F(GameConsoleScreenHostTest, TheConsoleLivesFromInitToCloseWithItsListener)
{
    EXPECT_FALSE(gGame.IsGameConsoleActive()) << "made closed";
    EXPECT_NE(gConsole.GetListener(), nullptr);
    Console().SetOpen(true);
    EXPECT_TRUE(gGame.IsGameConsoleActive());
    Run("gActive = gGame:IsGameConsoleActive() and 1 or 0");
    EXPECT_EQ(GlobalNumber("gActive"), 1.0);

    gGame.Close();
    EXPECT_EQ(gGame.GetConsoleScreen(), nullptr);
    EXPECT_EQ(gConsole.GetListener(), nullptr) << "no listener points at a closed game";
    EXPECT_FALSE(gGame.IsGameConsoleActive());
    gGame.AppendGameConsoleLine("after close");
    gConsole.Print("after close");
    gGame.Init(&m_delegate);
    ASSERT_NE(gGame.GetConsoleScreen(), nullptr);
    EXPECT_EQ(Line(0), "") << "a new console starts empty; nothing of the closed one's queue";
    const uint32_t live = UIElement::GetLiveCount();
    gGame.Init(&m_delegate);
    EXPECT_EQ(UIElement::GetLiveCount(), live) << "starting again lets the first console go";
}

TEST_F(GameConsoleScreenHostTest, AnOpenConsoleTakesItsKeysInsteadOfTheKeyBinds)
{
    Run("function BoundEnter() end function BoundA() end");
    gGameConfig.BindKey(UIGameConsoleScreen::kKeyEnter, "BoundEnter");
    gGameConfig.BindKey(kKeyA, "BoundA");

    // Closed: the key binds.
    EXPECT_TRUE(gGame.OnKeyDown(kKeyA));
    EXPECT_TRUE(gGame.HasPendingKeyBindCommand());
    gGame.ExecuteConsoleCommands();

    Console().SetOpen(true);
    Type("xy");
    EXPECT_EQ(Console().GetInput().GetText(), "xy") << "characters go into the input line";
    EXPECT_EQ(QueuedEvents(), 0u) << "and not to the input queue";
    EXPECT_TRUE(gGame.OnKeyDown(UIGameConsoleScreen::kKeyBackspace));
    EXPECT_EQ(Console().GetInput().GetText(), "x");
    EXPECT_TRUE(gGame.OnKeyDown(UIGameConsoleScreen::kKeyEnter)) << "Enter is the console's";
    EXPECT_FALSE(gGame.HasPendingKeyBindCommand()) << "the key binds are not asked";
    EXPECT_TRUE(Console().HasPendingCommand());

    // A key the console does not handle is queued, still without the key binds.
    EXPECT_FALSE(gGame.OnKeyDown(kKeyA));
    EXPECT_FALSE(gGame.HasPendingKeyBindCommand());
    ASSERT_EQ(QueuedEvents(), 1u);
    EXPECT_EQ(gGame.GetInputManager().GetInputEvents()[0].kind, uint32_t(INPUT_EVENT_KEY_DOWN));
    EXPECT_EQ(gGame.GetInputManager().GetInputEvents()[0].value, kKeyA);

    // The backquote that toggles the console is never typed into it.
    gGame.OnChar('`');
    EXPECT_EQ(Console().GetInput().GetText(), "");
    ASSERT_EQ(QueuedEvents(), 2u);
    EXPECT_EQ(gGame.GetInputManager().GetInputEvents()[1].kind, uint32_t(INPUT_EVENT_CHARACTER));
    EXPECT_EQ(gGame.GetInputManager().GetInputEvents()[1].value, 96u);

    Console().SetOpen(false);
    Type("z");
    EXPECT_EQ(Console().GetInput().GetText(), "") << "a closed console takes no characters";
    EXPECT_TRUE(gGame.OnKeyDown(UIGameConsoleScreen::kKeyEnter));
    EXPECT_TRUE(gGame.HasPendingKeyBindCommand()) << "closed again: the key binds";
}

TEST_F(GameConsoleScreenHostTest, EnteredLinesRunOncePerFrameWithTheCallRule)
{
    Run("gCalls = 0 function Mark() gCalls = gCalls + 1 end");
    Console().SetOpen(true);
    Type("Mark");
    gGame.OnKeyDown(UIGameConsoleScreen::kKeyEnter);
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(GlobalNumber("gCalls"), 1.0) << "\"Mark\" runs as \"Mark()\"";
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(GlobalNumber("gCalls"), 1.0) << "taken once";
    EXPECT_EQ(Line(0), "") << "no echo unless asked";
    EXPECT_STREQ(gGameConfig.m_consoleHistory.GetAt(0).CStr(), "Mark") << "the history keeps what was typed";

    Type("gValue = 7");
    gGame.OnKeyDown(UIGameConsoleScreen::kKeyEnter);
    gGameConfig.m_consoleShowCommands = true;
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(GlobalNumber("gValue"), 7.0) << "an assignment runs unchanged";
    EXPECT_EQ(Line(0), "gValue = 7") << "echoed as it ran";

    Type("Mark");
    gGame.OnKeyDown(UIGameConsoleScreen::kKeyEnter);
    gConsole.Print("logged before");
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(Line(0), "Mark()");
    EXPECT_EQ(Line(1), "logged before") << "a line logged earlier is shown before the echo";
    EXPECT_EQ(Line(2), "gValue = 7");
    EXPECT_EQ(GlobalNumber("gCalls"), 2.0);
    const Vector grey = LineColour(0);
    EXPECT_FLOAT_EQ(grey.x, 0.5f);
    EXPECT_FLOAT_EQ(grey.w, 1.0f);

    // The console's line runs before a pending key-bind command of the same frame.
    gGameConfig.BindKey(kKeyA, "gOrder = (gOrder or '') .. 'k'");
    Console().SetOpen(false);
    gGame.OnKeyDown(kKeyA);
    Console().SetOpen(true);
    Type("gOrder = (gOrder or '') .. 'c'");
    gGame.OnKeyDown(UIGameConsoleScreen::kKeyEnter);
    gGame.ExecuteConsoleCommands();
    EXPECT_EQ(GlobalString("gOrder"), "ck");
}

TEST_F(GameConsoleScreenHostTest, ScriptAndLogLinesAppearInOrderAndColour)
{
    Run("gGame:AppendGameConsoleLine('first')");
    EXPECT_EQ(Line(0), "first");
    gConsole.PrintWarning("careful");
    gConsole.Print("plain");
    gGame.AppendGameConsoleLine("last");
    EXPECT_EQ(Line(0), "last");
    EXPECT_EQ(Line(1), "plain") << "logged lines come before a later script line";
    EXPECT_EQ(Line(2), "careful");
    EXPECT_EQ(Line(3), "first");
    const Vector yellow = LineColour(2);
    EXPECT_FLOAT_EQ(yellow.x, 1.0f);
    EXPECT_FLOAT_EQ(yellow.y, 1.0f);
    EXPECT_FLOAT_EQ(yellow.z, 0.0f);
    gConsole.PrintError("broken");
    gGame.FlushConsoleLines();
    EXPECT_EQ(Line(0), "broken");
    EXPECT_FLOAT_EQ(LineColour(0).x, 1.0f);
    EXPECT_FLOAT_EQ(LineColour(0).y, 0.0f);

    // Other channels do not reach the listener; kinds below the threshold are not shown.
    gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "engine only");
    Console().SetMessageThreshold(CONSOLE_WARNING);
    gConsole.Print("too quiet");
    gGame.FlushConsoleLines();
    EXPECT_EQ(Line(0), "broken");

    // A line logged on another thread waits for the main thread.
    std::thread worker([] { gConsole.PrintWarning("from a worker"); });
    worker.join();
    EXPECT_EQ(Line(0), "broken") << "the worker never touches the screen";
    gGame.FlushConsoleLines();
    EXPECT_EQ(Line(0), "from a worker");
}

TEST_F(GameConsoleScreenHostTest, AQueueNobodyDrainsStaysBounded)
{
    for (size_t i = 0; i < ConsoleLineQueue::kMaxLines + 10; ++i)
        gConsole.Print(("line " + std::to_string(i)).c_str());
    gGame.FlushConsoleLines();
    EXPECT_EQ(Line(0), "line " + std::to_string(ConsoleLineQueue::kMaxLines + 9));
    ConsoleLineQueue queue;
    for (size_t i = 0; i < ConsoleLineQueue::kMaxLines + 1; ++i)
        queue.Push(CONSOLE_PRINT, std::to_string(i).c_str());
    std::vector<ConsoleLineQueue::Line> lines;
    queue.TakeAll(lines);
    ASSERT_EQ(lines.size(), ConsoleLineQueue::kMaxLines);
    EXPECT_EQ(lines.front().text, "1") << "the oldest went";
    EXPECT_EQ(queue.GetCount(), 0u);
}
