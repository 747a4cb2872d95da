// Render thread: the debug shapes drawn from the shared geometry in one colour: the solid box, the
// axis gizmo, the wire grid and the marker.
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
// Compare functions of the depth state.
constexpr uint32_t kDepthLessEqual = 4;
constexpr uint32_t kDepthAlways = 8;
// The system pair that multiplies the (absent, so white) vertex colour by its constant colour.
constexpr uint32_t kConstantColorShader = 1;
const Vector kDebugShapeWhite(1.0f, 1.0f, 1.0f, 1.0f);
} // namespace

bool NorvexRenderer::BindDebugShape(const SharedGeometry::Buffers& shape, gpu::GpuIndexBuffer* indices,
                                    uint32_t shaderSlot, const Matrix& world, const Vector& color)
{
    gpu::GpuDevice* const device = GetDevice();
    const ShaderPair& shader = gShaderManager.GetSystemShader(shaderSlot);
    if (device == nullptr || shape.vertices == nullptr || !shader.IsValid())
        return false;
    gpu::GpuVertexDeclaration* declaration = GetVertexDeclaration(kPositionOnly, 2);
    device->SetVertexDeclaration(declaration);
    gpu::SafeRelease(declaration);
    device->SetStreamSource(0, shape.vertices, 0, shape.stride);
    device->SetIndices(indices);
    shader.Bind();
    const auto* vertexShader = static_cast<const VertexShaderObject*>(shader.m_vertexObject);
    vertexShader->SetModelMatrix(*this, world, true);
    vertexShader->SetConstantColor(*this, color);
    return true;
}

void NorvexRenderer::UnbindDebugShape()
{
    GetDevice()->SetIndices(nullptr);
    GetDevice()->SetStreamSource(0, nullptr, 0, 0);
}

void NorvexRenderer::DrawDebugBox(const BoundingBox4& box, const Matrix& matrix, const Vector& color,
                                  uint8_t cullSide, bool depthTested)
{
    const SharedGeometry::Buffers& cube = GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_CUBE);
    if (cube.triangles == nullptr)
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
    SetDepthState(depthTested ? kDepthLessEqual : kDepthAlways, true, 0.0f);
    SetCullMode((cullSide != 0) == GetCamera().mirrored ? 3 : 2);
    if (!BindDebugShape(cube, cube.triangles, 0, world, color))
        return;
    DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, cube.vertexCount, 0, cube.triangleCount);
    UnbindDebugShape();
}

void NorvexRenderer::DrawGizmoShape(const Matrix& matrix, bool depthTested)
{
    const SharedGeometry::Buffers& gizmo =
        GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_AXIS_GIZMO);
    if (gizmo.lines == nullptr)
        return;
    SetBlendMode(0);
    SetDepthState(depthTested ? kDepthLessEqual : kDepthAlways, false, 0.0f);
    if (!BindDebugShape(gizmo, gizmo.lines, kConstantColorShader, matrix, kDebugShapeWhite))
        return;
    DrawIndexedPrimitive(gpu::kPrimitiveLineList, 0, 0, gizmo.vertexCount, 0, gizmo.lineCount);
    UnbindDebugShape();
}

void NorvexRenderer::DrawWireShape(const Matrix& matrix, const Vector& color)
{
    const SharedGeometry::Buffers& grid =
        GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_GROUND_GRID);
    SetBlendMode(color.w < 0.999999f ? 1 : 0);
    SetDepthState(kDepthLessEqual, false, 0.0f);
    if (!BindDebugShape(grid, nullptr, kConstantColorShader, matrix, color))
        return;
    DrawPrimitive(gpu::kPrimitiveLineList, 0, grid.vertexCount / 2);
    UnbindDebugShape();
}

void NorvexRenderer::DrawMarkerShape(const Matrix& matrix, const Vector& color, bool highlighted)
{
    const SharedGeometry::Buffers& marker =
        GetDeviceManager().GetSharedGeometry().Get(SharedGeometry::MESH_FLAG_MARKER);
    if (marker.triangles == nullptr)
        return;
    SetBlendMode(color.w < 0.999999f ? 1 : 0);
    // A highlighted marker shows through whatever stands in front of it.
    SetDepthState(highlighted ? kDepthAlways : kDepthLessEqual, true, 0.0f);
    SetCullMode(GetCamera().mirrored ? 2 : 3);
    if (!BindDebugShape(marker, marker.triangles, kConstantColorShader, matrix, color))
        return;
    DrawIndexedPrimitive(gpu::kPrimitiveTriangleList, 0, 0, marker.vertexCount, 0, marker.triangleCount);
    UnbindDebugShape();
}
