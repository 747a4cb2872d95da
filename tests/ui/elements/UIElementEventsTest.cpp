// State setters: the exact order of visual reactions and events, dispatch through the tree,
// listeners, clicks and double clicks on a manual clock.
#include "ui/elements/UIElement.h"

#include "platform/os/Clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> gLog;

// Logs each visual reaction it is asked for, then answers as the base does.
class RecordingElement : public UIElement
{
public:
    explicit RecordingElement(const char* name) { SetName(name); }
#define NORVEX_RECORD(Name)                                                                                            \
    bool Default##Name(bool instant) override                                                                          \
    {                                                                                                                  \
        gLog.push_back(std::string(GetName()) + "." #Name);                                                            \
        return UIElement::Default##Name(instant);                                                                      \
    }
    NORVEX_RECORD(OnShow)
    NORVEX_RECORD(OnHide)
    NORVEX_RECORD(OnEnable)
    NORVEX_RECORD(OnSelect)
    NORVEX_RECORD(OnUnselect)
    NORVEX_RECORD(OnHighlight)
    NORVEX_RECORD(OnSHighlight)
    NORVEX_RECORD(OnPress)
    NORVEX_RECORD(OnUnPress)
    NORVEX_RECORD(OnFocus)
    NORVEX_RECORD(OnDisable)
    NORVEX_RECORD(OnDSelect)
    NORVEX_RECORD(OnDUnselect)
    NORVEX_RECORD(OnDHighlight)
    NORVEX_RECORD(OnDSHighlight)
    NORVEX_RECORD(OnDPress)
    NORVEX_RECORD(OnDUnPress)
    NORVEX_RECORD(OnDFocus)
#undef NORVEX_RECORD
    bool FollowsParentEnableState() const override { return follows; }
    bool WantsDrag() const override { return drags; }
    bool follows = false;
    bool drags = false;
};

class Listener : public SafePointerRoot
{
};

void LogEvent(SafePointerRoot*, UIEventRecord* record)
{
    gLog.push_back("event " + std::to_string(record->type) + " " + record->source->GetName() + " v" +
                   std::to_string(record->value) + " p" + std::to_string(record->pointer) +
                   (record->argument != 0 ? " instant" : ""));
}

using Log = std::vector<std::string>;

class UIElementEventsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gLog.clear();
        os::EnableManualCounter(100 * os::kCounterFrequency);
        root->AddChild(button);
    }
    void TearDown() override
    {
        root->Release();
        os::DisableManualCounter();
    }
    // Listens on `element` to every type with the given flags; the user value is the type.
    void ListenAll(UIElement& element, uint8_t flags)
    {
        for (uint32_t type = 0; type <= UIEVENT_ONUNFOCUS; ++type)
            element.AddEventListener(&listener, &LogEvent, type, type, flags);
    }
    Log Take()
    {
        Log out;
        out.swap(gLog);
        return out;
    }

    Listener listener;
    RecordingElement* root = new RecordingElement("root");
    RecordingElement* button = new RecordingElement("b");
};

