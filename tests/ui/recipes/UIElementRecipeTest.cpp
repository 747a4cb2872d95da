// The base recipe: its stored keys in order, records that round-trip with children, presets, event
// recipes and sounds (the press behaviour under both press keys), what ApplyToElement writes into
// an element, the preset fallback rules, the lookups and the prefab path and name.
#include "ui/recipes/UIElementRecipe.h"

#include "engine/config/ProjectConfig.h"
#include "support/ConsoleCapture.h"
#include "support/RecordBytes.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIEventRecipe.h"
#include "ui/recipes/UIProperties.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace
{
void ExpectRecipeVector(const Vector& actual, const Vector& expected, const char* what)
{
    EXPECT_FLOAT_EQ(actual.x, expected.x) << what;
    EXPECT_FLOAT_EQ(actual.y, expected.y) << what;
    EXPECT_FLOAT_EQ(actual.z, expected.z) << what;
    EXPECT_FLOAT_EQ(actual.w, expected.w) << what;
}

UIElementPreset* MakePreset(const char* id, std::initializer_list<const char*> active = {})
{
    auto* preset = new UIElementPreset;
    preset->SetId(id);
    for (const char* name : active)
        preset->GetActiveProperties().Add(NameString(name));
    return preset;
}

TEST(UIElementRecipeTest, StoredKeysComeInTheirOrderWithTheirTypesAndFlagWords)
{
    const struct
    {
        const char* key;
        uint32_t type;
        uint32_t flags;
    } rows[] = {
        {"Name", 22, 0},
        {"Position", 15, 64},
        {"Rotation", 15, 64},
        {"Size", 15, 64},
        {"Scale", 15, 64},
        {"Color", 23, 0},
        {"Color mode", 11, 128},
        {"Blend mode", 11, 128},
        {"Anchor", 15, 64},
        {"Anchor by", 11, 128},
        {"Aspect awareness", 11, 128},
        {"Aspect scaling", 11, 128},
        {"Presets", 8, 2},
        {"Children", 8, 2},
        {"Secondary", 0, 0},
        {"Disabled", 11, 128},
        {"Hidden", 20, 0},
        {"FreezedLayout", 20, 0},
        {"Modal", 11, 128},
        {"Selection frame", 15, 64},
        {"Outline", 11, 128},
        {"Prefab", 22, 0},
        {"Flags", 0, 0},
        {"Transparent", 20, 0},
        {"Hierarchical anchor", 20, 0},
        {"Focusable with mouse", 20, 0},
        {"Clip children", 20, 0},
        {"Clip children (Stencil)", 20, 0},
        {"Auto layout", 20, 2},
        {"Behaviours", 0, 0},
        {"OnShow", 4, 0x100000},
        {"OnHide", 4, 0x100000},
        {"OnEnable", 4, 0x100000},
        {"OnSelect", 4, 0x100000},
        {"OnUnselect", 4, 0x100000},
        {"OnHighlight", 4, 0x100000},
        {"OnSHighlight", 4, 0x100000},
        {"OnPress", 4, 0x100000},
        {"OnUnPress", 4, 0x100000},
        {"OnFocus", 4, 0x100000},
        {"OnDisable", 4, 0x100000},
        {"OnDSelect", 4, 0x100000},
        {"OnDUnselect", 4, 0x100000},
        {"OnDHighlight", 4, 0x100000},
        {"OnDSHighlight", 4, 0x100000},
        {"OnDPress", 4, 0x100000},
        {"OnDUnPress", 4, 0x100000},
        {"OnDFocus", 4, 0x100000},
        {"Sound effects", 0, 0},
        {"Event sounds", 7, 0},
    };
    const auto& properties = UIElementRecipe::StaticClassProperties()->GetProperties();
    ASSERT_EQ(properties.Count(), int32_t(std::size(rows)));
    for (size_t i = 0; i < std::size(rows); ++i)
    {
        SCOPED_TRACE(rows[i].key);
        EXPECT_EQ(properties[int32_t(i)]->GetName(), rows[i].key);
        EXPECT_EQ(properties[int32_t(i)]->GetType(), rows[i].type);
        EXPECT_EQ(properties[int32_t(i)]->GetFlags(), rows[i].flags);
    }
    const char* const* blendModes = properties[7]->GetEnumerationNames();
    ASSERT_NE(blendModes, nullptr);
    EXPECT_STREQ(blendModes[8], "Min");
    EXPECT_EQ(blendModes[9], nullptr);

    const UIElementRecipe recipe;
    EXPECT_STREQ(recipe.GetClassName(), "UIElementRecipe");
    EXPECT_STREQ(recipe.GetWidgetClassName(), "UIElement");
    EXPECT_EQ(recipe.m_anchorBy, 1u);
    EXPECT_STREQ(properties[9]->GetEnumerationNames()[recipe.m_anchorBy], "Anchor");
    EXPECT_EQ(recipe.m_colorMode, 1u);
    EXPECT_EQ(recipe.m_blendMode, 1u);
    EXPECT_TRUE(recipe.m_hierarchicalAnchor);
    ExpectRecipeVector(recipe.m_size, Vector(64, 64, 0, 0), "default size");
}

// A behaviour as a record stores it: the class name's length and text, then its payload.
std::vector<uint8_t> BehaviourBytes(const char* className, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> bytes(1, uint8_t(std::strlen(className)));
    bytes.insert(bytes.end(), className, className + std::strlen(className));
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

TEST(UIElementRecipeTest, ARecordKeepsChildrenPresetsAndSoundsAndHoldsThePressBehaviourUnderBothKeys)
{
    UIElementRecipe recipe;
    recipe.m_name = NameString("Root");
    recipe.m_position = Vector(5, 6, 0, 1);
    recipe.m_disabled = UIElementRecipe::DISABLED_IN_GAME;
    auto* child = new UIElementRecipe;
    child->m_name = NameString("Child");
    child->m_hidden = true;
    recipe.AddChild(child);
    recipe.AddPreset(MakePreset("ENABLED", {"Color"}));
    auto* press = new UIEventRecipePreset;
    press->m_presetName = NameString("PRESSED");
    press->m_time = 0.25f;
    recipe.SetEventRecipe(UIElementRecipe::EVENT_PRESS, press);
    recipe.SetEventRecipe(UIElementRecipe::EVENT_PRESS, press); // the same again: kept, not freed
    recipe.AddEventSound(UIElementRecipe::EVENT_PRESS, "Click");

    const std::vector<uint8_t> bytes = SerializeToBytes(recipe);
    // "OnPress" and "OnUnPress" follow each other and both hold the press behaviour.
    const std::vector<uint8_t> pressed =
        BehaviourBytes("UIEventRecipePreset", {1, 'P', 'R', 'E', 'S', 'S', 'E', 'D', 0, 0, 0, 0x80, 0x3E});
    std::vector<uint8_t> twice = pressed;
    twice.insert(twice.end(), pressed.begin(), pressed.end());
    const auto at = std::search(bytes.begin(), bytes.end(), twice.begin(), twice.end());
    ASSERT_NE(at, bytes.end());
    // The record with other behaviours under the two keys.
    const auto with = [&](const std::vector<uint8_t>& onPress, const std::vector<uint8_t>& onUnPress) {
        std::vector<uint8_t> record(bytes.begin(), at);
        record.insert(record.end(), onPress.begin(), onPress.end());
        record.insert(record.end(), onUnPress.begin(), onUnPress.end());
        record.insert(record.end(), at + long(twice.size()), bytes.end());
        return record;
    };

    // The object under "OnUnPress" replaces the one read under "OnPress" (which is freed); the
    // unpress event never has a behaviour of its own; written again, the press behaviour goes under both keys.
    const std::vector<uint8_t> animation =
        BehaviourBytes("UIEventRecipeAnimation", {1, 1, 0, 0, 0, 1, 'A', 0, 0, 0, 0, 0x3F});
    const std::vector<uint8_t> empty(1, 0);
    const struct
    {
        const std::vector<uint8_t>& onUnPress;
        const char* pressClass; // null: no press behaviour
    } cases[] = {{pressed, "UIEventRecipePreset"}, {animation, "UIEventRecipeAnimation"}, {empty, nullptr}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pressClass ? c.pressClass : "none");
        const std::vector<uint8_t> record = with(pressed, c.onUnPress);
        UIElementRecipe read;
        ASSERT_TRUE(read.DeserializeFromMemory(record.data(), record.size(), 0));
        const UIEventRecipe* readPress = read.GetEventRecipe(UIElementRecipe::EVENT_PRESS);
        EXPECT_STREQ(readPress ? readPress->GetClassName() : nullptr, c.pressClass);
        for (uint32_t event = 0; event <= UIElementRecipe::EVENT_COUNT; ++event) // one past the events: none
            EXPECT_EQ(read.GetEventRecipe(event) != nullptr, c.pressClass && event == UIElementRecipe::EVENT_PRESS)
                << event;
        EXPECT_EQ(SerializeToBytes(read), with(c.onUnPress, c.onUnPress));
    }

    UIElementRecipe read;
    ASSERT_TRUE(read.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_EQ(SerializeToBytes(read), bytes);
    EXPECT_TRUE(UIElementRecipe::StaticClassProperties()->AreObjectsEqual(&read, &recipe));
    ASSERT_EQ(read.GetChildren().Count(), 1);
    EXPECT_STREQ(read.GetChildren()[0]->m_name.CStr(), "Child");
    EXPECT_TRUE(read.GetChildren()[0]->m_hidden);
    EXPECT_EQ(read.m_disabled, 2u);
    ASSERT_NE(read.FindPreset("ENABLED"), nullptr);
    EXPECT_TRUE(read.HasActiveProperty("Color"));
    auto* readPress = dynamic_cast<UIEventRecipePreset*>(read.GetEventRecipe(UIElementRecipe::EVENT_PRESS));
    ASSERT_NE(readPress, nullptr);
    EXPECT_STREQ(readPress->m_presetName.CStr(), "PRESSED");
    ASSERT_EQ(read.GetEventSounds().Count(), 1);
    EXPECT_EQ(read.GetEventSounds()[0].m_eventId, 7u);
    EXPECT_STREQ(read.GetEventSounds()[0].m_sound.CStr(), "Click");

    // Reading again replaces what the recipe held (the sanitizer sees anything orphaned).
    ASSERT_TRUE(read.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_EQ(read.GetChildren().Count(), 1);
    EXPECT_EQ(read.GetPresets().Count(), 1);
}

TEST(UIElementRecipeTest, AnEventRecipeRecordNeverStoresItsActionLabel)
{
    UIEventRecipeAnimation animation;
    animation.m_loop = true;
    animation.m_presets.Add(UIApplyPreset("A", 0.5f));
    const std::vector<uint8_t> expected = {1,          // Loop
                                           1, 0, 0, 0, // one entry
                                           1, 'A', 0,  // Preset name
                                           0, 0, 0, 0x3F}; // Time 0.5
    EXPECT_EQ(SerializeToBytes(animation), expected);
    UIEventRecipeAnimation read;
    ASSERT_TRUE(read.DeserializeFromMemory(expected.data(), expected.size(), 0));
    EXPECT_STREQ(read.GetAction(), "Apply animation");
    EXPECT_TRUE(read.m_loop);
    EXPECT_STREQ(UIEventRecipePreset().GetAction(), "Apply preset with customable time");
    EXPECT_STREQ(UIEventRecipe().GetAction(), "Do nothing");
}

TEST(UIElementRecipeTest, ApplyToElementWritesTheBaseValuesFlagsColorAndAnchor)
{
    UIElementRecipe recipe;
    recipe.m_name = NameString("Panel");
    recipe.m_position = Vector(10, 20, 0, 1);
    recipe.m_rotation = Vector(0, 0, 30, 0);
    recipe.m_size = Vector(200, 100, 0, 0);
    recipe.m_scale = Vector(2, 2, 1, 0);
    recipe.m_selectionFrame = Vector(1, 2, 3, 4);
    recipe.m_outline = 2;
    recipe.m_colorMode = 2;
    recipe.m_blendMode = 3;
    recipe.m_aspectAwareness = 5;
    recipe.m_aspectScaling = 3;
    recipe.m_color = HDRColor(255, 128, 0, 255, 1.0f);
    recipe.m_transparent = true;
    recipe.m_hierarchicalAnchor = false;
    recipe.m_focusableWithMouse = true;
    recipe.m_clipChildren = true;
    recipe.m_stencilClipChildren = true;
    recipe.m_autoLayout = true;
    recipe.m_modal = 1;
    recipe.m_anchorBy = UIElementRecipe::ANCHOR_BY_CENTER;
    recipe.m_anchor = Vector(9, 9, 9, 9);

    UIElement* element = new UIElement;
    element->RaiseFlag(UIFLAG_HIERARCHICALANCHOR | UIFLAG_HIDDEN);
    UIProperties properties;
    recipe.ApplyToElement(element, properties, 0);
    EXPECT_STREQ(element->GetName(), "Panel");
    ExpectRecipeVector(element->GetRenderPosition(), Vector(10, 20, 0, 1), "position");
    ExpectRecipeVector(element->GetRenderRotation(), Vector(0, 0, 30, 0), "rotation");
    ExpectRecipeVector(element->GetRenderSize(), Vector(200, 100, 0, 0), "size");
    ExpectRecipeVector(element->GetRenderScale(), Vector(2, 2, 1, 0), "scale");
    ExpectRecipeVector(element->GetSelectionFrame(), Vector(1, 2, 3, 4), "selection frame");
    // Centred: half the size, all four components (sent negated as the rectangle's translation).
    ExpectRecipeVector(element->GetRenderAnchor(), Vector(-100, -50, 0, 0), "anchor");
    EXPECT_EQ(element->GetOutlineMask(), 1u << 2);
    EXPECT_EQ(element->GetColorMode(), 2u);
    EXPECT_EQ(element->GetBlendMode(), 3u);
    EXPECT_EQ(element->GetWindowAlignment(), 5u);
    EXPECT_EQ(element->GetAspectScaling(), 3u);
    Vector linear;
    recipe.m_color.ToLinearVector(linear);
    ExpectRecipeVector(element->GetRenderColor(), linear, "linear colour");
    EXPECT_EQ(element->GetUserFlags(), UIFLAG_TRANSPARENT | UIFLAG_FOCUSABLEWITHMOUSE | UIElementRecipe::kClipChildrenFlag |
                                           UIElementRecipe::kStencilClipChildrenFlag | UIFLAG_AUTOLAYOUT);
    EXPECT_EQ(element->IsModalFlag(), 1u) << "semi modal";
    EXPECT_TRUE(element->IsVisibleFlag());

    recipe.m_hidden = true;
    recipe.m_anchorBy = UIElementRecipe::ANCHOR_BY_ANCHOR;
    recipe.m_anchor = Vector(3, 4, 0, 0);
    recipe.ApplyToElement(element, properties, 0);
    EXPECT_FALSE(element->IsVisibleFlag());
    EXPECT_TRUE(element->IsRenderHidden());
    EXPECT_NE(element->GetUserFlags() & UIFLAG_HIDDEN, 0u);
    ExpectRecipeVector(element->GetRenderAnchor(), Vector(-3, -4, 0, 0), "anchor by anchor");
    element->Release();
}

TEST(UIElementRecipeTest, ApplyPresetFallsBackToTheRecipesOwnStateOnlyUnderItsRules)
{
    const struct
    {
        const char* name;
        bool oldBehaviour;
        bool withPresets;
        uint32_t flags;
        bool applied;
        float x; // the element's x afterwards
    } cases[] = {
        {"MOVED", false, true, 0, true, 50.0f},
        {"moved", false, true, 0, false, 1.0f},
        {"MISSING", false, true, 0, false, 1.0f},
        {"MISSING", true, true, 0, true, 7.0f},
        {"MISSING", true, false, 0, false, 1.0f},
        {nullptr, true, true, 0, true, 7.0f},
        {"MISSING", false, false, UIElementRecipe::kResetIfNoPresetFlag, true, 7.0f},
    };
    // An empty first preset slot (a record may hold one) counts as no presets.
    {
        const bool saved = gProjectConfig.m_oldUIBehaviour;
        gProjectConfig.m_oldUIBehaviour = true;
        UIElementRecipe recipe;
        recipe.AddPreset(nullptr);
        recipe.AddPreset(MakePreset("OTHER"));
        UIElement* element = new UIElement;
        EXPECT_FALSE(recipe.ApplyPreset("MISSING", element, 0.0f, 0, 0, false, false));
        EXPECT_TRUE(recipe.ApplyPreset("OTHER", element, 0.0f, 0, 0, false, false));
        element->Release();
        gProjectConfig.m_oldUIBehaviour = saved;
    }
    const bool oldBehaviour = gProjectConfig.m_oldUIBehaviour;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.name ? c.name : "(none)") + (c.oldBehaviour ? " old" : ""));
        gProjectConfig.m_oldUIBehaviour = c.oldBehaviour;
        UIElementRecipe recipe;
        recipe.m_position = Vector(7, 0, 0, 1);
        if (c.withPresets)
        {
            UIElementPreset* moved = MakePreset("MOVED", {"Position"});
            moved->m_position = Vector(50, 0, 0, 1);
            recipe.AddPreset(moved);
        }
        UIElement* element = new UIElement;
        element->SetPosition(Vector(1, 0, 0, 1));
        EXPECT_EQ(recipe.ApplyPreset(c.name, element, 0.0f, c.flags, 0, false, false), c.applied);
        EXPECT_FLOAT_EQ(element->GetRenderPosition().x, c.x);
        element->Release();
    }
    gProjectConfig.m_oldUIBehaviour = oldBehaviour;
}

