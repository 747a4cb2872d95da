// Building element trees from layout assets: the presence rules, the order of children, the plain
// element of a whole build, the links to recipe and asset, named sub-recipes and the three
// messages, through assets registered in the template manager.
#include "core/console/GameConsole.h"
#include "engine/ClassRegistration.h"
#include "scene/kinds/InGameUITemplate.h"
#include "support/ConsoleCapture.h"
#include "support/TemplateTestSupport.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIClipboardRecipe.h"
#include "ui/recipes/UIPictureRecipe.h"
#include "ui/recipes/UIProperties.h"
#include "ui/recipes/UIRecipeBuild.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIScreenRecipe.h"
#include "ui/recipes/UITextRecipe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
template <class T>
T* Named(const char* name, UIElementRecipe* parent, uint32_t disabled = UIElementRecipe::DISABLED_NO)
{
    T* const recipe = new T;
    recipe->m_name = NameString(name);
    recipe->m_disabled = disabled;
    parent->AddChild(recipe);
    return recipe;
}

std::vector<std::string> ChildNames(const UIElement* element)
{
    std::vector<std::string> names;
    for (const UIElement* child = element->GetFirstChild(); child != nullptr; child = child->GetNextSibling())
        names.push_back(child->GetName());
    return names;
}

class UIRecipeBuildTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterAllClasses();
        // Screen
        //   Panel: Label, Gone (never), Later (in game), Shelf (clipboard: Kept), Icon (picture)
        //   Panel (a second recipe of the same name)
        auto* root = new UIScreenRecipe;
        root->m_size = Vector(300.0f, 200.0f, 0.0f, 0.0f);
        m_panel = Named<UIElementRecipe>("Panel", root);
        m_panel->m_size = Vector(120.0f, 40.0f, 0.0f, 0.0f);
        Named<UITextRecipe>("Label", m_panel);
        Named<UIElementRecipe>("Gone", m_panel, UIElementRecipe::DISABLED_YES);
        Named<UIElementRecipe>("Later", m_panel, UIElementRecipe::DISABLED_IN_GAME);
        Named<UIElementRecipe>("Kept", Named<UIClipboardRecipe>("Shelf", m_panel));
        // Without a shader: no shader manager runs here.
        Named<UIPictureRecipe>("Icon", m_panel)->SetShader(NameString());
        Named<UIElementRecipe>("Panel", root);
        m_layout = new UIRecipeTemplate;
        m_layout->SetRootRecipe(root);
        SimpleGUID guid;
        guid.Generate();
        ASSERT_NE(RegisterStubAtPath("ui/Menu", guid, m_layout), nullptr);
        guid.Generate();
        ASSERT_NE(RegisterStubAtPath("ui/Empty", guid, new UIRecipeTemplate), nullptr);
        guid.Generate();
        ASSERT_NE(RegisterStubAtPath("ui/Plane", guid, new InGameUITemplate), nullptr);
    }
    void TearDown() override { gTemplateManager.Clear(); }

    UIElementRecipe* m_panel = nullptr;
    UIRecipeTemplate* m_layout = nullptr;
};

