#include "effects/sfx/SFXElementKinds.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXEmbeddedSfxElementDefinition.h"
#include "effects/sfx/SFXLightElementDefinition.h"
#include "effects/sfx/SFXMeshElementDefinition.h"
#include "effects/sfx/SFXParticleElementDefinition.h"
#include "effects/sfx/SFXPhysicalEffectElementDefinition.h"
#include "effects/sfx/SFXQuadElementDefinition.h"
#include "effects/sfx/SFXSoundElementDefinition.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "support/ConsoleCapture.h"
#include "support/RendererTestBase.h"
#include "support/TemplateTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::string Text(const RTTIPolyBaseClass& object, const char* name)
{
    const RTTIProperty* property = object.GetClassProperties()->FindProperty(name);
    if (property == nullptr)
        return "<missing>";
    char buffer[256] = {};
    property->ToText(&object, buffer, sizeof(buffer));
    return buffer;
}

SimpleGUID Guid(uint8_t last)
{
    SimpleGUID guid;
    guid.bytes[15] = 0x5F;
    guid.bytes[0] = last;
    return guid;
}

class SFXElementKindsTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterSceneClasses(); }
    void TearDown() override { gTemplateManager.Clear(); }
    ConsoleCapture m_log;
};

// The properties each kind adds after the base ones: name, type id, flags and the default's text
// ("" where the type has no text form).
struct PropertyRow
{
    const char* name;
    uint32_t type;
    uint32_t flags;
    const char* text;
};

TEST_F(SFXElementKindsTest, EveryKindIsRegisteredWithItsOwnPropertiesOnTheBaseTable)
{
    struct Kind
    {
        const char* className;
        std::vector<PropertyRow> rows;
    } const kinds[] = {
        {"SFXQuadElementDefinition",
         {{"Texture file name", 22, 2048, "SFX/glow.dds"},
          {"Texture frames X", 11, 0, "1"},
          {"Texture frames Y", 11, 0, "1"},
          {"Random frame timeout", 9, 0, "0.000000"},
          {"Frame animation curve", 3, 0, ""},
          {"Blending mode", 11, 0x80, "3"},
          {"Alpha test mode", 11, 0x80, "1"},
          {"Alpha reference value", 9, 0, "0.010000"},
          {"Refraction power", 9, 0, "0.000000"},
          {"Refraction granularity", 9, 0, "1.000000"},
          {"Refraction level", 11, 0x80, "2"},
          {"UV center", 15, 0, "0.500000 0.500000 0.000000 0.000000"},
          {"Softness", 20, 0, "0"},
          {"2-sided", 20, 0, "1"},
          {"Depth read", 20, 0, "1"},
          {"Lens flare", 0, 0, ""},
          {"Render as lens flare", 20, 0, "0"},
          {"Flare distance", 9, 0, "0.000000"}}},
        {"SFXParticleElementDefinition",
         {{"Particle template", 21, 4096, ""}, {"Spawn rate multiplier", 3, 0, ""}}},
        {"SFXMeshElementDefinition",
         {{"Mesh template", 21, 4096, ""},
          {"Shader preset", 22, 0, ""},
          {"Animation", 22, 0, ""},
          {"Preset", 22, 0, ""},
          {"AnimationProgress", 3, 0, ""}}},
        {"SFXPointLightElementDefinition",
         {{"Range", 3, 0, ""}, {"Mask texture", 22, 2048, ""}, {"Draw light wireframe", 20, 0, "0"}}},
        {"SFXSpotLightElementDefinition",
         {{"Range", 3, 0, ""},
          {"Spot width", 9, 0, "30.000000"},
          {"Spot softness", 9, 0, "1.000000"},
          {"Mask texture", 22, 2048, ""},
          {"Draw light wireframe", 20, 0, "0"}}},
        {"SFXSoundElementDefinition",
         {{"Sound entry name", 22, 0, ""},
          {"Sound channel", 11, 0, "0"},
          {"Sound start envelope", 3, 0, ""},
          {"Volume", 3, 0, ""}}},
        {"SFXPhysicalEffectElementDefinition",
         {{"Physical effect template", 21, 4096, ""}, {"Shader preset", 22, 0, ""}, {"Spawn rate multiplier", 3, 0, ""}}},
        {"SFXEmbeddedSfxElementDefinition",
         {{"SFX template", 21, 4096, ""}, {"Start delay", 9, 0, "0.000000"}, {"Restart after", 9, 0, "0.000000"}}},
    };
    for (const Kind& kind : kinds)
    {
        SCOPED_TRACE(kind.className);
        const int id = RTTIClassRegistry::FindClassId(kind.className);
        ASSERT_GE(id, 0);
        EXPECT_STREQ(RTTIClassRegistry::GetBaseClassName(id), "SFXElementDefinition");
        std::unique_ptr<RTTIPolyBaseClass> object(RTTIClassRegistry::CreateObject(kind.className));
        ASSERT_NE(dynamic_cast<SFXElementDefinition*>(object.get()), nullptr);
        const RTTIPropertiesBase* table = object->GetClassProperties();
        EXPECT_EQ(table->GetBaseTable(), SFXElementDefinition::StaticClassProperties());
        const auto& properties = table->GetProperties();
        ASSERT_EQ(properties.Count(), int32_t(kind.rows.size()));
        for (size_t i = 0; i < kind.rows.size(); ++i)
        {
            const RTTIProperty& property = *properties[int32_t(i)];
            const PropertyRow& row = kind.rows[i];
            EXPECT_EQ(property.GetName(), std::string(row.name));
            EXPECT_EQ(property.GetType(), row.type) << row.name;
            EXPECT_EQ(property.GetFlags(), row.flags) << row.name;
            if (row.text[0] != 0)
            {
                EXPECT_EQ(Text(*object, row.name), row.text) << row.name;
            }
        }
    }
}

