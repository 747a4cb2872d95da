// Light entities as the render thread sees them: the light sub-operations read back from the render
// command stream with their payloads, the boxes the entity gives itself, the light list, the debug
// shapes and the deletion of the light object.
#include "renderer/RenderCommands.h"
#include "renderer/RendererLightWrapper.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/kinds/LightEntity.h"
#include "scene/kinds/LightTemplate.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneTestSupport.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace
{
// One light sub-operation as read from the stream.
struct LightCall
{
    uint32_t sub = 0xFFFFFFFFu;
    RendererLightWrapper* light = nullptr;
    Vector color, secondary, side, maskRotation, maskScale;
    float specular = 0, nearRange = 0, farRange = 0, width = 0, softness = 0, length = 0, wrap = 0;
    uint32_t twoSided = 0, viewBits = 0;
    TextureHolder* mask = reinterpret_cast<TextureHolder*>(1);
    Matrix world;
};

class LightEntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_capture = std::make_unique<RenderStreamCapture>();
        m_capture->SetCallSizes([](uintptr_t function, uint32_t sub, uint32_t& bytes) {
            return function == reinterpret_cast<uintptr_t>(&RendererLightWrapper::Execute) &&
                   RendererLightWrapper::GetArgumentBytes(sub, bytes);
        });
    }
    void TearDown() override
    {
        SceneTest::TearDown();
        m_capture.reset();
    }

    LightTemplate* MakeLightTemplate(uint32_t type)
    {
        m_lightTemplates.push_back(std::make_unique<LightTemplate>());
        LightTemplate* t = m_lightTemplates.back().get();
        t->SetTypeId(ENTITY_LIGHT);
        EXPECT_TRUE(Set(t, "Light type", std::to_string(type).c_str()));
        return t;
    }
    LightEntity* MakeLight(uint32_t type, const Matrix& local = Translation(100, 0, 100))
    {
        auto* light = static_cast<LightEntity*>(
            gEntityManager.CreateEntity(MakeLightTemplate(type), nullptr, local, 0, nullptr));
        m_capture->Drain();
        return light;
    }
    static bool Set(RTTIPolyBaseClass* object, const char* name, const char* text)
    {
        const RTTIProperty* property = object->GetClassProperties()->FindPropertyInClassChain(name);
        return property != nullptr && property->SetFromText(object, text);
    }
    // Sets a property as an editor does: the change hook re-posts the light.
    static void Edit(LightEntity* light, const char* name, const char* text)
    {
        ASSERT_TRUE(Set(light, name, text));
        light->OnPropertyChanged(light->GetClassProperties()->FindPropertyInClassChain(name));
    }

    // The next light call of the stream; sub stays 0xFFFFFFFF when none comes.
    LightCall NextLightCall()
    {
        LightCall call;
        RenderStreamCapture& c = *m_capture;
        if (!c.SkipTo(RENDER_OP_CALL))
            return call;
        EXPECT_EQ(c.Read<uintptr_t>(), reinterpret_cast<uintptr_t>(&RendererLightWrapper::Execute));
        call.sub = c.Read<uint32_t>();
        call.light = c.Read<RendererLightWrapper*>();
        auto mask = [&] {
            call.mask = c.Read<TextureHolder*>();
            call.maskRotation = c.Read<Vector>();
            call.maskScale = c.Read<Vector>();
        };
        auto ranges = [&] {
            call.color = c.Read<Vector>();
            call.specular = c.Read<float>();
            call.nearRange = c.Read<float>();
            call.farRange = c.Read<float>();
        };
        switch (call.sub)
        {
        case RendererLightWrapper::SUB_MATRIX: call.world = c.Read<Matrix>(); break;
        case RendererLightWrapper::SUB_POINT: ranges(); mask(); break;
        case RendererLightWrapper::SUB_SPOT:
            ranges();
            call.width = c.Read<float>();
            call.softness = c.Read<float>();
            mask();
            break;
        case RendererLightWrapper::SUB_TUBE:
            ranges();
            call.length = c.Read<float>();
            mask();
            break;
        case RendererLightWrapper::SUB_DIRECTIONAL_AMBIENT:
            call.color = c.Read<Vector>();
            call.secondary = c.Read<Vector>();
            call.side = c.Read<Vector>();
            call.specular = c.Read<float>();
            call.twoSided = c.Read<uint32_t>();
            call.wrap = c.Read<float>();
            mask();
            call.viewBits = c.Read<uint32_t>();
            break;
        default: ADD_FAILURE() << "unknown light sub-operation " << call.sub;
        }
        return call;
    }
    // Refreshes the light and reads its description back (the matrix that follows is checked too).
    LightCall Refresh(LightEntity* light)
    {
        light->UpdateLight(true);
        m_capture->Take();
        LightCall call = NextLightCall();
        EXPECT_EQ(call.light, light->GetLightObject());
        EXPECT_EQ(NextLightCall().sub, uint32_t(RendererLightWrapper::SUB_MATRIX)) << "the box change pushes the transform";
        return call;
    }

    std::unique_ptr<RenderStreamCapture> m_capture;
    std::vector<std::unique_ptr<LightTemplate>> m_lightTemplates;
};

