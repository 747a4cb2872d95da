#include "renderer/FakeShadowProjection.h"

#include "core/math/BoundingBox4.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneLighting.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"

#include <cmath>

namespace
{
// System slot 3: the vertex colour times the texture.
constexpr uint32_t kProjectionShaderSlot = 3;
constexpr int kProjectionTiles = 3; // per side
constexpr float kGroundSlack = 0.1f;
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;

struct GroundVertex
{
    float x, y, z;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(GroundVertex) == 24);

const gpu::VertexElement kGroundVertex[] = {
    {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
    {0, 12, gpu::kDeclColor, gpu::kDeclMethodDefault, gpu::kDeclUsageColor, 0},
    {0, 16, gpu::kDeclFloat2, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
    gpu::kDeclEnd,
};

GroundVertex Corner(float x, float z, const Matrix& textureMatrix)
{
    Vector uv(x, 0.0f, z, 1.0f);
    uv.Transform(textureMatrix);
    return {x, 0.0f, z, kOpaqueWhite, uv.x, uv.y};
}
} // namespace

void FakeShadowProjection::Draw(NorvexRenderer& renderer, const BoundingBox4& scene, const Vector* frustumPlanes)
{
    TextureHolder* const texture = GetActiveSceneParameters().GetCloudTexture();
    const ShaderPair& shader = gShaderManager.GetSystemShader(kProjectionShaderSlot);
    const float width = (scene.max.x - scene.min.x) / kProjectionTiles;
    const float depth = (scene.max.z - scene.min.z) / kProjectionTiles;
    // No grid yet, or one from bad bounds: there is no rectangle to cover.
    if (texture == nullptr || !shader.IsValid() || !(width > 0.0f) || !(depth > 0.0f) || !std::isfinite(width) ||
        !std::isfinite(depth))
        return;

    const Matrix& textureMatrix = gSceneEnvironment.GetCloudTextureMatrix();
    GroundVertex vertices[kProjectionTiles * kProjectionTiles * 6];
    uint32_t tiles = 0;
    for (int row = 0; row < kProjectionTiles; ++row)
        for (int column = 0; column < kProjectionTiles; ++column)
        {
            const float x0 = scene.min.x + width * float(column), x1 = x0 + width;
            const float z0 = scene.min.z + depth * float(row), z1 = z0 + depth;
            const BoundingBox4 box(Vector(x0, -kGroundSlack, z0, 1.0f), Vector(x1, kGroundSlack, z1, 1.0f));
            if (!box.IntersectsFrustum(frustumPlanes))
                continue;
            GroundVertex* tile = vertices + tiles * 6;
            tile[0] = Corner(x0, z0, textureMatrix);
            tile[1] = Corner(x0, z1, textureMatrix);
            tile[2] = Corner(x1, z1, textureMatrix);
            tile[3] = tile[0];
            tile[4] = tile[2];
            tile[5] = Corner(x1, z0, textureMatrix);
            ++tiles;
        }
    if (tiles == 0)
        return;

    renderer.SetTexture(0, texture, 0);
    gpu::GpuVertexDeclaration* declaration = renderer.GetVertexDeclaration(kGroundVertex, 4);
    renderer.GetDevice()->SetVertexDeclaration(declaration);
    gpu::SafeRelease(declaration);
    shader.Bind();
    static_cast<const VertexShaderObject*>(shader.m_vertexObject)->SetModelMatrix(renderer, Matrix::ONE, true);
    renderer.DrawPrimitiveUP(gpu::kPrimitiveTriangleList, tiles * 2, vertices, sizeof(GroundVertex));
}