TEST_F(UIElementEventsTest, StateSettersReactAndReportInTheirExactOrder)
{
    ListenAll(*button, UIEVENTFLAG_ONALL | UIEVENTFLAG_NOCONSUME);
    const struct
    {
        const char* name;
        std::function<void()> call;
        Log expected;
    } cases[] = {
        {"press on a tri-state element selects it first",
         [&] { button->SetTriState(true); button->SetPress(true, false, 7); },
         {"b.OnSelect", "event 19 b v19 p7", "event 21 b v21 p7", "b.OnPress", "event 15 b v15 p7"}},
        {"pressing again changes nothing", [&] { button->SetPress(true, false, 7); }, {}},
        {"unpress reacts to the selection that remains",
         [&] { button->SetPress(false, false, 7); },
         {"b.OnSelect", "b.OnUnPress", "event 16 b v16 p7"}},
        {"focus while selected", [&] { button->SetFocus(true, false); EXPECT_TRUE(button->IsFocused()); },
         {"b.OnFocus", "event 22 b v22 p0"}},
        {"unfocus keeps the selection", [&] { button->SetFocus(false, false); }, {"b.OnSelect", "event 23 b v23 p0"}},
        {"highlight while selected", [&] { button->SetHighlight(true, false, 3); }, {"b.OnSHighlight", "event 17 b v17 p3"}},
        {"press toggles the selection off",
         [&] { button->SetPress(true, false, 1); },
         {"b.OnUnselect", "b.OnEnable", "b.OnHighlight", "event 20 b v20 p1", "event 21 b v21 p1", "b.OnPress", "event 15 b v15 p1"}},
        {"unhighlight while pressed unpresses",
         [&] { button->SetHighlight(false, false, 2); },
         {"b.OnEnable", "b.OnUnPress", "event 16 b v16 p0", "event 18 b v18 p2"}},
        {"select without tri-state does nothing", [&] { button->SetTriState(false); button->SetSelect(true, false, 0); }, {}},
        {"disabled forms", [&] { button->SetEnable(false, true); button->SetHighlight(true, false, 0); },
         {"event 13 b v13 p0 instant", "b.OnDisable", "b.OnDHighlight", "event 17 b v17 p0"}},
        {"disabled press (not tri-state)", [&] { button->SetPress(true, false, 5); }, {"b.OnDPress", "event 15 b v15 p5"}},
        {"disabled focus after an unfocus", [&] { button->SetFocus(true, false); }, {"b.OnDFocus", "event 22 b v22 p0"}},
    };
    for (const auto& c : cases)
    {
        c.call();
        EXPECT_EQ(Take(), c.expected) << c.name;
    }
}

TEST_F(UIElementEventsTest, VisibilityReachesTheSubtreeAndIsNotReentrant)
{
    RecordingElement* child = new RecordingElement("c");
    button->AddChild(child);
    ListenAll(*child, UIEVENTFLAG_ONALL | UIEVENTFLAG_NOCONSUME);
    button->SetVisible(false, true, false);
    EXPECT_EQ(Take(), (Log{"b.OnHide", "c.OnHide"})) << "the hide is passed down to visible children";
    EXPECT_EQ(button->GetRenderFlags() & UIFLAG_HIDDEN, UIFLAG_HIDDEN) << "an instant hide hides at once";
    EXPECT_FALSE(child->IsVisible());
    EXPECT_TRUE(child->IsVisibleFlag());
    button->SetVisible(false, true, false);
    EXPECT_EQ(Take(), Log{}) << "hiding a hidden element";
    child->SetVisible(false, true, false);
    Take();
    button->Show();
    EXPECT_EQ(Take(), (Log{"b.OnEnable", "b.OnShow"})) << "a child without its own visible bit stops the show";
    EXPECT_EQ(button->GetRenderFlags() & UIFLAG_HIDDEN, 0u);
    root->Hide();
    Take();
    child->Show();
    EXPECT_TRUE(child->IsVisibleFlag());
    EXPECT_FALSE(child->IsVisible()) << "showing inside a hidden parent";
    EXPECT_EQ(Take(), (Log{"c.OnEnable", "c.OnShow", "event 11 c v11 p0 instant"}));
    child->AddChild(new RecordingElement("g"));
    button->SetVisible(false, true, false);
    Take();
    button->Show();
    EXPECT_EQ(Take(), (Log{"b.OnEnable", "b.OnShow", "c.OnShow"})) << "the show stops below a child still out of sight";
}

