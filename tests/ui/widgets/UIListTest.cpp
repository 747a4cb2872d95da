// Lists built from recipes and driven by the screen's pointer input over a manual frame clock:
// entries and the fixed entry, drags, refusals past the margin, throws (their speed, the clamp, a
// still release), the spring back, presses that select or are handed on, and round lists. The
// entry arithmetic is checked on its own, including lists whose entries are too low to divide by.
#include "support/ConsoleCapture.h"
#include "support/UIWidgetScreen.h"
#include "ui/recipes/UIButtonRecipe.h"
#include "ui/recipes/UIListRecipe.h"
#include "ui/recipes/UIRoundListRecipe.h"
#include "ui/recipes/UITextRecipe.h"
#include "ui/elements/UITextBase.h"
#include "ui/text/StringReplacementContainer.h"
#include "ui/widgets/UIActionKinds.h"
#include "ui/widgets/UIList.h"
#include "ui/widgets/UIListGeometry.h"
#include "ui/widgets/UIRoundList.h"

#include <cmath>
#include <memory>

namespace
{
class UIListTest : public UIWidgetScreen
{
protected:
    // A 200 x 100 list at the origin whose entries are 200 x 40 bi-state buttons.
    UIList* Build(bool selectable, bool bypass, float entryHeight = 40.0f)
    {
        m_recipe = std::make_unique<UIListRecipe>();
        m_recipe->m_size.Set(200, 100, 0, 0);
        m_recipe->m_selectableChildren = selectable;
        m_recipe->m_bypassEvents = bypass;
        // The stand-in screen draws without a device, where a clip rectangle would cut the hit areas.
        m_recipe->m_clipChildren = false;
        for (const char* name : {"Entry", "FixedEntry"})
        {
            auto* entry = new UIButtonRecipe;
            entry->m_name.Set(name);
            entry->m_anchorBy = UIElementRecipe::ANCHOR_BY_ANCHOR;
            entry->m_size.Set(200, entryHeight, 0, 0);
            entry->m_biState = true;
            entry->SetShader(NameString(""));
            m_recipe->AddChild(entry);
        }
        m_list = static_cast<UIList*>(UIElementRecipe::CreateElement(m_recipe.get(), nullptr, 0, nullptr));
        m_screen->AddChild(m_list);
        return m_list;
    }
    void AddEntries(int count, int withFixedAt = -1)
    {
        for (int i = 0; i < count; ++i)
        {
            UIElement* entry = m_list->AddListElement("Entry", i == withFixedAt, true);
            ASSERT_EQ(entry, m_list->GetEntry(m_list->GetEntryCount() - 1)) << "the new entry, fixed one or not";
            entry->SetName(("e" + std::to_string(m_list->GetEntryCount() - 1)).c_str());
        }
        DrawAt(m_now);
    }
    // Presses at (100, y) at the current time and drags by each step, one 0.1 s frame per step.
    void Drag(float y, std::initializer_list<float> steps)
    {
        m_screen->OnPointerBegin(At(100, y), 1);
        m_screen->OnPointerMove(At(100, y + 1), 1); // hands the press to the list
        m_screen->OnPointerMove(At(100, y), 1);     // the first step only starts the drag
        for (float step : steps)
        {
            y += step;
            m_screen->OnPointerMove(At(100, y), 1);
            Frame();
        }
        m_y = y;
    }
    void Release() { m_screen->OnPointerEnd(At(100, m_y), 1); }
    void Frame(double seconds = 0.1)
    {
        m_now += seconds;
        DrawAt(m_now);
    }
    float Offset() const { return m_list->GetRenderOffset(); }

