#include "InputTestSupport.h"

#include "engine/input/InputManager.h"

#include <cfloat>
#include <string>
#include <vector>

namespace
{
// Records what the UI was offered and takes what it is told to.
class FakeUi : public TapPointerTarget
{
public:
    bool DispatchPointerBegin(uint32_t source, float x, float y) override { return Offer("begin", source, x, y); }
    bool DispatchPointerEnd(uint32_t source, float x, float y) override { return Offer("end", source, x, y); }
    bool DispatchPointerMove(uint32_t source, float x, float y) override { return Offer("move", source, x, y); }

    bool takeAll = false;
    std::vector<std::string> offers;

private:
    bool Offer(const char* what, uint32_t source, float x, float y)
    {
        char line[96];
        std::snprintf(line, sizeof(line), "%s %x %.2f %.2f", what, source, x, y);
        offers.push_back(line);
        return takeAll;
    }
};

// One element whose candidate covers x < 0.5.
class FakeScreen : public TapHitTestScreen
{
public:
    int32_t FindSelectionCandidate(uint32_t elementId) const override { return elementId == 7 ? 0 : -1; }
    bool IsPointInSelectionCandidate(int32_t candidate, const Vector& point) const override
    {
        return candidate == 0 && point.x < 0.5f;
    }
};

class InputManagerTapsTest : public InputTest
{
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        gTapMoveThreshold = 0.0f;
    }
    void TearDown() override
    {
        gTapMoveThreshold = 0.0f;
        InputTest::TearDown();
    }
    std::vector<std::pair<uint32_t, uint32_t>> Events() const
    {
        std::vector<std::pair<uint32_t, uint32_t>> events;
        for (const InputManager::InputEvent& event : m_manager.GetInputEvents())
            events.emplace_back(event.kind, event.value);
        return events;
    }
    const InputManager::Tap& TapAt(int32_t index) const { return m_manager.GetTaps()[index]; }

    FakeUi m_ui;
    InputManager m_manager{&m_ui};
};

using EventList = std::vector<std::pair<uint32_t, uint32_t>>;

