// A screen built in code and drawn without a render thread (its commands run at once): the
// candidates its pass records and hands over, hit tests (later drawn wins, mirrored quads, the
// 128 limit, modal and focus-blocking subtrees), pointer routing with clicks, modal and semi-modal
// elements, drag targets, pad navigation and the letterbox point conversions.
#include "ui/screens/UIScreenStack.h"

#include "engine/Game.h"
#include "engine/input/InputManager.h"
#include "renderer/FrameClock.h"
#include "support/ConsoleCapture.h"
#include "ui/render/UIRenderFrame.h"
#include "ui/elements/UITextInput.h"
#include "ui/elements/UIUniTextInput.h"
#include "ui/widgets/UIActionKinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> gScreenEvents;

class Listener : public SafePointerRoot
{
};

// Records the event; a mouse down presses the element, as a button's recipe would.
void Record(SafePointerRoot*, UIEventRecord* record)
{
    gScreenEvents.push_back(std::string(record->source->GetName()) + ":" + std::to_string(record->type));
    if (record->type == UIEVENT_MOUSEDOWN)
        record->source->SetPress(true, true, record->pointer);
}

class DragElement : public UIElement
{
public:
    bool WantsDrag() const override { return true; }
    void OnDrag(const Vector& point) override { drags.push_back(point.x); }
    std::vector<float> drags;
};

class UIScreenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gScreenEvents.clear();
        UIScreen::SetUISizeOverride(320.0f, 240.0f);
        m_screen = new UIScreen;
        m_screen->SetVisible(true);
    }
    void TearDown() override
    {
        m_screen->Release();
        UIScreen::SetUISizeOverride(0.0f, 0.0f);
    }

    // A pointer-selectable element whose listeners take mouse down, up and click.
    UIElement* Button(const char* name, float x, float y, float w, float h, UIElement* parent = nullptr,
                      UIElement* element = nullptr)
    {
        if (element == nullptr)
            element = new UIElement;
        element->SetName(name);
        element->SetPositionXYZ(x, y, 0.0f);
        element->SetSizeXY(w, h);
        element->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
        for (uint32_t type : {UIEVENT_MOUSEDOWN, UIEVENT_MOUSEUP, UIEVENT_CLICK})
            element->AddEventListener(&m_listener, &Record, type, 0, UIEVENTFLAG_ONALL);
        (parent != nullptr ? parent : m_screen)->AddChild(element);
        return element;
    }

    // Drawn as the game draws it, through a stack that hands the candidates over after the pass.
    void Draw()
    {
        const FrameClock clock;
        UIScreenStack stack;
        stack.PushScreen(m_screen);
        stack.Draw(320, 240, clock, clock, Vector(0.0f, 0.0f, 0.0f, 0.0f));
    }

    static Vector At(float x, float y) { return Vector(x / 320.0f, y / 240.0f, 0.0f, 1.0f); }

    UIScreen* m_screen = nullptr;
    Listener m_listener;
};

TEST_F(UIScreenTest, HitTestsFindTheLaterDrawnElementAndMirroredOnes)
{
    UIElement* a = Button("a", 10, 10, 100, 100);
    UIElement* b = Button("b", 50, 50, 100, 100);
    UIElement* mirrored = Button("m", 300, 150, 50, 50);
    mirrored->SetScaleXYZ(-1.0f, 1.0f, 1.0f);
    Button("empty", 200, 200, 0, 0); // drawn last, and never hit: it covers no area
    Draw();
    ASSERT_EQ(m_screen->GetSelectionCandidateCount(), 4);
    struct Case
    {
        float x, y;
        UIElement* expected;
    };
    const Case cases[] = {{20, 20, a}, {60, 60, b}, {140, 140, b}, {200, 200, nullptr}, {275, 175, mirrored},
                          {310, 175, nullptr}};
    for (const Case& c : cases)
        EXPECT_EQ(m_screen->GetElementAtScreenPosition(At(c.x, c.y)), c.expected) << "(" << c.x << ", " << c.y << ")";
    const int32_t index = m_screen->FindSelectionCandidate(mirrored->GetId());
    ASSERT_GE(index, 0);
    EXPECT_TRUE(m_screen->IsPointInSelectionCandidate(index, At(260, 160)));
    EXPECT_FALSE(m_screen->IsPointInSelectionCandidate(index, At(240, 160)));
    float distance = 0.0f;
    EXPECT_EQ(m_screen->GetNearestElement(At(60, 90), &distance, 0, 0), a);
    EXPECT_NEAR(distance, 0.125f, 1e-5) << "half the device distance: a share of the screen";
    Vector centre;
    ASSERT_TRUE(m_screen->GetCandidateCentre(a->GetId(), centre));
    EXPECT_NEAR(centre.x, 60.0f / 320.0f, 1e-5);
    EXPECT_NEAR(centre.y, 0.25f, 1e-5) << "y down, as the window's points";
    a->Hide();
    b->Hide();
    Draw();
    ASSERT_EQ(m_screen->GetSelectionCandidateCount(), 2);
    EXPECT_FALSE(m_screen->IsPointInSelectionCandidate(2, At(260, 160))) << "past the table, where an old entry lies";
}

