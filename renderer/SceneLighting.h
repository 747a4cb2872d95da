// The scene parameter set in force as the draws read it, and the scene lighting constants that lit
// forward draws take from it. Render thread only.
#pragma once

class NorvexRenderer;
class SceneEnvironment;
class SceneParametersWrapper;

// Registers of the scene lighting: pixel registers but the fog's vertex register.
enum SceneLightingRegister : unsigned
{
    SCENE_LIGHT_SUN_DIRECTION = 200, // towards the sun; w: the wrap-around factor
    SCENE_LIGHT_SUN_COLOR = 201,
    SCENE_LIGHT_SECONDARY_COLOR = 202, // lights the faces turned away from the sun
    SCENE_LIGHT_SIDE_COLOR = 205,      // the band between the sun and the secondary colour
    SCENE_LIGHT_TOP_TINT = 210,
    SCENE_LIGHT_BOTTOM_TINT = 211,
    SCENE_LIGHT_FOG_VERTEX = 240, // (a, b, 0, 0): fog = view distance x a + b
    SCENE_LIGHT_SHADOW_MATRIX_VERTEX = 222, // four vectors: world position to the shadow map (columns)
    // Mobile platform modes: the sun lights each vertex (vertex registers 201-203: towards the sun
    // with the wrap-around factor, the sun colour, the secondary colour) and the specular light each
    // pixel (pixel registers 190 towards it and 192 its colour; 191 takes the material's vector).
    SCENE_LIGHT_MOBILE_SUN_DIRECTION_VERTEX = 201,
    SCENE_LIGHT_MOBILE_SPECULAR_DIRECTION = 190,
    SCENE_LIGHT_MOBILE_SPECULAR_COLOR = 192,
    // Set once per gathered pass (NorvexRenderer::SetSceneConstants).
    SCENE_CONSTANT_VECTOR_VERTEX = 249,
    SCENE_CONSTANT_FOG_COLOR = 220, // the fog colour, w: one minus its alpha
};
// The sampler that takes the set's first texture (the cloud texture, whose shadows the ground
// shaders project).
constexpr unsigned kSceneCloudSampler = 4;
// The sampler of the directional shadow map in the lit forward passes.
constexpr unsigned kSceneShadowSampler = 5;

// The set in force: the scene environment's, or the defaults while no environment set exists.
const SceneParametersWrapper& GetActiveSceneParameters();
// Uploads the set's sun, the environment's sky tints and fog factors and the shadow map's matrix,
// binds the set's cloud texture and the shadow map; on the mobile platform modes also the per-vertex
// sun and the specular light.
void UploadSceneLighting(NorvexRenderer& renderer, const SceneParametersWrapper& parameters,
                         const SceneEnvironment& environment, bool mobile);
