// The recipe kinds of the interactive widgets: the widget each makes and the defaults it starts
// with, their own stored values read back, what applying them writes into the widget (a layout's
// word replaced, not added to, on a second application), and a button's state presets.
#include "core/reflection/RTTIObjectSupport.h"
#include "engine/ClassRegistration.h"
#include "ui/recipes/UIButtonRecipe.h"
#include "ui/recipes/UIElementPreset.h"
#include "ui/recipes/UILayoutRecipe.h"
#include "ui/recipes/UIListRecipe.h"
#include "ui/recipes/UIPageRecipe.h"
#include "ui/recipes/UIPanelRecipe.h"
#include "ui/recipes/UIProperties.h"
#include "ui/recipes/UIRadioContainerRecipe.h"
#include "ui/recipes/UIRoundListRecipe.h"
#include "ui/recipes/UIScrollPaneRecipe.h"
#include "ui/widgets/UIActionKinds.h"
#include "ui/widgets/UIButton.h"
#include "ui/widgets/UILayout.h"
#include "ui/widgets/UIRadioContainer.h"
#include "ui/widgets/UIRoundList.h"
#include "ui/widgets/UIScrollPane.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
template <typename T>
std::unique_ptr<T> ReadBack(T& source)
{
    Dynarray<uint8_t> bytes;
    bytes.AddZeroed(int32_t(source.SerializeToMemory(nullptr, 0, 0)));
    EXPECT_EQ(source.SerializeToMemory(bytes.Data(), size_t(bytes.Count()), 0), size_t(bytes.Count()));
    std::unique_ptr<T> read(rtti::CreateKindOf<T>(source.GetClassName()));
    EXPECT_TRUE(read->DeserializeFromMemory(bytes.Data(), size_t(bytes.Count()), 0));
    return read;
}

template <typename T>
T* Build(UIElementRecipe& recipe)
{
    return dynamic_cast<T*>(UIElementRecipe::CreateElement(&recipe, nullptr, 0, nullptr));
}

TEST(UIWidgetRecipeKindsTest, KindsMakeTheirWidgetsAndStartWithTheirDefaults)
{
    RegisterAllClasses();
    const struct
    {
        const char* recipe;
        const char* widget;
        bool (*isWidget)(const UIElement&);
        bool focusable, transparent, clip, stencilClip, autoLayout;
        uint32_t anchorBy;
    } kinds[] = {
        {"UIButtonRecipe", "UIButton", [](const UIElement& e) { return e.IsUIButton() && e.IsUIPicture(); }, true, false,
         false, false, false, UIElementRecipe::ANCHOR_BY_CENTER},
        {"UIPageRecipe", "UIPage", [](const UIElement& e) { return e.IsUIPage(); }, false, false, false, false, false, 1},
        {"UIPanelRecipe", "UIPanel", [](const UIElement& e) { return e.IsUIPanel(); }, false, false, false, false, false, 1},
        {"UIRadioContainerRecipe", "UIRadioContainer", [](const UIElement& e) { return e.IsUIRadioContainer(); }, false,
         false, false, false, false, 1},
        {"UIScrollPaneRecipe", "UIScrollPane", [](const UIElement& e) { return e.IsUIScrollPane(); }, true, false, false,
         true, false, 1},
        {"UILayoutRecipe", "UILayout", [](const UIElement& e) { return e.IsUILayout(); }, false, true, false, false, false,
         1},
        {"UIListRecipe", "UIList", [](const UIElement& e) { return e.IsUIList() && !e.IsUIRoundList(); }, true, false,
         true, false, true, 1},
        {"UIRoundListRecipe", "UIRoundList", [](const UIElement& e) { return e.IsUIList() && e.IsUIRoundList(); }, true,
         false, true, false, true, 1},
    };
    UIElement* plain = new UIElement;
    EXPECT_STREQ(plain->GetScriptClassName(), "UIElement");
    for (const auto& kind : kinds)
    {
        EXPECT_FALSE(kind.isWidget(*plain)) << kind.recipe << " on a plain element";
        std::unique_ptr<UIElementRecipe> recipe(rtti::CreateKindOf<UIElementRecipe>(kind.recipe));
        ASSERT_NE(recipe, nullptr) << kind.recipe;
        std::unique_ptr<UIElementRecipe> another(recipe->CreateRecipe());
        EXPECT_STREQ(another->GetClassName(), kind.recipe);
        EXPECT_STREQ(recipe->GetWidgetClassName(), kind.widget);
        EXPECT_EQ(recipe->m_focusableWithMouse, kind.focusable) << kind.recipe;
        EXPECT_EQ(recipe->m_transparent, kind.transparent) << kind.recipe;
        EXPECT_EQ(recipe->m_clipChildren, kind.clip) << kind.recipe;
        EXPECT_EQ(recipe->m_stencilClipChildren, kind.stencilClip) << kind.recipe;
        EXPECT_EQ(recipe->m_autoLayout, kind.autoLayout) << kind.recipe;
        EXPECT_EQ(recipe->m_anchorBy, kind.anchorBy) << kind.recipe;
        UIElement* widget = recipe->CreateWidget();
        EXPECT_TRUE(kind.isWidget(*widget)) << kind.recipe;
        EXPECT_STREQ(widget->GetScriptClassName(), kind.widget) << "scripts see it so";
        EXPECT_EQ(static_cast<const LuaNamedBaseClass*>(widget)->GetScriptClassNameString(), NameString(kind.widget));
        widget->Release();
    }
    plain->Release();
    EXPECT_TRUE(UIRadioContainerRecipe().m_blockEvents);
    EXPECT_FLOAT_EQ(UIScrollPaneRecipe().m_scrollBorder, 25.0f);
    EXPECT_EQ(UIRoundListRecipe().m_rangeTo, 10);
    EXPECT_FALSE(UIListRecipe().m_selectableChildren) << "presses select no entry unless the recipe asks";
}

