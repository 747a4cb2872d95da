#include "renderer/EntityRenderingContext.h"

#include "core/console/GameConsole.h"
#include "core/math/HDRColor.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"
#include "core/memory/SlotPool.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace rp = renderpayload;

EntityRenderingContext::EntityRenderingContext(NorvexRenderer& renderer, uint32_t flags)
    : m_renderer(renderer), m_clockIndex((flags >> 1) & 2), m_flags(flags), m_randomId(uint32_t(std::rand()))
{
    for (int i = 0; i < 6; ++i)
        m_lighting[i] = Vector(1.0f, 1.0f, 1.0f, 0.0f);
}

EntityRenderingContext::~EntityRenderingContext()
{
    LeaveGrid();
}

// The base's walk line makes every kind 64-byte aligned, the pool's slot alignment.
static_assert(alignof(EntityRenderingContext) == SlotPool::kSlotAlignment);

void* EntityRenderingContext::operator new(size_t bytes, std::align_val_t alignment)
{
    return SlotPool::AllocateObject(bytes, alignment);
}

void EntityRenderingContext::operator delete(void* context, size_t bytes, std::align_val_t alignment)
{
    SlotPool::FreeObject(context, bytes, alignment);
}

void EntityRenderingContext::ApplySource(const EntityRenderingSource& source)
{
    m_key = source.key;
    if (source.hasEntity)
    {
        m_world = source.world;
        m_global = source.global;
        m_localBounds = source.localBounds;
        m_worldBox = BoundingBox4::INVALID;
        m_worldBox.Expand3D(m_localBounds, m_global);
        m_mirrored = source.mirrored ? 1 : 0;
        m_flagged = source.flagged ? 1 : 0;
        m_randomId = source.randomId;
        m_layer = source.layer;
        m_detailLevel = source.detailLevel;
        if (m_ownRenderLayer == 0)
            m_renderLayer = source.renderingPass < 4 ? kRenderLayers[source.renderingPass] : kRenderLayers[0];
        m_sortOffset = source.sortOffsetFromTemplate && source.hasTemplate ? source.templateSortOffset
                                                                          : source.sortOffset;
    }
    else
        m_sortOffset = source.hasTemplate ? source.templateSortOffset : 0.0f;
    if (source.hasTemplate)
    {
        m_faceCameraMode = source.faceCameraMode;
        m_faceCameraOffset = source.faceCameraOffset;
        m_wireframeColor = source.wireframeColor;
    }
}

bool EntityRenderingContext::BeginCall(uint32_t subCommand, uint32_t argumentBytes)
{
    if (!m_renderer.WriteCall(&EntityRenderingContext::Execute, subCommand, rp::kPointer + argumentBytes))
        return false;
    m_renderer.GetWriter().Put(this);
    return true;
}

void EntityRenderingContext::PostRelink()
{
    BeginCall(SUB_RELINK, 0);
}

void EntityRenderingContext::CopyLayer(EntityRenderingContext* source)
{
    if (BeginCall(SUB_COPY_LAYER, rp::kPointer))
        m_renderer.GetWriter().Put(source);
}

void EntityRenderingContext::Release()
{
    // The object must die even when the stream refuses the command; nothing of it can be read back.
    if (!BeginCall(SUB_DESTROY, 0))
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "EntityRenderingContext %p could not be released", static_cast<void*>(this));
}

void EntityRenderingContext::SetTransformAndBounds(const Matrix& world, const Matrix& global, bool mirrored,
                                                   const BoundingBox4& bounds)
{
    if (!BeginCall(SUB_TRANSFORM_AND_BOUNDS, 2 * rp::kMatrix + rp::kU8 + rp::kBox))
        return;
    RenderCommandWriter& writer = m_renderer.GetWriter();
    writer.Put(world);
    writer.Put(global);
    writer.Put(uint8_t(mirrored ? 1 : 0));
    writer.Put(bounds);
}

void EntityRenderingContext::SetStateFlag(uint8_t state)
{
    if (BeginCall(SUB_STATE_FLAG, rp::kU8))
        m_renderer.GetWriter().Put(state);
}

void EntityRenderingContext::SetWireframeColor(const Vector& color)
{
    if (BeginCall(SUB_WIREFRAME_COLOR, rp::kVector))
        m_renderer.GetWriter().Put(color);
}

void EntityRenderingContext::SetColorMultiplier(const Vector& color)
{
    if (BeginCall(SUB_COLOR_MULTIPLIER, rp::kVector))
        m_renderer.GetWriter().Put(color);
}

void EntityRenderingContext::SetFlagged(bool flagged)
{
    // The byte carried is the negation: 0 sets the flag, 1 clears it.
    if (BeginCall(SUB_FLAGGED, rp::kU8))
        m_renderer.GetWriter().Put(uint8_t(flagged ? 0 : 1));
}