TEST_F(UIScreenTest, TheHundredAndTwentyNinthCandidateIsDroppedWithAMessage)
{
    std::vector<UIElement*> buttons;
    for (int i = 0; i < 129; ++i)
        buttons.push_back(Button("n", float(i % 16) * 20.0f, float(i / 16) * 20.0f, 10, 10));
    ConsoleCapture log;
    Draw();
    EXPECT_TRUE(log.Contains("Too many UI selection candidates. Certain clicks might be ignored!", 4));
    EXPECT_EQ(m_screen->GetSelectionCandidateCount(), 128);
    EXPECT_GE(m_screen->FindSelectionCandidate(buttons[127]->GetId()), 0);
    EXPECT_EQ(m_screen->FindSelectionCandidate(buttons[128]->GetId()), -1);
    EXPECT_EQ(m_screen->GetElementAtScreenPosition(At(5, 165)), nullptr) << "the 129th is not hit-testable";
}

TEST_F(UIScreenTest, ModalAndFocusBlockingSubtreesShapeTheCandidateTable)
{
    Button("before", 0, 0, 10, 10);
    UIElement* blocked = new UIElement;
    blocked->RaiseFlag(UIFLAG_BLOCKFOCUS | UIFLAG_TRANSPARENT);
    m_screen->AddChild(blocked);
    Button("inside", 20, 0, 10, 10, blocked);
    UIElement* modal = Button("modal", 40, 0, 10, 10);
    Button("after", 60, 0, 10, 10);
    Draw();
    EXPECT_EQ(m_screen->GetSelectionCandidateCount(), 3) << "nothing recorded under the focus block";
    EXPECT_EQ(gUIFrame.currentScreen, nullptr) << "panels drawn after the pass record into no screen";
    modal->SetModal(2);
    Draw();
    ASSERT_EQ(m_screen->GetSelectionCandidateCount(), 2);
    EXPECT_EQ(m_screen->GetSelectionCandidate(0).id, modal->GetId()) << "a modal element restarts the table";
}

TEST_F(UIScreenTest, OneCandidateTableIsInFlightAtATime)
{
    Button("a", 0, 0, 10, 10);
    const FrameClock clock;
    m_screen->Draw(320, 240, clock, clock, Vector(0, 0, 0, 0));
    Button("b", 20, 0, 10, 10);
    m_screen->Draw(320, 240, clock, clock, Vector(0, 0, 0, 0));
    EXPECT_EQ(m_screen->GetRenderCandidateCount(), 1u) << "the untaken table is not written over";
    m_screen->UpdateAfterDraw(Vector(0, 0, 0, 0));
    EXPECT_EQ(m_screen->GetSelectionCandidateCount(), 1);
    Draw();
    EXPECT_EQ(m_screen->GetSelectionCandidateCount(), 2);
}

TEST_F(UIScreenTest, APressAndReleaseClickAndASecondPointerChangesNothing)
{
    UIElement* b = Button("b", 10, 10, 50, 50);
    Draw();
    EXPECT_TRUE(m_screen->OnPointerBegin(At(20, 20), 1));
    EXPECT_EQ(m_screen->GetPressedElement(), b);
    EXPECT_FALSE(m_screen->OnPointerBegin(At(30, 30), 2)) << "another pointer holds the press";
    EXPECT_EQ(m_screen->GetPressedElement(), b);
    EXPECT_TRUE(m_screen->OnPointerEnd(At(25, 25), 1));
    EXPECT_EQ(m_screen->GetPressedElement(), nullptr);
    EXPECT_EQ(gScreenEvents, (std::vector<std::string>{"b:2", "b:4", "b:3"}));
    EXPECT_FALSE(m_screen->OnKey(13)) << "Enter with no focused text input";
    UIElement* const still = new UIElement; // under the pointer, but nothing listens for its presses
    still->SetSizeXY(10, 10);
    still->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE);
    m_screen->AddChild(still);
    Draw();
    EXPECT_FALSE(m_screen->OnPointerBegin(At(5, 5), 1)) << "a press nothing takes is not handled";
    EXPECT_EQ(m_screen->GetPressedElement(), nullptr);
}