TEST_F(UIElementEventsTest, EnableStatePassesDownToFollowersAndListenersFireByState)
{
    RecordingElement* follower = new RecordingElement("f");
    RecordingElement* plain = new RecordingElement("p");
    follower->follows = true;
    button->AddChild(follower);
    button->AddChild(plain);
    ListenAll(*plain, UIEVENTFLAG_ONENABLE);
    button->SetEnable(false, false);
    EXPECT_EQ(Take(), (Log{"b.OnDisable", "f.OnDisable"})) << "listeners are not told of events passed down";
    EXPECT_FALSE(plain->IsEnabled());
    plain->SendEvent(UIEVENT_CLICK, 0, 0);
    EXPECT_EQ(Take(), Log{}) << "flag 1 does not fire while an ancestor is disabled";
    plain->AddEventListener(&listener, &LogEvent, UIEVENT_CLICK, 70000, UIEVENTFLAG_ONDISABLE);
    EXPECT_TRUE(plain->SendEvent(UIEVENT_CLICK, 0, 0)) << "a consuming listener";
    EXPECT_EQ(Take(), (Log{"event 4 p v70000 p0"}));
    button->SetEnable(false, false);
    EXPECT_EQ(Take(), Log{});
    root->SetEnable(false, false);
    Take();
    button->SetEnable(true, false);
    EXPECT_EQ(Take(), Log{}) << "enabling under a disabled parent sends nothing";
    root->SetEnable(true, false);
    EXPECT_EQ(Take(), (Log{"root.OnEnable", "f.OnEnable"})) << "a non-follower passes the event on without reacting";
    button->SetEnable(false, false);
    Take();
    button->SetEnable(true, false);
    EXPECT_EQ(Take(), (Log{"b.OnEnable", "f.OnEnable"})) << "an enable goes down, never up to the parent";
    button->SetEnable(false, false);
    root->SetEnable(false, false);
    Take();
    root->SetEnable(true, false);
    EXPECT_EQ(Take(), (Log{"root.OnEnable"})) << "a child still disabled keeps the enable from its followers";
}

TEST_F(UIElementEventsTest, AConsumedEventBubblesUpAndAnUnconsumedOneEndsWhereItIs)
{
    Listener* dying = new Listener;
    button->AddEventListener(&listener, &LogEvent, UIEVENT_ACTION, 1, UIEVENTFLAG_ONALL | UIEVENTFLAG_NOCONSUME);
    button->AddEventListener(dying, &LogEvent, UIEVENT_CLICK, 2, UIEVENTFLAG_ONALL);
    button->AddEventListener(dying, &LogEvent, UIEVENT_CLICK, 2, UIEVENTFLAG_ONALL);
    button->AddEventListener(dying, &LogEvent, UIEVENT_CLICK, 2, UIEVENTFLAG_ONDISABLE);
    EXPECT_EQ(button->GetListenerCount(), 3) << "an equal listener is not added twice; other flags make another";
    root->AddEventListener(&listener, &LogEvent, UIEVENT_CLICK, 3, UIEVENTFLAG_ONALL);
    EXPECT_TRUE(button->SendEvent(UIEVENT_CLICK, 0, 4));
    EXPECT_EQ(Take(), (Log{"event 4 b v2 p4", "event 4 b v1 p4", "event 4 b v3 p4"}))
        << "click listeners, then action listeners, then on to the parent";
    delete dying;
    EXPECT_FALSE(button->SendEvent(UIEVENT_CLICK, 0, 4)) << "nothing consumes at the button";
    EXPECT_EQ(Take(), (Log{"event 4 b v1 p4"})) << "so the dispatch ends there";
    EXPECT_EQ(button->GetListenerCount(), 1) << "the dead listener was dropped";
    button->AddEventListener(&listener, &LogEvent, UIEVENT_KEY, 5, UIEVENTFLAG_ONALL);
    UIEventRecord record;
    record.type = UIEVENT_KEY;
    record.source = button;
    record.flags = UIDISPATCH_STOPBUBBLING;
    EXPECT_FALSE(button->DispatchEvent(record)) << "a record that must not bubble is not delivered";
    record.flags = UIDISPATCH_THISONLY;
    EXPECT_TRUE(button->DispatchEvent(record));
    EXPECT_EQ(record.flags, 0u) << "this-element-only flags are cleared after delivery";
    EXPECT_EQ(Take(), (Log{"event 1 b v5 p0"}));
    EXPECT_FALSE(button->SendEvent(UIEVENT_MOUSEDOWN, 0, 0)) << "nobody listens";
}

