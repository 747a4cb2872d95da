#include "ui/screens/UIGameConsoleScreen.h"

#include "platform/os/Clock.h"
#include "platform/window/WindowTestInput.h"
#include "renderer/FrameClock.h"
#include "ui/StringHistoryContainer.h"
#include "ui/widgets/UIAction.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
const float kRed[4] = {1.0f, 0.0f, 0.0f, 1.0f};
const float kGrey[4] = {0.5f, 0.5f, 0.5f, 1.0f};

class UIGameConsoleScreenTest : public ::testing::Test
{
protected:
    void SetUp() override { win::ResetWindowSystem(); }
    void TearDown() override { win::ResetWindowSystem(); }

    // Types the text and presses Enter; the command that would run, or "" when none.
    std::string Enter(const std::string& text)
    {
        for (char c : text)
            m_screen.OnChar(uint8_t(c));
        m_screen.OnKey(UIGameConsoleScreen::kKeyEnter);
        char buffer[64];
        return m_screen.TakeCommand(buffer, sizeof(buffer)) ? std::string(buffer) : std::string();
    }

    StringHistoryContainer m_history{8};
    UIGameConsoleScreen m_screen{m_history, 1280, 720};
};
} // namespace

TEST_F(UIGameConsoleScreenTest, EnteredLinesBecomeTheCommandAndTheNewestHistoryEntry)
{
    EXPECT_EQ(Enter("Foo()"), "Foo()");
    EXPECT_EQ(Enter("x = 1"), "x = 1");
    ASSERT_EQ(m_history.GetCount(), 2);
    EXPECT_STREQ(m_history.GetAt(0).CStr(), "x = 1");
    EXPECT_TRUE(m_screen.GetInput().GetText().empty()) << "the input is cleared";

    // Only the last of two entered lines waits; a short buffer takes what fits.
    for (char c : std::string("first"))
        m_screen.OnChar(uint8_t(c));
    m_screen.OnKey(UIGameConsoleScreen::kKeyEnter);
    for (char c : std::string("second"))
        m_screen.OnChar(uint8_t(c));
    m_screen.OnKey(UIGameConsoleScreen::kKeyEnter);
    char small[4];
    ASSERT_TRUE(m_screen.TakeCommand(small, sizeof(small)));
    EXPECT_STREQ(small, "sec");
    EXPECT_FALSE(m_screen.TakeCommand(small, sizeof(small))) << "taken once";
    EXPECT_EQ(Enter(""), "") << "an empty line runs nothing";
}

TEST_F(UIGameConsoleScreenTest, BangsReplayTheHistory)
{
    Enter("alpha()");
    Enter("beta()");
    Enter("99()");
    // History, newest first: 99, beta, alpha.
    EXPECT_EQ(Enter("!0"), "99()");
    EXPECT_EQ(Enter("!02"), "alpha()") << "by index";
    // History now: alpha, 99, beta.
    EXPECT_EQ(Enter("!be"), "beta()") << "the first entry that begins with the rest";
    EXPECT_EQ(Enter("!zzz"), "") << "no entry begins with it";
    EXPECT_EQ(Enter("!99"), "") << "an index past the history runs nothing, even where an entry begins so";
    EXPECT_EQ(Enter("!123456789012345678901"), "") << "a huge index runs nothing";
    // History: beta, alpha, 99.
    EXPECT_EQ(Enter("!!"), "alpha()") << "two bangs run entry 1";
    EXPECT_EQ(Enter("!"), "");

    StringHistoryContainer single(4);
    UIGameConsoleScreen fresh(single, 640, 480);
    for (char c : std::string("!!"))
        fresh.OnChar(uint8_t(c));
    fresh.OnKey(UIGameConsoleScreen::kKeyEnter);
    EXPECT_FALSE(fresh.HasPendingCommand()) << "two bangs with no second entry run nothing";
}

TEST_F(UIGameConsoleScreenTest, ThreeBangsListTheHistoryOldestFirstAndRunNothing)
{
    Enter("one()");
    Enter("two()");
    EXPECT_EQ(Enter("!!!"), "");
    EXPECT_EQ(m_screen.GetLine(0).GetText(), "two()") << "the newest entry ends the list";
    EXPECT_EQ(m_screen.GetLine(1).GetText(), "one()");
    EXPECT_FLOAT_EQ(m_screen.GetLineColour(0).x, 0.5f);
    EXPECT_EQ(m_history.GetCount(), 2) << "nothing was added";
}