TEST_F(UIScreenTest, PointerPositionsAreTheGamesInputBySource)
{
    InputManager& input = gGame.GetInputManager();
    input.BeginTap(7, 0.25f, 0.5f);
    float x = 0.0f;
    float y = 0.0f;
    EXPECT_TRUE(m_screen->GetPointerPositionXY(7, x, y));
    EXPECT_EQ(x, 0.25f);
    EXPECT_EQ(y, 0.5f);
    input.EndTap(7, 0.25f, 0.5f);
    input.EndFrame();
    x = y = -1.0f;
    EXPECT_FALSE(m_screen->GetPointerPositionXY(7, x, y)) << "the source is up";
    EXPECT_EQ(x, -1.0f);
}

TEST_F(UIScreenTest, AnElementThatFollowsTheMouseIsDrawnWhereThePointerIs)
{
    UIElement* const cursor = new UIElement;
    cursor->SetSizeXY(4.0f, 4.0f);
    cursor->RaiseFlag(UIFLAG_FOLLOWMOUSE);
    m_screen->AddChild(cursor);
    const FrameClock clock;
    UIScreenStack stack;
    stack.PushScreen(m_screen);
    stack.Draw(320, 240, clock, clock, At(80.0f, 60.0f));
    EXPECT_EQ(cursor->GetRenderPosition().x, 80.0f);
    EXPECT_EQ(cursor->GetRenderPosition().y, 60.0f);
}

TEST_F(UIScreenTest, PressesEndOnThePressedElementWhereverThePointerLeaves)
{
    struct Case
    {
        const char* what;
        float endX;
        uint32_t endPointer;
        bool taken;
        std::vector<std::string> events;
    };
    // A release off b by the pressing pointer still ends b's press; another pointer's release goes
    // to whatever lies under it. (Clicks are the element's own business and left out.)
    const Case cases[] = {{"released on b", 20, 1, true, {"b:2", "b:3"}},
                          {"released on nothing", 300, 1, true, {"b:2", "b:3"}},
                          {"released on another element", 150, 1, true, {"b:2", "b:3"}},
                          {"another pointer released", 150, 2, false, {"b:2", "other:3"}}};
    UIElement* b = Button("b", 10, 10, 50, 50);
    UIElement* other = Button("other", 120, 10, 50, 50);
    Draw();
    for (const Case& c : cases)
    {
        gScreenEvents.clear();
        ASSERT_TRUE(m_screen->OnPointerBegin(At(20, 20), 1)) << c.what;
        EXPECT_EQ(m_screen->OnPointerEnd(At(c.endX, 20), c.endPointer), c.taken) << c.what;
        gScreenEvents.erase(std::remove_if(gScreenEvents.begin(), gScreenEvents.end(), [](const std::string& e) { return e.back() == '4'; }),
                      gScreenEvents.end());
        EXPECT_EQ(gScreenEvents, c.events) << c.what;
        if (m_screen->GetPressedElement() != nullptr)
            m_screen->OnPointerEnd(At(20, 20), 1);
    }
    (void)b;
    (void)other;
}

TEST_F(UIScreenTest, MovesTellTheElementUnderThePointerAndDropAPressThatLeftIt)
{
    UIElement* b = Button("b", 10, 10, 50, 50);
    b->AddEventListener(&m_listener, &Record, UIEVENT_POINTERMOVE, 0, UIEVENTFLAG_ONALL);
    Draw();
    EXPECT_FALSE(m_screen->OnPointerMove(At(20, 20), 3));
    EXPECT_FALSE(m_screen->OnPointerMove(At(200, 20), 3));
    EXPECT_EQ(gScreenEvents, (std::vector<std::string>{"b:8"})) << "only the element under the pointer hears it";
    gScreenEvents.clear();
    ASSERT_TRUE(m_screen->OnPointerBegin(At(20, 20), 1));
    m_screen->OnPointerMove(At(30, 20), 1);
    EXPECT_EQ(m_screen->GetPressedElement(), b) << "a move within the element keeps its press";
    m_screen->OnPointerMove(At(200, 20), 1);
    EXPECT_EQ(m_screen->GetPressedElement(), nullptr) << "a move off it drops the press";
    EXPECT_FALSE(m_screen->OnPointerEnd(At(20, 20), 1)) << "the release is offered like any other";
}

