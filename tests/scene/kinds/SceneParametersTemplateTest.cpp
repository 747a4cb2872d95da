// Scene parameters templates: the record's order and defaults, the typed envelopes and their key
// rules, the render-side set rebuilt on loads and edits, activation read back from the render
// command stream, and the UI scene parameter template's override set.
#include "engine/EngineTimer.h"
#include "engine/config/ProjectConfig.h"
#include "renderer/RenderCommands.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneEnvironmentCalls.h"
#include "support/SceneTestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace
{
// One scene environment call as read from the stream.
struct EnvironmentCall
{
    uint32_t sub = 0xFFFFFFFFu;
    const SceneParametersWrapper* wrapper = nullptr;
    uint32_t flags = 0;
    float seconds = 0.0f;
    uint64_t start = 0;
};

class SceneParametersTemplateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSceneClasses();
        AcceptSceneEnvironmentCalls(m_capture);
    }
    void TearDown() override { gProjectConfig.m_uiSceneParamTemplate = SimpleGUID(); }

    EnvironmentCall NextCall()
    {
        EnvironmentCall call;
        if (!m_capture.SkipTo(RENDER_OP_CALL))
            return call;
        EXPECT_EQ(m_capture.Read<uintptr_t>(), reinterpret_cast<uintptr_t>(&SceneEnvironment::Execute));
        call.sub = m_capture.Read<uint32_t>();
        EXPECT_EQ(m_capture.Read<const SceneEnvironment*>(), &gSceneEnvironment);
        if (call.sub == SceneEnvironment::SUB_BLEND)
        {
            call.start = m_capture.Read<uint64_t>();
            call.wrapper = m_capture.Read<const SceneParametersWrapper*>();
            call.flags = m_capture.Read<uint32_t>();
            call.seconds = m_capture.Read<float>();
        }
        else if (call.sub == SceneEnvironment::SUB_SET_OVERRIDE)
            call.wrapper = m_capture.Read<const SceneParametersWrapper*>();
        return call;
    }

    static std::string Text(const SceneParametersTemplate& t, const char* name)
    {
        char buffer[256] = {};
        const RTTIProperty* property = t.GetClassProperties()->FindPropertyInClassChain(name);
        EXPECT_NE(property, nullptr) << name;
        if (property != nullptr)
            property->ToText(&t, buffer, sizeof(buffer));
        return buffer;
    }

    RenderStreamCapture m_capture;
};

class ConfigListener : public ProjectConfigChangeListener
{
public:
    void OnProjectConfigChanged(ProjectConfig&, const char* name) override { names.push_back(name ? name : ""); }
    std::vector<std::string> names;
};
} // namespace

TEST_F(SceneParametersTemplateTest, TheRecordFollowsTheTablesOrder)
{
    const char* const expected[] = {
        "Attack time", "SUN", "Affects sun", "Light yaw", "Light pitch", "Color", "Two sided mode",
        "Wrap around factor", "Secondary color", "Side color", "Shadow strength", "Fake shadow strength", "Specular",
        "Separate specular params", "Specular yaw", "Specular pitch", "Specular color", "Specular multiplier",
        "Cloud look", "Affects texture and color", "Cloud texture file name", "Cloud color", "Cloud projection",
        "Affects projection", "Cloud projection yaw", "Cloud projection pitch", "Cloud projection scale",
        "Cloud projection rotation", "Cloud drift", "Layer clouds", "Affects layer texture", "Texture file name",
        "Layer cloud color", "Affects layer projection", "Layer cloud heigh", "Layer projection scale",
        "Layer projection rotation", "Layer cloud drift", "Environment map", "Affects environment map",
        "Env map file name", "Fog", "Fog color", "Fog start", "Fog end", "Glow", "Glow threshold", "Glow softness",
        "Glow color", "Non glow color", "Tone mapping", "Tone mapping curve", "Exposition", "SRGB",
        "Low spec mode color correction", "Color lookup", "Color lookup curve", "Exclude color 0", "Exclude color 1",
        "Exclude color 0 falloff start", "Exclude color 0 falloff end", "Exclude color 1 falloff start",
        "Exclude color 1 falloff end", "Screen color", "Top color", "Bottom color", "Vignette", "Vignette start",
        "Vignette end", "Vignette aspect", "Contrast and saturation", "Image local contrast",
        "Image local contrast variation", "Image contrast", "Image saturation", "Low spec contrast multiplier",
        "Low spec saturation multiplier", "Zoom blur", "Zoom blur strength", "Zoom blur source ratio",
        "Zoom blur blurred ratio", "Mac zoom blur source ratio multiplier", "Mac zoom blur blurred ratio multiplier",
        "No blur color correction", "Sharpen", "Sharpen strength", "Screen curve effect", "Screen curve amplitude",
        "Screen curve curvature", "Screen curve coverage", "RGB shift", "RGB shift scale curve",
        "RGB shift scale curve length (max=5)", "FXAA", "FXAA enabled", "Subpix aliasing (0.5 - sharper, 1.0 - softer)",
        "Edge treshold", "Edge treshold min", "Console subpix aliasing (0.33 - sharper, 0.5 - default)",
        "Console edge treshold", "Console edge treshold min", "SSAO", "SSAO intensity", "SSAO radius",
        "SSAO use normal maps", "SSAO decrease with lighting", "SSAO color", "Shader effect",
        "Battle mode desaturation", "Diffuse color multiplier", "SFX color multiplier", "iOS specific",
        "iPad2 square contrast factor", "iPad2 brightness", "Fake diffuse normal scale", "Lightmaps",
        "Light proble multiplier", "Custom params", "Param 1", "Param 2", "Param 3", "Param 4"};
    const Dynarray<RTTIProperty*>& properties = SceneParametersTemplate::StaticClassProperties()->GetProperties();
    ASSERT_EQ(size_t(properties.Count()), std::size(expected));
    for (int32_t i = 0; i < properties.Count(); ++i)
        EXPECT_EQ(properties[i]->GetName(), expected[i]) << i;
    EXPECT_EQ(properties[1]->GetType(), uint32_t(RTTI_TYPE_GROUP));
    EXPECT_EQ(properties[12]->GetType(), uint32_t(RTTI_TYPE_SEPARATOR));
    EXPECT_EQ(properties[5]->GetFlags(), 8u);
    EXPECT_EQ(properties[6]->GetFlags(), 0x80u);
    EXPECT_EQ(properties[20]->GetFlags(), 0x800u);
    EXPECT_EQ(properties[51]->GetType(), uint32_t(RTTI_TYPE_EMBEDDED_OBJECT));
}

