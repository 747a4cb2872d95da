// ctest-labels: thread
// The scene lighting constants of lit forward draws: the direction towards the sun with the
// wrap-around factor, the three sun colours on their registers and the cloud texture on its
// sampler; the defaults stand in while no scene environment set exists.
#include "renderer/SceneLighting.h"

#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

namespace
{
class SceneLightingTest : public RendererTestBase
{
protected:
    Vector PixelRegister(uint32_t index)
    {
        Vector v;
        m_renderer.GetDevice()->GetPixelShaderConstantF(index, &v.x, 1);
        return v;
    }
};
} // namespace

TEST_F(SceneLightingTest, TheSunsValuesLandOnTheirRegistersAndTheCloudTextureOnItsSampler)
{
    SceneParametersWrapper set;
    set.SetDefaults();
    set.GetSun().lightYaw = 90.0f;
    set.GetSun().lightPitch = 0.0f;
    set.GetSun().wrapAround = 0.5f;
    set.GetSun().sunColor = Vector(1, 2, 3, 4);
    set.GetSun().secondaryColor = Vector(5, 6, 7, 8);
    set.GetSun().sideColor = Vector(9, 10, 11, 12);
    set.UpdateLightDirections();
    TextureHolder* const cloud = new TextureHolder;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        set.SetCloudTexture(cloud);
        UploadSceneLighting(renderer, set);
    });
    const struct
    {
        uint32_t index;
        Vector expected;
    } registers[] = {
        // The sun travels along +x (yaw 90): towards it is -x.
        {SCENE_LIGHT_SUN_DIRECTION, Vector(-1, 0, 0, 0.5f)},
        {SCENE_LIGHT_SUN_COLOR, Vector(1, 2, 3, 4)},
        {SCENE_LIGHT_SECONDARY_COLOR, Vector(5, 6, 7, 8)},
        {SCENE_LIGHT_SIDE_COLOR, Vector(9, 10, 11, 12)},
        {203, Vector()},
    };
    for (const auto& r : registers)
    {
        const Vector v = PixelRegister(r.index);
        EXPECT_NEAR(v.x, r.expected.x, 1e-6f) << r.index;
        EXPECT_NEAR(v.y, r.expected.y, 1e-6f) << r.index;
        EXPECT_NEAR(v.z, r.expected.z, 1e-6f) << r.index;
        EXPECT_NEAR(v.w, r.expected.w, 1e-6f) << r.index;
    }
    EXPECT_EQ(m_renderer.GetStateCache().GetCached().holders[kSceneCloudSampler], cloud);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        renderer.SetTexture(kSceneCloudSampler, nullptr, 0);
        set.SetCloudTexture(nullptr);
    });
    delete cloud;
}

TEST(SceneLightingDefaultsTest, WithoutAnEnvironmentSetTheDefaultsStandIn)
{
    ASSERT_EQ(gSceneEnvironment.GetActiveParameters(), nullptr);
    const SceneParametersWrapper& parameters = GetActiveSceneParameters();
    EXPECT_EQ(&GetActiveSceneParameters(), &parameters);
    EXPECT_FLOAT_EQ(parameters.GetSun().lightPitch, 45.0f);
    EXPECT_FLOAT_EQ(parameters.GetShading().sfxColorMultiplier.x, 1.0f);
    EXPECT_FLOAT_EQ(parameters.GetSky().cloudScale, 5.0f);
}
