// The element kinds' run-time state on its own: atlas frames, lens-flare placement, light ranges and
// colours. The render-side parts run on the test thread, as no other thread touches them.
#include "effects/sfx/SFXLightElementContext.h"
#include "effects/sfx/SFXParticleElementContext.h"
#include "effects/sfx/SFXParticleElementDefinition.h"
#include "effects/sfx/SFXLightElementDefinition.h"
#include "effects/particles/PhysicalEffectObject.h"
#include "effects/sfx/SFXPhysicalEffectElementContext.h"
#include "effects/sfx/SFXPhysicalEffectElementDefinition.h"
#include "effects/sfx/SFXQuadElementContext.h"
#include "effects/sfx/SFXQuadElementDefinition.h"
#include "renderer/RendererLightWrapper.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "support/ParticleTestSupport.h"
#include "support/TemplateTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace
{
TEST(SFXQuadElementContextTest, TheFrameCurvePicksFramesWrappingBothWays)
{
    struct Row
    {
        float position;
        uint32_t count;
        uint32_t frame;
        uint32_t next;
        float blend;
    } const rows[] = {
        {5.25f, 8, 5, 6, 0.25f},
        {7.5f, 8, 7, 0, 0.5f},
        {9.0f, 8, 1, 2, 0.0f},
        {0.0f, 8, 0, 1, 0.0f},
        // Below zero the frames count back from the last one: never a frame past the atlas.
        {-1.0f, 8, 7, 0, 0.0f},
        {-0.25f, 8, 7, 0, 0.75f},
        {-9.5f, 8, 6, 7, 0.5f},
        {-3.0e9f, 8, 0, 1, 0.0f},
        {-1.0f, 5, 4, 0, 0.0f},
        {-7.5f, 5, 2, 3, 0.5f},
        {3.0f, 1, 0, 0, 0.0f},
        {std::numeric_limits<float>::quiet_NaN(), 4, 0, 1, 0.0f},
    };
    for (const Row& row : rows)
    {
        uint32_t frame = 99;
        uint32_t next = 99;
        float blend = -1.0f;
        SFXQuadElementContext::SelectCurveFrame(row.position, row.count, frame, next, blend);
        EXPECT_EQ(frame, row.frame) << row.position;
        EXPECT_EQ(next, row.next) << row.position;
        EXPECT_FLOAT_EQ(blend, row.blend) << row.position;
    }
}

TEST(SFXQuadElementContextTest, ARandomNextFrameIsNeverTheCurrentOne)
{
    struct Row
    {
        uint32_t random;
        uint32_t frame;
        uint32_t count;
        uint32_t picked;
    } const rows[] = {
        {0, 0, 4, 1}, {0, 2, 4, 0}, {1, 2, 4, 1}, {2, 2, 4, 3}, {5, 1, 4, 3}, {7, 0, 2, 1}, {7, 1, 2, 0},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SFXQuadElementContext::PickOtherFrame(row.random, row.frame, row.count), row.picked)
            << row.random << " " << row.frame;
}

TEST(SFXQuadElementContextTest, ContextsPlaceTheirBoxAndPlayCurveOrRandomFrames)
{
    SFXQuadElementDefinition quad;
    const RTTIPropertiesBase* table = quad.GetClassProperties();
    ASSERT_TRUE(table->FindProperty("UV center")->SetFromText(&quad, "0.25 1 0 0"));
    ASSERT_TRUE(table->FindProperty("Texture frames X")->SetFromText(&quad, "4"));
    ASSERT_TRUE(table->FindProperty("Texture frames Y")->SetFromText(&quad, "2"));
    quad.EditFrameCurve().SetConstantValue(Vector(5.5f, 0, 0, 0));
    quad.ResolveResources(false);

    SFXQuadElementContext curve;
    curve.Init(quad, Matrix::ONE, 0, 0);
    EXPECT_TRUE(curve.GetLocalBounds().min.Equal(Vector(-0.25f, -1.0f, 0.0f, 1.0f)));
    EXPECT_TRUE(curve.GetLocalBounds().max.Equal(Vector(0.75f, 0.0f, 0.0f, 1.0f)));
    curve.Update(0.0, 0.1f, quad, Matrix::ONE);
    EXPECT_EQ(curve.GetFrame(), 5u);
    EXPECT_EQ(curve.GetNextFrame(), 6u);
    EXPECT_FLOAT_EQ(curve.GetBlend(), 0.5f);

    // Random frames: the first update takes the frame picked at Init, then blends over the timeout.
    ASSERT_TRUE(table->FindProperty("Random frame timeout")->SetFromText(&quad, "0.5"));
    SFXQuadElementContext random;
    random.Init(quad, Matrix::ONE, 0, 0);
    const uint32_t first = random.GetNextFrame();
    EXPECT_LT(first, 8u);
    EXPECT_TRUE(random.GetFrame() == 0 && random.GetBlend() == 0.0f) << "drawn before any update: frame 0, unblended";
    random.Update(0.0, 0.1f, quad, Matrix::ONE);
    EXPECT_EQ(random.GetFrame(), first);
    EXPECT_NE(random.GetNextFrame(), first);
    EXPECT_FLOAT_EQ(random.GetBlend(), 0.0f);
    EXPECT_FLOAT_EQ(random.GetFrameTimer(), 0.5f);
    random.Update(0.0, 0.25f, quad, Matrix::ONE);
    EXPECT_EQ(random.GetFrame(), first);
    EXPECT_FLOAT_EQ(random.GetBlend(), 0.5f);
    random.Update(0.0, 0.25f, quad, Matrix::ONE);
    EXPECT_EQ(random.GetFrame(), first) << "a timer run down to exactly 0 still blends";
    EXPECT_FLOAT_EQ(random.GetBlend(), 1.0f);
    for (int i = 0; i < 50; ++i)
    {
        const uint32_t before = random.GetFrame();
        random.Update(0.0, 0.6f, quad, Matrix::ONE);
        EXPECT_NE(random.GetFrame(), before);
        EXPECT_LT(random.GetFrame(), 8u);
    }

    // One frame with a timeout stays on frame 0 without blending.
    ASSERT_TRUE(table->FindProperty("Texture frames X")->SetFromText(&quad, "1"));
    ASSERT_TRUE(table->FindProperty("Texture frames Y")->SetFromText(&quad, "1"));
    SFXQuadElementContext single;
    single.Init(quad, Matrix::ONE, 0, 0);
    single.Update(0.0, 0.7f, quad, Matrix::ONE);
    EXPECT_EQ(single.GetFrame(), 0u);
    EXPECT_EQ(single.GetNextFrame(), 0u);
    EXPECT_FLOAT_EQ(single.GetBlend(), 0.0f);
}

TEST(SFXQuadElementContextTest, LensFlaresFadeByTheirScreenDistance)
{
    struct Row
    {
        float distance;
        float flareDistance;
        float fade;
    } const rows[] = {
        {0.0f, 0.5f, 0.6f},  {0.3f, 0.5f, 0.9f},  {0.4f, 0.5f, 1.0f}, {0.5f, 0.5f, 1.0f},
        {0.6f, 0.5f, 1.0f},  {0.8f, 0.5f, 0.5f},  {1.2f, 0.5f, 0.0f}, {0.0f, 1.0f, 0.6f},
        {0.0f, -0.99f, 1.0f}, {0.95f, -0.99f, 0.5f}, {0.5f, 2.0f, 1.0f}, {0.9f, 2.0f, 1.0f},
        {0.95f, 2.0f, 0.5f}, {0.65f, 0.5f, 0.875f}, {0.35f, 0.5f, 0.95f},
    };
    for (const Row& row : rows)
        EXPECT_NEAR(SFXQuadElementDefinition::ComputeFlareFade(row.distance, row.flareDistance), row.fade, 1e-6f)
            << row.distance << " " << row.flareDistance;

    // At the screen centre the flare sits there, scaled to 1/1024 of the width and the aspect.
    SFXQuadElementDefinition quad;
    ASSERT_TRUE(quad.GetClassProperties()->FindProperty("Flare distance")->SetFromText(&quad, "0.5"));
    Matrix element;
    element.LoadScale(Vector(64.0f, 32.0f, 1.0f, 1.0f));
    Matrix model;
    float fade = 0.0f;
    ASSERT_TRUE(quad.PlaceLensFlare(element, Matrix::ONE, 1024, 512, model, fade));
    EXPECT_FLOAT_EQ(fade, 0.6f);
    Vector corner(1.0f, 1.0f, 0.0f, 1.0f);
    corner.Transform3D(model);
    EXPECT_FLOAT_EQ(corner.x, 0.5f * 64.0f / 1024.0f);
    EXPECT_FLOAT_EQ(corner.y, 0.5f * 32.0f / 512.0f);
    EXPECT_FLOAT_EQ(corner.z, 0.0f);
    // Off centre it mirrors through the centre by the flare distance.
    element.rows[3].Set(0.4f, -0.8f, 0.0f, 1.0f);
    ASSERT_TRUE(quad.PlaceLensFlare(element, Matrix::ONE, 1024, 512, model, fade));
    EXPECT_NEAR(model.rows[3].x, -0.2f - 0.5f * 64.0f / 1024.0f, 1e-6f);
    EXPECT_NEAR(model.rows[3].y, 0.4f - 0.5f * 32.0f / 512.0f, 1e-6f);
    EXPECT_NEAR(fade, 0.5f, 1e-6f) << "0.8 below the centre fades as far as 0.8 beside it";
    EXPECT_FALSE(quad.PlaceLensFlare(element, Matrix::ONE, 0, 512, model, fade));
}

TEST(SFXLightElementContextTest, LightsFollowTheirRangeColourAndPlace)
{
    struct Row
    {
        std::unique_ptr<SFXLightElementBase> light;
        Vector range;
        uint32_t type;
    };
    Row rows[] = {
        {std::make_unique<SFXPointLightElementDefinition>(), Vector(0.5f, 1.0f, 0, 0), LightRenderData::TYPE_POINT},
        {std::make_unique<SFXSpotLightElementDefinition>(), Vector(3.0f, 2.0f, 0, 0), LightRenderData::TYPE_SPOT},
    };
    for (Row& row : rows)
    {
        row.light->EditRange().SetConstantValue(row.range);
        row.light->ResolveResources(false);
        std::unique_ptr<SFXElementContext> created(row.light->CreateContext());
        auto* context = dynamic_cast<SFXLightElementContext*>(created.get());
        ASSERT_NE(context, nullptr);
        Matrix parent;
        parent.LoadTranslation(1.0f, 2.0f, 3.0f);
        context->Init(*row.light, parent, 0, 0);
        context->Update(0.0, 0.1f, *row.light, parent);
        const float inner = std::min(row.range.x, row.range.y);
        const float outer = std::max(row.range.x, row.range.y);
        EXPECT_FLOAT_EQ(context->GetInnerRadius(), inner);
        EXPECT_FLOAT_EQ(context->GetOuterRadius(), outer);
        EXPECT_TRUE(context->GetLocalBounds().max.Equal(Vector(outer, outer, outer, 0.0f)));
        EXPECT_TRUE(context->GetLocalBounds().min.Equal(Vector(-outer, -outer, -outer, 0.0f)));
        EXPECT_TRUE(context->GetLight().GetData().GetTransform().rows[3].Equal(Vector(1, 2, 3, 1)));

        // Only the light pass submits it, its colour times the element's alpha.
        row.light->Draw(parent, Vector(1, 1, 1, 0.25f), context, 1, 0, 0);
        EXPECT_FLOAT_EQ(context->GetLight().GetData().GetEndFalloff(), 0.0f);
        row.light->Draw(parent, Vector(1, 1, 1, 0.25f), context, 2, 0, 0);
        const LightRenderData& data = context->GetLight().GetData();
        EXPECT_EQ(data.GetType(), row.type);
        EXPECT_FLOAT_EQ(data.GetColor().x, 0.25f);
        EXPECT_FLOAT_EQ(data.GetStartFalloff(), inner);
        EXPECT_FLOAT_EQ(data.GetEndFalloff(), outer);
        if (row.type == LightRenderData::TYPE_SPOT)
        {
            EXPECT_FLOAT_EQ(data.GetSpotWidth(), 30.0f);
            EXPECT_FLOAT_EQ(data.GetSpotSoftness(), 1.0f);
        }
    }
}

class SFXParticleElementContextTest : public ParticlePoolsFixture
{
protected:
    void TearDown() override
    {
        m_element.ReleaseResources(0);
        gTemplateManager.Clear();
        ParticlePoolsFixture::TearDown();
    }
    SFXParticleElementDefinition m_element;
};

TEST_F(SFXParticleElementContextTest, EmittersSpawnByEnvelopeAndRunUntilTheirLastParticleDied)
{
    RegisterSceneClasses();
    auto* sparks = new ParticleTemplate;
    SetParticleProperty(sparks->GetSystem(), "Life time", "2");
    SetParticleProperty(sparks->GetSystem(), "Life time variable", "0.5");
    SimpleGUID guid;
    guid.bytes[15] = 0x77;
    ASSERT_NE(RegisterStubAtPath("fx/sparks", guid, sparks), nullptr);
    m_element.SetParticleTemplateGUID(guid);
    m_element.ResolveResources(false);
    ASSERT_EQ(m_element.GetParticleTemplate(), sparks);
    m_element.SetResourceFlags(RESOURCE_FLAG_KEEP_DATA);
    EXPECT_NE(sparks->GetResourceFlags() & RESOURCE_FLAG_KEEP_DATA, 0u);

    SFXParticleElementContext context;
    Matrix parent;
    parent.LoadTranslation(0.0f, 5.0f, 0.0f);
    // The emitter takes the clock and parking bits of the effect's flags only.
    context.Init(m_element, parent, 0xFF, 0);
    ParticleSystemContext* system = context.GetSystem();
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->GetFlags(), 28u);
    system->Activate(nullptr);

    context.Update(10.0, 0.1f, m_element, parent);
    EXPECT_TRUE(context.IsSpawning());
    EXPECT_TRUE(system->IsEmitting());
    EXPECT_FLOAT_EQ(system->GetMatrix().rows[3].y, 5.0f);
    context.SetSpawnRateMultiplier(-2.0f);
    EXPECT_FLOAT_EQ(context.GetSpawnMultiplier(), 0.0f);
    // Speed and spawner are the emitter's own.
    context.SetSpeedMultiplier(3.0f);
    EXPECT_FLOAT_EQ(system->GetSpeedMultiplier(), 3.0f);
    LocalSpaceParticleSpawner own;
    context.SetSpawner(&own);
    EXPECT_EQ(system->GetCustomSpawner(), &own);

    // The envelope falling stops emission; the element runs while emitted particles may live.
    m_element.EditSpawnRateMultiplier().SetConstantValue(Vector(0, 0, 0, 0));
    context.Update(11.0, 0.1f, m_element, parent);
    EXPECT_FALSE(context.IsSpawning());
    EXPECT_FALSE(system->IsEmitting());
    EXPECT_DOUBLE_EQ(context.GetStopTime(), 11.0);
    EXPECT_TRUE(context.IsRunning());
    // The longest life is 2 + 0.5 s, doubled.
    context.SetLifeMultiplier(2.0f);
    context.Update(15.5, 0.1f, m_element, parent);
    EXPECT_TRUE(context.IsRunning());
    context.Update(16.5, 0.1f, m_element, parent);
    EXPECT_FALSE(context.IsRunning());

    // Advancing moves the emitter's own time; a reset leaves it stopped at multiplier 1.
    context.AdvanceTime(m_element, 0.5f);
    EXPECT_FLOAT_EQ(system->GetPendingTime(), 0.5f);
    m_element.EditSpawnRateMultiplier().SetConstantValue(Vector(1, 0, 0, 0));
    context.Update(17.0, 0.1f, m_element, parent);
    EXPECT_TRUE(system->IsEmitting());
    context.Reset(m_element);
    EXPECT_FALSE(context.IsSpawning());
    EXPECT_FALSE(system->IsEmitting());
    EXPECT_FLOAT_EQ(context.GetSpawnMultiplier(), 1.0f);
}