TEST_F(SceneParametersTemplateTest, ANewTemplateHoldsTheDefaults)
{
    gProjectConfig.m_postprocessParam3 = Vector(3, 4, 5, 6);
    SceneParametersTemplate t;
    gProjectConfig.m_postprocessParam3 = Vector();
    EXPECT_EQ(Text(t, "Attack time"), Text(t, "Exposition"));
    EXPECT_FLOAT_EQ(t.GetAttackTime(), 1.0f);
    EXPECT_EQ(Text(t, "Light pitch"), "45.000000");
    EXPECT_EQ(Text(t, "Cloud projection pitch"), "60.000000");
    EXPECT_EQ(Text(t, "Fog end"), "1500.000000");
    EXPECT_EQ(Text(t, "SSAO use normal maps"), "1");
    EXPECT_EQ(Text(t, "SRGB"), "1");
    EXPECT_EQ(Text(t, "Edge treshold min"), "0.062500");
    for (const char* neutral : {"Image local contrast", "Image contrast", "Image saturation", "Low spec contrast multiplier",
                                "Low spec saturation multiplier", "Specular multiplier"})
        EXPECT_EQ(Text(t, neutral), "1.000000") << neutral;
    for (const auto& [name, value] : std::initializer_list<std::pair<const char*, const char*>>{
             {"Image local contrast variation", "0.900000"}, {"Vignette start", "0.000000"},
             {"Vignette end", "0.100000"}, {"Vignette aspect", "0.800000"}, {"Specular pitch", "45.000000"},
             {"Specular yaw", "0.000000"}, {"Battle mode desaturation", "0.000000"}, {"Edge treshold", "0.125000"},
             {"Console edge treshold", "0.125000"}, {"Console edge treshold min", "0.050000"},
             {"Secondary color", "63 63 63 0 1.000000"}})
        EXPECT_EQ(Text(t, name), value) << name;
    for (const char* off : {"Affects sun", "Separate specular params", "Affects texture and color", "Affects projection",
                            "Affects layer texture", "Affects layer projection", "Affects environment map", "FXAA enabled"})
        EXPECT_EQ(Text(t, off), "0") << off;
    EXPECT_EQ(Text(t, "Param 3"), "3.000000 4.000000 5.000000 6.000000") << "the project's post-process parameters when made";
    EXPECT_EQ(t.GetWireframeColor().g, 127);
    EXPECT_EQ(t.GetWireframeColor().r, 255);
    const TEnvelope<Vector>& tone = t.GetToneMappingCurve();
    ASSERT_EQ(tone.GetKeyCount(), 3);
    EXPECT_EQ(tone.GetKeyTime(2), 4096u);
    EXPECT_TRUE(tone.GetKeyValue(1).Equal(Vector(1, 1, 1, 1)));
    // Made with combine mode 0 (the keys alone) and the envelope's default linear interpolation.
    EXPECT_EQ(tone.GetCombineMode(), Envelope::COMBINE_KEYS);
    EXPECT_EQ(tone.GetInterpolation(), uint32_t(Envelope::INTERPOLATION_LINEAR));
    const TEnvelope<HDRColor>& lookup = t.GetColorLookupCurve();
    ASSERT_EQ(lookup.GetKeyCount(), 2);
    EXPECT_EQ(lookup.GetKeyValue(1).r, 255);
    EXPECT_EQ(lookup.GetKeyValue(1).a, 0);
    HDRColor constant;
    lookup.GetConstantValue(constant);
    EXPECT_EQ(constant.a, 255);
    ASSERT_EQ(t.GetRGBShiftCurve().GetKeyCount(), 2);
    EXPECT_EQ(t.GetRGBShiftCurve().GetKeyTime(1), 10240u);
}