TEST(UIElementRecipeTest, LookupsFindDepthFirstAndCaseSensitively)
{
    UIElementRecipe root;
    root.m_name = NameString("Root");
    auto* a = new UIElementRecipe;
    a->m_name = NameString("A");
    auto* deep = new UIElementRecipe;
    deep->m_name = NameString("Twin");
    a->AddChild(deep);
    auto* twin = new UIElementRecipe;
    twin->m_name = NameString("Twin");
    root.AddChild(a);
    root.AddChild(twin);
    EXPECT_EQ(root.FindByName(NameString("Root")), &root);
    EXPECT_EQ(root.FindByName(NameString("Twin")), deep);
    EXPECT_EQ(root.FindByName(NameString("twin")), nullptr);

    root.AddPreset(MakePreset("", {"", "Scale"}));
    root.AddPreset(MakePreset("ENABLED"));
    root.AddPreset(MakePreset("ENABLED"));
    EXPECT_EQ(root.FindPreset("enabled"), nullptr);
    EXPECT_EQ(root.FindPreset("ENABLED"), root.GetPresets()[1]);
    EXPECT_EQ(root.FindPreset(""), nullptr);
    EXPECT_TRUE(root.HasActiveProperty("Scale"));
    EXPECT_FALSE(root.HasActiveProperty(""));
    EXPECT_FALSE(root.HasActiveProperty("scale"));

    RTTIPolyBaseClass* target = nullptr;
    EXPECT_EQ(root.ResolvePresetOrRecipe("ENABLED", target), UIElementPreset::StaticClassProperties());
    EXPECT_EQ(target, root.GetPresets()[1]);
    EXPECT_EQ(root.ResolvePresetOrRecipe("NONE", target), UIElementRecipe::StaticClassProperties());
    EXPECT_EQ(target, &root);

    root.CycleDisabledMode();
    root.CycleDisabledMode();
    EXPECT_EQ(root.m_disabled, 2u);
    root.CycleDisabledMode();
    EXPECT_EQ(root.m_disabled, 0u);
}

