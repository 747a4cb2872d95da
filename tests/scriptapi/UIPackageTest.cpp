// The UI package from scripts: the constants' fixed values, elements made, linked, searched and
// changed from Lua (their render-side twin changes as no render thread runs), and script listeners
// through UIEventLuaAgent.
#include "engine/scripting/ScriptTestSupport.h"

#include "engine/config/ProjectConfig.h"
#include "ui/elements/UIElement.h"
#include "ui/elements/UIText.h"
#include "ui/elements/UITextBox.h"
#include "ui/elements/UIUniTextInput.h"
#include "support/TemplateTestSupport.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIProperties.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIScreenRecipe.h"

#include <tolua++.h>

#include <string_view>

namespace
{
class UIPackageTest : public ScriptTest
{
protected:
    UIElement* Global(const char* name)
    {
        lua_getglobal(L(), name);
        UIElement* const element = static_cast<UIElement*>(tolua_tousertype(L(), -1, nullptr));
        lua_pop(L(), 1);
        return element;
    }
};

TEST_F(UIPackageTest, ConstantsCarryTheirFixedValues)
{
    Run("values = table.concat({UIFLAG_HIDDEN, UIFLAG_FOCUSABLEWITHMOUSE, UIFLAG_AUTOLAYOUT, UIEVENT_CLICK, "
        "UIEVENT_ONUNFOCUS, UIEVENTFLAG_NOCONSUME, UIACTIONFLAG_HALFSINESLOW, UIACTIONFLAG_DONOTWAIT, "
        "UIACTIONFLAG_RESETIFNOPRESET, BLEND_ADDALPHA, UICOLOR_MULTIPLYBYPARENTCOLOR}, ' ')");
    EXPECT_EQ(GlobalString("values"), "2 16 1073741824 4 23 4 4 128 256 3 2");
}

TEST_F(UIPackageTest, ScriptsBuildTreesChangeElementsAndListen)
{
    Run("gRoot = UIElement:new()\n"
        "gChild = UIElement:new()\n"
        "gRoot:AddChild(gChild)\n"
        "gChild:SetName('kid')\n"
        "found = tostring(gRoot:FindElementByName('kid') == gChild)\n"
        "parent = tostring(gChild:GetParent() == gRoot)\n"
        "gChild:SetPositionXYZ(1, 2, 3)\n"
        "gChild:SetColor(Vector(1, 1, 1, 0.5))\n"
        "gChild:Move2(0, 7, 8, 0, 0)\n"
        "gRoot:Hide()\n"
        "visible = tostring(gChild:IsVisible())\n"
        "UIEventAgent = {}\n"
        "function UIEventAgent:UITrigger(value) got = value end\n"
        "gRoot:Show()\n"
        "UIEventLuaAgent:Register(gChild, UIEVENT_CLICK, 42, UIEVENTFLAG_ONALL)\n"
        "UIEventLuaAgent:Register(gRoot, UIEVENT_KEY, 7, UIEVENTFLAG_ONENABLE + UIEVENTFLAG_NOCONSUME)\n"
        "consumed = tostring(gChild:SendEvent(UIEVENT_CLICK, 0, 0)) .. ' ' .. got\n"
        "consumed = consumed .. ' ' .. tostring(gRoot:SendEvent(UIEVENT_KEY, 0, 0)) .. ' ' .. got\n");
    EXPECT_EQ(GlobalString("found"), "true");
    EXPECT_EQ(GlobalString("parent"), "true");
    EXPECT_EQ(GlobalString("visible"), "false");
    EXPECT_EQ(GlobalString("consumed"), "true 42 false 7") << "a listener consumes unless its flags say not";
    UIElement* const child = Global("gChild");
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(child->GetRenderPosition().Equal(Vector(1, 2, 3, 1)));
    EXPECT_EQ(child->GetRenderColor().w, 0.5f);
    child->UpdateActions();
    EXPECT_EQ(child->GetRenderPosition().x, 7.0f) << "the script's move arrived as an action";
    Run("gRoot:Release()");
}

TEST_F(UIPackageTest, ScriptsMakeAndSetTextElements)
{
    Run("gBox = UITextBox:new('body.ttf', 12)\n"
        "gBox:SetAlignment(TEXTALIGNMENT_CENTER, 1)\n"
        "gBox:SetTextConversion(UITEXTCONVERSION_UPPERCASE)\n"
        "gBox:SetLineSpacingScale(1.5)\n"
        "gBox:SetLinearShadowColor(Vector(0, 0, 0, 1))\n"
        "gBox:SetText('hello')\n"
        "gText = UIText:new('body.ttf', 12)\n"
        "gText:SetText('one')\n"
        "gCopy = UIText:new('body.ttf', 12)\n"
        "gCopy:CopyText(gText, false, true)\n"
        "values = table.concat({TEXTALIGNMENT_LEFT, TEXTALIGNMENT_RIGHT, TEXTALIGNMENT_CENTER, "
        "UITEXTCONVERSION_UPPERCASE}, ' ')");
    EXPECT_EQ(GlobalString("values"), "0 1 2 1");
    auto* box = static_cast<UITextBox*>(Global("gBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->GetHorizontalAlignment(), TEXTALIGNMENT_CENTER);
    EXPECT_EQ(box->GetVerticalAlignment(), 1u);
    EXPECT_EQ(box->GetTextConversion(), UITEXTCONVERSION_UPPERCASE);
    EXPECT_EQ(box->GetLineSpacingScale(), 1.5f);
    EXPECT_EQ(box->GetShadowColor().w, 1.0f);
    EXPECT_EQ(box->GetMainText(), u"hello");
    auto* copy = static_cast<UIText*>(Global("gCopy"));
    auto* moved = static_cast<UIText*>(Global("gText"));
    EXPECT_EQ(copy->GetRenderText(), u"one");
    EXPECT_EQ(copy->GetText(), "one");
    EXPECT_EQ(moved->GetRenderText(), u"");
    Run("gBox:Release() gText:Release() gCopy:Release()");
}

TEST_F(UIPackageTest, ScriptsPublishPropertiesAndApplyRecipePresets)
{
    const DynarraySafe<NameString> names = gProjectConfig.m_uiPropertyNames;
    gProjectConfig.m_uiPropertyNames.Add(NameString("Score"));
    UIText* label = new UIText("body.ttf", 12);
    gUIProperties.Bind(NameString("Score"), label);
    UIElementRecipe recipe;
    auto* preset = new UIElementPreset;
    preset->SetId("AWAY");
    preset->GetActiveProperties().Add(NameString("Position"));
    preset->m_position = Vector(40, 0, 0, 1);
    recipe.AddPreset(preset);
    recipe.m_prefab = NameString("Menus/Main");
    label->SetRecipe(&recipe, nullptr);
    Run("gUIProperties:SetText('Score', '7')");
    EXPECT_EQ(label->GetMainText(), u"7");
    tolua_pushusertype(L(), label, "UIText");
    lua_setglobal(L(), "gLabel");
    Run("applied = gLabel:ApplyRecipePreset('AWAY', true, 0, 0, 0, false, false) and 'yes' or 'no'\n"
        "prefab = gLabel:GetRecipePrefab()");
    EXPECT_EQ(GlobalString("applied"), "yes");
    EXPECT_EQ(GlobalString("prefab"), "Menus/Main");
    EXPECT_EQ(label->GetRenderPosition().x, 40.0f);
    label->Release();
    gUIProperties.Clear();
    gProjectConfig.m_uiPropertyNames = names;
    EXPECT_FALSE(m_log.Contains("doesn't exist"));
}
} // namespace

TEST_F(UIPackageTest, ScriptsReadAUnicodeInputAsAUnicodeString)
{
    Run("gInput = UIUniTextInput:new('body.ttf', 12, 4)\n");
    auto* input = static_cast<UIUniTextInput*>(Global("gInput"));
    ASSERT_NE(input, nullptr);
    for (const char16_t c : std::u16string_view(u"h\u00e9llo"))
        input->ProcessKeyCharEvent(c);
    Run("text = gInput:GetInputStringLuaUnichar()\n"
        "length = text:GetLength()\n"
        "gInput:ProcessKeyPressEvent(8)\n"
        "shorter = gInput:GetInputStringLuaUnichar():GetLength()\n"
        "gInput:ResetInput()\n"
        "empty = gInput:GetInputStringLuaUnichar():GetLength()\n"
        "gInput:Release()");
    EXPECT_EQ(GlobalNumber("length"), 4.0) << "the fifth character did not fit";
    EXPECT_EQ(GlobalNumber("shorter"), 3.0);
    EXPECT_EQ(GlobalNumber("empty"), 0.0);
}

TEST_F(UIPackageTest, ScriptsBuildElementsFromLayoutAssets)
{
    auto* root = new UIScreenRecipe;
    auto* panel = new UIElementRecipe;
    panel->m_name = NameString("Panel");
    auto* label = new UIElementRecipe;
    label->m_name = NameString("Label");
    panel->AddChild(label);
    root->AddChild(panel);
    auto* layout = new UIRecipeTemplate;
    layout->SetRootRecipe(root);
    SimpleGUID guid;
    guid.Generate();
    ASSERT_NE(RegisterStubAtPath("ui/Scripted", guid, layout), nullptr);
    Run("gPanel = UIElement:CreateFromRecipe('ui/Scripted', 'Panel', nil)\n"
        "gLabel = UIElement:CreateElementFromSubRecipe(gPanel, 'Label')\n"
        "names = gPanel:GetName() .. ' ' .. gPanel:GetFirstChild():GetName() .. ' ' .. gLabel:GetName()\n"
        "gPanel:Release() gLabel:Release()");
    EXPECT_EQ(GlobalString("names"), "Panel Label Label");
    EXPECT_EQ(layout->GetUserReferences(), 0u);
    gTemplateManager.Clear();
}