TEST_F(InputManagerTapsTest, SecondButtonIsAMirroredFinger)
{
    m_manager.OnMouseButton(0.2f, 0.3f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    m_manager.OnMouseButton(0.4f, 0.1f, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    ASSERT_EQ(m_manager.GetTaps().Count(), 2);
    EXPECT_EQ(TapAt(0).source, INPUT_MOUSE_LEFT);
    EXPECT_FLOAT_EQ(TapAt(0).start.x, 0.2f);
    EXPECT_EQ(TapAt(1).source, INPUT_MOUSE_RIGHT);
    EXPECT_FLOAT_EQ(TapAt(1).start.x, 0.6f);
    EXPECT_FLOAT_EQ(TapAt(1).start.y, 0.9f);
    EXPECT_EQ(TapAt(1).start.w, 0.0f);

    // The mirrored finger moves mirrored and is released at the mirrored point.
    m_manager.OnMouseMove(0.3f, 0.1f);
    EXPECT_FLOAT_EQ(TapAt(1).current.x, 0.7f);
    EXPECT_FLOAT_EQ(TapAt(0).current.x, 0.3f);
    m_manager.OnMouseButton(0.35f, 0.2f, INPUT_MOUSE_EVENT_RIGHT_UP);
    EXPECT_EQ(TapAt(1).state, uint32_t(InputManager::TAP_ENDED_UNRETRIEVED));
    EXPECT_FLOAT_EQ(TapAt(1).current.x, 0.65f);
    EXPECT_FLOAT_EQ(TapAt(1).current.y, 0.8f);
    EXPECT_EQ(TapAt(1).source, InputManager::kNoTapSource);
    EXPECT_EQ(Events(), (EventList{{2, 1}, {2, 2}, {4, 1}, {4, 2}, {3, 2}}));
    EXPECT_EQ(m_ui.offers.back(), "end 10001 0.65 0.80");

    // With the other button up, a new right press is not mirrored.
    m_manager.OnMouseButton(0.2f, 0.3f, INPUT_MOUSE_EVENT_LEFT_UP);
    m_manager.OnMouseButton(0.4f, 0.1f, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    EXPECT_FLOAT_EQ(TapAt(2).start.x, 0.4f);
    EXPECT_EQ(TapAt(2).id, 3u);
}

TEST_F(InputManagerTapsTest, MoveThresholdHoldsTheTapThenMovesWithoutAJump)
{
    gTapMoveThreshold = 0.05f;
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    m_manager.OnMouseMove(0.53f, 0.5f);
    EXPECT_FLOAT_EQ(TapAt(0).current.x, 0.5f);
    EXPECT_EQ(Events(), (EventList{{2, 1}}));
    m_manager.OnMouseMove(0.58f, 0.5f);
    EXPECT_NEAR(TapAt(0).current.x, 0.53f, 1e-6f);
    EXPECT_FLOAT_EQ(TapAt(0).current.y, 0.5f);
    EXPECT_EQ(Events(), (EventList{{2, 1}, {4, 1}}));
    // Once moving, the offset stays: the release lands 0.05 short of the button's point.
    m_manager.OnMouseButton(0.5f, 0.7f, INPUT_MOUSE_EVENT_LEFT_UP);
    EXPECT_NEAR(TapAt(0).current.x, 0.45f, 1e-6f);
    EXPECT_NEAR(TapAt(0).current.y, 0.7f, 1e-6f);

    // A press and release inside the threshold ends where it began.
    m_manager.OnMouseButton(0.2f, 0.2f, INPUT_MOUSE_EVENT_MIDDLE_DOWN);
    m_manager.OnMouseButton(0.22f, 0.2f, INPUT_MOUSE_EVENT_MIDDLE_UP);
    EXPECT_EQ(TapAt(1).source, InputManager::kNoTapSource);
    EXPECT_FLOAT_EQ(TapAt(1).current.x, 0.2f);

    // A move of exactly the threshold still holds the tap.
    gTapMoveThreshold = 0.25f;
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_RIGHT_DOWN);
    const size_t queued = Events().size();
    m_manager.OnMouseMove(0.75f, 0.5f);
    EXPECT_EQ(Events().size(), queued);
}

TEST_F(InputManagerTapsTest, TapWithinOneFrameIsReturnedOnceAndDroppedAtFrameEnd)
{
    m_manager.BeginTap(5, 0.1f, 0.2f);
    m_manager.EndTap(5, 0.3f, 0.2f);
    uint32_t source = 99;
    EXPECT_EQ(m_manager.GetNewTap(source), 1u);
    EXPECT_EQ(source, InputManager::kNoTapSource);
    EXPECT_EQ(m_manager.GetNewTap(source), 0u);
    EXPECT_EQ(source, 0u);
    EXPECT_FALSE(m_manager.IsTapStillActive(1));
    EXPECT_EQ(m_manager.GetNextReleasedTap(), 1u);
    EXPECT_EQ(m_manager.GetNextReleasedTap(), 0u);
    EXPECT_EQ(m_manager.GetTaps().Count(), 1);
    m_manager.EndFrame();
    EXPECT_TRUE(m_manager.GetTaps().IsEmpty());
    EXPECT_EQ(Events(), (EventList{{2, 1}, {3, 1}}));
    m_manager.ClearInputEvents();
    EXPECT_TRUE(m_manager.GetInputEvents().IsEmpty());
    // One the script marks as seen is no longer new, yet its release is still reported.
    m_manager.BeginTap(5, 0.1f, 0.2f);
    m_manager.EndTap(5, 0.1f, 0.2f);
    m_manager.MarkTapRetrieved(2);
    EXPECT_EQ(m_manager.GetNewTap(source), 0u);
    EXPECT_EQ(m_manager.GetNextReleasedTap(), 2u);
}

TEST_F(InputManagerTapsTest, TapLifeCycleAndQueries)
{
    m_manager.BeginTap(1, 0.1f, 0.1f);
    m_manager.BeginTap(2, 0.6f, 0.6f);
    m_manager.BeginTap(3, 0.9f, 0.9f);
    EXPECT_EQ(m_manager.GetNextTapId(0), 1u);
    EXPECT_EQ(m_manager.GetNextTapId(1), 2u);
    EXPECT_EQ(m_manager.GetNextTapId(3), 0u);
    EXPECT_EQ(m_manager.GetNextTapId(42), 0u);

    m_manager.MarkTapRetrieved(1);
    EXPECT_TRUE(m_manager.IsTapStillActive(1));
    Advance(0.5);
    m_manager.MoveTap(1, 0.4f, 0.5f);
    m_manager.MoveTap(1, 0.2f, 0.1f);
    Advance(0.25);
    uint32_t source = 0;
    Vector start;
    float distance = 0.0f;
    float duration = 0.0f;
    Vector position = m_manager.GetTapPosition(1, source, start, distance, duration);
    EXPECT_FLOAT_EQ(position.x, 0.2f);
    EXPECT_FLOAT_EQ(start.x, 0.1f);
    EXPECT_EQ(source, 1u);
    EXPECT_NEAR(distance, 0.5f, 1e-6f); // the largest, not the current one
    EXPECT_NEAR(duration, 0.75f, 1e-6f);
    m_manager.EndTap(1, 0.2f, 0.1f);
    Advance(1.0);
    m_manager.GetTapPosition(1, source, start, distance, duration);
    EXPECT_NEAR(duration, 0.75f, 1e-6f);
    EXPECT_EQ(TapAt(0).state, uint32_t(InputManager::TAP_ENDED));

    m_manager.CancelTapAsClick(2);
    m_manager.GetTapPosition(2, source, start, distance, duration);
    EXPECT_GT(distance, 1e18f);
    m_manager.MoveTap(2, 0.61f, 0.6f);
    EXPECT_EQ(TapAt(1).largestDistance2, FLT_MAX);

    position = m_manager.GetTapPosition(77, source, start, distance, duration);
    EXPECT_TRUE(position.Equal(Vector::ZERO4));
    EXPECT_TRUE(start.Equal(Vector::ZERO4));
    EXPECT_EQ(source, 0u);
    EXPECT_EQ(duration, 0.0f);
    m_manager.MarkTapRetrieved(77);
    m_manager.CancelTapAsClick(77);

    // Frame end keeps live taps; the last record takes a removed one's place.
    m_manager.EndFrame();
    ASSERT_EQ(m_manager.GetTaps().Count(), 2);
    EXPECT_EQ(TapAt(0).id, 3u);
    EXPECT_EQ(TapAt(1).id, 2u);
    // The last tap has no next one.
    EXPECT_EQ(m_manager.GetNextTapId(2), 0u);
}

TEST_F(InputManagerTapsTest, TapsTheUiTakesAreNotKept)
{
    m_ui.takeAll = true;
    m_manager.BeginTap(4, 0.5f, 0.5f);
    EXPECT_TRUE(m_manager.GetTaps().IsEmpty());
    EXPECT_TRUE(m_manager.GetInputEvents().IsEmpty());
    m_ui.takeAll = false;
    m_manager.BeginTap(4, 0.5f, 0.5f);
    EXPECT_EQ(TapAt(0).id, 2u);
    m_ui.takeAll = true;
    m_manager.MoveTap(4, 0.6f, 0.5f);
    m_manager.EndTap(4, 0.6f, 0.5f);
    // The record still changes; only the events are the UI's.
    EXPECT_EQ(TapAt(0).state, uint32_t(InputManager::TAP_ENDED_UNRETRIEVED));
    EXPECT_EQ(Events(), (EventList{{2, 2}}));
    EXPECT_EQ(m_ui.offers, (std::vector<std::string>{"begin 4 0.50 0.50", "begin 4 0.50 0.50", "move 4 0.60 0.50",
                                                     "end 4 0.60 0.50"}));
}

TEST_F(InputManagerTapsTest, EndAllTapsEndsEveryLiveTapAndStopsThePads)
{
    input::PlugXInputPad(0);
    int window = 0;
    ASSERT_TRUE(m_manager.InitDirectInput());
    ASSERT_TRUE(m_manager.InitDevices(&window));
    m_manager.VibrateXController(0.5f, 0.5f, INPUT_ANY_PAD);
    m_manager.BeginTap(1, 0.3f, 0.4f);
    m_manager.BeginTap(2, 0.5f, 0.5f);
    m_manager.BeginTap(3, 0.5f, 0.5f);
    m_manager.MarkTapRetrieved(2);
    m_manager.EndTap(3, 0.5f, 0.5f);
    m_manager.ClearInputEvents();
    m_ui.offers.clear();
    m_ui.takeAll = true; // the UI's answer does not stop the event here
    m_manager.EndAllTaps();
    EXPECT_EQ(Events(), (EventList{{3, 1}, {3, 2}}));
    EXPECT_EQ(m_ui.offers, (std::vector<std::string>{"end 1 0.00 0.00", "end 2 0.00 0.00"}));
    EXPECT_EQ(TapAt(0).state, uint32_t(InputManager::TAP_ENDED_UNRETRIEVED));
    EXPECT_EQ(TapAt(1).state, uint32_t(InputManager::TAP_ENDED));
    EXPECT_FLOAT_EQ(TapAt(0).largestDistance2, 0.25f);
    for (const InputManager::Tap& tap : m_manager.GetTaps())
        EXPECT_EQ(tap.source, InputManager::kNoTapSource);
    uint16_t left = 1;
    uint16_t right = 1;
    input::GetXInputVibration(0, left, right);
    EXPECT_EQ(left + right, 0);
    m_manager.EndFrame();
    EXPECT_TRUE(m_manager.GetTaps().IsEmpty());
}

TEST_F(InputManagerTapsTest, TapsForAnElementUseItsLastDrawnQuad)
{
    const FakeScreen screen;
    m_manager.BeginTap(1, 0.8f, 0.5f);
    m_manager.BeginTap(2, 0.2f, 0.5f);
    uint32_t source = 9;
    EXPECT_EQ(m_manager.GetNewTapForUIElement(&screen, 8, source), 0u);
    EXPECT_EQ(source, 0u);
    EXPECT_EQ(m_manager.GetNewTapForUIElement(&screen, 7, source), 2u);
    EXPECT_EQ(source, 2u);
    EXPECT_EQ(m_manager.GetNewTapForUIElement(&screen, 7, source), 0u);
    EXPECT_TRUE(m_manager.IsTapWithinUIElement(2, &screen, 7));
    EXPECT_FALSE(m_manager.IsTapWithinUIElement(1, &screen, 7));
    EXPECT_FALSE(m_manager.IsTapWithinUIElement(2, &screen, 8));
    // An unknown id is tested at the zero vector.
    EXPECT_TRUE(m_manager.IsTapWithinUIElement(50, &screen, 7));
    EXPECT_EQ(m_manager.GetNewTap(source), 1u);
}

// A finished tap is history: its source is free for the next tap, and later moves and ends of that
// source reach only the new one.
TEST_F(InputManagerTapsTest, AnEndedTapNeitherMovesNorEndsAgain)
{
    m_manager.BeginTap(6, 0.1f, 0.1f);
    m_manager.EndTap(6, 0.2f, 0.1f);
    m_manager.MoveTap(6, 0.9f, 0.9f);
    m_manager.EndTap(6, 0.8f, 0.8f);
    EXPECT_FLOAT_EQ(TapAt(0).current.x, 0.2f);
    EXPECT_EQ(TapAt(0).state, uint32_t(InputManager::TAP_ENDED_UNRETRIEVED));
    EXPECT_EQ(Events(), (EventList{{2, 1}, {3, 1}}));

    m_manager.BeginTap(6, 0.5f, 0.5f);
    m_manager.MoveTap(6, 0.6f, 0.5f);
    EXPECT_FLOAT_EQ(TapAt(0).current.x, 0.2f);
    EXPECT_FLOAT_EQ(TapAt(1).current.x, 0.6f);
    EXPECT_EQ(TapAt(1).id, 2u);
    EXPECT_EQ(Events(), (EventList{{2, 1}, {3, 1}, {2, 2}, {4, 2}}));
    EXPECT_EQ(m_manager.GetNextReleasedTap(), 1u);
    EXPECT_EQ(m_manager.GetNextReleasedTap(), 0u) << "reported once; the live tap is not released";
    EXPECT_FALSE(m_manager.IsTapWithinUIElement(2, nullptr, 7));
}

TEST_F(InputManagerTapsTest, OnlyButtonsMakeTapsAndOnlyWhileEmulating)
{
    m_manager.EnableMouseTapEmulation(false);
    EXPECT_FALSE(m_manager.IsMouseTapEmulationEnabled());
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    m_manager.OnMouseMove(0.9f, 0.5f);
    m_manager.OnMouseButton(0.9f, 0.5f, INPUT_MOUSE_EVENT_LEFT_UP);
    EXPECT_TRUE(m_manager.GetTaps().IsEmpty());
    EXPECT_EQ(m_manager.GetMouseEvents().Count(), 2);
    // A double-click while the button is held leaves its tap alive.
    m_manager.EnableMouseTapEmulation(true);
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_DOWN);
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_DOUBLE_CLICK);
    ASSERT_EQ(m_manager.GetTaps().Count(), 1);
    EXPECT_EQ(TapAt(0).state, uint32_t(InputManager::TAP_NEW));
    m_manager.OnMouseButton(0.5f, 0.5f, INPUT_MOUSE_EVENT_LEFT_UP);
    m_manager.EndFrame();
    // Neither do double-clicks, moves nor the cursor crossing the window's edge.
    for (const uint32_t kind : {INPUT_MOUSE_EVENT_LEFT_DOUBLE_CLICK, INPUT_MOUSE_EVENT_MOVE,
                                INPUT_MOUSE_EVENT_LEFT_WINDOW, INPUT_MOUSE_EVENT_ENTERED_WINDOW})
    {
        m_manager.OnMouseButton(0.5f, 0.5f, kind);
        EXPECT_TRUE(m_manager.GetTaps().IsEmpty()) << kind;
    }
}
} // namespace