void ExpectBox(const BoundingBox4& box, const Vector& min, const Vector& max, float tolerance = 1e-3f)
{
    EXPECT_NEAR(box.min.x, min.x, tolerance);
    EXPECT_NEAR(box.min.y, min.y, tolerance);
    EXPECT_NEAR(box.min.z, min.z, tolerance);
    EXPECT_NEAR(box.max.x, max.x, tolerance);
    EXPECT_NEAR(box.max.y, max.y, tolerance);
    EXPECT_NEAR(box.max.z, max.z, tolerance);
    EXPECT_FLOAT_EQ(box.min.w, 1.0f);
    EXPECT_FLOAT_EQ(box.max.w, 1.0f);
}
} // namespace

TEST_F(LightEntityTest, APointLightPostsItsRangesInOrderWhateverWayTheyAreGiven)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_POINT);
    ASSERT_TRUE(Set(light, "Start falloff", "3"));
    ASSERT_TRUE(Set(light, "End falloff", "1"));
    ASSERT_TRUE(Set(light, "Specualar multiplier", "0.25"));
    ASSERT_TRUE(Set(light, "Mask texture rotation", "1 2 3 4"));
    const LightCall call = Refresh(light);
    EXPECT_EQ(call.sub, uint32_t(RendererLightWrapper::SUB_POINT));
    EXPECT_TRUE(call.color.Equal(Vector(1, 1, 1, 1)));
    EXPECT_FLOAT_EQ(call.specular, 0.25f);
    EXPECT_FLOAT_EQ(call.nearRange, 1.0f);
    EXPECT_FLOAT_EQ(call.farRange, 3.0f);
    EXPECT_EQ(call.mask, nullptr);
    EXPECT_TRUE(call.maskRotation.Equal(Vector(1, 2, 3, 4)));
    EXPECT_TRUE(call.maskScale.Equal(Vector(1, 1, 1, 1)));
    ExpectBox(light->GetLocalBoundingBox(), Vector(-3, -3, -3, 1), Vector(3, 3, 3, 1));
    EXPECT_FLOAT_EQ(light->GetWorldBoundingBox().max.x, 103.0f);
}

TEST_F(LightEntityTest, ASpotOfThirtyDegreesHasThePartsBox)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_SPOT);
    ASSERT_TRUE(Set(light, "Spotlight softness", "0.75"));
    const LightCall call = Refresh(light);
    EXPECT_EQ(call.sub, uint32_t(RendererLightWrapper::SUB_SPOT));
    EXPECT_FLOAT_EQ(call.nearRange, 0.5f);
    EXPECT_FLOAT_EQ(call.farRange, 1.0f);
    EXPECT_FLOAT_EQ(call.width, 30.0f);
    EXPECT_FLOAT_EQ(call.softness, 0.75f);
    ExpectBox(light->GetLocalBoundingBox(), Vector(-0.577f, -0.577f, -0.1f, 1), Vector(0.577f, 0.577f, 1.0f, 1));
}

