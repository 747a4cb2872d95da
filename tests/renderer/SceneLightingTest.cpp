// ctest-labels: thread
// The scene lighting constants of lit forward draws: the direction towards the sun with the
// wrap-around factor, the three sun colours, the environment's sky tints and fog factors on their
// registers and the cloud texture on its sampler, and on the mobile platform modes the per-vertex sun
// and the specular light; the defaults stand in while no scene environment set exists.
#include "renderer/SceneLighting.h"

#include "renderer/RenderTargetSet.h"
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
    Vector Register(bool pixel, uint32_t index)
    {
        Vector v;
        if (pixel)
            m_renderer.GetDevice()->GetPixelShaderConstantF(index, &v.x, 1);
        else
            m_renderer.GetDevice()->GetVertexShaderConstantF(index, &v.x, 1);
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
    set.GetSun().specularColor = Vector(13, 14, 15, 16);
    set.GetSun().specularPitch = 90.0f; // the specular light travels straight down
    set.UpdateLightDirections();
    // The environment's tints and fog come from its set in force after a frame's update.
    SceneParametersWrapper sky;
    sky.SetDefaults();
    sky.GetShading().fogStart = 10.0f;
    sky.GetShading().fogEnd = 30.0f;
    sky.GetShading().topColor = Vector(0.0f, 0.5f, 1.0f, 0.5f);
    SceneEnvironment environment;
    TextureHolder* const cloud = new TextureHolder;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        environment.CreateSets();
        environment.StartBlend(&sky, SceneEnvironment::kBlendTemporary, 0, 0.0f);
        environment.Update(0, 0.0f, 0, 0.0f, 0, 0.0f);
        set.SetCloudTexture(cloud);
        UploadSceneLighting(renderer, set, environment, false);
    });
    struct Row
    {
        bool pixel;
        uint32_t index;
        Vector expected;
    };
    auto check = [this](const Row& r) {
        const Vector v = Register(r.pixel, r.index);
        EXPECT_NEAR(v.x, r.expected.x, 1e-6f) << r.pixel << " " << r.index;
        EXPECT_NEAR(v.y, r.expected.y, 1e-6f) << r.pixel << " " << r.index;
        EXPECT_NEAR(v.z, r.expected.z, 1e-6f) << r.pixel << " " << r.index;
        EXPECT_NEAR(v.w, r.expected.w, 1e-6f) << r.pixel << " " << r.index;
    };
    // The mobile registers stay untouched on the ordinary platform mode.
    const Row mobileRows[] = {
        {false, 201, Vector(-1, 0, 0, 0.5f)}, {false, 202, Vector(1, 2, 3, 4)}, {false, 203, Vector(5, 6, 7, 8)},
        {true, 190, Vector(0, 1, 0, 0)},      {true, 192, Vector(13, 14, 15, 16)},
    };
    for (const Row& r : mobileRows)
        check({r.pixel, r.index, Vector()});
    const Row registers[] = {
        // Numbers, not names: the shaders are written against them. The sun travels along +x (yaw 90):
        // towards it is -x.
        {true, 200, Vector(-1, 0, 0, 0.5f)},
        {true, 201, Vector(1, 2, 3, 4)},
        {true, 202, Vector(5, 6, 7, 8)},
        {true, 203, Vector()},
        {true, 205, Vector(9, 10, 11, 12)},
        {true, 210, Vector(0.5f, 0.75f, 1.0f, 1.0f)},
        {true, 211, Vector(1, 1, 1, 1)},
        {false, 240, Vector(0.05f, -0.5f, 0, 0)},
    };
    for (const Row& r : registers)
        check(r);
    EXPECT_EQ(m_renderer.GetStateCache().GetCached().holders[kSceneCloudSampler], cloud);
    // The shadow map and its matrix as columns.
    EXPECT_EQ(m_renderer.GetStateCache().GetCached().holders[kSceneShadowSampler],
              m_renderer.GetDeviceManager().GetRenderTargets().shadowMap.GetHolder());
    EXPECT_NE(m_renderer.GetDeviceManager().GetRenderTargets().shadowMap.GetHolder(), nullptr);
    const Matrix& shadow = m_renderer.GetShadowTextureMatrix();
    for (uint32_t column = 0; column < 4; ++column)
        check({false, SCENE_LIGHT_SHADOW_MATRIX_VERTEX + column,
               Vector(shadow.At(0, column), shadow.At(1, column), shadow.At(2, column), shadow.At(3, column))});

    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        UploadSceneLighting(renderer, set, environment, true);
        environment.DeleteSets();
    });
    for (const Row& r : mobileRows)
        check(r);
    check({false, 200, Vector()}); // the contours' register is not the sun's
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
