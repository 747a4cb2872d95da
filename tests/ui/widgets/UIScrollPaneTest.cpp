// The scroll pane driven by the screen's pointer input over a manual frame clock: drags along its
// axes, refusals at the border and the spring back, the border switch, throws with the tracked
// speed, presses on children held back until a release without a drag, focus and zoom.
#include "support/ConsoleCapture.h"
#include "support/UIWidgetScreen.h"
#include "ui/widgets/UIButton.h"
#include "ui/widgets/UIScrollPane.h"

#include <cmath>

namespace
{
uint32_t gHeldFlags = 0;
void KeepFlags(SafePointerRoot*, UIEventRecord* record)
{
    gHeldFlags = record->flags;
}

class UIScrollPaneTest : public UIWidgetScreen
{
protected:
    // A 200 x 100 pane at the origin with one child of the given rectangle.
    void Build(uint32_t direction, float x, float y, float w, float h, bool disableBorder = false)
    {
        m_pane = Place(new UIScrollPane, "pane", 0, 0, 200, 100);
        m_pane->SetScrollDirection(direction);
        m_pane->SetDisableBorder(disableBorder);
        m_content = Place(new UIElement, "content", x, y, w, h, m_pane, false);
        m_pane->UpdateTotalSize();
        DrawAt(m_now);
    }
    // Presses at (x, y) and drags by each step in turn, one frame of 0.1 s per step.
    void Drag(float x, float y, std::initializer_list<Vector> steps)
    {
        m_screen->OnPointerBegin(At(x, y), 1);
        m_screen->OnPointerMove(At(x, y + 1), 1); // hands the press to the pane
        m_screen->OnPointerMove(At(x, y), 1);     // the first step only starts the drag
        for (const Vector& step : steps)
        {
            x += step.x;
            y += step.y;
            m_screen->OnPointerMove(At(x, y), 1);
            Frame();
        }
        m_releaseAt = At(x, y);
    }
    void Release() { m_screen->OnPointerEnd(m_releaseAt, 1); }
    void Frame(double seconds = 0.1)
    {
        m_now += seconds;
        DrawAt(m_now);
    }
    float X() const { return m_content->GetRenderPosition().x; }
    float Y() const { return m_content->GetRenderPosition().y; }

    UIScrollPane* m_pane = nullptr;
    UIElement* m_content = nullptr;
    Vector m_releaseAt;
    double m_now = 1.0;
};

TEST_F(UIScrollPaneTest, DragsMoveTheChildrenOnlyAlongTheEnabledAxes)
{
    struct Case
    {
        uint32_t direction;
        float x, y;
    };
    for (const Case c : {Case{UIScrollPane::SCROLL_VERTICAL, 0, -40}, Case{UIScrollPane::SCROLL_HORIZONTAL, 30, 0},
                         Case{UIScrollPane::SCROLL_BOTH, 30, -40}})
    {
        Build(c.direction, 0, 0, 200, 300);
        Drag(100, 50, {Vector(30, -40, 0, 0)});
        EXPECT_NEAR(X(), c.x, 1e-3) << c.direction;
        EXPECT_NEAR(Y(), c.y, 1e-3) << c.direction;
        EXPECT_NEAR(m_pane->GetScrollTotal().y, c.y, 1e-3) << c.direction;
        EXPECT_NEAR(m_pane->GetContentMin().y, c.y - 25.0f, 1e-3) << "the bounds move along";
        Release();
        m_pane->Release();
    }
}

TEST_F(UIScrollPaneTest, ARefusedDragSpringsBackAtThreePerSecondUntilLessThanOneUnitIsLeft)
{
    Build(UIScrollPane::SCROLL_HORIZONTAL, 60, 0, 300, 100); // left edge 35 inside with the border
    Drag(100, 50, {Vector(20, 0, 0, 0)});
    EXPECT_FLOAT_EQ(X(), 60) << "further right is refused";
    EXPECT_TRUE(m_pane->GetSpringFlag(0));
    EXPECT_FALSE(m_pane->IsSettled());
    Release();
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_SPRINGING) << "no speed, but a refused step";
    Frame();
    EXPECT_NEAR(m_pane->GetContentMin().x, 35.0f * 0.7f, 1e-3);
    Frame();
    EXPECT_NEAR(m_pane->GetContentMin().x, 35.0f * 0.49f, 1e-3);
    for (int i = 0; i < 20 && m_pane->GetMotionState() != UIScrollPane::MOTION_IDLE; ++i)
        Frame();
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_IDLE);
    EXPECT_LT(m_pane->GetContentMin().x, 1.0f);
    EXPECT_GT(m_pane->GetContentMin().x, 35.0f * std::pow(0.7f, 11.0f)) << "stopped at the first frame below 1";
    EXPECT_FALSE(m_pane->GetSpringFlag(0));
}