TEST_F(LightEntityTest, SpotBoxesSpreadWithTheConeUntilItHasNoFiniteSpread)
{
    const Vector sphereMin(-4, -4, -4, 1), sphereMax(4, 4, 4, 1);
    const struct
    {
        const char* width;
        Vector min, max;
        float tolerance;
    } rows[] = {
        {"30", Vector(-2.309f, -2.309f, -0.1f, 1), Vector(2.309f, 2.309f, 4, 1), 1e-3f},
        // Past 45 degrees the cone reaches further sideways than along its axis.
        {"60", Vector(-6.928f, -6.928f, -0.1f, 1), Vector(6.928f, 6.928f, 4, 1), 1e-3f},
        {"89", Vector(-229.16f, -229.16f, -0.1f, 1), Vector(229.16f, 229.16f, 4, 1), 1e-2f},
        // The mirrored cone covers the same region.
        {"-30", Vector(-2.309f, -2.309f, -0.1f, 1), Vector(2.309f, 2.309f, 4, 1), 1e-3f},
        {"90", sphereMin, sphereMax, 1e-3f},
        {"120", sphereMin, sphereMax, 1e-3f},
        {"nan", sphereMin, sphereMax, 1e-3f},
        {"-inf", sphereMin, sphereMax, 1e-3f},
    };
    LightEntity* light = MakeLight(LightTemplate::LIGHT_SPOT);
    ASSERT_TRUE(Set(light, "End falloff", "4"));
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.width);
        ASSERT_TRUE(Set(light, "Spotlight width", row.width));
        // The renderer is given the width as set, whatever box the light takes.
        const float posted = Refresh(light).width, width = std::strtof(row.width, nullptr);
        EXPECT_TRUE(posted == width || (std::isnan(posted) && std::isnan(width)));
        ExpectBox(light->GetLocalBoundingBox(), row.min, row.max, row.tolerance);
        EXPECT_TRUE(light->GetWorldBoundingBox().IsValid3()) << "the light stays in the grid";
    }
}

TEST_F(LightEntityTest, ATubeReachesHalfItsLengthEachWay)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_TUBE);
    ASSERT_TRUE(Set(light, "Tube length", "6"));
    const LightCall call = Refresh(light);
    EXPECT_EQ(call.sub, uint32_t(RendererLightWrapper::SUB_TUBE));
    EXPECT_FLOAT_EQ(call.length, 6.0f);
    ExpectBox(light->GetLocalBoundingBox(), Vector(-1, -1, -3, 1), Vector(1, 1, 3, 1));
}

TEST_F(LightEntityTest, ADirectionalAmbientLightCarriesItsColoursModeAndViews)
{
    // Until edited, a light is one-sided and wraps nothing around.
    const LightCall plain = Refresh(MakeLight(LightTemplate::LIGHT_DIRECTIONAL_AMBIENT));
    EXPECT_EQ(plain.twoSided, 0u);
    EXPECT_FLOAT_EQ(plain.wrap, 0.0f);
    LightEntity* light = MakeLight(LightTemplate::LIGHT_DIRECTIONAL_AMBIENT);
    ASSERT_TRUE(Set(light, "Two sided mode", "2"));
    ASSERT_TRUE(Set(light, "Wrap around factor", "0.5"));
    light->SetVisibleInCombatView(2);
    const LightCall call = Refresh(light);
    EXPECT_EQ(call.sub, uint32_t(RendererLightWrapper::SUB_DIRECTIONAL_AMBIENT));
    EXPECT_EQ(call.twoSided, 2u);
    EXPECT_FLOAT_EQ(call.wrap, 0.5f);
    EXPECT_NEAR(call.secondary.x, 0.047f, 0.01f) << "(0.25, 0.25, 0.25) in linear light";
    EXPECT_TRUE(call.side.Equal(Vector(0, 0, 0, 0)));
    EXPECT_EQ(call.viewBits, light->GetViewVisibility());
    EXPECT_NE(call.viewBits & ENTITYVIEW_HIDDEN_COMBAT, 0u);
    ExpectBox(light->GetLocalBoundingBox(), Vector(-0.5f, -0.5f, -4, 1), Vector(0.5f, 0.5f, 1, 1));
}

TEST_F(LightEntityTest, AnUnknownTypePostsNothingAndKeepsTheBox)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_POINT);
    Refresh(light);
    ASSERT_TRUE(Set(const_cast<EntityTemplate*>(light->GetTemplate()), "Light type", "7"));
    light->UpdateLight(true);
    m_capture->Take();
    EXPECT_EQ(NextLightCall().sub, uint32_t(RendererLightWrapper::SUB_MATRIX));
    EXPECT_EQ(m_capture->NextOpcode(), RenderStreamCapture::kNone);
    ExpectBox(light->GetLocalBoundingBox(), Vector(-1, -1, -1, 1), Vector(1, 1, 1, 1));
}

