// The property tables of the configuration classes: names, types, flags and defaults, the
// property-change reactions, the language text forms, key binds and control sets.
#include "core/reflection/RTTIClass.h"
#include "engine/config/ConfigServices.h"
#include "engine/config/GameConfig.h"
#include "engine/config/LanguageNames.h"
#include "engine/config/ProjectConfig.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
struct Row
{
    const char* name;
    uint32_t type;
    uint32_t flags;
    const char* text; // default as its text form; null for kinds without one
};

constexpr uint32_t G = RTTI_TYPE_GROUP;
constexpr uint32_t F = RTTI_TYPE_FLOAT;
constexpr uint32_t U = RTTI_TYPE_UNSIGNED_INT;
constexpr uint32_t S = RTTI_TYPE_STRING;
constexpr uint32_t B = RTTI_TYPE_BOOL;
constexpr uint32_t N = RTTI_TYPE_NAME_STRING;
constexpr uint32_t V = RTTI_TYPE_VECTOR;
constexpr uint32_t E = RTTI_TYPE_EMBEDDED_OBJECT;
constexpr uint32_t A = RTTI_TYPE_DYNARRAY_OF_EMBEDDED_OBJECTS;
constexpr uint32_t D = RTTI_TYPE_DYNARRAY;
constexpr uint32_t kEnum = RTTI_PROPERTY_ENUMERATION;
const char* const kZeroGUID = "00000000-0000-0000-0000-000000000000";
const char* const kNoBits = "000000000000000000000000";

void ExpectTable(const RTTIPolyBaseClass& object, const RTTIPropertiesBase* table, const std::vector<Row>& rows)
{
    const Dynarray<RTTIProperty*>& properties = table->GetProperties();
    ASSERT_EQ(properties.Count(), int32_t(rows.size())) << table->GetClassName();
    for (size_t i = 0; i < rows.size(); ++i)
    {
        const RTTIProperty* property = properties[int32_t(i)];
        const Row& row = rows[i];
        SCOPED_TRACE(std::string(table->GetClassName()) + ": " + row.name);
        EXPECT_EQ(property->GetName(), row.name);
        EXPECT_EQ(property->GetType(), row.type);
        EXPECT_EQ(property->GetFlags(), row.flags);
        if (row.text != nullptr && row.type != G)
        {
            char text[256];
            ASSERT_TRUE(property->ToText(&object, text, sizeof(text)));
            EXPECT_STREQ(text, row.text);
        }
    }
}

