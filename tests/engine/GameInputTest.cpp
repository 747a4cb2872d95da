// ctest-labels: thread
// The Game's input side: keys and characters between the key binds, the console, the screen stack
// and the input queue; the pointer offers; touches becoming taps; the per-frame input steps.
#include "engine/Game.h"

#include "engine/config/GameConfig.h"
#include "engine/input/InputCodes.h"
#include "engine/input/InputManager.h"
#include "platform/os/Modules.h"
#include "platform/window/Window.h"
#include "support/RecordingGameDelegate.h"
#include "support/SceneTestSupport.h"
#include "ui/screens/UIGameConsoleScreen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class GameInputTest : public SceneTest
{
protected:
    // The Game is one global whose input manager outlives every test: events an earlier test
    // queued and never handed out would be read here first.
    void SetUp() override
    {
        SceneTest::SetUp();
        gGame.GetInputManager().ClearInputEvents();
    }
    void TearDown() override
    {
        gGame.Close();
        gGameConfig.RemoveAllKeyBinds();
        os::UnregisterAllModules();
        win::ResetWindowSystem();
        SceneTest::TearDown();
    }

    int Index(const std::string& prefix) const
    {
        const std::vector<CapturedMessage> messages = m_log.Messages();
        for (size_t i = 0; i < messages.size(); ++i)
            if (messages[i].text.rfind(prefix, 0) == 0)
                return int(i);
        return -1;
    }

    RecordingGameDelegate m_delegate;
};

// A screen that takes the keys and characters it is offered when it wants them.
class KeyScreen : public UIScreen
{
public:
    std::vector<uint32_t> seen;
    bool takes = true;
    bool OnKey(uint32_t key) override
    {
        seen.push_back(key);
        return takes;
    }
};

// A screen that takes pointers inside its left half and records them.
class PointerScreen : public UIScreen
{
public:
    std::vector<std::string> seen;
    bool OnPointerBegin(const Vector& point, uint32_t id) override { return Take("begin", id, point.x); }
    bool OnPointerEnd(const Vector& point, uint32_t id) override { return Take("end", id, point.x); }
    bool OnPointerMove(const Vector& point, uint32_t id) override { return Take("move", id, point.x); }

private:
    bool Take(const char* what, uint32_t id, float x)
    {
        if (x >= 0.5f)
            return false;
        seen.push_back(std::string(what) + ":" + std::to_string(id));
        return true;
    }
};

struct TouchFeed
{
    static inline std::vector<Game::TouchInput> inputs;
    static inline uint32_t asked = 0;
    static inline int closed = 0;
    static inline int registered = 0;
    static inline bool failRead = false;
    static bool Register(void*, uint32_t flags)
    {
        registered = int(flags);
        return true;
    }
    static bool Read(uintptr_t, uint32_t count, Game::TouchInput* out, int32_t recordBytes)
    {
        if (recordBytes != 40 || failRead)
            return false;
        asked = count;
        for (uint32_t i = 0; i < count && i < inputs.size(); ++i)
            out[i] = inputs[i];
        return true;
    }
    static void Close(uintptr_t) { ++closed; }
};
} // namespace

TEST_F(GameInputTest, UnboundKeysAndCharactersBecomeInputEvents)
{
    gGame.Init(&m_delegate);
    gGame.RemoveAllKeyBinds();
    EXPECT_FALSE(gGame.OnKeyDown(90));
    gGame.OnChar('q');
    gGame.ProcessInput(true);
    EXPECT_EQ(m_delegate.Count("OnInputEvent:0:90"), 1u);
    EXPECT_EQ(m_delegate.Count("OnInputEvent:1:113"), 1u);
    gGame.ProcessInput(true);
    EXPECT_EQ(m_delegate.Count("OnInputEvent:0:90"), 1u) << "an event is handed over once";
}