TEST_F(LightEntityTest, ATemplateTypeChangeShowsAtTheNextRefresh)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_POINT);
    ASSERT_TRUE(Set(const_cast<EntityTemplate*>(light->GetTemplate()), "Light type", "2"));
    EXPECT_EQ(Refresh(light).sub, uint32_t(RendererLightWrapper::SUB_TUBE));
}

TEST_F(LightEntityTest, EditsPostLoadsAndMovesRepostTheLight)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_POINT);
    Edit(light, "End falloff", "5");
    m_capture->Take();
    LightCall call = NextLightCall();
    EXPECT_EQ(call.sub, uint32_t(RendererLightWrapper::SUB_POINT));
    EXPECT_FLOAT_EQ(call.farRange, 5.0f);
    m_capture->Drain();
    light->OnPostLoad(4);
    m_capture->Take();
    EXPECT_EQ(NextLightCall().sub, uint32_t(RendererLightWrapper::SUB_POINT));
    m_capture->Drain();
    light->SetGlobalPosition(Vector(7, 8, 9, 1));
    m_capture->Take();
    call = NextLightCall();
    ASSERT_EQ(call.sub, uint32_t(RendererLightWrapper::SUB_MATRIX));
    EXPECT_FLOAT_EQ(call.world.rows[3].y, 8.0f);
}

TEST_F(LightEntityTest, AMaskThatNamesNoTextureStillPostsTheLight)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_POINT);
    ASSERT_TRUE(Set(light, "Mask texture file name", "Lights/none.dds"));
    const LightCall call = Refresh(light);
    EXPECT_EQ(call.sub, uint32_t(RendererLightWrapper::SUB_POINT));
    EXPECT_EQ(call.mask, nullptr);

    // Under a resource manager the light holds one reference to its mask, refresh after refresh,
    // and lets go of it when it dies.
    ResourceManager manager;
    ASSERT_TRUE(manager.Init());
    Refresh(light);
    EXPECT_EQ(Refresh(light).mask, nullptr) << "a mask that did not load is not handed on";
    Resource* const mask = manager.GetResource(RESOURCE_TYPE_TEXTURE, "Lights/none.dds", 0, false, 0);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->GetReferenceCount(), 2) << "the light's and this lookup's";
    light->DeleteMe();
    m_capture->Drain();
    EXPECT_EQ(mask->GetReferenceCount(), 1);
    mask->Release();
    manager.Close();
}

TEST_F(LightEntityTest, DrawingHandsTheLightToTheFrameAndDeathDeletesItAfterwards)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_POINT);
    RendererLightWrapper* object = light->GetLightObject();
    EXPECT_FALSE(light->ConstantHook45());
    light->Render(0, 1);
    light->DeleteMe();
    m_capture->Take();
    ASSERT_EQ(m_capture->NextOpcode(), uint32_t(RENDER_OP_ADD_LIGHT));
    EXPECT_EQ(m_capture->Read<RendererLightWrapper*>(), object);
    ASSERT_EQ(m_capture->NextOpcode(), uint32_t(RENDER_OP_DELETE_OBJECT));
    EXPECT_EQ(m_capture->Read<NorvexRendererObject*>(), object);
    EXPECT_TRUE(object->IsPendingDelete());
    object->DestroyOnRenderThread();
}

TEST_F(LightEntityTest, DebugShapesUseTheEntitysRangesAndTheTemplatesFixedOnes)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_SPOT);
    ASSERT_TRUE(Set(light, "Start falloff", "2"));
    ASSERT_TRUE(Set(light, "End falloff", "1.5"));
    light->DrawDebug(0);
    EXPECT_TRUE(light->GetTemplate()->DrawDebug(Matrix::ONE, 2));
    light->DrawDebug(2);
    m_capture->Take();
    RenderStreamCapture& c = *m_capture;
    ASSERT_EQ(c.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_SPOT_LIGHT));
    EXPECT_FLOAT_EQ(c.Read<Matrix>().rows[3].x, 100.0f);
    EXPECT_TRUE(c.Read<Vector>().Equal(Vector(0, 1, 0, 1))) << "the template's green";
    EXPECT_FLOAT_EQ(c.Read<float>(), 1.5f);
    EXPECT_FLOAT_EQ(c.Read<float>(), 2.0f);
    EXPECT_FLOAT_EQ(c.Read<float>(), 30.0f);
    ASSERT_EQ(c.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_SPOT_LIGHT));
    c.Skip(sizeof(Matrix));
    EXPECT_TRUE(c.Read<Vector>().Equal(Vector(1, 1, 1, 1))) << "flag 2 draws white";
    EXPECT_FLOAT_EQ(c.Read<float>(), 0.3f);
    EXPECT_FLOAT_EQ(c.Read<float>(), 1.0f);
    EXPECT_FLOAT_EQ(c.Read<float>(), 30.0f);
    ASSERT_EQ(c.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_SPOT_LIGHT));
    c.Skip(sizeof(Matrix));
    EXPECT_TRUE(c.Read<Vector>().Equal(Vector(1, 1, 1, 1))) << "the entity's too";
    c.Skip(3 * sizeof(float));
}