TEST(ConfigPropertiesTest, EngineConfigTableAndDefaults)
{
    const EngineConfig config;
    ExpectTable(config, EngineConfig::StaticClassProperties(),
                {
                    {"Repository path", S, 34, ""},
                    {"Input", G, 0, nullptr},
                    {"Mouse sensitivity", F, 0, "1.000000"},
                    {"Invert mouse", B, 0, "0"},
                    {"Input mode", U, 0, "1"},
                    {"XController vibrations", B, 0, "1"},
                    {"Steam controller in editor", B, 0, "0"},
                    {"Renderer", G, 0, nullptr},
                    {"Full screen mode", B, 0, "1"},
                    {"Renderer config", E, 0, nullptr},
                    {"Sound", G, 0, nullptr},
                    {"Music volume", F, 0, "-1.000000"},
                    {"SFX volume", F, 0, "-1.000000"},
                    {"Voice volume", F, 0, "-1.000000"},
                    {"Network", G, 0, nullptr},
                    {"Port", U, 0, "9876"},
                    {"EnableCloud", B, 0, "1"},
                    {"Language", G, 0, nullptr},
                    {"Text language", U, kEnum, "12"},
                    {"Voice language", U, kEnum, "1"},
                    {"Subtitle mode", RTTI_TYPE_UNSIGNED_CHAR, 2, "0"},
                    {"Debug", G, 0, nullptr},
                    {"Render triggers", B, 0, "0"},
                    {"Render pathfinder debug", B, 0, "0"},
                    {"Active configuration profiles", S, 0, ""},
                    {"Try to load templates and textures from Mobile subdir", B, 0, "0"},
                    {"UserGUID", RTTI_TYPE_GUID, 0, kZeroGUID},
                    {"UserGUID established", B, 0, "0"},
                    {"PhysX debugger IP", S, 0, ""},
                    {"Controls", G, 0, nullptr},
                    {"GamePad Control", A, 0, nullptr},
                    {"Mouse Control", A, 0, nullptr},
                    {"Keyboard Control", A, 0, nullptr},
                    {"DIPad Control", A, 0, nullptr},
                    {"Control established", U, 0, "0"},
                    {"Misc", G, 0, nullptr},
                    {"Console show commands", B, 0, "0"},
                    {"Key binds", A, 0, nullptr},
                    {"Console history", E, 0, nullptr},
                    {"In game profilers", RTTI_TYPE_STATIC_BIT_VECTOR, 0, kNoBits},
                    {"Editor profilers", RTTI_TYPE_STATIC_BIT_VECTOR, 0, kNoBits},
                });
    EXPECT_EQ(EngineConfig::StaticClassProperties()->FindProperty("Mouse sensitivity")->GetDescription(),
              "Sensitivity of mouse\n    ; )");
    // The two profiler masks are saved from their own members.
    EngineConfig marked;
    marked.m_editorProfilers.Set(1, true);
    char bits[64];
    ASSERT_TRUE(EngineConfig::StaticClassProperties()->FindProperty("In game profilers")->ToText(&marked, bits, 64));
    EXPECT_STREQ(bits, kNoBits);
    ASSERT_TRUE(EngineConfig::StaticClassProperties()->FindProperty("Editor profilers")->ToText(&marked, bits, 64));
    EXPECT_STRNE(bits, kNoBits);
    EXPECT_EQ(config.m_consoleHistory.GetMaximumSize(), 32u);
    EXPECT_EQ(config.GetKeyBinds().Count(), 0);
    for (int32_t set = 0; set < EngineConfig::kControlSetCount; ++set)
        EXPECT_EQ(config.GetControlCount(set), 0);
    EXPECT_FALSE(config.IsStandaloneBuild());
    EXPECT_FALSE(config.UsesContainerFiles());

    // The class chain walks CoreConfig, EngineConfig, GameConfig: the record order.
    const Dynarray<RTTIPropertiesBase*>& chain = GameConfig::StaticClassProperties()->GetClassChain();
    ASSERT_EQ(chain.Count(), 3);
    EXPECT_STREQ(chain[0]->GetClassName(), "CoreConfig");
    EXPECT_STREQ(chain[1]->GetClassName(), "EngineConfig");
    EXPECT_STREQ(chain[2]->GetClassName(), "GameConfig");
}

TEST(ConfigPropertiesTest, RendererAndGameConfigTablesAndDefaults)
{
    const RendererConfigContainer renderer;
    ExpectTable(renderer, RendererConfigContainer::StaticClassProperties(),
                {
                    {"MSAA Mode", U, kEnum, "0"},
                    {"GFX quality level", U, kEnum, "3"},
                    {"Semi resolution screen scale", F, 0, "1.000000"},
                    {"Brightness", F, 0, "0.500000"},
                    {"ScreenScaleX", F, 0, "1.000000"},
                    {"ScreenScaleY", F, 0, "1.000000"},
                    {"Rendering options", G, 0, nullptr},
                    {"GPU Sync", B, 0, "1"},
                    {"VSync", B, 0, "1"},
                    {"Enable shadow map", B, 0, "1"},
                    {"Enable shadow map filtering", B, 0, "1"},
                    {"Shadow map size", U, 0, "2048"},
                    {"Enable full screen effects", B, 0, "1"},
                    {"Enable refraction", B, 0, "1"},
                    {"Enable outlines", B, 0, "1"},
                    {"Rendering debug options", G, 0, nullptr},
                    {"Display shadow debug info", B, 0, "0"},
                    {"Display entity names", B, 0, "0"},
                });
    const RTTIPropertiesBase* table = RendererConfigContainer::StaticClassProperties();
    EXPECT_STREQ(table->FindProperty("MSAA Mode")->GetEnumerationNames()[2], "4X");
    EXPECT_STREQ(table->FindProperty("GFX quality level")->GetEnumerationNames()[3], "High");
    EXPECT_EQ(table->FindProperty("GFX quality level")->GetEnumerationNames()[5], nullptr);
    // Each switch reads its own member: flipping the member shows in that row.
    using R = RendererConfigContainer;
    const std::pair<const char*, bool R::*> switches[] = {
        {"GPU Sync", &R::m_gpuSync}, {"VSync", &R::m_vSync}, {"Enable shadow map", &R::m_enableShadowMap},
        {"Enable shadow map filtering", &R::m_enableShadowMapFiltering}, {"Enable refraction", &R::m_enableRefraction},
        {"Enable full screen effects", &R::m_enableFullScreenEffects}, {"Enable outlines", &R::m_enableOutlines},
        {"Display shadow debug info", &R::m_displayShadowDebugInfo}, {"Display entity names", &R::m_displayEntityNames}};
    for (const auto& [name, member] : switches)
    {
        R flipped;
        flipped.*member = !(renderer.*member);
        char text[8];
        ASSERT_TRUE(table->FindProperty(name)->ToText(&flipped, text, sizeof(text)));
        EXPECT_STREQ(text, flipped.*member ? "1" : "0") << name;
    }

    const GameConfig game;
    ExpectTable(game, GameConfig::StaticClassProperties(),
                {
                    {"Window width", U, 0, "800"},
                    {"Window height", U, 0, "500"},
                    {"Use container files", B, 0, "1"},
                });
    EXPECT_TRUE(game.IsStandaloneBuild());
    EXPECT_TRUE(game.IsHDMode());
    EXPECT_TRUE(game.UsesContainerFiles());
    EXPECT_FALSE(game.m_connectToExternalConsole);
}