TEST(UIWidgetRecipeKindsTest, OwnValuesAreStoredAndReadBack)
{
    RegisterAllClasses();
    UIButtonRecipe button;
    button.m_biState = true;
    button.m_mappingScaleX = 2, button.m_mappingScaleY = 3, button.m_mappingOffsetX = 4, button.m_mappingOffsetY = 5;
    const auto buttonRead = ReadBack(button);
    EXPECT_TRUE(buttonRead->m_biState);
    EXPECT_EQ((std::vector<float>{buttonRead->m_mappingScaleX, buttonRead->m_mappingScaleY, buttonRead->m_mappingOffsetX,
                                  buttonRead->m_mappingOffsetY}), (std::vector<float>{2, 3, 4, 5}));
    UIRadioContainerRecipe radio;
    radio.m_blockEvents = false;
    EXPECT_FALSE(ReadBack(radio)->m_blockEvents);
    UIScrollPaneRecipe pane;
    pane.m_scrollDirection = 2;
    pane.m_disableScrollBorder = true;
    pane.m_clickWhileScrolling = true;
    pane.m_scrollBorder = 7.5f;
    const auto paneRead = ReadBack(pane);
    EXPECT_EQ(paneRead->m_scrollDirection, 2u);
    EXPECT_TRUE(paneRead->m_disableScrollBorder);
    EXPECT_FLOAT_EQ(paneRead->m_scrollBorder, 7.5f);
    EXPECT_TRUE(paneRead->m_clickWhileScrolling);
    UILayoutRecipe layout;
    layout.m_layoutType = 1;
    layout.m_orientation = 1;
    layout.m_alignment = 3;
    layout.m_left = 1, layout.m_right = 2, layout.m_top = 3, layout.m_bottom = 4;
    const auto layoutRead = ReadBack(layout);
    EXPECT_EQ(layoutRead->m_layoutType, 1u);
    EXPECT_EQ(layoutRead->m_orientation, 1u);
    EXPECT_EQ(layoutRead->m_alignment, 3u);
    EXPECT_EQ(layoutRead->m_left + 10 * layoutRead->m_right + 100 * layoutRead->m_top + 1000 * layoutRead->m_bottom,
              4321.0f);
    UIRoundListRecipe round;
    round.m_selectableChildren = true;
    round.m_rangeFrom = -3;
    round.m_rangeTo = 7;
    const auto roundRead = ReadBack(round);
    EXPECT_TRUE(roundRead->m_selectableChildren);
    EXPECT_FALSE(roundRead->m_bypassEvents);
    EXPECT_EQ(roundRead->m_rangeFrom, -3);
    EXPECT_EQ(roundRead->m_rangeTo, 7);
}