TEST_F(UIScrollPaneTest, APressWhileSpringingStopsWhereTheContentIs)
{
    Build(UIScrollPane::SCROLL_HORIZONTAL, 60, 0, 300, 100);
    Drag(100, 50, {Vector(20, 0, 0, 0)});
    Release();
    Frame();
    ASSERT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_SPRINGING);
    m_screen->OnPointerBegin(At(100, 50), 1);
    Frame();
    const float held = X();
    Frame();
    EXPECT_FLOAT_EQ(X(), held) << "held while pressed";
    EXPECT_FALSE(m_pane->GetSpringFlag(0));
    EXPECT_TRUE(m_pane->IsSettled());
    m_screen->OnPointerEnd(At(100, 50), 1);
}

TEST_F(UIScrollPaneTest, ALongFramePastTheEndStillSettles)
{
    // The content's right end sits 25 inside the pane: dragging left is refused; one 0.34 s spring
    // step carries the end half a unit past the edge before its flag would clear.
    Build(UIScrollPane::SCROLL_HORIZONTAL, -150, 0, 300, 100);
    Drag(100, 50, {Vector(-10, 0, 0, 0)});
    EXPECT_TRUE(m_pane->GetSpringFlag(0));
    Release();
    Frame(0.34);
    EXPECT_NEAR(X(), -124.5, 1e-3);
    Frame(0.4);
    EXPECT_NEAR(X(), -124.5, 1e-3) << "an end past the edge is not pulled back";
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_IDLE);
    EXPECT_TRUE(m_pane->IsSettled());
}

TEST_F(UIScrollPaneTest, WithoutTheBorderContentStopsAtItsLimitAndAThrowEndsWithoutSpring)
{
    Build(UIScrollPane::SCROLL_VERTICAL, 0, 0, 200, 300, true);
    Drag(100, 50, {Vector(0, 100, 0, 0)});
    EXPECT_NEAR(Y(), 25, 1e-3) << "cut at the content's own limit";
    EXPECT_FALSE(m_pane->GetSpringFlag(1));
    Release();
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_THROWN);
    for (int i = 0; i < 30 && m_pane->GetMotionState() == UIScrollPane::MOTION_THROWN; ++i)
        Frame();
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_IDLE) << "the glide decays and stops, no spring";
    EXPECT_NEAR(Y(), 25, 1e-3) << "the glide pushes against the limit without passing it";
    // Content wholly above the view comes back by the step, not at once; content already down from
    // the top goes no further down (x the content's top, y the step, z where it ends). The content
    // has no width: its height alone bounds it.
    for (const Vector c : {Vector(-400, 20, -380, 0), Vector(50, 20, 50, 0), Vector(50, -20, 30, 0)})
    {
        Release();
        m_pane->Release();
        Build(UIScrollPane::SCROLL_VERTICAL, 0, c.x, 0, 300, true);
        Drag(100, 50, {Vector(0, c.y, 0, 0)});
        EXPECT_NEAR(Y(), c.z, 1e-3) << c.x << " " << c.y;
    }
}

TEST_F(UIScrollPaneTest, AThrowStoppedByTheBorderSpringsBack)
{
    Build(UIScrollPane::SCROLL_VERTICAL, 0, 0, 200, 1000);
    Drag(100, 20, {Vector(0, 30, 0, 0), Vector(0, 30, 0, 0)}); // the top ends 35 down, past the border
    Release();
    ASSERT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_THROWN);
    for (int i = 0; i < 40 && m_pane->GetMotionState() != UIScrollPane::MOTION_IDLE; ++i)
        Frame();
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_IDLE);
    EXPECT_LT(m_pane->GetContentMin().y, 1.0f);
}

TEST_F(UIScrollPaneTest, AThrowCarriesTheTrackedSpeedAndAStillReleaseStopsAtOnce)
{
    Build(UIScrollPane::SCROLL_VERTICAL, 0, 0, 200, 1000);
    m_screen->OnPointerBegin(At(100, 50), 1);
    m_screen->OnPointerEnd(At(100, 50), 1);
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_STOPPING) << "a release without movement";
    Frame();
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_IDLE);

    Drag(100, 80, {Vector(0, -10, 0, 0), Vector(0, -5, 0, 0)});
    const float k = std::pow(0.98f, 30.0f);
    const float tracked = -(1.0f - k) * 50.0f - k * 100.0f; // 100/s, then 50/s blended in
    EXPECT_NEAR(m_pane->GetTrackedSpeed().y, tracked, 1e-2);
    Release();
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_THROWN);
    const float before = Y();
    Frame();
    EXPECT_NEAR(Y() - before, tracked * 0.1f, 1e-2);
    EXPECT_NEAR(m_pane->GetVelocity().y, tracked * k, 1e-2);
    m_screen->OnPointerBegin(At(100, 50), 1);
    EXPECT_EQ(m_pane->GetMotionState(), UIScrollPane::MOTION_STOPPING) << "a press stops the glide";
    EXPECT_EQ(m_pane->GetVelocity().y, 0.0f);
}

TEST_F(UIScrollPaneTest, AScrollBeforeTheFirstFrameIsMeasuredOverTheSecond)
{
    m_pane = Place(new UIScrollPane, "pane", 0, 0, 200, 100);
    m_pane->SetScrollDirection(UIScrollPane::SCROLL_VERTICAL);
    m_content = Place(new UIElement, "content", 0, 0, 200, 1000, m_pane, false);
    m_pane->UpdateTotalSize();
    m_pane->FocusOnElement(Place(new UIElement, "inner", 100, 100, 0, 0, m_content, false)); // 50 up
    DrawAt(m_now); // no earlier frame to measure against, however late the clock
    Frame();
    EXPECT_NEAR(m_pane->GetTrackedSpeed().y, -500.0f, 1e-2);
}

