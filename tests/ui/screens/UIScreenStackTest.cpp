#include "ui/screens/UIScreenStack.h"

#include "renderer/FrameClock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> gEvents;

class NamedScreen : public UIScreen
{
public:
    explicit NamedScreen(const char* name, bool takesKeys = false) : m_name(name), m_takesKeys(takesKeys)
    {
        SetVisible(true);
    }
    ~NamedScreen() override { gEvents.push_back(m_name + ":deleted"); }
    bool OnKey(uint32_t key) override
    {
        gEvents.push_back(m_name + ":key" + std::to_string(key));
        return m_takesKeys;
    }
    bool OnPointerBegin(const Vector&, uint32_t) override
    {
        gEvents.push_back(m_name + ":begin");
        return m_takesKeys;
    }
    void Draw(uint32_t, uint32_t, const FrameClock&, const FrameClock&, const Vector&) override
    {
        gEvents.push_back(m_name + ":draw");
    }

private:
    std::string m_name;
    bool m_takesKeys;
};
} // namespace

TEST(UIScreenStackTest, KeysAndPointersWalkFromTheTopUntilTakenOrCovered)
{
    gEvents.clear();
    UIScreenStack stack;
    NamedScreen bottom("bottom", true);
    NamedScreen middle("middle");
    NamedScreen top("top");
    stack.PushScreen(&bottom);
    stack.PushScreen(&middle);
    stack.PushScreen(&top);
    EXPECT_TRUE(stack.DispatchKey(13));
    EXPECT_TRUE(stack.DispatchPointerBegin(1, 0.5f, 0.5f));
    EXPECT_EQ(gEvents, (std::vector<std::string>{"top:key13", "middle:key13", "bottom:key13", "top:begin",
                                                 "middle:begin", "bottom:begin"}));
    gEvents.clear();
    middle.SetBlocksSceneRendering(true);
    top.SetVisible(false);
    EXPECT_FALSE(stack.DispatchKey(14));
    EXPECT_FALSE(stack.DispatchPointerBegin(1, 0.5f, 0.5f));
    EXPECT_EQ(gEvents, (std::vector<std::string>{"middle:key14", "middle:begin"})) << "hidden screens are skipped";
    stack.Clear(false);
}

TEST(UIScreenStackTest, BlockingAndPausingAskVisibleScreensOnly)
{
    UIScreenStack stack;
    NamedScreen a("a");
    NamedScreen b("b");
    stack.PushScreen(&a);
    stack.PushScreen(&b);
    EXPECT_FALSE(stack.IsSceneRenderingBlocked());
    a.SetBlocksSceneRendering(true);
    b.SetPausesGame(true);
    EXPECT_TRUE(stack.IsSceneRenderingBlocked());
    EXPECT_TRUE(stack.IsAnyVisibleScreenFlagged());
    a.SetVisible(false);
    b.SetVisible(false);
    EXPECT_FALSE(stack.IsSceneRenderingBlocked());
    EXPECT_FALSE(stack.IsAnyVisibleScreenFlagged());
    stack.Clear(false);
}

TEST(UIScreenStackTest, DrawingStartsAtTheTopmostCoveringScreen)
{
    gEvents.clear();
    UIScreenStack stack;
    NamedScreen a("a");
    NamedScreen b("b");
    NamedScreen c("c");
    stack.PushScreen(&a);
    stack.PushScreen(&b);
    stack.PushScreen(&c);
    const FrameClock clock;
    stack.Draw(320, 240, clock, clock, Vector(0, 0, 0, 0));
    EXPECT_EQ(gEvents, (std::vector<std::string>{"a:draw", "b:draw", "c:draw"}));
    gEvents.clear();
    b.SetBlocksSceneRendering(true);
    c.SetVisible(false);
    stack.Draw(320, 240, clock, clock, Vector(0, 0, 0, 0));
    EXPECT_EQ(gEvents, (std::vector<std::string>{"b:draw"}));
    stack.PushScreen(&b);
    stack.RemoveScreen(&b);
    EXPECT_EQ((std::vector<UIScreen*>{stack.GetAt(-1), stack.GetAt(0), stack.GetAt(1), stack.GetAt(2)}),
              (std::vector<UIScreen*>{nullptr, &a, &c, nullptr})) << "every entry of a removed screen goes";
    stack.RemoveScreen(&a);
    EXPECT_EQ(stack.GetAt(0), &c) << "the bottom screen goes too";
    stack.Clear(false);
}

TEST(UIScreenStackTest, ClearWithReleaseDeletesEachLiveScreenOnceAndDeadOnesAreSkipped)
{
    gEvents.clear();
    UIScreenStack stack;
    NamedScreen* first = new NamedScreen("first");
    NamedScreen* second = new NamedScreen("second");
    stack.PushScreen(first);
    stack.PushScreen(second);
    delete first;
    EXPECT_EQ(stack.GetTop(), second);
    EXPECT_FALSE(stack.DispatchKey(1)) << "the dead entry is skipped";
    stack.Clear(true);
    EXPECT_EQ(gEvents, (std::vector<std::string>{"first:deleted", "second:key1", "second:deleted"}));
    EXPECT_EQ(stack.GetCount(), 0);
    EXPECT_EQ(stack.GetAt(0), nullptr);

    // A deleted screen leaves null entries until the dead ones are swept; the live keep their order.
    NamedScreen kept("kept");
    NamedScreen last("last");
    NamedScreen* gone = new NamedScreen("gone");
    for (UIScreen* screen : {static_cast<UIScreen*>(gone), static_cast<UIScreen*>(&kept), static_cast<UIScreen*>(gone),
                             static_cast<UIScreen*>(&last), static_cast<UIScreen*>(gone)})
        stack.PushScreen(screen);
    delete gone;
    EXPECT_EQ(stack.GetCount(), 5);
    stack.RemoveDeadScreens();
    EXPECT_EQ((std::vector<UIScreen*>{stack.GetAt(0), stack.GetAt(1), stack.GetAt(2)}),
              (std::vector<UIScreen*>{&kept, &last, nullptr}));
    stack.Clear(false);
}