TEST(UIElementRecipeTest, PrefabPathAndNameSplitAtTheLastSlashAndNeverOverflow)
{
    const std::string longText(260, 'x');
    const struct
    {
        const char* prefix;
        std::string prefab;
        bool found;
        const char* path;
        const char* name;
    } cases[] = {
        {"UI/Prefabs", "Menus/Main/Button", true, "UI/Prefabs/Menus/Main", "Button"},
        {"UI/Prefabs/", "Menus/Main/Button", true, "UI/Prefabs/Menus/Main", "Button"},
        {"UI", "Button", true, "UI/Button", "Button"},
        {"", "Menus/Button", true, "Menus", "Button"},
        {"UI", "", false, "", ""},
        // As long as the 260-character buffers, no room for the terminator: refused, nothing written past them.
        {"UI", longText, false, "", ""},
        {"UI", longText + "/B", false, "", "B"},
    };
    const std::string prefix = gProjectConfig.m_uiPrefabPathPrefix;
    ConsoleCapture log;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.prefab.substr(0, 20));
        gProjectConfig.m_uiPrefabPathPrefix = c.prefix;
        UIElementRecipe recipe;
        recipe.m_prefab = NameString(c.prefab.c_str());
        char path[UIElementRecipe::kPrefabBufferSize] = "stale";
        char name[UIElementRecipe::kPrefabBufferSize] = "stale";
        EXPECT_EQ(recipe.GetPrefabPath(path), c.found);
        recipe.GetPrefabName(name);
        EXPECT_STREQ(path, c.path);
        EXPECT_STREQ(name, c.name);
    }
    gProjectConfig.m_uiPrefabPathPrefix = prefix;
    EXPECT_TRUE(log.Contains("is longer than 259 characters"));
}
} // namespace