TEST_F(SceneParametersTemplateTest, EnvelopesRoundTripThroughTheRecord)
{
    SceneParametersTemplate source;
    ASSERT_EQ(source.GetToneMappingCurve().AddKey(Vector(2, 2, 2, 2), 2.5f, 2), 2);
    source.GetColorLookupCurve().SetConstantValue(HDRColor(1, 2, 3, 4, 2.0f));
    const size_t size = source.SerializeToMemory(nullptr, 0, 0);
    std::vector<uint8_t> bytes(size);
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), size);
    SceneParametersTemplate read;
    ASSERT_TRUE(read.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    ASSERT_EQ(read.GetToneMappingCurve().GetKeyCount(), 4);
    EXPECT_EQ(read.GetToneMappingCurve().GetKeyTime(2), 2560u);
    EXPECT_TRUE(read.GetToneMappingCurve().GetKeyValue(2).Equal(Vector(2, 2, 2, 2)));
    HDRColor readConstant;
    read.GetColorLookupCurve().GetConstantValue(readConstant);
    EXPECT_EQ(readConstant.b, 3);
    EXPECT_FLOAT_EQ(readConstant.multiplier, 2.0f);
    EXPECT_NE(read.GetWrapper(), nullptr) << "the post-load hook builds the render-side set";
}

TEST_F(SceneParametersTemplateTest, CurveKeysGoInOnlyWhereTheirTimeKeepsTheOrder)
{
    SceneParametersTemplate t;
    TEnvelope<Vector>& curve = t.GetToneMappingCurve(); // keys at 0, 1 and 4 s
    EXPECT_EQ(curve.AddKey(Vector(), -0.5f, -1), -1) << "negative time";
    EXPECT_EQ(curve.AddKey(Vector(), 4.0f, -1), -1) << "equal to the last key";
    EXPECT_EQ(curve.AddKey(Vector(), 3.0f, 9), -1) << "an append must come later";
    EXPECT_EQ(curve.AddKey(Vector(5, 5, 5, 5), 5.0f, 9), 3);
    EXPECT_EQ(curve.AddKey(Vector(2, 2, 2, 2), 2.0f, 2), 2) << "strictly between its neighbours";
    EXPECT_EQ(curve.AddKey(Vector(), 2.0f, 3), -1);
    EXPECT_EQ(curve.AddKey(Vector(), 0.5f, 3), -1) << "not after the key before the index";
    ASSERT_EQ(curve.GetKeyCount(), 5);
    EXPECT_EQ(curve.GetKeyTime(2), 2048u);
    EXPECT_EQ(curve.GetKeyFlags(2), 0);
    EXPECT_TRUE(curve.GetKeyValue(3).Equal(Vector(1, 1, 1, 1)));
    EXPECT_EQ(t.GetColorLookupCurve().AddKey(HDRColor(), 1.0f, -1), -1) << "equal to the last key";
}

TEST_F(SceneParametersTemplateTest, ActivationBlendsToTheSetAndANegativeTimeUsesTheAttackTime)
{
    SceneParametersTemplate t;
    t.BlendTo(0, 2.0f);
    m_capture.Take();
    EXPECT_EQ(NextCall().sub, 0xFFFFFFFFu) << "no set yet, nothing posted";
    t.OnPostLoad(0);
    ASSERT_NE(t.GetWrapper(), nullptr);
    EXPECT_TRUE(t.GetWrapper()->IsReady());
    t.BlendTo(0, -1.0f);
    ASSERT_TRUE(t.GetClassProperties()->FindPropertyInClassChain("Attack time")->SetFromText(&t, "2.5"));
    t.BlendTo(8, -0.1f);
    t.BlendTo(4, 0.75f);
    m_capture.Take();
    EnvironmentCall call = NextCall();
    EXPECT_EQ(call.sub, uint32_t(SceneEnvironment::SUB_BLEND));
    EXPECT_EQ(call.wrapper, t.GetWrapper());
    EXPECT_FLOAT_EQ(call.seconds, 1.0f);
    call = NextCall();
    EXPECT_FLOAT_EQ(call.seconds, 2.5f);
    EXPECT_EQ(call.flags, 8u);
    EXPECT_EQ(call.start, uint64_t(gEngineTimer.GetTicks())) << "flag 8 starts on the engine clock";
    call = NextCall();
    EXPECT_FLOAT_EQ(call.seconds, 0.75f);
    EXPECT_EQ(call.flags, 4u);
}