TEST(ConfigPropertiesTest, ProjectConfigTableAndDefaults)
{
    const ProjectConfig project;
    const char* const zero = "0.000000 0.000000 0.000000 0.000000";
    ExpectTable(project, ProjectConfig::StaticClassProperties(),
                {
                    {"Default scene", S, 2, ""},
                    {"Default asset import scale", F, 0, "1.000000"},
                    {"Executable file name", S, 0, "Default"},
                    {"Language mask", U, 0, "4294967295"},
                    {"Default language", U, kEnum, "12"},
                    {"Font replacement", A, 0, nullptr},
                    {"Default delegate tag", S, 0, ""},
                    {"Store definition file", S, 0, ""},
                    {"Visualization mode", U, kEnum, "0"},
                    {"Distribution tag", S, 0, ""},
                    {"Distribution Server Starting Adress", N, 0, "192.168.0.1"},
                    {"Distribution Server Subnet Mask", N, 0, "255.255.255.0"},
                    {"Scene variations", D, 0, nullptr},
                    {"EngineConfigCustomization", G, 0, nullptr},
                    {"Text language", U, kEnum, "12"},
                    {"Voice language", U, kEnum, "1"},
                    {"Subtitle mode", U, kEnum, "0"},
                    {"Input", G, 0, nullptr},
                    {"Enable controller", B, 0, "0"},
                    {"Enable controller vibrations", B, 0, "1"},
                    {"XBox controller dead zone", F, 0, "0.250000"},
                    {"Editor", G, 0, nullptr},
                    {"Editor FOV", F, 0, "60.000000"},
                    {"Editor near plane", F, 0, "0.010000"},
                    {"Editor far plane", F, 0, "1000.000000"},
                    {"Editor helper scale", F, 0, "1.000000"},
                    {"Editor zoom speed scale", F, 0, "1.000000"},
                    {"First ID of project specific templates", U, 0, "0"},
                    {"Last ID of project specific templates", U, 0, "0"},
                    {"Shadows", G, 0, nullptr},
                    {"Filter kernel size", F, 0, "3.000000"},
                    {"Depth bias", F, 0, "0.010000"},
                    {"Slope depth bias", F, 0, "0.020000"},
                    {"Outline", E, 0, nullptr},
                    {"UI outline", E, 0, nullptr},
                    {"Various effects", G, 0, nullptr},
                    {"Effect softness distance", F, 0, "2.500000"},
                    {"Rendering features", G, 0, nullptr},
                    {"Fake shadows", B, 0, "1"},
                    {"Outlines", B, 0, "1"},
                    {"Post upscale depth/stencil", B, 0, "0"},
                    {"Lightmap texel density", F, 0, "1.000000"},
                    {"Postprocess shader", N, 0, ""},
                    {"Postprocess param 1", V, 0, zero},
                    {"Postprocess param 2", V, 0, zero},
                    {"Postprocess param 3", V, 0, zero},
                    {"Postprocess param 4", V, 0, zero},
                    {"Default volumes", G, 0, nullptr},
                    {"Default sound volume", F, 0, "1.000000"},
                    {"Default music volume", F, 0, "1.000000"},
                    {"Default speech volume", F, 0, "1.000000"},
                    {"Scale sounds position by screen aspect ratio", B, 0, "0"},
                    {"UI", G, 0, nullptr},
                    {"Old UI Behaviour", B, 0, "0"},
                    {"UI screen width", F, 0, "1280.000000"},
                    {"UI screen height", F, 0, "720.000000"},
                    {"UI screen Z Near Mult", F, 0, "1.000000"},
                    {"UI screen Z Far Mult", F, 0, "3.000000"},
                    {"UI scene param template", RTTI_TYPE_GUID, 4096, kZeroGUID},
                    {"UI prefab path prefix", S, 0, ""},
                    {"UI property names", D, 0, nullptr},
                    {"Mobile memory", G, 0, nullptr},
                    {"Mesh optimziation vertex limit", U, 0, "200"},
                    {"Sound pool MB", U, 0, "7"},
                    {"Sound decoders", U, 0, "16"},
                    {"Animation buffer KB", U, 0, "128"},
                    {"World range", F, 0, "2400.000000"},
                    {"World cell", F, 0, "40.000000"},
                    {"Max particles", U, 0, "8192"},
                    {"Particles per system", U, 0, "1024"},
                    {"Particle spawn rate multiplier", F, 0, "1.000000"},
                    {"Particle pausing", B, 0, "1"},
                    {"Collision vertices", B, 0, "1"},
                    {"PC uses mobile settings", B, 0, "0"},
                    {"Android", G, 0, nullptr},
                    {"Android device config", A, 0, nullptr},
                    {"Mobile texture config", A, 0, nullptr},
                    {"Physics", G, 0, nullptr},
                    {"PhysX enabled", B, 0, "0"},
                    {"PhysX simulation speed multiplier", F, 0, "1.000000"},
                    {"PhysX earthquake force", F, 0, "18000.000000"},
                });
    const RTTIPropertiesBase* table = ProjectConfig::StaticClassProperties();
    EXPECT_STREQ(table->FindProperty("Visualization mode")->GetEnumerationNames()[2], "iPad2");
    EXPECT_STREQ(table->FindProperty("Subtitle mode")->GetEnumerationNames()[1], "On");
    // The key is matched as written; the correct spelling is another name.
    EXPECT_NE(table->FindProperty("distribution server starting adress"), nullptr);
    EXPECT_EQ(table->FindProperty("Distribution Server Starting Address"), nullptr);

    const FontReplacement row;
    ExpectTable(row, FontReplacement::StaticClassProperties(),
                {
                    {"Language", S, 0, "Polish"},
                    {"Original", N, 0, ""},
                    {"Replacement", N, 0, ""},
                    {"Scale", F, 0, "1.000000"},
                    {"Granularity", U, 0, "1"},
                    {"MaxSize", U, 0, "0"},
                });
    const MobileDeviceEntry device;
    ExpectTable(device, MobileDeviceEntry::StaticClassProperties(),
                {{"Device", N, 0, ""}, {"RunningAtResolution", U, 0, "0"}, {"Quality", S, 0, "Medium"},
                 {"ScreenScale", F, 0, "1.000000"}});
    const OutlineParams outline;
    ExpectTable(outline, OutlineParams::StaticClassProperties(),
                {{"Color hostile", RTTI_TYPE_HDR_COLOR, 0, "255 0 0 255 1.000000"},
                 {"Color friendly", RTTI_TYPE_HDR_COLOR, 0, "0 255 0 255 1.000000"},
                 {"Color neutral", RTTI_TYPE_HDR_COLOR, 0, "0 0 255 255 1.000000"},
                 {"Color hero", RTTI_TYPE_HDR_COLOR, 0, "255 255 255 255 1.000000"},
                 {"Dilatation kernel size", F, 0, "1.000000"},
                 {"Softness", F, 0, "0.500000"}});
}