TEST_F(SFXElementKindsTest, KindEnvelopesStartWithTheirCombineModesAndConstants)
{
    const SFXQuadElementDefinition quad;
    const SFXParticleElementDefinition particle;
    const SFXMeshElementDefinition mesh;
    const SFXSpotLightElementDefinition spot;
    const SFXSoundElementDefinition sound;
    const SFXPhysicalEffectElementDefinition physical;
    struct Row
    {
        const char* name;
        const TEnvelope<Vector>& envelope;
        uint8_t combine;
        Vector constant;
    } const rows[] = {
        {"frame curve", quad.GetFrameCurve(), Envelope::COMBINE_KEYS, Vector(0, 0, 0, 0)},
        {"particle spawn", particle.GetSpawnRateMultiplier(), Envelope::COMBINE_MULTIPLY, Vector(1, 0, 0, 0)},
        {"progress", mesh.GetAnimationProgress(), Envelope::COMBINE_MULTIPLY, Vector(0, 0, 0, 0)},
        {"range", spot.GetRange(), Envelope::COMBINE_MULTIPLY, Vector(0.5f, 1, 0, 0)},
        {"start", sound.GetStartEnvelope(), Envelope::COMBINE_KEYS, Vector(1, 0, 0, 0)},
        {"volume", sound.GetVolume(), Envelope::COMBINE_MULTIPLY, Vector(1, 0, 0, 0)},
        {"physical spawn", physical.GetSpawnRateMultiplier(), Envelope::COMBINE_MULTIPLY, Vector(1, 0, 0, 0)},
    };
    for (const Row& row : rows)
    {
        Vector constant;
        row.envelope.GetConstantValue(constant);
        EXPECT_EQ(row.envelope.GetCombineMode(), row.combine) << row.name;
        EXPECT_TRUE(constant.Equal(row.constant)) << row.name;
    }
    EXPECT_EQ(spot.GetPassBits(), 2u);
    EXPECT_EQ(quad.GetPassBits(), 17u);
}

TEST_F(SFXElementKindsTest, TheQuadAtlasCountsFramesAndScalesThemFromEitherSetter)
{
    struct Row
    {
        const char* x;
        const char* y;
        uint32_t frames;
        Vector scale;
    } const rows[] = {
        {"4", "2", 8, Vector(0.25f, 0.5f, 0.25f, 0.5f)},
        {"1", "1", 1, Vector(1, 1, 1, 1)},
        {"3", "1", 3, Vector(1.0f / 3.0f, 1, 1.0f / 3.0f, 1)},
        {"1", "2", 2, Vector(1, 0.5f, 1, 0.5f)},
        {"0", "5", 1, Vector(1, 0.2f, 1, 0.2f)},
    };
    for (const Row& row : rows)
    {
        SFXQuadElementDefinition quad;
        const RTTIPropertiesBase* table = quad.GetClassProperties();
        ASSERT_TRUE(table->FindProperty("Texture frames X")->SetFromText(&quad, row.x));
        ASSERT_TRUE(table->FindProperty("Texture frames Y")->SetFromText(&quad, row.y));
        EXPECT_EQ(quad.GetFrameCount(), row.frames) << row.x << "x" << row.y;
        EXPECT_TRUE(quad.GetFrameScale().Equal(row.scale)) << row.x << "x" << row.y;
    }
}

