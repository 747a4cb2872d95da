#include "renderer/SceneLighting.h"

#include "renderer/NorvexRenderer.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"

const SceneParametersWrapper& GetActiveSceneParameters()
{
    if (const SceneParametersWrapper* const active = gSceneEnvironment.GetActiveParameters())
        return *active;
    static const SceneParametersWrapper* const defaults = [] {
        auto* set = new SceneParametersWrapper;
        set->SetDefaults();
        return set;
    }();
    return *defaults;
}

void NorvexRenderer::SetSceneConstants(bool alternate)
{
    // The alternate pass's scene vector is not settled: the register keeps what it holds.
    if (!alternate)
    {
        const Vector up(0.0f, 1.0f, 0.0f, 0.0f);
        SetVertexShaderConstants(SCENE_CONSTANT_VECTOR_VERTEX, &up.x, 1);
    }
    const Vector& fog = GetActiveSceneParameters().GetShading().fogColor;
    const Vector fogColor(fog.x, fog.y, fog.z, 1.0f - fog.w);
    SetPixelShaderConstants(SCENE_CONSTANT_FOG_COLOR, &fogColor.x, 1);
}

void UploadSceneLighting(NorvexRenderer& renderer, const SceneParametersWrapper& parameters,
                         const SceneEnvironment& environment, bool mobile)
{
    const SceneSunParameters& sun = parameters.GetSun();
    const Vector towardsSun(-sun.lightDirection.x, -sun.lightDirection.y, -sun.lightDirection.z, sun.wrapAround);
    const Vector light[3] = {towardsSun, sun.sunColor, sun.secondaryColor};
    renderer.SetPixelShaderConstants(SCENE_LIGHT_SUN_DIRECTION, &light[0].x, 3);
    renderer.SetPixelShaderConstants(SCENE_LIGHT_SIDE_COLOR, &sun.sideColor.x, 1);
    const Vector tints[2] = {environment.GetTopTint(), environment.GetBottomTint()};
    renderer.SetPixelShaderConstants(SCENE_LIGHT_TOP_TINT, &tints[0].x, 2);
    renderer.SetVertexShaderConstants(SCENE_LIGHT_FOG_VERTEX, &environment.GetFogFactors().x, 1);
    renderer.SetTexture(kSceneCloudSampler, parameters.GetCloudTexture(), 0);
    // The frame's directional shadow map; the shaders read the matrix as columns.
    Matrix shadowColumns;
    shadowColumns.TransposeOf(renderer.GetShadowTextureMatrix());
    renderer.SetVertexShaderConstants(SCENE_LIGHT_SHADOW_MATRIX_VERTEX, &shadowColumns.rows[0].x, 4);
    renderer.SetTexture(kSceneShadowSampler, renderer.GetDeviceManager().GetRenderTargets().shadowMap.GetHolder(),
                        SAMPLER_CLAMP_U | SAMPLER_CLAMP_V | SAMPLER_POINT);
    if (!mobile)
        return;
    renderer.SetVertexShaderConstants(SCENE_LIGHT_MOBILE_SUN_DIRECTION_VERTEX, &light[0].x, 3);
    const Vector towardsSpecular(-sun.specularDirection.x, -sun.specularDirection.y, -sun.specularDirection.z, 0.0f);
    renderer.SetPixelShaderConstants(SCENE_LIGHT_MOBILE_SPECULAR_DIRECTION, &towardsSpecular.x, 1);
    renderer.SetPixelShaderConstants(SCENE_LIGHT_MOBILE_SPECULAR_COLOR, &sun.specularColor.x, 1);
}