// Enumerations read from a project or configuration file index name lists: values past them fall
// back, the last ones in range stay.
TEST(ConfigPropertiesTest, EnumerationsFromAFileAreBounded)
{
    ProjectConfig project;
    for (uint32_t past : {0u, 1u})
    {
        project.m_defaultLanguage = project.m_textLanguage = project.m_voiceLanguage = kLanguageCount - 1 + past;
        project.m_subtitleMode = 2 + past;
        project.m_visualizationMode = ProjectConfig::VISUALIZATION_IPAD2 + past;
        project.OnPostLoad(0);
        EXPECT_EQ(project.m_defaultLanguage, kLanguageDefault);
        EXPECT_EQ(project.m_textLanguage, kLanguageDefault);
        EXPECT_EQ(project.m_voiceLanguage, past ? kLanguageEnglish : kLanguageDefault);
        EXPECT_EQ(project.m_subtitleMode, past ? 0u : 2u);
        EXPECT_EQ(project.m_visualizationMode, past ? uint32_t(ProjectConfig::VISUALIZATION_PC) : 2u);
        GameConfig config;
        config.m_textLanguage = config.m_voiceLanguage = kLanguageCount - 1 + past;
        config.OnPostLoad(0);
        EXPECT_EQ(config.m_textLanguage, kLanguageDefault);
        EXPECT_EQ(config.m_voiceLanguage, past ? kLanguageEnglish : kLanguageDefault);
    }
}