TEST_F(InputManagerTapsTest, PointerPositionsLastWhileTheSourceIsDownWhoeverTookIt)
{
    Vector position;
    m_manager.BeginTap(4, 0.1f, 0.2f);
    m_ui.takeAll = true;
    m_manager.BeginTap(5, 0.7f, 0.8f);
    m_manager.MoveTap(5, 0.6f, 0.5f);
    m_manager.MoveTap(4, 0.3f, 0.4f);
    ASSERT_TRUE(m_manager.GetPointerPosition(5, position)) << "a pointer the UI took is still down";
    EXPECT_FLOAT_EQ(position.x, 0.6f);
    EXPECT_FLOAT_EQ(position.y, 0.5f);
    ASSERT_TRUE(m_manager.GetPointerPosition(4, position));
    EXPECT_FLOAT_EQ(position.x, 0.3f);
    EXPECT_FLOAT_EQ(position.y, 0.4f);
    EXPECT_FALSE(m_manager.GetPointerPosition(6, position));
    m_manager.EndTap(5, 0.6f, 0.5f);
    EXPECT_FALSE(m_manager.GetPointerPosition(5, position));
    EXPECT_TRUE(m_manager.GetPointerPosition(4, position)) << "ending one source leaves the other";
    m_manager.MoveTap(5, 0.1f, 0.1f);
    EXPECT_FALSE(m_manager.GetPointerPosition(5, position)) << "a move after the end brings nothing back";
    m_manager.EndAllTaps();
    EXPECT_FALSE(m_manager.GetPointerPosition(4, position));
    m_manager.BeginTap(4, 0.1f, 0.2f);
    m_manager.BeginTap(4, 0.3f, 0.4f);
    m_manager.EndTap(4, 0.3f, 0.4f);
    EXPECT_FALSE(m_manager.GetPointerPosition(4, position)) << "a source begun twice is one pointer";
}