TEST(SFXPhysicalEffectElementContextTest, AnObjectIsMadeWhileTheWorldRunsAndKeepsTheElementBusy)
{
    RegisterSceneClasses();
    SimpleGUID guid;
    guid.bytes[15] = 0x78;
    ASSERT_NE(RegisterStubAtPath("fx/debris", guid, new PhysicalEffectTemplate), nullptr);
    SFXPhysicalEffectElementDefinition element;
    element.SetPhysicalEffectTemplateGUID(guid);
    element.ResolveResources(false);
    std::unique_ptr<SFXElementContext> made(element.CreateContext());
    auto* context = dynamic_cast<SFXPhysicalEffectElementContext*>(made.get());
    ASSERT_NE(context, nullptr);
    context->Init(element, Matrix::ONE, 0, 0);
    EXPECT_FALSE(context->IsBusy()) << "no physics world, no object";
    context->Update(0.5, 0.1f, element, Matrix::ONE);
    EXPECT_FALSE(context->IsSpawning()) << "nothing spawns without an object";
    PhysicalEffectObject::SetWorldEnabled(true);
    context->Init(element, Matrix::ONE, 0, 0);
    PhysicalEffectObject::SetWorldEnabled(false);
    PhysicalEffectObject* object = context->GetEffectObject();
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(context->IsBusy());
    context->SetSpeedMultiplier(3.0f);
    context->SetSpawnRateMultiplier(2.0f);
    element.EditSpawnRateMultiplier().SetConstantValue(Vector(1.5f, 0, 0, 0));
    context->Update(1.0, 0.1f, element, Matrix::ONE);
    EXPECT_FLOAT_EQ(object->GetSpeedMultiplier(), 3.0f);
    EXPECT_FLOAT_EQ(object->GetSpawnRate(), 3.0f);
    EXPECT_TRUE(context->IsSpawning());
    object->SetState(PhysicalEffectObject::STATE_FINISHED);
    EXPECT_FALSE(context->IsBusy());
    made.reset();
    element.ReleaseResources(0);
    gTemplateManager.Clear();
}
} // namespace
