// Render thread: the solid debug box drawn from the shared unit cube.
#include "renderer/NorvexRenderer.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"

namespace
{
const gpu::VertexElement kPositionOnly[] = {
    {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
    gpu::kDeclEnd,
};
} // namespace

void NorvexRenderer::DrawDebugBox(const BoundingBox4& box, const Matrix& matrix, const Vector& color,
                                  uint8_t cullSide, bool depthTested)
{
    gpu::GpuDevice* const device = GetDevice();
    const SharedGeometry::Buffers& cube = GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_CUBE);
    const ShaderPair& shader = gShaderManager.GetSystemShader(0);
    if (device == nullptr || cube.vertices == nullptr || cube.triangles == nullptr || !shader.IsValid())
        return;
    // The unit cube onto the box, then the given placement.
    Matrix boxMatrix = Matrix::ONE;
    boxMatrix.rows[0].x = box.max.x - box.min.x;
    boxMatrix.rows[1].y = box.max.y - box.min.y;
    boxMatrix.rows[2].z = box.max.z - box.min.z;
    boxMatrix.rows[3] = Vector(box.min.x, box.min.y, box.min.z, 1.0f);
    Matrix world;
    world.Mul(matrix, boxMatrix);
    SetBlendMode(color.w < 0.999999f ? 1 : 0);
    SetDepthState(depthTested ? 4 : 8, true, 0.0f);
    SetCullMode((cullSide != 0) == GetCamera().mirrored ? 3 : 2);
    gpu::GpuVertexDeclaration* declaration = GetVertexDeclaration(kPositionOnly, 2);
    device->SetVertexDeclaration(declaration);
    gpu::SafeRelease(declaration);
    device->SetStreamSource(0, cube.vertices, 0, cube.stride);
    device->SetIndices(cube.triangles);
    shader.Bind();
    const auto* vertexShader = static_cast<const VertexShaderObject*>(shader.m_vertexObject);
    vertexShader->SetModelMatrix(*this, world, true);
    vertexShader->SetConstantColor(*this, color);
    DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, cube.vertexCount, 0, cube.triangleCount);
    device->SetIndices(nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
}