TEST_F(UIScreenTest, SimulatedTapsPressAndReleaseTheElementOnce)
{
    UIElement* b = Button("b", 10, 10, 50, 50);
    m_screen->SetName("screen");
    m_screen->AddEventListener(&m_listener, &Record, UIEVENT_MOUSEDOWN, 0, UIEVENTFLAG_ONALL);
    m_screen->SimulateTapBegin(b);
    m_screen->SimulateTapBegin(b);
    EXPECT_TRUE(m_screen->SimulateTapEnd());
    EXPECT_FALSE(m_screen->SimulateTapEnd()) << "nothing is held any more";
    EXPECT_EQ(gScreenEvents, (std::vector<std::string>{"b:2", "b:2", "screen:2", "b:4", "b:3"}))
        << "the screen hears b's press go up, and the second begin";
    gScreenEvents.clear();
    m_screen->SimulateClick(b);
    EXPECT_EQ(gScreenEvents, (std::vector<std::string>{"b:2", "b:2", "b:4", "b:3"}));
}

TEST_F(UIScreenTest, AClickedUTF16InputIsEditedUntilTheNextPressOrEnter)
{
    auto* input = new UIUniTextInput("body.ttf", 12);
    UIElement* caret = new UIElement;
    input->SetCursorElement(caret);
    caret->Hide();
    Button("in", 10, 10, 50, 20, nullptr, input);
    Button("narrow", 10, 100, 50, 20, nullptr, new UITextInput("body.ttf", 12));
    Button("other", 200, 10, 50, 20);
    Draw();
    struct Step
    {
        float x, y;
        bool enter;
        bool edited; // the input is focused with its caret shown afterwards
        bool handled;
        float raise; // where the screen's latest move takes it: up while editing, back on a press elsewhere
    };
    const Step steps[] = {
        {20, 20, false, true, true, -200},   // a click on it starts the editing
        {0, 0, true, false, true, -200},     // Enter ends it
        {0, 0, true, false, false, -200},    // and a second Enter has nothing to end
        {20, 20, false, true, true, -200},
        {210, 20, false, false, true, 0},    // a press elsewhere ends it
        {20, 110, false, false, true, 0},    // a narrow input is never the edited one
    };
    for (const Step& step : steps)
    {
        bool handled;
        if (step.enter)
        {
            handled = m_screen->OnKey(13);
        }
        else
        {
            handled = m_screen->OnPointerBegin(At(step.x, step.y), 1);
            m_screen->OnPointerEnd(At(step.x, step.y), 1);
        }
        EXPECT_EQ(handled, step.handled) << step.x << " " << step.y;
        EXPECT_EQ(input->IsFocusedFlag(), step.edited) << step.x << " " << step.y;
        EXPECT_EQ(caret->IsVisibleFlag(), step.edited) << step.x << " " << step.y;
        const auto* move = dynamic_cast<const UIActionMove*>(m_screen->ActionTail(0));
        ASSERT_NE(move, nullptr);
        EXPECT_EQ(move->GetTarget().y, step.raise) << step.x << " " << step.y;
    }
    input->SetEnable(false, true);
    m_screen->OnPointerBegin(At(20, 20), 1);
    m_screen->OnPointerEnd(At(20, 20), 1);
    EXPECT_FALSE(input->IsFocusedFlag()) << "a disabled input is not edited";
}

TEST_F(UIScreenTest, ModalElementsStopOutsidePressesAndSemiModalOnesHide)
{
    struct Case
    {
        uint32_t mode;
        bool stillVisible;
        bool outsideGetsPress;
    };
    // The shown dialog is drawn last: it alone is hit-testable, so the first press lands outside
    // every candidate; once a semi-modal dialog has hidden, the next draw records the others again.
    const Case cases[] = {{2, true, false}, {1, false, true}};
    for (const Case& c : cases)
    {
        gScreenEvents.clear();
        UIElement* outside = Button("outside", 200, 10, 50, 50);
        UIElement* dialog = Button("dialog", 10, 10, 50, 50);
        dialog->SetModal(c.mode);
        dialog->Hide();
        dialog->Show();
        ASSERT_EQ(m_screen->GetModalElement(), dialog) << "mode " << c.mode;
        Draw();
        m_screen->OnPointerBegin(At(210, 20), 1);
        m_screen->OnPointerEnd(At(210, 20), 1);
        EXPECT_EQ(dialog->IsVisibleFlag(), c.stillVisible) << "mode " << c.mode;
        Draw();
        m_screen->OnPointerBegin(At(210, 20), 1);
        m_screen->OnPointerEnd(At(210, 20), 1);
        const bool pressed = std::find(gScreenEvents.begin(), gScreenEvents.end(), "outside:2") != gScreenEvents.end();
        EXPECT_EQ(pressed, c.outsideGetsPress) << "mode " << c.mode;
        outside->Release();
        dialog->Release();
    }
}