TEST_F(SFXElementKindsTest, ResolvingAppendsEachKindsBindingsAfterTheBaseFive)
{
    SFXQuadElementDefinition quad;
    SFXParticleElementDefinition particle;
    SFXMeshElementDefinition mesh;
    SFXPointLightElementDefinition point;
    SFXSoundElementDefinition sound;
    SFXPhysicalEffectElementDefinition physical;
    SFXEmbeddedSfxElementDefinition embedded;
    struct Row
    {
        SFXElementDefinition& element;
        std::vector<std::pair<const Envelope*, uint32_t>> own;
        uint32_t passBits;
    } const rows[] = {
        {quad, {{&quad.GetFrameCurve(), 5}}, 17},
        {particle, {{&particle.GetSpawnRateMultiplier(), 5}}, 17},
        {mesh, {{&mesh.GetAnimationProgress(), 5}}, 16},
        {point, {{&point.GetRange(), 5}}, 2},
        {sound, {{&sound.GetStartEnvelope(), 5}, {&sound.GetVolume(), 6}}, 17},
        {physical, {{&physical.GetSpawnRateMultiplier(), 5}}, 17},
        {embedded, {}, 17},
    };
    for (const Row& row : rows)
    {
        row.element.ResolveResources(false);
        const auto& bindings = row.element.GetEnvelopeBindings();
        ASSERT_EQ(bindings.Count(), 5 + int32_t(row.own.size()));
        EXPECT_EQ(bindings[0].envelope, &row.element.GetPosition());
        EXPECT_EQ(bindings[4].state, uint32_t(SFXElementDefinition::STATE_PIVOT));
        for (size_t i = 0; i < row.own.size(); ++i)
        {
            EXPECT_EQ(bindings[5 + int32_t(i)].envelope, row.own[i].first);
            EXPECT_EQ(bindings[5 + int32_t(i)].state, row.own[i].second);
        }
        EXPECT_EQ(row.element.GetPassBits(), row.passBits);
        // Resolving again rebuilds the table rather than appending to it.
        row.element.ResolveResources(false);
        EXPECT_EQ(row.element.GetEnvelopeBindings().Count(), 5 + int32_t(row.own.size()));
    }
}

TEST_F(SFXElementKindsTest, MeshDataRenderBytesChooseThePassBitsAndBytes)
{
    struct Row
    {
        uint8_t bytes[7];
        uint32_t passBits;
        uint8_t depthPass;
        uint8_t flag32;
    } const rows[] = {
        {{0, 0, 0, 0, 0, 0, 0}, 16, 0, 0},
        {{0, 0, 1, 0, 0, 0, 0}, 17, 0, 0},
        {{1, 0, 0, 0, 0, 0, 0}, 16 | 6, 0, 0},
        {{0, 1, 0, 0, 0, 0, 0}, 16 | 8, 0, 0},
        {{0, 0, 0, 1, 0, 0, 0}, 16 | 32, 0, 0},
        {{1, 1, 1, 1, 1, 0, 0}, 17 | 6 | 8 | 32, 1, 0},
        {{0, 0, 0, 0, 0, 1, 1}, 16, 0, 1},
    };
    for (const Row& row : rows)
    {
        MeshTemplateRenderingData data;
        data.SetRenderBytes(row.bytes);
        const SFXMeshPassBits bits = GetSFXMeshPassBits(&data);
        EXPECT_EQ(bits.passBits, row.passBits);
        EXPECT_EQ(bits.depthPass, row.depthPass);
        EXPECT_EQ(bits.flag32, row.flag32);
    }
    EXPECT_EQ(GetSFXMeshPassBits(nullptr).passBits, 16u);
}