TEST_F(UIRecipeBuildTest, AWholeLayoutIsBuiltUnderAPlainElementInRecipeOrder)
{
    UIElement* const built = UIElement::CreateFromRecipe("ui/Menu", "", &gUIProperties);
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(built->GetUserFlags(), UIFLAG_TRANSPARENT | UIFLAG_DRAWPENDINGUIELEMENTS);
    EXPECT_EQ(built->GetRecipe(), nullptr) << "the root recipe is not applied to the plain element";
    EXPECT_EQ(built->GetRenderSize().x, 64.0f);
    EXPECT_EQ(ChildNames(built), (std::vector<std::string>{"Panel", "Panel"}));
    UIElement* const panel = built->GetFirstChild();
    EXPECT_EQ(ChildNames(panel), (std::vector<std::string>{"Label", "Icon"}))
        << "never-built, in-game and clipboard recipes are skipped with their children";
    EXPECT_EQ(panel->GetRecipe(), m_panel);
    EXPECT_EQ(panel->GetRecipeTemplate(), m_layout);
    EXPECT_EQ(panel->GetRenderSize().x, 120.0f);
    EXPECT_TRUE(panel->GetFirstChild()->IsUITextBase());
    // Everything but pictures draws the pending UI before itself.
    EXPECT_NE(panel->GetUserFlags() & UIFLAG_DRAWPENDINGUIELEMENTSBEFORE, 0u);
    EXPECT_NE(panel->GetFirstChild()->GetUserFlags() & UIFLAG_DRAWPENDINGUIELEMENTSBEFORE, 0u);
    EXPECT_EQ(panel->GetLastChild()->GetUserFlags() & UIFLAG_DRAWPENDINGUIELEMENTSBEFORE, 0u);
    EXPECT_TRUE(panel->GetLastChild()->IsUIPicture());
    // Each built element holds the layout: Panel, Label, Icon and the second Panel.
    EXPECT_EQ(m_layout->GetUserReferences(), 4u);

    // A sub-recipe of the layout an element came from.
    UIElement* const kept = UIElement::CreateElementFromSubRecipe(panel, "Kept");
    ASSERT_NE(kept, nullptr);
    EXPECT_STREQ(kept->GetName(), "Kept");
    EXPECT_EQ(UIElement::CreateElementFromSubRecipe(built, "Kept"), nullptr) << "built from no layout";
    kept->Release();
    built->Release();
    EXPECT_EQ(m_layout->GetUserReferences(), 0u);
}

TEST_F(UIRecipeBuildTest, SubRecipesFollowTheirPresenceAndFailuresSayWhy)
{
    ConsoleCapture log;
    UIElement* const panel = UIElement::CreateFromRecipe("ui/Menu", "Panel", &gUIProperties);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(ChildNames(panel).size(), 2u) << "the first Panel of the depth-first walk";
    EXPECT_EQ(panel->GetRecipe(), m_panel);
    panel->Release();

    const struct
    {
        const char* layout;
        const char* name;
        const char* message;
    } failures[] = {
        {"ui/Missing", "Panel", "Recipe [ui/Missing] not found!"},
        {"ui/Plane", "Panel", "Template [ui/Plane] is not a UI recipe!"},
        {"ui/Menu", "Nope", "Subrecipe [Nope] not found"},
        {"ui/Menu", "Gone", "Subrecipe [Gone] not found"},
        {"ui/Menu", "Later", "Subrecipe [Later] not found"},
        {"ui/Menu", "Shelf", "Subrecipe [Shelf] not found"},
        {"ui/Empty", "Panel", "Subrecipe [Panel] not found"},
    };
    for (const auto& f : failures)
    {
        log.Clear();
        EXPECT_EQ(UIElement::CreateFromRecipe(f.layout, f.name, &gUIProperties), nullptr) << f.name;
        const std::vector<CapturedMessage> messages = log.Messages();
        ASSERT_EQ(messages.size(), 1u) << f.message;
        EXPECT_EQ(messages[0].text, f.message);
        EXPECT_EQ(messages[0].kind, uint32_t(CONSOLE_ERROR));
        EXPECT_EQ(messages[0].channel, CONSOLE_CHANNEL_RESOURCE);
    }
    // A layout without a root is empty, not broken.
    log.Clear();
    UIElement* const empty = UIElement::CreateFromRecipe("ui/Empty", nullptr, &gUIProperties);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetFirstChild(), nullptr);
    EXPECT_TRUE(log.Messages().empty());
    empty->Release();
    EXPECT_EQ(m_layout->GetUserReferences(), 0u);
}

TEST_F(UIRecipeBuildTest, InGameBuildsAdmitInGameRecipes)
{
    UIElement* const panel = UIElementRecipe::CreateElement(m_panel, m_layout, UIBUILDFLAG_INGAME, &gUIProperties);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(ChildNames(panel), (std::vector<std::string>{"Label", "Later", "Icon"}));
    panel->Release();
    m_panel->m_disabled = 3;
    EXPECT_EQ(UIElementRecipe::CreateElement(m_panel, m_layout, UIBUILDFLAG_INGAME, &gUIProperties), nullptr)
        << "an unknown presence mode builds nothing";
}
} // namespace