TEST_F(UIGameConsoleScreenTest, TabCompletesFromTheHistory)
{
    Enter("spawn(1)");
    Enter("speed(2)");
    for (char c : std::string("!sp"))
        m_screen.OnChar(uint8_t(c));
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyTab));
    EXPECT_EQ(m_screen.GetInput().GetText(), "!speed(2)");

    m_screen.GetInput().SetText("!!sp");
    m_screen.OnKey(UIGameConsoleScreen::kKeyTab);
    EXPECT_EQ(m_screen.GetInput().GetText(), "!!sp") << "only after exactly one bang";
    m_screen.GetInput().SetText("sp");
    m_screen.OnKey(UIGameConsoleScreen::kKeyTab);
    EXPECT_EQ(m_screen.GetInput().GetText(), "sp");
}

TEST_F(UIGameConsoleScreenTest, UpAndDownBrowseInsideTheHistory)
{
    Enter("a()");
    Enter("b()");
    // History: b, a.
    m_screen.OnKey(UIGameConsoleScreen::kKeyUp);
    EXPECT_EQ(m_screen.GetInput().GetText(), "b()");
    EXPECT_EQ(m_screen.GetHistoryCursor(), 0);
    m_screen.OnKey(UIGameConsoleScreen::kKeyUp);
    EXPECT_EQ(m_screen.GetInput().GetText(), "a()");
    m_screen.OnKey(UIGameConsoleScreen::kKeyUp);
    m_screen.OnKey(UIGameConsoleScreen::kKeyUp);
    EXPECT_EQ(m_screen.GetHistoryCursor(), 1) << "the cursor stays on the last entry";
    EXPECT_EQ(m_screen.GetInput().GetText(), "a()");
    m_screen.OnKey(UIGameConsoleScreen::kKeyDown);
    EXPECT_EQ(m_screen.GetInput().GetText(), "b()");
    m_screen.OnKey(UIGameConsoleScreen::kKeyDown);
    EXPECT_EQ(m_screen.GetHistoryCursor(), 0) << "not below 0";
    m_screen.OnKey(UIGameConsoleScreen::kKeyBackspace);
    EXPECT_EQ(m_screen.GetHistoryCursor(), -1) << "editing ends browsing";
    EXPECT_EQ(m_screen.GetInput().GetText(), "b(");

    StringHistoryContainer empty(4);
    UIGameConsoleScreen fresh(empty, 640, 480);
    fresh.OnKey(UIGameConsoleScreen::kKeyUp);
    fresh.OnKey(UIGameConsoleScreen::kKeyDown);
    EXPECT_EQ(fresh.GetHistoryCursor(), -1);
    EXPECT_TRUE(fresh.GetInput().GetText().empty());
}

TEST_F(UIGameConsoleScreenTest, CaretKeysMoveAndShiftSelects)
{
    for (char c : std::string("abcd"))
        m_screen.OnChar(uint8_t(c));
    UITextInput& input = m_screen.GetInput();
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyHome));
    EXPECT_EQ(input.GetCursor(), 0u);
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyRight));
    win::test::SetKeyHeld(UIGameConsoleScreen::kKeyShift, true);
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyRight));
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyRight));
    win::test::SetKeyHeld(UIGameConsoleScreen::kKeyShift, false);
    EXPECT_EQ(input.GetSelectionStart(), 1u);
    EXPECT_EQ(input.GetSelectionLength(), 2u);
    EXPECT_EQ(input.GetSelectionElement(), &m_screen.GetSelection()) << "the input places the highlight";
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyDelete));
    EXPECT_EQ(input.GetText(), "ad");
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyEnd));
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyLeft));
    EXPECT_TRUE(m_screen.OnKey(UIGameConsoleScreen::kKeyBackspace));
    EXPECT_EQ(input.GetText(), "d");

    EXPECT_FALSE(m_screen.OnKey(7)) << "below Backspace";
    EXPECT_FALSE(m_screen.OnKey(47)) << "above Delete";
    EXPECT_FALSE(m_screen.OnKey(20)) << "in the range but not a console key";
    EXPECT_FALSE(m_screen.OnChar(31)) << "control characters are not text";
}