TEST(UIWidgetRecipeKindsTest, ApplyingWritesTheWidgetsSwitchesAndReplacesTheLayoutWord)
{
    UIButtonRecipe button;
    button.m_biState = true;
    UIButton* b = Build<UIButton>(button);
    EXPECT_TRUE(b->IsTriStateFlag());
    EXPECT_EQ((std::vector<float>{b->GetUVSize().x, b->GetUVSize().y, b->GetUVOrigin().x, b->GetUVOrigin().y}),
              (std::vector<float>{1, 1, 0, 0})) << "an untiled picture shows its whole texture";
    b->Release();
    UIPageRecipe page;
    UIElement* p = UIElementRecipe::CreateElement(&page, nullptr, 0, nullptr);
    EXPECT_TRUE(p->IsTriStateFlag());
    p->Release();
    UIRadioContainerRecipe radio;
    radio.m_blockEvents = false;
    UIRadioContainer* r = Build<UIRadioContainer>(radio);
    EXPECT_FALSE(r->GetBlockEvents());
    r->Release();

    UIScrollPaneRecipe pane;
    pane.m_scrollDirection = 1;
    pane.m_scrollBorder = 10.0f;
    UIScrollPane* s = Build<UIScrollPane>(pane);
    EXPECT_FLOAT_EQ(s->GetAxisMask().x, 1.0f);
    EXPECT_FLOAT_EQ(s->GetAxisMask().y, 0.0f);
    EXPECT_FLOAT_EQ(s->GetContentMin().x, -10.0f) << "the border came before the first bounds";
    UIElement* inner = new UIElement;
    inner->SetPositionXYZ(40.0f, 0.0f, 0.0f);
    s->AddChild(inner);
    s->SetSizeXY(300.0f, 100.0f);
    EXPECT_FLOAT_EQ(s->GetContentMin().x, 30.0f) << "resized, a pane from a recipe measures its content again";
    s->Release();

    UIRoundListRecipe round;
    round.m_rangeFrom = 3;
    round.m_rangeTo = 7;
    UIRoundList* list = Build<UIRoundList>(round);
    EXPECT_EQ(list->GetRangeFrom(), 3);
    EXPECT_EQ(list->GetRangeTo(), 7);
    list->Release();

    struct Case
    {
        uint32_t type, orientation, alignment, word;
    };
    UILayoutRecipe layout;
    UILayout* l = Build<UILayout>(layout);
    l->SetLayoutFlags(0x400); // a bit outside the recipe's three choices, which it keeps
    for (const Case c : {Case{1, 0, 3, 0x2 | 0x4 | 0x80}, Case{1, 0, 3, 0x2 | 0x4 | 0x80}, Case{0, 1, 1, 0x1 | 0x8 | 0x20},
                         Case{0, 0, 5, 0x1 | 0x4 | 0x200}, Case{2, 2, 6, 0}})
    {
        layout.m_layoutType = c.type;
        layout.m_orientation = c.orientation;
        layout.m_alignment = c.alignment;
        layout.ApplyToElement(l, gUIProperties, 0);
        EXPECT_EQ(l->GetLayoutFlags(), c.word | 0x400) << c.type << " " << c.orientation << " " << c.alignment;
    }
    layout.m_left = 1, layout.m_top = 6;
    layout.ApplyToElement(l, gUIProperties, 0);
    const UILayout::Spacers& spacers = l->GetSpacers();
    EXPECT_EQ((std::vector<float>{spacers.left, spacers.right, spacers.top, spacers.bottom}),
              (std::vector<float>{1, 0, 6, 0}));
    l->Release();
}

