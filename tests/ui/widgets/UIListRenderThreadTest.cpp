// ctest-labels: thread
// A list dragged on a running render thread: the render side decides the fixed entry's visibility
// while it scrolls and hands it back through the list, while the game thread keeps taking it over
// and reading the entry's state. Clean under ThreadSanitizer, and the game thread ends up with the
// render side's last decision. And widgets released while the render side still holds them.
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "ui/recipes/UIListRecipe.h"
#include "ui/screens/UIScreen.h"
#include "ui/widgets/UIActionKinds.h"
#include "ui/widgets/UIList.h"
#include "ui/widgets/UIRadioContainer.h"
#include "ui/widgets/UIRoundList.h"
#include "ui/widgets/UIScrollPane.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace
{
class UIListRenderThreadTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        UIScreen::SetUISizeOverride(320.0f, 240.0f);
    }
    void TearDown() override
    {
        UIScreen::SetUISizeOverride(0.0f, 0.0f);
        RendererTestBase::TearDown();
    }
    // What the game thread looked at (kept, so that the looks are made).
    volatile uint32_t m_seen = 0;
};

TEST_F(UIListRenderThreadTest, TheFixedEntryStateComesBackToTheGameThreadCleanly)
{
    UIListRecipe recipe;
    recipe.m_size.Set(200, 100, 0, 0);
    for (const char* name : {"Entry", "FixedEntry"})
    {
        auto* entry = new UIElementRecipe;
        entry->m_name.Set(name);
        entry->m_size.Set(200, 40, 0, 0);
        recipe.AddChild(entry);
    }
    auto* list = static_cast<UIList*>(UIElementRecipe::CreateElement(&recipe, nullptr, 0, nullptr));
    for (int i = 0; i < 8; ++i)
        list->AddListElement("Entry", i == 2, false);
    UIElement* fixed = list->GetFixedEntry();
    ASSERT_NE(fixed, nullptr);

    // Pointer steps of 10 UI units, up to 110 above the start and back, four times.
    const float unit = 1.0f / UIGetEffectiveScaleY();
    list->OnDrag(Vector(0.5f, 0.5f, 0.0f, 1.0f));
    for (int round = 0; round < 4; ++round)
    {
        for (int step = 0; step < 22; ++step)
        {
            const float y = 0.5f - 10.0f * unit * float(step < 11 ? step + 1 : 21 - step);
            list->OnDrag(Vector(0.5f, y, 0.0f, 1.0f));
        }
        // While the render thread scrolls, the game thread only looks at the list and its entry.
        m_renderer.SubmitCommands(false);
        for (int look = 0; look < 2000; ++look)
        {
            list->SyncFixedEntryState();
            m_seen = fixed->IsVisibleFlag() ? list->GetMotionState() : 0u;
        }
    }
    m_renderer.SubmitCommands(true);
    list->SyncFixedEntryState();
    bool renderShown = false;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        const auto* fade = dynamic_cast<const UIActionBlendAndShowHide*>(fixed->GetFirstAction(3));
        renderShown = !fixed->IsRenderHidden() && (fade == nullptr || fade->IsShowing());
    });
    EXPECT_EQ(fixed->IsVisibleFlag(), renderShown);
    // Entry 2 in view (offset -50) hides the pinned copy; back at the top it shows again.
    for (const auto& [y, shown] : {std::pair<float, bool>{0.5f - 50.0f * unit, false}, {0.5f, true}})
    {
        list->OnDrag(Vector(0.5f, y, 0.0f, 1.0f));
        m_renderer.SubmitCommands(true);
        list->SyncFixedEntryState();
        EXPECT_EQ(fixed->IsVisibleFlag(), shown);
    }
    list->Release();
    m_renderer.SubmitCommands(true);
}

TEST_F(UIListRenderThreadTest, ReleasedWidgetsLetGoOfTheirSafePointersBeforeTheRenderSideDeletesThem)
{
    for (UIElement* widget : std::initializer_list<UIElement*>{new UIList, new UIRoundList, new UIScrollPane,
                                                               new UIRadioContainer})
    {
        const std::string kind = widget->GetScriptClassName();
        const SafePointer<UIElement> watch(widget);
        widget->Release();
        EXPECT_EQ(watch.Get(), nullptr) << kind;
        m_renderer.SubmitCommands(true);
    }
}
} // namespace
