#include "renderer/PathLineRenderer.h"

#include "core/math/Vector.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"

#include <memory>

namespace rp = renderpayload;

PathLineRenderer gPathLineRenderer;

namespace
{
constexpr uint32_t kArgumentBytes = rp::kPointer + rp::kPointer + rp::kU32; // object, array, count
} // namespace

PathLineRenderer::~PathLineRenderer() = default;

bool PathLineRenderer::Post(uint32_t subCommand, float* array, uint32_t count)
{
    if (gRenderer == nullptr || !gRenderer->WriteCall(&PathLineRenderer::Execute, subCommand, kArgumentBytes))
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

void PathLineRenderer::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    PathLineRenderer* self = nullptr;
    float* array = nullptr;
    uint32_t count = 0;
    if (!reader.Read(&self, sizeof(self)) || !reader.Read(&array, sizeof(array)) || !reader.Read(&count, sizeof(count)))
        return;
    std::unique_ptr<float[]> owned(array);
    if (self == nullptr)
        return;
    switch (subCommand)
    {
    case SUB_CLEAR:
        self->m_points.clear();
        self->m_points.shrink_to_fit();
        return;
    case SUB_SET_POINTS:
        self->m_points.assign(owned.get(), owned.get() + size_t(owned != nullptr ? count : 0) * 3);
        return;
    default:
        return;
    }
}