void EntityRenderingContext::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    EntityRenderingContext* context = nullptr;
    if (!reader.Read(&context, sizeof(context)) || context == nullptr)
        return;
    switch (subCommand)
    {
    case SUB_RELINK:
        context->UpdateGrid();
        return;
    case SUB_COPY_LAYER:
    {
        EntityRenderingContext* source = nullptr;
        if (reader.Read(&source, sizeof(source)))
            context->m_renderLayer = source != nullptr ? source->m_renderLayer : 0;
        return;
    }
    case SUB_DESTROY:
        delete context;
        return;
    case SUB_TRANSFORM_AND_BOUNDS:
    {
        uint8_t mirrored = 0;
        if (reader.Read(&context->m_world, rp::kMatrix) && reader.Read(&context->m_global, rp::kMatrix) &&
            reader.Read(&mirrored, rp::kU8) && reader.Read(&context->m_localBounds, rp::kBox))
        {
            context->m_mirrored = mirrored;
            context->UpdateGrid();
        }
        return;
    }
    case SUB_STATE_FLAG:
        reader.Read(&context->m_state, rp::kU8);
        return;
    case SUB_WIREFRAME_COLOR:
        reader.Read(&context->m_wireframeColor, rp::kVector);
        return;
    case SUB_COLOR_MULTIPLIER:
    {
        Vector color;
        if (!reader.Read(&color, rp::kVector))
            return;
        context->m_colorMultiplier = color;
        // The twin is raised to the gamma curve while lighting is not linear: the opposite sense of
        // HDRColor::ToVector.
        if (!HDRColor::IsLinearLighting())
            color = Vector(std::pow(color.x, 2.2f), std::pow(color.y, 2.2f), std::pow(color.z, 2.2f), color.w);
        context->m_linearColorMultiplier = color;
        return;
    }
    case SUB_FLAGGED:
    {
        uint8_t value = 1;
        if (reader.Read(&value, rp::kU8))
            context->m_flagged = value == 0 ? 1 : 0;
        return;
    }
    default:
        // Numbers past the context's table are ignored; the kinds post calls of their own.
        return;
    }
}

void EntityRenderingContext::SetTransform(const Matrix& world, bool mirrored)
{
    m_world = world;
    m_mirrored = mirrored && m_faceCameraMode == 0 ? 1 : 0;
    UpdateGrid();
}

Matrix EntityRenderingContext::GetDrawMatrix() const
{
    if (m_faceCameraMode == 0)
        return m_world;
    Matrix billboard;
    billboard.LoadBillboard(m_world, m_faceCameraMode, m_renderer.GetCamera().inverseView, m_faceCameraOffset);
    return billboard;
}

void EntityRenderingContext::DrawMain(uint32_t passFlags, const Vector& color)
{
    m_frameStamp = m_renderer.GetPresentsExecuted();
    Draw(GetDrawMatrix(), passFlags, color);
}

void EntityRenderingContext::DrawMainPass(uint32_t passFlags, const Vector& color, int32_t passA, uint32_t passB)
{
    m_frameStamp = m_renderer.GetPresentsExecuted();
    DrawPass(GetDrawMatrix(), passFlags, color, passA, passB);
}

void EntityRenderingContext::UpdateGrid()
{
    m_worldBox = BoundingBox4::INVALID;
    m_worldBox.Expand3D(m_localBounds, m_global);
    if ((m_flags & kFlagNoGrid) != 0)
    {
        TransformChanged();
        return;
    }
    SceneCellGrid& grid = m_renderer.GetSceneCellGridForUpdate();
    const SceneCellRange next = grid.GetCellRange(m_worldBox);
    // A range stored before the grid was rebuilt names cells that no longer hold this context.
    const SceneCellRange old = m_cellGeneration == grid.GetGeneration() ? m_cells : SceneCellRange();
    if (next == old)
    {
        m_cells = next;
        m_cellGeneration = grid.GetGeneration();
        TransformChanged();
        return;
    }
    const bool oldEmpty = old.IsEmpty();
    const bool nextEmpty = next.IsEmpty();
    if (!oldEmpty || !nextEmpty)
    {
        const int32_t x0 = oldEmpty ? next.x0 : nextEmpty ? old.x0 : std::min(old.x0, next.x0);
        const int32_t z0 = oldEmpty ? next.z0 : nextEmpty ? old.z0 : std::min(old.z0, next.z0);
        const int32_t x1 = oldEmpty ? next.x1 : nextEmpty ? old.x1 : std::max(old.x1, next.x1);
        const int32_t z1 = oldEmpty ? next.z1 : nextEmpty ? old.z1 : std::max(old.z1, next.z1);
        const SceneCellRecord record = {m_key, this, m_gridWord};
        for (int32_t z = z0; z < z1; ++z)
            for (int32_t x = x0; x < x1; ++x)
            {
                const bool inNext = !nextEmpty && next.Contains(x, z);
                const bool inOld = !oldEmpty && old.Contains(x, z);
                if (inNext && !inOld)
                    grid.Insert(x, z, record);
                else if (inOld && !inNext)
                    grid.Remove(x, z, this);
            }
    }
    m_cells = next;
    m_cellGeneration = grid.GetGeneration();
    TransformChanged();
}

void EntityRenderingContext::LeaveGrid()
{
    if ((m_flags & kFlagNoGrid) != 0 || m_cells.IsEmpty())
        return;
    SceneCellGrid& grid = m_renderer.GetSceneCellGridForUpdate();
    if (m_cellGeneration == grid.GetGeneration())
        for (int32_t z = m_cells.z0; z < m_cells.z1; ++z)
            for (int32_t x = m_cells.x0; x < m_cells.x1; ++x)
                grid.Remove(x, z, this);
    m_cells = SceneCellRange();
}