TEST_F(SFXElementKindsTest, ReferencedTemplatesAreKeptOnlyWhenOfTheirKind)
{
    auto* mesh = new MeshTemplate;
    auto* meshData = new MeshTemplateRenderingData;
    const uint8_t bytes[7] = {1, 0, 1, 0, 1, 0, 1};
    meshData->SetRenderBytes(bytes);
    mesh->SetRenderingData(meshData);
    mesh->SetStaticBoundingBox(BoundingBox4(Vector(-2, -1, 0, 1), Vector(2, 1, 3, 1)));
    ASSERT_NE(RegisterStubAtPath("fx/rock", Guid(1), mesh), nullptr);
    auto* sparks = new ParticleTemplate;
    ASSERT_NE(RegisterStubAtPath("fx/sparks", Guid(2), sparks), nullptr);
    auto* nested = new SFXTemplate;
    auto* light = new SFXPointLightElementDefinition;
    nested->GetDefinition().AddElement(light);
    nested->GetDefinition().ResolveElements(false);
    ASSERT_NE(RegisterStubAtPath("fx/inner", Guid(3), nested), nullptr);

    SFXMeshElementDefinition meshElement;
    meshElement.SetMeshTemplateGUID(Guid(1));
    meshElement.ResolveResources(false);
    ASSERT_EQ(meshElement.GetMeshTemplate(), mesh);
    EXPECT_EQ(meshElement.GetResource(), mesh);
    EXPECT_EQ(meshElement.GetPassBits(), 17u | 6u);
    EXPECT_EQ(meshElement.GetDepthPassByte(), 1);
    EXPECT_FLOAT_EQ(meshElement.GetBox().max.z, 3.0f);
    // The same template again gives back the reference the second take added.
    const int32_t references = mesh->GetReferenceCount();
    meshElement.ResolveResources(false);
    EXPECT_EQ(mesh->GetReferenceCount(), references);
    // An edited mesh: the refresh an effect asks for on a mesh change takes its new box.
    mesh->SetStaticBoundingBox(BoundingBox4(Vector(-2, -1, 0, 1), Vector(2, 1, 5, 1)));
    meshElement.RefreshResource();
    EXPECT_FLOAT_EQ(meshElement.GetBox().max.z, 5.0f);

    // A particle template where a mesh belongs is released and reported by name.
    meshElement.SetMeshTemplateGUID(Guid(2));
    meshElement.ResolveResources(false);
    EXPECT_EQ(meshElement.GetMeshTemplate(), nullptr);
    EXPECT_EQ(mesh->GetReferenceCount(), references - 1);
    EXPECT_TRUE(m_log.Contains("Template sparks is not mesh while used as such in SFX definition", 4));
    EXPECT_EQ(meshElement.GetPassBits(), 16u);

    SFXParticleElementDefinition particleElement;
    particleElement.SetParticleTemplateGUID(Guid(1));
    particleElement.ResolveResources(false);
    EXPECT_EQ(particleElement.GetParticleTemplate(), nullptr);
    EXPECT_TRUE(m_log.Contains("Template rock is not particle while used as such in SFX definition", 4));
    particleElement.SetParticleTemplateGUID(Guid(2));
    particleElement.ResolveResources(false);
    EXPECT_NE(particleElement.GetParticleTemplate(), nullptr);
    EXPECT_EQ(particleElement.GetPassBits(), 17u);
    // Its particles turned into rocks draw in the rock's passes, its channel pass too.
    char rockText[SimpleGUID::kTextLength + 1];
    Guid(1).ToString(rockText, sizeof(rockText));
    ParticleSystem& system = sparks->GetSystem();
    ASSERT_TRUE(system.GetClassProperties()->FindProperty("Mesh template")->SetFromText(&system, rockText));
    particleElement.TakeLoadedTemplate();
    EXPECT_EQ(particleElement.GetPassBits(), 17u | 6u);
    EXPECT_EQ(particleElement.GetFlag32Byte(), 1);
    system.ReleaseShader();

    // An embedded effect takes the nested definition's passes.
    SFXEmbeddedSfxElementDefinition embedded;
    embedded.SetSFXTemplateGUID(Guid(1));
    embedded.ResolveResources(false);
    EXPECT_EQ(embedded.GetSFXTemplate(), nullptr);
    EXPECT_TRUE(m_log.Contains("Template rock is not a SFX while used as such in SFX definition!", 4));
    embedded.SetSFXTemplateGUID(Guid(3));
    embedded.ResolveResources(false);
    EXPECT_EQ(embedded.GetSFXTemplate(), nested);
    EXPECT_EQ(embedded.GetPassBits(), 17u | 2u);

    SFXPhysicalEffectElementDefinition physical;
    physical.SetPhysicalEffectTemplateGUID(Guid(3));
    physical.ResolveResources(false);
    EXPECT_EQ(physical.GetPhysicalEffectTemplate(), nullptr);
    EXPECT_TRUE(m_log.Contains("Template inner is not a physical effect while used as such in SFX definition!", 4));

    // Released resources leave the element without its template.
    embedded.ReleaseResources(0);
    EXPECT_EQ(embedded.GetSFXTemplate(), nullptr);
}

class SFXElementKindsLoadingTest : public RendererTestBase
{
};

TEST_F(SFXElementKindsLoadingTest, EffectsLoadingOnTheResourceThreadLeaveTheRenderStreamAlone)
{
    SFXDefinition definition;
    auto* element = new SFXQuadElementDefinition;
    element->SetOwner(&definition);
    definition.AddElement(element);
    // A template body loads on the resource thread: its load hooks must not drain the game
    // thread's stream from there.
    std::thread loader([&] {
        definition.OnPreLoad(0);
        element->OnBeforePropertiesChanged();
        definition.OnPostLoad(4);
    });
    loader.join();
    EXPECT_FALSE(m_log.Contains("outside the game thread"));
    EXPECT_EQ(element->GetEnvelopeBindings().Count(), 6);
}
} // namespace