TEST_F(UIScreenTest, ModalsHoldBackTapsOnOtherElementsAndGiveWayToTheNextModal)
{
    UIElement* outside = Button("outside", 200, 10, 50, 50);
    UIElement* dialog = Button("dialog", 10, 10, 50, 50);
    UIElement* next = Button("next", 100, 10, 50, 50);
    dialog->SetModal(2);
    next->SetModal(2);
    next->Hide();
    dialog->Hide();
    dialog->Show();
    m_screen->SimulateClick(outside);
    EXPECT_TRUE(dialog->IsVisibleFlag()) << "a modal only flashes";
    EXPECT_EQ(gScreenEvents, std::vector<std::string>{}) << "the press and the release stop at the screen";
    dialog->SetModal(1);
    m_screen->SimulateClick(outside);
    EXPECT_FALSE(dialog->IsVisibleFlag()) << "a semi-modal hides";
    EXPECT_EQ(m_screen->GetModalElement(), nullptr);
    EXPECT_EQ(gScreenEvents, (std::vector<std::string>{"outside:2", "outside:4", "outside:3"}));
    dialog->Show();
    next->Show();
    EXPECT_FALSE(dialog->IsVisibleFlag()) << "a newly shown modal hides the one before";
    EXPECT_EQ(m_screen->GetModalElement(), next);
}

TEST_F(UIScreenTest, AMoveAfterAPressHandsThePressToTheDragTarget)
{
    DragElement* pane = new DragElement;
    pane->SetSizeXY(200, 200);
    m_screen->AddChild(pane);
    UIElement* item = Button("item", 10, 10, 50, 50, pane);
    Draw();
    ASSERT_TRUE(m_screen->OnPointerBegin(At(20, 20), 5));
    EXPECT_FALSE(m_screen->OnPointerMove(At(30, 20), 5));
    EXPECT_EQ(m_screen->GetPressedElement(), pane) << "the nearest ancestor that wants to drag";
    EXPECT_TRUE(m_screen->IsDragging());
    EXPECT_TRUE(m_screen->OnPointerMove(At(40, 20), 5));
    ASSERT_EQ(pane->drags.size(), 1u);
    EXPECT_FLOAT_EQ(pane->drags[0], 40.0f / 320.0f);
    (void)item;
    m_screen->OnPointerEnd(At(40, 20), 5);
    // Drag flag bit 0 ends the search: the press stays where it was.
    pane->SetDragFlags(0);
    item->SetDragFlags(1);
    m_screen->OnPointerBegin(At(20, 20), 6);
    m_screen->OnPointerMove(At(30, 20), 6);
    EXPECT_FALSE(m_screen->IsDragging());
    item->SetDragFlags(0);
    m_screen->OnPointerMove(At(40, 20), 6);
    EXPECT_FALSE(m_screen->IsDragging()) << "only the first move of a press looks for a drag target";
}