TEST_F(LightEntityTest, TemplateShapesOfEachKindAndOfNone)
{
    for (uint32_t type : {0u, 2u, 3u})
        EXPECT_TRUE(MakeLightTemplate(type)->DrawDebugShape(Matrix::ONE, HDRColor(), 0, 0));
    for (uint32_t type : {4u, 9u})
        EXPECT_FALSE(MakeLightTemplate(type)->DrawDebugShape(Matrix::ONE, HDRColor(), 0, 0)) << type;
    m_capture->Take();
    RenderStreamCapture& c = *m_capture;
    ASSERT_EQ(c.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_POINT_LIGHT));
    c.Skip(sizeof(Matrix) + sizeof(Vector));
    EXPECT_FLOAT_EQ(c.Read<float>(), 0.3f);
    EXPECT_FLOAT_EQ(c.Read<float>(), 1.0f);
    ASSERT_EQ(c.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_TUBE_LIGHT));
    c.Skip(sizeof(Matrix) + sizeof(Vector) + 2 * sizeof(float));
    EXPECT_FLOAT_EQ(c.Read<float>(), 1.0f);
    EXPECT_EQ(c.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_AMBIENT_LIGHT));
    c.Skip(sizeof(Matrix) + sizeof(Vector));
    EXPECT_EQ(c.NextOpcode(), RenderStreamCapture::kNone);
}

TEST_F(LightEntityTest, TheTablesFollowTheEntityAndTemplateTables)
{
    const Dynarray<RTTIProperty*>& properties = LightEntity::StaticClassProperties()->GetProperties();
    ASSERT_EQ(properties.Count(), 18);
    const char* const names[] = {"Color", "Specualar multiplier", "Start falloff", "End falloff",
                                 "Spotlight specific", "Spotlight width", "Spotlight softness", "Tube specific",
                                 "Tube length", "Directional ambient specific", "Two sided mode",
                                 "Wrap around factor", "Secondary color", "Side color", "Mask",
                                 "Mask texture file name", "Mask texture rotation", "Mask texture scale"};
    for (int32_t i = 0; i < 18; ++i)
        EXPECT_EQ(properties[i]->GetName(), names[i]) << i;
    EXPECT_EQ(properties[15]->GetFlags(), 0x800u);
    EXPECT_STREQ(properties[10]->GetEnumerationNames()[1], "Double sided");
    EXPECT_EQ(properties[10]->GetEnumerationNames()[3], nullptr) << "three modes";
    EXPECT_EQ(properties[4]->GetType(), uint32_t(RTTI_TYPE_GROUP));
    LightTemplate t;
    EXPECT_EQ(t.GetWireframeColor().g, 255);
    EXPECT_EQ(t.GetWireframeColor().r, 0);
    std::unique_ptr<Entity> made(t.CreateEntity());
    EXPECT_NE(dynamic_cast<LightEntity*>(made.get()), nullptr);
    made->DrawDebug(0); // without a template there is no colour or kind to draw
}

TEST_F(LightEntityTest, ALayerMadeActiveRepostsTheLight)
{
    LightEntity* light = MakeLight(LightTemplate::LIGHT_POINT);
    light->SetLayerToActive();
    m_capture->Take();
    const LightCall call = NextLightCall();
    EXPECT_EQ(call.sub, uint32_t(RendererLightWrapper::SUB_POINT));
    EXPECT_EQ(call.light, light->GetLightObject());
}