TEST(UIWidgetRecipeKindsTest, AButtonShowsItsStatesThroughPresetsAndHighlightsClearTheChannel)
{
    UIButtonRecipe recipe;
    recipe.SetShader(NameString(""));
    recipe.m_biState = true;
    for (const char* id : {"PRESSED", "HIGHLIGHTED", "SELECTED"})
    {
        auto* preset = new UIElementPreset;
        preset->SetId(id);
        preset->m_position.Set(float(id[0]), 1.0f, 0.0f, 1.0f);
        preset->GetActiveProperties().Add(NameString("Position"));
        recipe.AddPreset(preset);
    }
    UIButton* button = Build<UIButton>(recipe);
    button->Wait(5.0f, 0, 0);
    button->SetSelect(true, true, 0);
    EXPECT_FLOAT_EQ(button->GetRenderPosition().x, float('S')) << "instant: the preset at once";
    EXPECT_EQ(button->GetFirstAction(0), nullptr) << "and the channel cleared of what waited";
    button->Wait(5.0f, 0, 0);
    button->SetPress(true, false, 0);
    EXPECT_FLOAT_EQ(button->GetRenderPosition().x, float('S')) << "not instant: a tween";
    EXPECT_EQ(dynamic_cast<UIActionMove*>(button->GetFirstAction(0)), nullptr) << "the waiting channel is kept";
    button->SetHighlight(true, false, 0);
    EXPECT_NE(dynamic_cast<UIActionMove*>(button->GetFirstAction(0)), nullptr) << "a highlight clears the channel";
    button->Release();
}

// Only the highlight states clear the channel before their tween; the others queue behind it.
TEST(UIWidgetRecipeKindsTest, EachButtonStateClearsItsChannelOnlyWhenItIsAHighlight)
{
    struct State
    {
        bool (UIElement::*forward)(bool);
        const char* preset;
        bool clears;
    };
    const State states[] = {
        {&UIElement::OnSelect, "SELECTED", false},        {&UIElement::OnUnselect, "UNSELECTED", false},
        {&UIElement::OnHighlight, "HIGHLIGHTED", true},   {&UIElement::OnSHighlight, "SHIGHLIGHTED", true},
        {&UIElement::OnPress, "PRESSED", false},          {&UIElement::OnUnPress, "UNPRESSED", false},
        {&UIElement::OnDSelect, "DSELECTED", false},      {&UIElement::OnDUnselect, "DUNSELECTED", false},
        {&UIElement::OnDHighlight, "DHIGHLIGHTED", true}, {&UIElement::OnDSHighlight, "DSHIGHLIGHTED", true},
        {&UIElement::OnDPress, "DPRESSED", false},        {&UIElement::OnDUnPress, "DUNPRESSED", false},
    };
    UIButtonRecipe recipe;
    recipe.SetShader(NameString(""));
    for (const State& state : states)
    {
        auto* preset = new UIElementPreset;
        preset->SetId(state.preset);
        preset->m_position.Set(float(&state - states), 1.0f, 0.0f, 1.0f);
        preset->GetActiveProperties().Add(NameString("Position"));
        recipe.AddPreset(preset);
    }
    for (const State& state : states)
    {
        UIButton* button = Build<UIButton>(recipe);
        button->Wait(5.0f, 0, 0);
        EXPECT_TRUE((button->*state.forward)(false)) << state.preset;
        EXPECT_EQ(dynamic_cast<UIActionMove*>(button->GetFirstAction(0)) != nullptr, state.clears) << state.preset;
        const UIActionMove* move = nullptr;
        for (const UIAction* a = button->GetFirstAction(0); a != nullptr && move == nullptr; a = a->GetNext())
            move = dynamic_cast<const UIActionMove*>(a);
        ASSERT_NE(move, nullptr) << state.preset;
        EXPECT_EQ(move->GetTarget().x, float(&state - states)) << "the state's own preset: " << state.preset;
        button->Release();
    }
}
} // namespace