TEST(ConfigPropertiesTest, LanguageNamesShowAsTheListSays)
{
    const EngineConfig config;
    const RTTIProperty* text = EngineConfig::StaticClassProperties()->FindProperty("Text language");
    EXPECT_STREQ(text->GetEnumerationNames()[config.m_textLanguage], "Default");
    EXPECT_STREQ(text->GetEnumerationNames()[kLanguageNone], "");
    EXPECT_EQ(text->GetEnumerationNames()[kLanguageCount], nullptr);
}

int gApplyCount = 0;
int gSelectLanguageCount = 0;

class ConfigHooksTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gApplyCount = 0;
        gSelectLanguageCount = 0;
        gConfigServices.applySeriousGFXSettings = [] { ++gApplyCount; };
        gConfigServices.selectSteamLanguage = [] { ++gSelectLanguageCount; };
    }
    void TearDown() override { gConfigServices = ConfigServices(); }

    // A change through the property system: found by name, set from text, then announced.
    static void Change(RTTIPolyBaseClass& object, const char* name, const char* text)
    {
        const RTTIProperty* property = object.GetClassProperties()->FindProperty(name);
        ASSERT_NE(property, nullptr) << name;
        ASSERT_TRUE(property->SetFromText(&object, text));
        object.OnPropertyChanged(property);
    }
};

TEST_F(ConfigHooksTest, QualityLevelReappliesGraphicsSettingsBrightnessDoesNot)
{
    GameConfig config;
    Change(config.m_rendererConfig, "Brightness", "0.8");
    EXPECT_FLOAT_EQ(config.m_rendererConfig.m_brightness, 0.8f);
    EXPECT_EQ(gApplyCount, 0);
    Change(config.m_rendererConfig, "gfx QUALITY level", "1");
    EXPECT_EQ(config.m_rendererConfig.m_gfxQualityLevel, 1u);
    EXPECT_EQ(gApplyCount, 1);
    config.m_rendererConfig.OnPropertyChanged(nullptr);
    EXPECT_EQ(gApplyCount, 2);

    // Without the renderer's hook the change is only stored.
    gConfigServices.applySeriousGFXSettings = nullptr;
    Change(config.m_rendererConfig, "GFX quality level", "2");
    EXPECT_EQ(config.m_rendererConfig.m_gfxQualityLevel, 2u);
}

class RecordingListener : public ProjectConfigChangeListener
{
public:
    void OnProjectConfigChanged(ProjectConfig&, const char* name) override { names.push_back(name ? name : "(all)"); }
    std::vector<std::string> names;
};

TEST_F(ConfigHooksTest, ProjectChangesReachTheLanguageAndEveryListenerInOrder)
{
    ProjectConfig project;
    RecordingListener first;
    RecordingListener second;
    project.AddChangeListener(&first);
    project.AddChangeListener(&second);
    project.AddChangeListener(nullptr); // ignored, never told
    Change(project, "World range", "100");
    EXPECT_EQ(gSelectLanguageCount, 0);
    Change(project, "Default language", "2");
    EXPECT_EQ(gSelectLanguageCount, 1);
    project.OnPropertyChanged(nullptr);
    EXPECT_EQ(gSelectLanguageCount, 2);
    const std::vector<std::string> expected = {"World range", "Default language", "(all)"};
    EXPECT_EQ(first.names, expected);
    EXPECT_EQ(second.names, expected);
    project.RemoveChangeListener(&first);
    Change(project, "World cell", "10");
    EXPECT_EQ(first.names.size(), 3u);
    EXPECT_EQ(second.names.size(), 4u);
}

