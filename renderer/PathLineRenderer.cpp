#include "renderer/PathLineRenderer.h"

#include "core/math/Vector.h"
#include "core/threads/CommandRingBuffer.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"

#include <cstring>
#include <memory>

namespace rp = renderpayload;

PathLineRenderer gPathLineRenderer;

namespace
{
// Clear and set points carry the object, the array and the count; the draw the object only.
constexpr uint32_t kPointArgumentBytes = rp::kPointer + rp::kPointer + rp::kU32;
constexpr uint32_t kPointBytes = 3 * sizeof(float);
const gpu::VertexElement kPathPositionOnly[] = {
    {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
    gpu::kDeclEnd,
};
constexpr uint32_t kPathDepthLessEqual = 4;
// The system pair that draws its constant colour over geometry without colours.
constexpr uint32_t kPathConstantColorShader = 1;
const Vector kPathColor(1.0f, 0.0f, 0.0f, 0.0f);

uint32_t FloatBits(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}
} // namespace

bool PathLineRenderer::Post(uint32_t subCommand, float* array, uint32_t count)
{
    if (gRenderer == nullptr || !gRenderer->WriteCall(&PathLineRenderer::Execute, subCommand, kPointArgumentBytes))
        return false;
    RenderCommandWriter& writer = gRenderer->GetWriter();
    writer.Put(this);
    writer.Put(array);
    writer.Put(count);
    return true;
}

void PathLineRenderer::Clear()
{
    if (Post(SUB_CLEAR, nullptr, 0))
        gRenderer->SubmitCommands(true);
}

void PathLineRenderer::SetPoints(uint32_t count, const Vector* points)
{
    std::unique_ptr<float[]> array;
    if (count > 0 && points != nullptr)
    {
        array.reset(new float[size_t(count) * 3]);
        for (uint32_t i = 0; i < count; ++i)
        {
            array[3 * i] = points[i].x;
            array[3 * i + 1] = points[i].y;
            array[3 * i + 2] = points[i].z;
        }
    }
    else
        count = 0;
    // The render thread frees the array once it has taken the points; a refused post keeps it here.
    if (Post(SUB_SET_POINTS, array.get(), count))
        array.release();
}

void PathLineRenderer::Draw()
{
    if (gRenderer != nullptr && gRenderer->WriteCall(&PathLineRenderer::Execute, SUB_DRAW, rp::kPointer))
        gRenderer->GetWriter().Put(this);
}

void PathLineRenderer::ReleasePoints()
{
    gpu::SafeRelease(m_points);
    m_count = 0;
}

void PathLineRenderer::Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader)
{
    PathLineRenderer* self = nullptr;
    if (!reader.Read(&self, sizeof(self)))
        return;
    if (subCommand == SUB_DRAW)
    {
        if (self != nullptr)
            self->DrawPoints(renderer);
        return;
    }
    float* array = nullptr;
    uint32_t count = 0;
    if (!reader.Read(&array, sizeof(array)) || !reader.Read(&count, sizeof(count)))
        return;
    std::unique_ptr<float[]> owned(array);
    if (self == nullptr)
        return;
    switch (subCommand)
    {
    case SUB_CLEAR:
        self->ReleasePoints();
        return;
    case SUB_SET_POINTS:
        self->ReleasePoints();
        if (count > 0 && owned != nullptr)
        {
            self->m_points = renderer.CreateVertexBuffer(count * kPointBytes, gpu::kUsageWriteOnly,
                                                         gpu::kPoolManaged, owned.get());
            self->m_count = self->m_points != nullptr ? count : 0;
        }
        return;
    default:
        return;
    }
}

void PathLineRenderer::DrawPoints(NorvexRenderer& renderer) const
{
    gpu::GpuDevice* const device = renderer.GetDevice();
    const ShaderPair& shader = gShaderManager.GetSystemShader(kPathConstantColorShader);
    if (m_points == nullptr || device == nullptr || !shader.IsValid())
        return;
    Matrix world = Matrix::ONE;
    world.rows[3] = Vector(0.0f, kLift, 0.0f, 1.0f);
    gpu::GpuVertexDeclaration* declaration = renderer.GetVertexDeclaration(kPathPositionOnly, 2);
    device->SetVertexDeclaration(declaration);
    gpu::SafeRelease(declaration);
    renderer.SetBlendMode(0);
    renderer.SetDepthState(kPathDepthLessEqual, false, 0.0f);
    shader.Bind();
    const auto* vertexShader = static_cast<const VertexShaderObject*>(shader.m_vertexObject);
    vertexShader->SetModelMatrix(renderer, world, true);
    vertexShader->SetConstantColor(renderer, kPathColor);
    device->SetStreamSource(0, m_points, 0, kPointBytes);
    device->SetRenderState(gpu::kRsPointSize, FloatBits(kPointSize));
    renderer.DrawPrimitive(gpu::kPrimitivePointList, 0, m_count);
    device->SetRenderState(gpu::kRsPointSize, FloatBits(1.0f));
    device->SetStreamSource(0, nullptr, 0, 0);
}