TEST_F(GameInputTest, PointerOffersGoToTheScreenStackFromTheTop)
{
    gGame.Init(&m_delegate);
    PointerScreen* below = new PointerScreen;
    PointerScreen* top = new PointerScreen;
    below->SetVisible(true);
    top->SetVisible(true);
    gGame.AppendUIScreen(below);
    gGame.AppendUIScreen(top);
    EXPECT_TRUE(gGame.DispatchPointerBegin(3, 0.25f, 0.5f));
    EXPECT_FALSE(gGame.DispatchPointerMove(3, 0.75f, 0.5f));
    EXPECT_EQ(top->seen, (std::vector<std::string>{"begin:3"}));
    EXPECT_TRUE(below->seen.empty()) << "the top screen took it";
    top->SetVisible(false);
    EXPECT_TRUE(gGame.DispatchPointerEnd(3, 0.25f, 0.5f));
    EXPECT_EQ(below->seen, (std::vector<std::string>{"end:3"}));
    below->SetBlocksSceneRendering(true);
    top->SetVisible(true);
    top->SetProcessesInput(false);
    EXPECT_TRUE(gGame.DispatchPointerBegin(4, 0.1f, 0.1f));
    EXPECT_EQ(below->seen.back(), "begin:4") << "a screen that takes no input passes it on";
    // Close releases every screen of the stack (ASan checks that each goes once).
}


TEST_F(GameInputTest, TouchRecordsBecomeTapsInClientSpace)
{
    // Hundredths of a pixel on the screen; the window's client area starts 10 pixels right.
    auto touch = [](int32_t x, int32_t y, uint32_t id, uint32_t flags) {
        Game::TouchInput input;
        input.x = x;
        input.y = y;
        input.id = id;
        input.flags = flags;
        return input;
    };
    TouchFeed::inputs = {touch(33000, 18000, 7, 2), touch(65000, 72000, 7, 1), touch(-500, 10000, 8, 4),
                         touch(100, 100, 9, 3)};
    TouchFeed::closed = 0;
    gGame.Init(&m_delegate);
    EXPECT_FALSE(gGame.OnTouch(4, 0)) << "no helper: not taken";
    EXPECT_GE(Index("Cannot load PCTouchHelper.dll"), 0);
    gGame.Close();

    os::RegisterModule(Game::kTouchHelperName,
                       {{"PCTouchHelperRegisterTouchWindow", reinterpret_cast<os::ModuleFunction>(&TouchFeed::Register)},
                        {"PCTouchHelperGetTouchInputInfo", reinterpret_cast<os::ModuleFunction>(&TouchFeed::Read)},
                        {"PCTouchHelperCloseTouchInputHandle", reinterpret_cast<os::ModuleFunction>(&TouchFeed::Close)}});
    ASSERT_TRUE(win::RegisterWindowClass("GameInputTest", 0, &win::DefWindowProc, nullptr));
    win::WindowHandle window = win::CreateWindow("GameInputTest", "game", win::kStylePopup, 10, 0, 640, 360);
    ASSERT_NE(window, nullptr);
    m_log.Clear();
    gGame.Init(window, 640, 360, &m_delegate, nullptr, 0);
    EXPECT_GE(Index("PCTouchHelper.dll successfully loaded"), 0);
    EXPECT_GE(Index("Touch support present"), 0);
    EXPECT_EQ(TouchFeed::registered, 2);

    EXPECT_TRUE(gGame.OnTouch(0x10004, 99));
    EXPECT_EQ(TouchFeed::asked, 4u) << "the count is the low word";
    EXPECT_EQ(TouchFeed::closed, 1);
    const Dynarray<InputManager::Tap>& taps = gGame.GetInputManager().GetTaps();
    ASSERT_GE(taps.Count(), 1);
    // 320 / 640 and 180 / 360; the move clamps to 1; the end at a negative x clamps to 0.
    EXPECT_FLOAT_EQ(taps[0].start.x, 0.5f);
    EXPECT_FLOAT_EQ(taps[0].start.y, 0.5f);
    EXPECT_FLOAT_EQ(taps[0].current.x, 1.0f);
    EXPECT_FLOAT_EQ(taps[0].current.y, 1.0f);

    TouchFeed::asked = 0;
    EXPECT_TRUE(gGame.OnTouch(1000, 99));
    EXPECT_EQ(TouchFeed::asked, Game::kTouchInputLimit);

    // The handle is closed whatever the read gave, and a read that fails makes no tap.
    const int32_t tapsBefore = taps.Count();
    TouchFeed::failRead = true;
    TouchFeed::inputs = {touch(1000, 1000, 12, 2)};
    EXPECT_TRUE(gGame.OnTouch(1, 99));
    TouchFeed::failRead = false;
    EXPECT_EQ(TouchFeed::closed, 3);
    EXPECT_EQ(gGame.GetInputManager().GetTaps().Count(), tapsBefore);
    TouchFeed::asked = 77;
    EXPECT_TRUE(gGame.OnTouch(0x30000, 99)) << "a count of 0 in the low word";
    EXPECT_EQ(TouchFeed::asked, 77u) << "nothing to read";
    EXPECT_EQ(TouchFeed::closed, 4);
    gGame.Close();
    EXPECT_EQ(os::GetModuleLoadCount(Game::kTouchHelperName), 0u) << "the helper is freed at close";
}