TEST_F(UIGameConsoleScreenTest, ATwelfthLinePushesTheOldestOut)
{
    for (int i = 0; i < 12; ++i)
        m_screen.AddLine(("line " + std::to_string(i)).c_str(), i == 11 ? kRed : kGrey);
    EXPECT_EQ(m_screen.GetLine(0).GetText(), "line 11");
    EXPECT_FLOAT_EQ(m_screen.GetLineColour(0).x, 1.0f);
    EXPECT_EQ(m_screen.GetLine(1).GetText(), "line 10");
    EXPECT_FLOAT_EQ(m_screen.GetLineColour(1).x, 0.5f) << "colours move with their text";
    EXPECT_EQ(m_screen.GetLine(10).GetText(), "line 1") << "line 0 fell off";
    const float faded[4] = {0.25f, 0.5f, 0.75f, 0.4f};
    m_screen.AddLine(nullptr, faded);
    EXPECT_EQ(m_screen.GetLine(0).GetText(), "");
    const Vector& colour = m_screen.GetLineColour(0);
    EXPECT_EQ((std::vector<float>{colour.x, colour.y, colour.z, colour.w}), (std::vector<float>{0.25f, 0.5f, 0.75f, 0.4f}))
        << "every channel is kept, alpha too";
}

TEST_F(UIGameConsoleScreenTest, LayoutFollowsTheWindowSize)
{
    EXPECT_FLOAT_EQ(m_screen.GetInput().GetRenderPosition().y, 700.0f);
    EXPECT_FLOAT_EQ(m_screen.GetLine(0).GetRenderPosition().y, 670.0f);
    EXPECT_FLOAT_EQ(m_screen.GetLine(2).GetRenderPosition().y, 670.0f - 2 * UIGameConsoleScreen::kLineHeight);
    const FrameClock clock;
    m_screen.Draw(1280, 600, clock, clock, Vector(0.5f, 0.5f, 0.0f, 1.0f)); // the height alone changes
    EXPECT_EQ(std::make_pair(m_screen.GetLayout().width, m_screen.GetLayout().height), std::make_pair(1280.0f, 600.0f))
        << "the UI plane spans the window's pixels";
    EXPECT_EQ(m_screen.GetLastCursor().y, 0.5f) << "kept for the host's next draw";
    EXPECT_FLOAT_EQ(m_screen.GetInput().GetRenderPosition().y, 580.0f);
    EXPECT_FLOAT_EQ(m_screen.GetLine(10).GetRenderPosition().y, 550.0f - 10 * UIGameConsoleScreen::kLineHeight);
    const Vector& caret = m_screen.GetCaret().GetRenderSize();
    const Vector& selection = m_screen.GetSelection().GetRenderSize();
    EXPECT_EQ((std::vector<float>{caret.x, caret.y, selection.x, selection.y}), (std::vector<float>{10, 2, 10, 18}));
    EXPECT_FLOAT_EQ(m_screen.GetSelection().GetRenderColor().w, 0.5f);
    EXPECT_FLOAT_EQ(m_screen.GetHighlight().GetRenderColor().x, std::pow(0.3f, 2.2f)) << "sent as a linear colour";
}

TEST_F(UIGameConsoleScreenTest, TheCaretBlinksThroughTwoFadesOfAFifthOfASecond)
{
    // The caret's own render side: the test thread runs the commands and the actions.
    UIElement& caret = const_cast<UIElement&>(m_screen.GetCaret());
    const struct
    {
        double seconds;
        float alpha;
    } frames[] = {{0.0, 1.0f}, {0.1, 0.5f}, {0.2, 0.0f}, {0.3, 0.5f}, {0.4, 1.0f}, {0.5, 0.5f}, {0.6, 0.0f}};
    for (const auto& f : frames)
    {
        const Time now(int64_t(f.seconds * double(os::kCounterFrequency) + 0.5));
        SetUIActionClocks({now, now, now});
        caret.UpdateActions();
        EXPECT_NEAR(caret.GetRenderColor().w, f.alpha, 1e-4f) << f.seconds << " s";
    }
}