namespace
{
TEST(UIElementRecipeTest, ElementsReadTypedRecipeAndPresetValuesByKey)
{
    UIElementRecipe recipe;
    recipe.m_hidden = true;
    recipe.m_size = Vector(1, 2, 3, 4);
    recipe.m_prefab = NameString("Menus/Button");
    UIElementPreset* preset = MakePreset("BIG");
    preset->m_size = Vector(9, 8, 7, 6);
    preset->m_color = HDRColor(128, 0, 255, 255, 1.0f);
    recipe.AddPreset(preset);
    UIElement* element = new UIElement;
    EXPECT_EQ(element->GetRecipePrefab(), nullptr);
    EXPECT_FALSE(element->GetRecipeBoolProperty("Hidden", nullptr));
    element->SetRecipe(&recipe, nullptr);
    EXPECT_STREQ(element->GetRecipePrefab(), "Menus/Button");

    EXPECT_TRUE(element->GetRecipeBoolProperty("Hidden", nullptr));
    EXPECT_TRUE(element->GetRecipeBoolProperty("Hidden", "NONE"));
    EXPECT_FALSE(element->GetRecipeBoolProperty("Hidden", "BIG"));
    EXPECT_FALSE(element->GetRecipeBoolProperty("Size", nullptr));
    Vector out(-1, -1, -1, -1);
    EXPECT_TRUE(element->LoadRecipeVectorProperty(out, "Size", nullptr));
    ExpectRecipeVector(out, Vector(1, 2, 3, 4), "recipe size");
    EXPECT_TRUE(element->LoadRecipeVectorProperty(out, "Size", "BIG"));
    ExpectRecipeVector(out, Vector(9, 8, 7, 6), "preset size");
    EXPECT_FALSE(element->LoadRecipeVectorProperty(out, "Hidden", nullptr));
    EXPECT_FALSE(element->LoadRecipeVectorProperty(out, "Missing", nullptr));
    ExpectRecipeVector(out, Vector(9, 8, 7, 6), "unchanged");
    EXPECT_FALSE(element->LoadRecipeLinearColorProperty(out, "Size", "BIG"));
    EXPECT_TRUE(element->LoadRecipeLinearColorProperty(out, "Color", "BIG"));
    ExpectRecipeVector(out, Vector(0.2195197f, 0, 1, 1), "linear colour");
    element->Release();
}
} // namespace