TEST_F(UIScrollPaneTest, APressOnAChildReachesItOnlyOnAReleaseWithoutADrag)
{
    Build(UIScrollPane::SCROLL_VERTICAL, 0, 0, 200, 300);
    UIButton* button = Place(new UIButton, "button", 10, 10, 40, 40, m_content);
    button->AddEventListener(button, &KeepFlags, UIEVENT_MOUSEDOWN, 0, UIEVENTFLAG_ONALL | UIEVENTFLAG_NOCONSUME);
    UIEventLog log;
    log.Listen(*button, {UIEVENT_MOUSEDOWN, UIEVENT_CLICK, UIEVENT_MOUSEUP});
    Draw();

    m_screen->OnPointerBegin(At(20, 20), 1);
    EXPECT_TRUE(m_pane->HasPendingPress());
    EXPECT_TRUE(log.events.empty()) << "held back";
    m_screen->OnPointerEnd(At(20, 20), 1);
    EXPECT_EQ(log.events, (std::vector<std::string>{"button:2", "button:4", "button:3"}));
    EXPECT_EQ(gHeldFlags & UIDISPATCH_THISONLY, UIDISPATCH_THISONLY);
    EXPECT_FALSE(button->IsPressedFlag());

    log.events.clear();
    Drag(20, 20, {Vector(0, -10, 0, 0)});
    Release();
    EXPECT_TRUE(log.events.empty()) << "a drag never reaches the child";
    EXPECT_FALSE(m_pane->HasPendingPress());
    EXPECT_FALSE(m_pane->IsDragged());
    ASSERT_NE(m_pane->GetMotionState(), UIScrollPane::MOTION_IDLE);
    m_pane->SetClickWhileScrolling(true);
    m_screen->OnPointerBegin(At(20, 20 + Y()), 1);
    EXPECT_TRUE(m_pane->HasPendingPress()) << "a pane that clicks while scrolling holds a press while it moves";
    m_screen->OnPointerEnd(At(20, 20 + Y()), 1);

    // A child released while its press is held is not delivered to.
    for (int i = 0; i < 5; ++i)
        Frame();
    Draw();
    m_screen->OnPointerBegin(At(20, 20 + Y()), 1);
    ASSERT_TRUE(m_pane->HasPendingPress());
    button->Release();
    EXPECT_FALSE(m_pane->HasPendingPress());
    m_screen->OnPointerEnd(At(20, 20 + Y()), 1);
}

TEST_F(UIScrollPaneTest, FocusBringsAnInnerElementToTheMiddleAndRefusesOutsiders)
{
    Build(UIScrollPane::SCROLL_BOTH, 0, 0, 400, 400);
    UIElement* inner = Place(new UIElement, "inner", 150, 250, 10, 10, m_content, false);
    UIElement* outsider = Place(new UIElement, "outsider", 0, 0, 10, 10, nullptr, false);
    ConsoleCapture console;
    m_pane->FocusOnElement(outsider);
    EXPECT_TRUE(console.Contains("Cannot focus ScrollPane on an element that is not its ancestor", CONSOLE_ERROR));
    EXPECT_FLOAT_EQ(X(), 0);
    m_pane->FocusOnElement(inner);
    EXPECT_FLOAT_EQ(X(), 100 - 150);
    EXPECT_FLOAT_EQ(Y(), 50 - 250);
}

TEST_F(UIScrollPaneTest, ZoomScalesChildrenAboutThePivotAndRefusesNonPositiveZooms)
{
    Build(UIScrollPane::SCROLL_BOTH, 120, 30, 20, 20);
    ConsoleCapture console;
    m_pane->Zoom(Vector(0, 0, 0, 0), 0.0f, 0.0f);
    EXPECT_TRUE(console.Contains("zoom", CONSOLE_WARNING));
    m_pane->Zoom(Vector(0, 0, 0, 0), 2.0f, 0.0f);
    Frame();
    EXPECT_FLOAT_EQ(m_content->GetRenderScale().x, 2.0f);
    EXPECT_FLOAT_EQ(X(), 140) << "twice as far from the centre (100, 50)";
    EXPECT_FLOAT_EQ(Y(), 10);
    EXPECT_FLOAT_EQ(m_pane->GetAppliedZoom(), 2.0f);
    EXPECT_FLOAT_EQ(m_pane->GetContentMin().x, 140 - 25) << "the bounds follow the zoom";
    EXPECT_FLOAT_EQ(m_pane->GetContentMax().x, 180 + 25);
    m_pane->Zoom(Vector(0, 0, 0, 1), 1.0f, 0.0f);
    Frame();
    EXPECT_FLOAT_EQ(X(), 70) << "halved towards the screen point (0, 0)";
    EXPECT_FLOAT_EQ(Y(), 5);
}
} // namespace