TEST_F(GameInputTest, CharactersGoToTheOpenConsoleOrElseToTheScreensAndTheQueue)
{
    gGame.Init(&m_delegate);
    KeyScreen* screen = new KeyScreen;
    screen->SetVisible(true);
    gGame.AppendUIScreen(screen);
    UIGameConsoleScreen& console = *gGame.GetConsoleScreen();

    gGame.OnChar('x');
    EXPECT_EQ(screen->seen, (std::vector<uint32_t>{'x'})) << "a closed console: the screen stack";
    ASSERT_EQ(gGame.GetInputManager().GetInputEvents().Count(), 1);
    EXPECT_EQ(gGame.GetInputManager().GetInputEvents()[0].kind, uint32_t(INPUT_EVENT_CHARACTER));

    console.SetOpen(true);
    gGame.OnChar('y');
    EXPECT_EQ(console.GetInput().GetText(), "y");
    EXPECT_EQ(screen->seen.size(), 1u) << "the open console took it";
    EXPECT_EQ(gGame.GetInputManager().GetInputEvents().Count(), 1) << "and it is not queued";
    gGame.OnChar('`');
    EXPECT_EQ(screen->seen.back(), uint32_t('`')) << "the toggle character passes the console by";
    EXPECT_EQ(console.GetInput().GetText(), "y");
    console.SetOpen(false);
    gGame.GetInputManager().ClearInputEvents();
}

TEST_F(GameInputTest, EachQueuedMouseEventGetsAnInputRoundOfItsOwn)
{
    gGame.Init(&m_delegate);
    m_delegate.quiet.clear();
    InputManager& input = gGame.GetInputManager();
    input.OnMouseButton(0.25f, 0.5f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    input.OnMouseButton(0.25f, 0.5f, INPUT_MOUSE_EVENT_LEFT_UP);
    input.OnMouseButton(0.75f, 0.5f, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    input.QueueInputEvent(INPUT_EVENT_KEY_DOWN, 65);
    m_delegate.calls.clear();
    gGame.ProcessInput(true);
    EXPECT_FALSE(input.HasQueuedMouseEvents());
    EXPECT_EQ(m_delegate.Count("OnTickInput"), 3u) << "a click and its release in one frame are both seen";
    EXPECT_EQ(m_delegate.Count("OnInputEvent:0:65"), 1u) << "the events go with the first round only";
    EXPECT_TRUE(input.IsKeyPressed(INPUT_MOUSE_RIGHT)) << "the last event is the state";
}
