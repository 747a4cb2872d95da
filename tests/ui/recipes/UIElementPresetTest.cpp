// Presets applied to an element with no render thread running (commands run as written): which
// values take part, values set at once below 0.001 s, and above it the tweens in their order with
// the do-not-wait bit, closed by a plain wait that holds the channel.
#include "ui/recipes/UIElementPreset.h"

#include "ui/elements/UIElement.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/widgets/UIActionKinds.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// "kind duration flags" for every action of the channel, in order.
std::vector<std::string> Actions(const UIElement& element, uint32_t channel)
{
    std::vector<std::string> out;
    for (const UIAction* a = element.GetFirstAction(channel); a != nullptr; a = a->GetNext())
    {
        const char* kind = "wait";
        if (dynamic_cast<const UIActionMove*>(a))
            kind = "move";
        else if (dynamic_cast<const UIActionRotate*>(a))
            kind = "rotate";
        else if (dynamic_cast<const UIActionScale*>(a))
            kind = "scale";
        else if (dynamic_cast<const UIActionChangeSize*>(a))
            kind = "size";
        else if (dynamic_cast<const UIActionColor*>(a))
            kind = "color";
        else if (auto* blend = dynamic_cast<const UIActionBlendAndShowHide*>(a))
            kind = blend->IsShowing() ? "show" : "hide";
        char text[64];
        std::snprintf(text, sizeof(text), "%s %g %#x", kind, double(a->GetDuration()), a->GetFlags());
        out.push_back(text);
    }
    return out;
}

void ExpectVector(const Vector& actual, const Vector& expected, const char* what)
{
    EXPECT_FLOAT_EQ(actual.x, expected.x) << what;
    EXPECT_FLOAT_EQ(actual.y, expected.y) << what;
    EXPECT_FLOAT_EQ(actual.z, expected.z) << what;
    EXPECT_FLOAT_EQ(actual.w, expected.w) << what;
}

class UIElementPresetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        element->SetPosition(Vector(1, 2, 0, 1));
        element->SetSize(Vector(10, 20, 0, 0));
        preset.SetId("P");
        preset.m_position = Vector(30, 40, 0, 1);
        preset.m_size = Vector(300, 200, 0, 0);
        preset.m_scale = Vector(2, 3, 1, 0);
        preset.m_rotation = Vector(0, 0, 45, 0);
        preset.m_color = HDRColor(128, 64, 255, 200, 1.0f);
    }
    void TearDown() override { element->Release(); }
    void Activate(std::initializer_list<const char*> names)
    {
        for (const char* name : names)
            preset.GetActiveProperties().Add(NameString(name));
    }

    UIElementPreset preset;
    UIElement* element = new UIElement;
};

TEST_F(UIElementPresetTest, OnlyTheActivePropertiesTakePartAndPositionBringsTheSize)
{
    const struct
    {
        const char* active;
        Vector position;
        Vector size;
        Vector scale;
        Vector rotation;
    } cases[] = {
        // Stored presets list "Position" to move and resize; "Size" alone changes nothing.
        {"Position", Vector(30, 40, 0, 1), Vector(300, 200, 0, 0), Vector(1, 1, 1, 0), Vector(0, 0, 0, 0)},
        {"Size", Vector(1, 2, 0, 1), Vector(10, 20, 0, 0), Vector(1, 1, 1, 0), Vector(0, 0, 0, 0)},
        {"Scale", Vector(1, 2, 0, 1), Vector(10, 20, 0, 0), Vector(2, 3, 1, 0), Vector(0, 0, 0, 0)},
        {"Rotation", Vector(1, 2, 0, 1), Vector(10, 20, 0, 0), Vector(1, 1, 1, 0), Vector(0, 0, 45, 0)},
        {"position", Vector(1, 2, 0, 1), Vector(10, 20, 0, 0), Vector(1, 1, 1, 0), Vector(0, 0, 0, 0)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.active);
        preset.GetActiveProperties().Clear();
        Activate({c.active});
        element->SetPosition(Vector(1, 2, 0, 1));
        element->SetSize(Vector(10, 20, 0, 0));
        element->SetScale(Vector(1, 1, 1, 0));
        element->SetRotation(Vector(0, 0, 0, 0));
        preset.ApplyToElement(element, 0.0f, 0, 0, false, false);
        ExpectVector(element->GetRenderPosition(), c.position, "position");
        ExpectVector(element->GetRenderSize(), c.size, "size");
        ExpectVector(element->GetRenderScale(), c.scale, "scale");
        ExpectVector(element->GetRenderRotation(), c.rotation, "rotation");
        ExpectVector(element->GetRenderColor(), Vector(1, 1, 1, 1), "color");
    }
}

TEST_F(UIElementPresetTest, BelowAMillisecondEveryValueIsSetAtOnceWithTheLinearColor)
{
    preset.ApplyToElement(element, 0.0005f, 0, 0, false, true);
    EXPECT_TRUE(Actions(*element, 0).empty());
    ExpectVector(element->GetRenderPosition(), Vector(30, 40, 0, 1), "position");
    ExpectVector(element->GetRenderSize(), Vector(300, 200, 0, 0), "size");
    ExpectVector(element->GetRenderScale(), Vector(2, 3, 1, 0), "scale");
    ExpectVector(element->GetRenderRotation(), Vector(0, 0, 45, 0), "rotation");
    Vector linear;
    preset.m_color.ToLinearVector(linear);
    ExpectVector(element->GetRenderColor(), linear, "color");
    EXPECT_NEAR(element->GetRenderColor().x, 0.2195197f, 1e-5f); // (128 / 255) ^ 2.2, raised once
}