TEST_F(UIScreenTest, PadNavigationMovesOncePerSectorOutsideTheDeadZone)
{
    UIScreenStack stack;
    stack.PushScreen(m_screen);
    UIElement* left = Button("left", 20, 100, 40, 40);
    UIElement* middle = Button("middle", 140, 100, 40, 40);
    UIElement* right = Button("right", 260, 100, 40, 40);
    UIElement* above = Button("above", 196, 40, 40, 40); // 35 degrees right of straight up from the middle
    UIElement* off = Button("off", 200, 100, 40, 40);    // between the middle and the right, but disabled
    for (UIElement* e : {left, middle, right, above, off})
        e->RaiseFlag(0x400);
    off->SetEnable(false, true);
    Draw();
    struct Step
    {
        float x, y;
        UIElement* highlighted;
    };
    const Step steps[] = {
        {0.3f, 0.0f, nullptr}, // below 0.45 of full range
        {1.0f, 0.0f, middle},  // no highlight yet: the element nearest the centre
        {1.0f, 0.1f, middle},  // the same sector: nothing moves
        {0.0f, 0.0f, middle},
        {1.0f, 0.0f, right},
        {-1.0f, 0.0f, middle},
        {0.0f, 0.0f, middle},  {-1.0f, 0.0f, left},
        {1.0f, 0.0f, middle},  // the nearer of the two to its right
        {0.0f, 1.0f, above}, // only the wider second search reaches it
    };
    for (const Step& s : steps)
    {
        stack.UpdateNavigation(Vector(s.x, s.y, 0.0f, 0.0f));
        EXPECT_EQ(stack.GetHighlightedElement(), s.highlighted) << "stick (" << s.x << ", " << s.y << ")";
    }
    EXPECT_TRUE(!right->IsHighlightedFlag() && !middle->IsHighlightedFlag() && above->IsHighlightedFlag());
    stack.SetHighlightedElement(nullptr);
    EXPECT_FALSE(above->IsHighlightedFlag()) << "clearing the highlight unlights the element";
    stack.SetHighlightedElement(above);
    UIScreen* cover = new UIScreen;
    cover->SetVisible(true);
    stack.PushScreen(cover);
    stack.UpdateMouseOver(At(40, 120));
    EXPECT_EQ(stack.GetMouseOverElement(), left) << "an empty screen above lets the pointer through";
    cover->SetBlocksSceneRendering(true);
    stack.UpdateMouseOver(At(40, 120));
    EXPECT_EQ(stack.GetMouseOverElement(), nullptr) << "unless it covers the scene";
    stack.Clear(false);
    cover->Release();
}

TEST_F(UIScreenTest, PointConversionsFollowTheLetterbox)
{
    struct Case
    {
        float uiWidth, uiHeight;
        Vector ui, screen;
    };
    // A 320 x 120 UI is centred down a 320 x 240 window, a 160 x 240 one across it.
    const Case cases[] = {{320, 120, Vector(320, 0, 0, 1), Vector(1, 0.25f, 0, 1)},
                          {160, 240, Vector(0, 0, 0, 1), Vector(0.25f, 0, 0, 1)},
                          {160, 240, Vector(160, 240, 0, 1), Vector(0.75f, 1, 0, 1)},
                          {160, 240, Vector(-80, 120, 0, 1), Vector(0, 0.5f, 0, 1)}};
    for (const Case& c : cases)
    {
        UIScreen::SetUISizeOverride(c.uiWidth, c.uiHeight);
        Draw();
        Vector screen, ui;
        ASSERT_TRUE(m_screen->UIPointToScreenPoint(c.ui, screen));
        EXPECT_NEAR(screen.x, c.screen.x, 1e-5f);
        EXPECT_NEAR(screen.y, c.screen.y, 1e-5f);
        ASSERT_TRUE(m_screen->ScreenPointToUIPoint(screen, ui));
        EXPECT_NEAR(ui.x, c.ui.x, 1e-3f);
        EXPECT_NEAR(ui.y, c.ui.y, 1e-3f);
    }
    Matrix camera = Matrix::ONE;
    camera.rows[3].w = 0.5f;
    Vector ui;
    ASSERT_TRUE(m_screen->WorldPositionToUIPoint(Vector(0.25f, 0.25f, 7, 1), camera, ui)) << "x right, y up, over w";
    EXPECT_NEAR(ui.x, 160.0f, 1e-3f);
    EXPECT_NEAR(ui.y, 60.0f, 1e-3f);
    EXPECT_EQ(ui.z, 0.0f);
    camera.rows[3].w = -1.0f;
    EXPECT_FALSE(m_screen->WorldPositionToUIPoint(Vector(0.5f, 0.5f, 7, 1), camera, ui)) << "behind the camera";
    // A bottom-aligned element is hit where it is drawn: at the window's edge, below the 320 x 120 UI.
    UIScreen::SetUISizeOverride(320.0f, 120.0f);
    UIElement* bottom = Button("bottom", 0, 100, 20, 20);
    bottom->SetWindowAlignment(UIWINDOWALIGNMENT_BOTTOM);
    Draw();
    EXPECT_EQ(m_screen->GetElementAtScreenPosition(At(10, 230)), bottom);
    EXPECT_EQ(m_screen->GetElementAtScreenPosition(At(10, 170)), nullptr);
    UIScreen fresh;
    Vector out;
    EXPECT_FALSE(fresh.UIPointToScreenPoint(Vector(0, 0, 0, 1), out)) << "no layout before the first draw";
}
} // namespace