TEST_F(SceneParametersTemplateTest, EmptyTextureNamesBuildASetWithoutTextures)
{
    SceneParametersTemplate t;
    ASSERT_TRUE(t.GetClassProperties()->FindPropertyInClassChain("Fog start")->SetFromText(&t, "12"));
    t.RebuildWrapper(true);
    const SceneParametersWrapper& set = *t.GetWrapper();
    EXPECT_EQ(set.GetCloudTexture(), nullptr);
    EXPECT_EQ(set.GetLayerTexture(), nullptr);
    EXPECT_EQ(set.GetEnvironmentMap(), nullptr);
    EXPECT_FLOAT_EQ(set.GetShading().fogStart, 12.0f);
    EXPECT_FLOAT_EQ(set.GetShading().ssaoColor.w, 1.0f);
}

TEST_F(SceneParametersTemplateTest, ARebuildOrTheTemplatesEndLetsGoOfTheTexturesItTook)
{
    ResourceManager manager;
    ASSERT_TRUE(manager.Init());
    auto t = std::make_unique<SceneParametersTemplate>();
    ASSERT_TRUE(t->GetClassProperties()->FindPropertyInClassChain("Cloud texture file name")->SetFromText(t.get(), "Sky/none.dds"));
    t->RebuildWrapper(true);
    Resource* texture = manager.GetResource(RESOURCE_TYPE_TEXTURE, "Sky/none.dds", 0, true, 0);
    EXPECT_EQ(texture->GetReferenceCount(), 2) << "the template's and this one";
    t->RebuildWrapper(true);
    EXPECT_EQ(texture->GetReferenceCount(), 2);
    // Each slot takes the texture its own name gives.
    const char* const named[][2] = {{"Texture file name", "Sky/layer.dds"}, {"Env map file name", "Sky/env.dds"}};
    for (const auto& [property, file] : named)
        ASSERT_TRUE(t->GetClassProperties()->FindPropertyInClassChain(property)->SetFromText(t.get(), file));
    t->RebuildWrapper(true);
    for (const auto& [property, file] : named)
    {
        Resource* other = manager.GetResource(RESOURCE_TYPE_TEXTURE, file, 0, true, 0);
        EXPECT_EQ(other->GetReferenceCount(), 2) << property;
        other->Release();
    }
    t.reset();
    EXPECT_EQ(texture->GetReferenceCount(), 1);
    texture->Release();
    manager.Close();
}

TEST_F(SceneParametersTemplateTest, EditingTheUITemplateUpdatesTheOverrideSetAtOnce)
{
    SceneParametersTemplate ui;
    SceneParametersTemplate other;
    SimpleGUID guid;
    guid.Generate();
    ui.SetGUID(guid);
    SimpleGUID otherGUID;
    otherGUID.Generate();
    other.SetGUID(otherGUID);
    gProjectConfig.m_uiSceneParamTemplate = guid;
    ConfigListener listener;
    gProjectConfig.AddChangeListener(&listener);
    const RTTIProperty* fog = ui.GetClassProperties()->FindPropertyInClassChain("Fog end");
    ASSERT_TRUE(fog->SetFromText(&other, "10"));
    other.OnPropertyChanged(fog);
    ASSERT_TRUE(fog->SetFromText(&ui, "20"));
    ui.OnPropertyChanged(fog);
    gProjectConfig.RemoveChangeListener(&listener);
    m_capture.Take();
    const EnvironmentCall call = NextCall();
    EXPECT_EQ(call.sub, uint32_t(SceneEnvironment::SUB_SET_OVERRIDE));
    EXPECT_EQ(call.wrapper, ui.GetWrapper());
    ASSERT_NE(ui.GetWrapper(), nullptr);
    EXPECT_FLOAT_EQ(ui.GetWrapper()->GetShading().fogEnd, 20.0f);
    EXPECT_EQ(NextCall().sub, 0xFFFFFFFFu) << "the other template's edit touches no override";
    EXPECT_EQ(listener.names, std::vector<std::string>{"UI scene param template"});
}