TEST_F(UIElementPresetTest, FromAMillisecondTweensRunSideBySideAndAWaitClosesTheChannel)
{
    preset.m_hidden = true;
    // The caller's do-not-wait bit never reaches the closing wait.
    preset.ApplyToElement(element, 0.001f, UIACTIONFLAG_SYSTEMTIME | UIACTIONFLAG_DONOTWAIT, 2, false, true);
    const std::vector<std::string> expected = {"hide 0.001 0xa0",   "move 0.001 0xa0", "rotate 0.001 0xa0",
                                               "scale 0.001 0xa0",  "size 0.001 0xa0", "color 0.001 0xa0",
                                               "wait 0.001 0x20"};
    EXPECT_EQ(Actions(*element, 2), expected);
    EXPECT_TRUE(Actions(*element, 0).empty());
    ExpectVector(element->GetRenderPosition(), Vector(1, 2, 0, 1), "nothing set at once");
    const auto* move = dynamic_cast<const UIActionMove*>(element->GetFirstAction(2)->GetNext());
    ASSERT_NE(move, nullptr);
    ExpectVector(move->GetTarget(), Vector(30, 40, 0, 1), "move target");
}

TEST_F(UIElementPresetTest, VisibilityChangesOnlyWhenItDiffersAndTheKeepPositionBitHoldsTheElement)
{
    Activate({"Hidden", "Position"});
    preset.ApplyToElement(element, 0.5f, 0, 0, false, false);
    EXPECT_EQ(Actions(*element, 0), (std::vector<std::string>{"move 0.5 0x80", "size 0.5 0x80", "wait 0.5 0"}));
    element->RemoveAllActions(0);

    preset.m_hidden = true;
    preset.ApplyToElement(element, 0.0f, UIElementPreset::kKeepPositionFlag, 0, false, false);
    EXPECT_FALSE(element->IsVisibleFlag());
    EXPECT_TRUE(element->IsRenderHidden());
    ExpectVector(element->GetRenderPosition(), Vector(1, 2, 0, 1), "kept position");

    // The bit keeps the position only: the size that "Position" brings still changes.
    preset.m_hidden = false;
    preset.ApplyToElement(element, 0.25f, UIElementPreset::kKeepPositionFlag, 0, false, false);
    EXPECT_EQ(Actions(*element, 0), (std::vector<std::string>{"show 0.25 0xc0", "size 0.25 0x80", "wait 0.25 0"}));
    EXPECT_TRUE(element->IsVisibleFlag());
}

TEST_F(UIElementPresetTest, ClearingTheChannelDropsItsRunningActionsFirst)
{
    Activate({"Scale"});
    element->Wait(5.0f, 0, 1);
    element->Wait(5.0f, 0, 3);
    preset.ApplyToElement(element, 0.5f, 0, 1, true, false);
    EXPECT_EQ(Actions(*element, 1), (std::vector<std::string>{"scale 0.5 0x80", "wait 0.5 0"}));
    EXPECT_EQ(Actions(*element, 3), (std::vector<std::string>{"wait 5 0"}));
}

TEST_F(UIElementPresetTest, TheRecipesOwnStateTakesPartAsItsPresetsListAndPresetsCopyEveryField)
{
    UIElementRecipe recipe;
    recipe.m_position = Vector(7, 8, 0, 1);
    recipe.m_size = Vector(70, 80, 0, 0);
    recipe.m_scale = Vector(4, 4, 1, 0);
    auto* first = new UIElementPreset;
    first->GetActiveProperties().Add(NameString(""));
    first->GetActiveProperties().Add(NameString("Size"));
    first->GetActiveProperties().Add(NameString("Scale"));
    recipe.AddPreset(first);
    recipe.AddPreset(new UIElementPreset);
    UIElementPreset scratch;
    scratch.ApplyRecipeToElement(recipe, element, 0.0f, 0, 0, false, false);
    ExpectVector(element->GetRenderScale(), Vector(4, 4, 1, 0), "scale listed");
    ExpectVector(element->GetRenderSize(), Vector(10, 20, 0, 0), "size goes with the position");
    ExpectVector(element->GetRenderPosition(), Vector(1, 2, 0, 1), "position not listed");
    recipe.GetPresets()[1]->GetActiveProperties().Add(NameString("Position"));
    scratch.ApplyRecipeToElement(recipe, element, 0.0f, 0, 0, false, false);
    ExpectVector(element->GetRenderSize(), Vector(70, 80, 0, 0), "size");
    ExpectVector(element->GetRenderPosition(), Vector(7, 8, 0, 1), "position");

    Activate({"Color"});
    const UIElementPreset copy(preset);
    EXPECT_TRUE(copy.HasActiveProperty("Color"));
    EXPECT_STREQ(copy.GetId().CStr(), "P");
    EXPECT_TRUE(UIElementPreset::StaticClassProperties()->AreObjectsEqual(&copy, &preset));
}
} // namespace