namespace
{
std::vector<std::string> gWalk;

// Records which tree walk reached which recipe.
class WalkedRecipe : public UIElementRecipe
{
public:
    explicit WalkedRecipe(const char* name) { m_name = NameString(name); }
    void LoadResources() override { gWalk.push_back(std::string("load ") + m_name.CStr()); }
    void ReleaseResources() override { gWalk.push_back(std::string("release ") + m_name.CStr()); }
    void SetResourceFlags(uint32_t flags) override
    {
        gWalk.push_back(std::string("flags ") + m_name.CStr() + " " + std::to_string(flags));
    }
};

TEST(UIElementRecipeTest, TreeWalksVisitTheRecipeThenEachChildsSubtreeInOrder)
{
    WalkedRecipe root("root");
    auto* a = new WalkedRecipe("a");
    a->AddChild(new WalkedRecipe("a1"));
    root.AddChild(a);
    root.AddChild(nullptr);
    root.AddChild(new WalkedRecipe("b"));
    root.LoadResourcesRecursive();
    root.ReleaseResourcesRecursive();
    root.SetResourceFlagsRecursive(768);
    const std::vector<std::string> expected = {"load root",     "load a",       "load a1",      "load b",
                                               "release root",  "release a",    "release a1",   "release b",
                                               "flags root 768", "flags a 768", "flags a1 768", "flags b 768"};
    EXPECT_EQ(gWalk, expected);
    // Nothing to ask for without a prefab.
    EXPECT_FALSE(root.RequestPrefab());
}
} // namespace