    std::unique_ptr<UIListRecipe> m_recipe;
    UIList* m_list = nullptr;
    double m_now = 1.0;
    float m_y = 0.0f;
};

TEST(UIListGeometryTest, AveragesNeverDivideByZeroAndTheFixedEntryCasesFollowTheView)
{
    EXPECT_EQ(AverageEntryHeight(120, 3), 40u);
    EXPECT_EQ(AverageEntryHeight(130, 3), 43u) << "whole units";
    EXPECT_EQ(AverageEntryHeight(0, 0), 1u) << "no entries";
    EXPECT_EQ(AverageEntryHeight(1.5f, 3), 1u) << "entries below one unit";
    EXPECT_EQ(FirstVisibleEntry(-90, 120, 3), 2u);
    EXPECT_EQ(FirstVisibleEntry(30, 120, 3), 0u);
    EXPECT_EQ(FirstVisibleEntry(-50, 0, 0), 50u);
    EXPECT_EQ(FixedEntrySpan(40, 120, 3), 1u);
    EXPECT_EQ(FixedEntrySpan(100, 130, 3), 2u) << "against the unrounded average";
    EXPECT_EQ(FixedEntrySpan(40, 0, 2), 40u);
    struct Case
    {
        bool visible;
        float offset;
        FixedEntryCase expected;
    };
    // Five entries of 40, the fixed one standing for entry 2 and covering one row.
    const Case cases[] = {
        {false, 0, FIXED_SHOW_AT_BOTTOM},  {false, -40, FIXED_KEEP},          {false, -80, FIXED_KEEP},
        {false, -120, FIXED_HIDE_AT_TOP}, {true, -40, FIXED_HIDE_IN_VIEW},    {true, -80, FIXED_HIDE_IN_VIEW},
        {true, 0, FIXED_KEEP},             {true, -120, FIXED_KEEP},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseFixedEntryCase(c.visible, c.offset, 200, 5, 2, 1), c.expected) << c.visible << " " << c.offset;
}

TEST_F(UIListTest, EntriesStackFromTheirRecipesAndAnUnknownSubRecipeOrIndexFindsNothing)
{
    Build(true, false);
    AddEntries(3);
    EXPECT_EQ(m_list->AddListElement("Nothing", false, true), nullptr);
    ASSERT_EQ(m_list->GetEntryCount(), 3);
    EXPECT_FLOAT_EQ(m_list->GetContentLength(), 120);
    for (int i = 0; i < 3; ++i)
    {
        UIElement* entry = m_list->GetEntry(i);
        EXPECT_EQ(entry->GetParent(), m_list->GetContainer());
        EXPECT_FLOAT_EQ(entry->GetRenderPosition().y, 40.0f * float(i));
        EXPECT_EQ(entry->GetUserFlags() & 128u, 128u);
    }
    EXPECT_EQ(m_list->GetEntry(3), nullptr);
    EXPECT_EQ(m_list->GetEntry(-1), nullptr);
    m_list->Clear(false);
    EXPECT_EQ(m_list->GetEntryCount(), 0);
    EXPECT_EQ(m_list->GetEntry(0), nullptr);
    EXPECT_EQ(m_list->GetContainer()->GetFirstChild(), nullptr);
    EXPECT_EQ(m_list->GetContentLength(), 0.0f);
    AddEntries(2);
    UIElement* const kept[] = {m_list->GetEntry(0), m_list->GetEntry(1)};
    m_list->Clear(true);
    EXPECT_EQ(m_list->GetEntryCount(), 0);
    for (UIElement* const entry : kept)
    {
        EXPECT_EQ(entry->GetParent(), nullptr) << "kept entries leave before their container goes";
        entry->Release();
    }
}

TEST_F(UIListTest, DragsScrollUntilTheMarginAndARefusedEndSpringsBackByFivePercentPerFrame)
{
    Build(false, false);
    AddEntries(5);
    Drag(50, {20, 20, 20});
    EXPECT_NEAR(Offset(), 40, 1e-3) << "the step after the offset passed 25 is refused";
    EXPECT_NEAR(m_list->GetContainer()->GetRenderPosition().y, 40, 1e-3);
    EXPECT_FALSE(m_list->IsSettled());
    Release();
    Frame();
    EXPECT_EQ(m_list->GetMotionState(), UIList::MOTION_SPRINGING);
    const float first = Offset();
    Frame();
    EXPECT_NEAR(Offset(), first * 0.95f, 1e-3);
    for (int i = 0; i < 100 && m_list->GetMotionState() != UIList::MOTION_IDLE; ++i)
        Frame();
    EXPECT_EQ(m_list->GetMotionState(), UIList::MOTION_IDLE);
    EXPECT_LT(Offset(), 1.0f);
    EXPECT_GT(Offset(), 0.0f);
}

TEST_F(UIListTest, ThrowSpeedComesFromTheLastStepAndThePressTimeAndIsClamped)
{
    struct Case
    {
        float step;
        double pressSeconds; // from the press to the release
        float velocity;
        int32_t direction;
    };
    const Case cases[] = {
        {-6, 0.2, -300, -1}, {-6, 0.4, -150, -1}, {-60, 0.2, -1500, -1}, {6, 0.2, 300, 1}, {0, 0.2, 0, -1},
    };
    for (const Case& c : cases)
    {
        Build(false, false);
        AddEntries(20);
        Drag(50, {c.step});
        m_now += c.pressSeconds - 0.1;
        SetClock(m_now);
        Release();
        EXPECT_EQ(m_list->GetMotionState(), UIList::MOTION_THROWN);
        EXPECT_NEAR(m_list->GetVelocity(), c.velocity, 0.05f) << c.step << " " << c.pressSeconds;
        EXPECT_EQ(m_list->GetDirection(), c.direction);
        if (c.step == 0)
        {
            Frame();
            EXPECT_EQ(m_list->GetMotionState(), UIList::MOTION_IDLE) << "a throw without speed ends at once";
        }
        m_list->Release();
    }
}

TEST_F(UIListTest, AThrowSlowsToAStopInsideTheListWithoutSpringingBack)
{
    Build(false, false);
    AddEntries(10);
    Drag(50, {-6});
    m_now += 0.1;
    SetClock(m_now);
    Release(); // -300 per second, slowing by 300 per second
    const float start = Offset();
    Frame();
    EXPECT_NEAR(Offset() - start, -27, 1e-3) << "the first frame already slowed by 30";
    for (int i = 0; i < 20 && m_list->GetMotionState() != UIList::MOTION_IDLE; ++i)
        Frame();
    EXPECT_EQ(m_list->GetMotionState(), UIList::MOTION_IDLE);
    EXPECT_NEAR(Offset() - start, -135, 1e-2);
    EXPECT_EQ(m_list->GetVelocity(), 0.0f);
    Frame();
    EXPECT_NEAR(Offset() - start, -135, 1e-2) << "no spring back inside the list";
}

TEST_F(UIListTest, PulledPastItsMarginTheListSpringsBackUntilItsLastEntryMeetsTheBottom)
{
    Build(false, false);
    AddEntries(5); // 200 long in a 100 high view
    Drag(50, {-40, -40, -40, -40, 0}); // the last step is refused and releases without a throw
    Release();
    Frame();
    ASSERT_EQ(m_list->GetMotionState(), UIList::MOTION_SPRINGING);
    const float first = Offset();
    ASSERT_LT(first, -100.0f);
    Frame();
    EXPECT_NEAR(Offset(), first - (first + 100.0f) * 0.05f, 1e-3);
    // A press held a frame and let go without a move while it springs throws nothing: the spring goes on.
    const float pressed = Offset();
    Drag(50, {});
    Frame();
    Release();
    Frame();
    EXPECT_NEAR(Offset(), pressed - (pressed + 100.0f) * 0.05f, 1e-3);
    for (int i = 0; i < 100 && m_list->GetMotionState() != UIList::MOTION_IDLE; ++i)
        Frame();
    EXPECT_EQ(m_list->GetMotionState(), UIList::MOTION_IDLE);
    EXPECT_GT(Offset(), -101.0f);
    EXPECT_LT(Offset(), -100.0f);
}

TEST_F(UIListTest, PressesSelectHandOnOrStopAsTheListIsSetUp)
{
    struct Step
    {
        const char* what;
        bool selectable, bypass, drag, glide;
        const char* selected;         // the selected entry afterwards, or ""
        std::vector<std::string> got; // what the pressed entry heard
        int changes;                  // selection-changed events of the list
    };
    const Step steps[] = {
        {"a press selects", true, false, false, false, "e1", {}, 1},
        {"a press and a drag select nothing", true, false, true, false, "", {}, 0},
        {"a press while gliding only stops", true, false, false, true, "", {}, 0},
        {"without selection the press is handed on", false, false, false, false, "", {"e1:2", "e1:4", "e1:3"}, 0},
        {"with bypass nothing is handed on", false, true, false, false, "", {}, 0},
    };
    for (const Step& s : steps)
    {
        Build(s.selectable, s.bypass);
        AddEntries(8);
        UIEventLog log;
        log.Listen(*m_list->GetEntry(1), {UIEVENT_MOUSEDOWN, UIEVENT_MOUSEUP, UIEVENT_CLICK});
        log.Listen(*m_list, {UIEVENT_ONSELECTIONCHANGED});
        log.Listen(*m_screen, {UIEVENT_CLICK}); // an entry's events never bubble past the list
        if (s.glide)
        {
            Drag(50, {-20});
            Release();
            ASSERT_EQ(m_list->GetMotionState(), UIList::MOTION_THROWN);
        }
        const float y = 60 + Offset();
        if (s.drag)
        {
            Drag(y, {-10});
            Release();
        }
        else
        {
            m_screen->OnPointerBegin(At(100, y), 1);
            m_screen->OnPointerEnd(At(100, y), 1);
        }
        UIElement* current = m_list->GetCurrent();
        EXPECT_STREQ(current != nullptr ? current->GetName() : "", s.selected) << s.what;
        if (s.selectable)
        {
            EXPECT_EQ(m_list->GetEntry(1)->IsSelectedFlag(), s.selected[0] != 0) << s.what;
        }
        std::vector<std::string> got, changes;
        for (const std::string& e : log.events)
            (e.rfind("e1:", 0) == 0 ? got : changes).push_back(e);
        EXPECT_EQ(got, s.got) << s.what;
        EXPECT_EQ(int(changes.size()), s.changes) << s.what;
        m_list->Release();
    }
}

TEST_F(UIListTest, TheSelectedEntryStaysSelectedAndOnlyPressOnChildFlipsItWithBypass)
{
    Build(true, false);
    AddEntries(3);
    m_list->PressOnChild(m_list->GetEntry(2));
    m_list->PressOnChild(m_list->GetEntry(2));
    EXPECT_TRUE(m_list->GetEntry(2)->IsSelectedFlag()) << "without bypass nothing flips it";
    m_list->Release();

    Build(true, true);
    AddEntries(3);
    UIElement* e1 = m_list->GetEntry(1);
    for (int i = 0; i < 2; ++i)
    {
        m_screen->OnPointerBegin(At(100, 60), 1);
        EXPECT_TRUE(e1->IsHighlightedFlag()) << "the held entry lights up, tap " << i;
        m_screen->OnPointerEnd(At(100, 60), 1);
        EXPECT_TRUE(e1->IsSelectedFlag()) << "tap " << i;
    }
    m_list->PressOnChild(m_list->GetEntry(2));
    EXPECT_TRUE(m_list->GetEntry(2)->IsSelectedFlag());
    EXPECT_FALSE(e1->IsSelectedFlag());
    m_list->PressOnChild(m_list->GetEntry(2));
    EXPECT_FALSE(m_list->GetEntry(2)->IsSelectedFlag()) << "flipped off: not the entry last delivered";
}

TEST_F(UIListTest, APressOnAnEntryStopsAGlide)
{
    Build(true, false);
    AddEntries(8);
    Drag(50, {-20});
    Release();
    ASSERT_EQ(m_list->GetMotionState(), UIList::MOTION_THROWN);
    m_list->PressOnChild(m_list->GetEntry(3));
    Frame();
    const float stopped = Offset();
    Frame();
    EXPECT_EQ(m_list->GetMotionState(), UIList::MOTION_IDLE);
    EXPECT_EQ(Offset(), stopped);
    m_screen->OnPointerBegin(At(100, 60 + Offset()), 1);
    m_screen->OnPointerEnd(At(100, 60 + Offset()), 1);
    EXPECT_TRUE(m_list->GetEntry(1)->IsSelectedFlag()) << "the drag has ended: a tap selects again";
}

// An editor preview (both creation flags) fills the list with copies of its first sub-recipe.
TEST_F(UIListTest, APreviewHasTwentyCopiesOfTheFirstEntryInATransparentContainer)
{
    Build(false, false);
    auto* preview = static_cast<UIList*>(UIElementRecipe::CreateElement(m_recipe.get(), nullptr, 3, nullptr));
    EXPECT_EQ(preview->GetEntryCount(), 20);
    EXPECT_FLOAT_EQ(preview->GetContentLength(), 800.0f);
    EXPECT_NE(preview->GetContainer()->GetUserFlags() & UIFLAG_TRANSPARENT, 0u);
    preview->Release();
}

TEST_F(UIListTest, TheFixedEntryShowsAtTheBottomAndHidesWhenItsEntryComesIntoView)
{
    Build(false, false);
    AddEntries(2);
    AddEntries(1, 0); // entry 2 gets the fixed entry
    AddEntries(3);
    UIElement* fixed = m_list->GetFixedEntry();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(m_list->GetFixedIndex(), 2u);
    EXPECT_EQ(m_list->GetFixedSpan(), 1u);
    EXPECT_EQ(m_screen->GetLastChild(), m_list);
    EXPECT_EQ(m_list->GetLastChild(), fixed) << "drawn over the entries";
    EXPECT_TRUE(fixed->IsVisibleFlag()) << "entry 2 lies below the view";
    EXPECT_FLOAT_EQ(fixed->GetRenderPosition().y, 60);

    struct Step
    {
        float drag;
        bool shown;
    };
    // Entry 2 comes into view, leaves it downwards again, then passes above it.
    for (const Step s : {Step{-50, false}, Step{50, true}, Step{-50, false}, Step{-40, false}, Step{-40, false}})
    {
        Drag(50, {s.drag, 0}); // a last step of 0 releases without a throw
        Release();
        for (int i = 0; i < 40 && m_list->GetMotionState() != UIList::MOTION_IDLE; ++i)
            Frame();
        m_list->SyncFixedEntryState();
        EXPECT_EQ(fixed->IsVisibleFlag(), s.shown) << s.drag << " at " << Offset();
        const auto* fade = dynamic_cast<const UIActionBlendAndShowHide*>(fixed->GetFirstAction(3));
        EXPECT_EQ(fixed->IsRenderHidden() || (fade != nullptr && !fade->IsShowing()), !s.shown) << s.drag;
    }
    EXPECT_EQ(fixed->GetRenderPosition().y, 0.0f) << "put at the top once its entry passed above the view";
    fixed->Show();
    m_list->Clear(false);
    EXPECT_EQ(m_list->GetLastChild(), fixed) << "still drawn over the new container";
    EXPECT_FALSE(fixed->IsVisibleFlag()) << "hidden until its entry is added again";
}

TEST_F(UIListTest, EntriesWithoutHeightStillGetAFixedEntry)
{
    Build(false, false, 0.0f);
    AddEntries(3, 1);
    EXPECT_EQ(m_list->GetFixedSpan(), 0u);
    EXPECT_EQ(m_list->GetContentLength(), 0.0f);
    Drag(50, {-30});
    Release();
    Frame();
    EXPECT_NE(m_list->GetFixedEntry(), nullptr);
}

TEST_F(UIListTest, ARoundListNumbersItsEntriesAndWrapsTheLastTwoToTheTop)
{
    for (const uint32_t flags : {0u, 1u})
    {
        UIRoundListRecipe recipe;
        recipe.m_rangeFrom = 1;
        recipe.m_rangeTo = 5;
        auto* entry = new UITextRecipe;
        entry->m_name.Set("RoundListEntry");
        entry->m_size.Set(100, 30, 0, 0);
        recipe.AddChild(entry);
        ConsoleCapture console;
        auto* list = static_cast<UIRoundList*>(UIElementRecipe::CreateElement(&recipe, nullptr, flags, nullptr));
        if (flags == 1)
        {
            EXPECT_EQ(list->GetEntryCount(), 0) << "an in-game build leaves the range to scripts";
            list->Release();
            continue;
        }
        ASSERT_EQ(list->GetEntryCount(), 5);
        EXPECT_EQ(list->GetGeneratedCount(), 5u);
        const float placed[5] = {0, 30, 60, -60, -30};
        for (int i = 0; i < 5; ++i)
        {
            auto* text = static_cast<UITextBase*>(list->GetEntry(i));
            const std::u16string value = ExpandTextVariables(u"^Value^", text->GetReplacementInternals());
            EXPECT_EQ(value, std::u16string(1, char16_t(u'1' + i)));
            EXPECT_FLOAT_EQ(text->GetRenderPosition().y, placed[i]) << i;
        }
        EXPECT_FLOAT_EQ(list->GetTopOffset(), -60);
        EXPECT_FLOAT_EQ(list->GetBottomOffset(), 150 - 90 - 60);
        EXPECT_FLOAT_EQ(list->GetRunningOffset(), 0);
        int throws = 0;
        for (const CapturedMessage& m : console.Messages())
            throws += m.text == "ThrowLastElementUp" && m.channel == CONSOLE_CHANNEL_REPORT;
        EXPECT_EQ(throws, 2);
        list->Release();
    }
}
} // namespace
