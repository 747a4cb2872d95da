// The text form of recipe trees: depth by indentation, properties on the recipe started last, and
// the line of the first fault.
#include "tools/datakit/UIRecipeTemplateWriter.h"

#include "engine/ClassRegistration.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/TemplateWriter.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIScreenRecipe.h"
#include "ui/recipes/UITextRecipe.h"

#include <gtest/gtest.h>

namespace
{
TEST(UIRecipeTemplateWriterTest, TreesParseByIndentationAndFaultsNameTheirLine)
{
    RegisterAllClasses();
    std::string error;
    const std::unique_ptr<UIScreenRecipe> root = UIRecipeTemplateWriter::ParseTree(
        "# a menu\n"
        "UIScreenRecipe\n"
        "Name = Menu\n"
        "  UIElementRecipe\n"
        "  Name = A\n"
        "    UITextRecipe\n"
        "    Name = A1\n"
        "\n"
        "    Text = hello\r\n"
        "  UIPictureRecipe\n"
        "  Name = B\n",
        error);
    ASSERT_NE(root, nullptr) << error;
    EXPECT_STREQ(root->m_name.CStr(), "Menu");
    ASSERT_EQ(root->GetChildren().Count(), 2);
    UIElementRecipe* const a = root->GetChildren()[0];
    EXPECT_STREQ(a->m_name.CStr(), "A");
    ASSERT_EQ(a->GetChildren().Count(), 1);
    const auto* a1 = dynamic_cast<const UITextRecipe*>(a->GetChildren()[0]);
    ASSERT_NE(a1, nullptr);
    EXPECT_STREQ(a1->m_text.CStr(), "hello");
    EXPECT_STREQ(root->GetChildren()[1]->GetClassName(), "UIPictureRecipe");
    EXPECT_STREQ(root->GetChildren()[1]->m_name.CStr(), "B");

    const struct
    {
        const char* text;
        const char* error;
    } faults[] = {
        {"", "no root recipe"},
        {"Name = X\n", "line 1: a property before any recipe"},
        {"UIElementRecipe\n", "line 1: the root is a UIScreenRecipe, not \"UIElementRecipe\""},
        {"UIScreenRecipe\nUIScreenRecipe\n", "line 2: recipe \"UIScreenRecipe\" has no place in the tree"},
        {"UIScreenRecipe\n    UIElementRecipe\n", "line 2: recipe \"UIElementRecipe\" has no place in the tree"},
        {"UIScreenRecipe\n   UIElementRecipe\n", "line 2: recipe \"UIElementRecipe\" has no place in the tree"},
        {"UIScreenRecipe\n  NoSuchRecipe\n", "line 2: no recipe class \"NoSuchRecipe\""},
        {"UIScreenRecipe\nColour = 1\n", "line 2: line 1: no property \"Colour\" with a text form"},
    };
    for (const auto& fault : faults)
    {
        error.clear();
        EXPECT_EQ(UIRecipeTemplateWriter::ParseTree(fault.text, error), nullptr) << fault.text;
        EXPECT_EQ(error, fault.error);
    }
}

TEST(UIRecipeTemplateWriterTest, StubEntriesSplitThePathAtItsLastSlash)
{
    RegisterAllClasses();
    std::string error;
    const std::unique_ptr<UIRecipeTemplate> layout =
        UIRecipeTemplateWriter::MakeTemplate(UIRecipeTemplateWriter::ParseTree("UIScreenRecipe\n", error));
    DataRoot data;
    std::vector<TemplateStubEntry> entries;
    UIRecipeTemplateWriter::AddTemplate(data, entries, "Menus/Pause/Main", SimpleGUID(), *layout);
    UIRecipeTemplateWriter::AddTemplate(data, entries, "Hud", SimpleGUID(), *layout);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].folder + "|" + entries[0].name, "templates/Menus/Pause|Main");
    EXPECT_EQ(entries[1].folder + "|" + entries[1].name, "templates|Hud");
}
} // namespace
