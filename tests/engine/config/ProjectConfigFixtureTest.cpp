// A "Project.ConfigBin" assembled byte by byte, so that a fault shared by the record writer and
// reader cannot hide; and the keyed-text cases of the configuration through the text form.
#include "core/Crc32.h"
#include "core/filesystem/FileSystem.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "engine/config/ConfigFiles.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "support/TempFolder.h"
#include "tools/datakit/DataRoot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{
// Little-endian field writer for the fixture.
class Bytes
{
public:
    Bytes& U8(uint8_t v)
    {
        m_bytes.push_back(char(v));
        return *this;
    }
    Bytes& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            U8(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    Bytes& Str(const char* text)
    {
        m_bytes.append(text, std::strlen(text) + 1);
        return *this;
    }
    Bytes& Name(const char* text)
    {
        if (*text == '\0')
            return U8(0);
        U8(1);
        return Str(text);
    }
    Bytes& Color(uint8_t r, uint8_t g, uint8_t b, uint8_t a, float multiplier)
    {
        return U8(r).U8(g).U8(b).U8(a).F32(multiplier);
    }
    const std::string& Get() const { return m_bytes; }

private:
    std::string m_bytes;
};

std::string ProjectPayload()
{
    Bytes b;
    b.Str("Level01").F32(1.0f).Str("Tessarine").U32(0x3).U32(12);
    b.U32(1).Str("Japanese").Name("Title").Name("TitleJP").F32(0.75f).U32(2).U32(48); // font replacement
    b.Str("").Str("").U32(0).Str("steam").Name("10.1.0.0").Name("255.255.0.0");
    b.U32(2).Name("Day").Name("Night");                                  // scene variations
    b.U32(1).U32(1).U32(2);                                               // languages, subtitles
    b.U8(1).U8(0).F32(0.3f);                                              // input
    b.F32(70.0f).F32(0.1f).F32(500.0f).F32(2.0f).F32(1.5f).U32(256).U32(511); // editor
    b.F32(4.0f).F32(0.005f).F32(0.01f);                                   // shadows
    for (int outline = 0; outline < 2; ++outline)
        b.Color(255, 0, 0, 255, 1.0f).Color(0, 255, 0, 255, 1.0f).Color(0, 0, 255, 255, 2.0f)
            .Color(255, 255, 255, 128, 1.0f).F32(2.0f).F32(0.25f);
    b.F32(3.5f);                                                          // effect softness
    b.U8(0).U8(1).U8(0).F32(1.25f).Name("Post");                          // rendering features
    for (int param = 0; param < 4; ++param)
        b.F32(float(param)).F32(0.0f).F32(0.0f).F32(1.0f);
    b.F32(0.9f).F32(0.8f).F32(0.7f).U8(1);                                // default volumes
    b.U8(1).F32(1920.0f).F32(1080.0f).F32(1.0f).F32(3.0f);                // UI
    for (uint8_t i = 0; i < 16; ++i)
        b.U8(i);
    b.Str("ui/").U32(1).Name("Health");
    b.U32(300).U32(8).U32(12).U32(256).F32(1200.0f).F32(20.0f).U32(4096).U32(512).F32(0.5f).U8(0).U8(1).U8(0);
    b.U32(1).Name("Pixel").U32(1080).Str("High").F32(0.5f);               // android device config
    b.U32(1).Str("Low").U32(512).U32(64);                                 // mobile texture config
    b.U8(1).F32(2.0f).F32(9000.0f);                                       // physics
    return b.Get();
}

std::string ProjectRecord(const std::string& payload)
{
    Bytes header;
    header.U32(uint32_t(payload.size()))
        .U32(ProjectConfig::StaticClassProperties()->GetLayoutMagic())
        .U32(ComputeCrc32(payload.data(), payload.size()));
    return header.Get() + payload;
}

TEST(ProjectConfigFixtureTest, HandAssembledRecordReadsFieldByField)
{
    TempFolder root;
    const std::string record = ProjectRecord(ProjectPayload());
    root.WriteFile("common/Project.ConfigBin", record);
    gFileSystem.UnmountAll();
    ASSERT_TRUE(gFileSystem.MountDirectory("common", (root / "common").c_str()));
    ProjectConfig project;
    GameConfig config;
    ASSERT_TRUE(ConfigFiles::LoadProjectConfigFile(project, &config));
    gFileSystem.UnmountAll();

    EXPECT_EQ(project.m_defaultScene, "Level01");
    EXPECT_EQ(project.m_executableFileName, "Tessarine");
    EXPECT_EQ(project.m_languageMask, 3u);
    ASSERT_EQ(project.m_fontReplacements.Count(), 1);
    EXPECT_EQ(project.m_fontReplacements[0].m_language, 6u);
    EXPECT_STREQ(project.m_fontReplacements[0].m_replacement.CStr(), "TitleJP");
    EXPECT_EQ(project.m_fontReplacements[0].m_maxSize, 48u);
    EXPECT_EQ(project.m_distributionTag, "steam");
    EXPECT_STREQ(project.m_distributionServerStartingAddress.CStr(), "10.1.0.0");
    ASSERT_EQ(project.m_sceneVariations.Count(), 2);
    EXPECT_STREQ(project.m_sceneVariations[1].CStr(), "Night");
    EXPECT_EQ(project.m_subtitleMode, 2u);
    EXPECT_FLOAT_EQ(project.m_xboxControllerDeadZone, 0.3f);
    EXPECT_EQ(project.m_lastProjectTemplateId, 511u);
    EXPECT_FLOAT_EQ(project.m_uiOutline.m_colorNeutral.multiplier, 2.0f);
    EXPECT_EQ(project.m_uiOutline.m_colorHero.a, 128);
    EXPECT_FLOAT_EQ(project.m_effectSoftnessDistance, 3.5f);
    EXPECT_STREQ(project.m_postprocessShader.CStr(), "Post");
    EXPECT_FLOAT_EQ(project.m_postprocessParam4.x, 3.0f);
    EXPECT_EQ(project.m_uiSceneParamTemplate.bytes[15], 15);
    EXPECT_STREQ(project.m_uiPropertyNames[0].CStr(), "Health");
    EXPECT_EQ(project.m_meshOptimizationVertexLimit, 300u);
    EXPECT_EQ(project.m_particlesPerSystem, 512u);
    ASSERT_EQ(project.m_androidDeviceConfig.Count(), 1);
    EXPECT_EQ(project.m_androidDeviceConfig[0].m_quality, 3u);
    EXPECT_EQ(project.m_mobileTextureConfig[0].m_resMode, 1u);
    EXPECT_TRUE(project.m_physXEnabled);
    EXPECT_FLOAT_EQ(project.m_physXEarthquakeForce, 9000.0f);
    // The user configuration's unset volumes took the project's defaults.
    EXPECT_FLOAT_EQ(config.m_musicVolume, 0.8f);
    EXPECT_FLOAT_EQ(config.m_sfxVolume, 0.9f);
    EXPECT_FLOAT_EQ(config.m_voiceVolume, 0.7f);

    // The writer produces the same bytes from what was read.
    std::vector<uint8_t> written;
    ASSERT_TRUE(DataRoot::BuildConfigRecord(project, written));
    EXPECT_EQ(std::string(written.begin(), written.end()), record);
}

// Text lines "name=value" applied through the name index, as an editor or tool would.
void ApplyText(RTTIPolyBaseClass& object, const std::vector<std::pair<const char*, const char*>>& lines)
{
    for (const auto& [name, value] : lines)
    {
        const RTTIProperty* property = object.GetClassProperties()->FindPropertyInClassChain(name);
        if (property != nullptr)
            property->SetFromText(&object, value);
    }
}

TEST(ProjectConfigFixtureTest, KeyedTextLeavesUnnamedPropertiesAtTheirDefaults)
{
    GameConfig config;
    ApplyText(config, {{"port", "1234"}, {"Window width", "1024"}, {"Break on assert", "1"}});
    EXPECT_EQ(config.m_port, 1234u);
    EXPECT_EQ(config.m_windowWidth, 1024u);
    EXPECT_TRUE(config.m_breakOnAssert);
    EXPECT_EQ(config.m_windowHeight, 500u);
    EXPECT_FLOAT_EQ(config.m_musicVolume, -1.0f);

    ProjectConfig project;
    ApplyText(project, {{"Distribution Server Starting Address", "10.0.0.1"}});
    EXPECT_STREQ(project.m_distributionServerStartingAddress.CStr(), "192.168.0.1");
    ApplyText(project, {{"Distribution Server Starting Adress", "10.0.0.1"}});
    EXPECT_STREQ(project.m_distributionServerStartingAddress.CStr(), "10.0.0.1");
}
} // namespace