TEST_F(UIElementEventsTest, MouseUpsClickWhilePressedAndTwoWithinHalfASecondDoubleClick)
{
    button->drags = true;
    button->AddEventListener(&listener, &LogEvent, UIEVENT_MOUSEUP, 0, UIEVENTFLAG_ONALL);
    for (uint32_t type : {UIEVENT_CLICK, UIEVENT_DOUBLECLICK, UIEVENT_DRAGBEGIN, UIEVENT_DRAGEND, UIEVENT_MOUSEDOWN})
        button->AddEventListener(&listener, &LogEvent, type, 0, UIEVENTFLAG_ONALL | UIEVENTFLAG_NOCONSUME);
    EXPECT_TRUE(button->ConsumeMouseUp(1));
    EXPECT_EQ(Take(), (Log{"event 3 b v0 p1", "event 10 b v0 p1"})) << "not pressed: only the mouse-up and drag end";
    EXPECT_FALSE(button->ConsumeMouseDown(1)) << "no consuming listener";
    EXPECT_EQ(Take(), (Log{"event 2 b v0 p1"})) << "no drag begin when not consumed";
    button->SetPress(true, true, 1);
    Take();
    const int64_t second = os::kCounterFrequency;
    const struct
    {
        int64_t advance;
        bool doubleClick;
    } ups[] = {{0, false}, {second / 4, true}, {second / 4, false}, {second / 2, true}, {second / 2 + 1, false}, {second, false}};
    for (size_t i = 0; i < std::size(ups); ++i)
    {
        os::AdvanceManualCounter(ups[i].advance);
        button->ConsumeMouseUp(1);
        Log expected = {"event 4 b v0 p1"};
        if (ups[i].doubleClick)
            expected.push_back("event 5 b v0 p1");
        expected.push_back("event 3 b v0 p1");
        expected.push_back("event 10 b v0 p1");
        EXPECT_EQ(Take(), expected) << "mouse-up " << i;
    }
}

TEST_F(UIElementEventsTest, ModalStateAndQueries)
{
    RecordingElement* child = new RecordingElement("c");
    button->AddChild(child);
    button->SetModal(2);
    EXPECT_EQ(button->IsModal(), 2u);
    EXPECT_EQ(child->IsModal(), 2u) << "the parent's own bits";
    EXPECT_EQ(root->IsModal(), 0u);
    const uint32_t renderState = child->GetRenderState();
    child->SetModal(1);
    EXPECT_EQ(child->IsModalFlag(), 0u) << "inside a modal parent nothing happens";
    EXPECT_EQ(child->GetRenderState(), renderState);
    button->SetModal(1);
    EXPECT_EQ(button->IsModalFlag(), 1u);
    UIElement* grandchild = new UIElement;
    child->AddChild(grandchild);
    EXPECT_EQ(grandchild->IsModal(), 0u) << "never further up than the parent";

    UIEventRecord record;
    record.type = UIEVENT_KEY;
    record.source = grandchild;
    grandchild->DispatchEvent(record);
    EXPECT_EQ(record.modalRoot, button) << "the outermost modal ancestor";

    button->SetTriState(true);
    button->SetHighlight(true, true, 0);
    button->SetPress(true, true, 0);
    EXPECT_TRUE(grandchild->IsHighlighted());
    EXPECT_TRUE(grandchild->IsPressed());
    EXPECT_TRUE(grandchild->IsSelected());
    EXPECT_TRUE(grandchild->IsTriState());
    EXPECT_FALSE(grandchild->IsFocused());
    EXPECT_FALSE(grandchild->IsSelectedFlag());
}
} // namespace