TEST(ConfigPropertiesTest, FontReplacementLanguageTextForm)
{
    FontReplacement row;
    const RTTIProperty* language = FontReplacement::StaticClassProperties()->FindProperty("Language");
    char text[64];
    ASSERT_TRUE(language->SetFromText(&row, "english"));
    EXPECT_EQ(row.m_language, 1u);
    ASSERT_TRUE(language->SetFromText(&row, "KOREAN"));
    EXPECT_EQ(row.m_language, 10u);
    language->ToText(&row, text, sizeof(text));
    EXPECT_STREQ(text, "Korean");
    // "Default" is not among the first eleven names: it reads as 11 and writes back empty.
    ASSERT_TRUE(language->SetFromText(&row, "Default"));
    EXPECT_EQ(row.m_language, 11u);
    language->ToText(&row, text, sizeof(text));
    EXPECT_STREQ(text, "");
    row.m_language = 0xFFFFFFFFu;
    language->ToText(&row, text, sizeof(text));
    EXPECT_STREQ(text, "");
}

TEST(ConfigPropertiesTest, FindFontReplacementAndBudgets)
{
    ProjectConfig project;
    FontReplacement row;
    row.m_language = 6;
    row.m_original = NameString("Title");
    row.m_replacement = NameString("TitleJP");
    row.m_scale = 0.8f;
    row.m_granularity = 2;
    row.m_maxSize = 40;
    project.m_fontReplacements.Add(row);

    NameString name;
    float scale = 0;
    uint32_t granularity = 0;
    uint32_t maxSize = 7;
    EXPECT_TRUE(project.FindFontReplacement(6, NameString("Title"), name, scale, granularity, maxSize));
    EXPECT_STREQ(name.CStr(), "TitleJP");
    EXPECT_FLOAT_EQ(scale, 0.8f);
    EXPECT_EQ(granularity, 2u);
    EXPECT_EQ(maxSize, 40u);
    EXPECT_FALSE(project.FindFontReplacement(1, NameString("Title"), name, scale, granularity, maxSize));
    EXPECT_STREQ(name.CStr(), "Title");
    EXPECT_FLOAT_EQ(scale, 1.0f);
    EXPECT_EQ(granularity, 1u);
    EXPECT_EQ(maxSize, 0u);

    project.m_maxParticles = 5000;
    project.m_worldRange = 600.0f;
    project.m_worldCell = 25.0f;
    EXPECT_EQ(project.GetMaxParticles(), 262144u);
    EXPECT_EQ(project.GetWorldRange(), 2400.0f);
    EXPECT_EQ(project.GetWorldCell(), 40.0f);
    EXPECT_EQ(project.GetSoundPoolMB(), 32u);
    EXPECT_EQ(project.GetAnimationBufferKB(), 1024u);
    EXPECT_EQ(project.GetParticlesPerSystem(), 10922u);
    project.m_pcUsesMobileSettings = true;
    EXPECT_EQ(project.GetMaxParticles(), 5000u);
    EXPECT_EQ(project.GetSoundPoolMB(), 7u);
    EXPECT_EQ(project.GetSoundDecoders(), 16u);
    EXPECT_EQ(project.GetWorldRange(), 600.0f);
    EXPECT_EQ(project.GetWorldCell(), 25.0f);
    project.m_pcUsesMobileSettings = false;
    project.m_visualizationMode = ProjectConfig::VISUALIZATION_IPAD2;
    EXPECT_EQ(project.GetAnimationBufferKB(), 128u);
    project.m_visualizationMode = 1; // "iPhone" as a file stores it
    EXPECT_EQ(project.GetAnimationBufferKB(), 128u);
    EXPECT_EQ(ProjectConfig().GetMaxParticles(), 262144u);
}

TEST(ConfigPropertiesTest, QualityLevelTextForms)
{
    MobileDeviceEntry device;
    const RTTIProperty* quality = MobileDeviceEntry::StaticClassProperties()->FindProperty("Quality");
    ASSERT_TRUE(quality->SetFromText(&device, "very HIGH"));
    EXPECT_EQ(device.m_quality, 4u);
    quality->SetFromText(&device, "Ultra");
    EXPECT_EQ(device.m_quality, 4u);
    device.m_quality = 5; // one past the names
    char text[32];
    quality->ToText(&device, text, sizeof(text));
    EXPECT_STREQ(text, "Ultra low");
    // Each level is saved under its own name, as the files spell it.
    const char* const names[] = {"Ultra low", "Low", "Medium", "High", "Very high"};
    for (uint32_t level = 0; level < 5; ++level)
    {
        device.m_quality = level;
        quality->ToText(&device, text, sizeof(text));
        EXPECT_STREQ(text, names[level]);
    }
}

TEST(ConfigPropertiesTest, KeyBindsStaySortedAndNullRemoves)
{
    EngineConfig config;
    config.BindKey(70, "Pause");
    config.BindKey(65, "Attack");
    config.BindKey(80, "x = 1");
    ASSERT_EQ(config.GetKeyBinds().Count(), 3);
    EXPECT_EQ(config.GetKeyBinds()[0].m_keyCode, 65u);
    EXPECT_EQ(config.GetKeyBinds()[1].m_keyCode, 70u);
    EXPECT_EQ(config.GetKeyBinds()[2].m_keyCode, 80u);
    EXPECT_STREQ(config.FindKeyBind(70), "Pause");
    config.BindKey(70, "Menu");
    EXPECT_STREQ(config.FindKeyBind(70), "Menu");
    config.BindKey(80, nullptr);
    EXPECT_EQ(config.FindKeyBind(80), nullptr);
    config.BindKey(66, nullptr);
    EXPECT_EQ(config.GetKeyBinds().Count(), 2);
    config.BindKey(66, "");
    EXPECT_STREQ(config.FindKeyBind(66), "");
    config.RemoveAllKeyBinds();
    EXPECT_EQ(config.FindKeyBind(70), nullptr);

    // The defaults empty the lists a loaded file filled, the console history too.
    config.BindKey(70, "Pause");
    config.m_consoleHistory.Add("print(1)");
    config.SetDefaults();
    EXPECT_EQ(config.GetKeyBinds().Count(), 0);
    EXPECT_EQ(config.m_consoleHistory.GetCount(), 0);
}

TEST(ConfigPropertiesTest, ControlSetsGrowAndScriptIndicesAreBounded)
{
    ConsoleCapture console;
    EngineConfig config;
    EXPECT_TRUE(config.SetSecondaryControl(2, 5, 0x10001));
    ASSERT_EQ(config.GetControlCount(2), 6);
    uint32_t primary = 1;
    uint32_t secondary = 1;
    for (int32_t action = 0; action < 5; ++action)
    {
        config.GetControl(2, action, primary, secondary);
        EXPECT_EQ(primary + secondary, 0u);
    }
    config.GetControl(2, 5, primary, secondary);
    EXPECT_EQ(primary, 0u);
    EXPECT_EQ(secondary, 0x10001u);
    config.GetControl(2, 6, primary, secondary);
    EXPECT_EQ(primary + secondary, 0u);

    EXPECT_FALSE(config.SetPrimaryControl(5, 0, 1));
    EXPECT_FALSE(config.SetPrimaryControl(-1, 0, 1));
    EXPECT_FALSE(config.SetPrimaryControl(0, -1, 1));
    EXPECT_FALSE(config.SetPrimaryControl(0, EngineConfig::kMaxControlActions, 1));
    EXPECT_FALSE(config.SetPrimaryControl(0, 0x7FFFFFFF, 1));
    EXPECT_TRUE(console.Contains("out of range", CONSOLE_ERROR));
    EXPECT_EQ(config.GetControlCount(0), 0);
    config.GetControl(9, 0, primary, secondary);
    EXPECT_EQ(primary + secondary, 0u);
    config.RemoveAllControls(2);
    config.RemoveAllControls(77);
    EXPECT_EQ(config.GetControlCount(2), 0);

    // Set 4 lives only in memory.
    EXPECT_TRUE(config.SetPrimaryControl(4, 0, 7));
    EXPECT_EQ(config.GetControlCount(4), 1);
}
} // namespace
