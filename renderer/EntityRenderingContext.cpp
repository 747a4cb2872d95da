#include "renderer/EntityRenderingContext.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"

namespace rp = renderpayload;

namespace
{
// The render lists that contexts register in belong to the renderer's culling work.
void ReportRenderListsNotBuilt()
{
    static bool reported = false;
    if (reported)
        return;
    reported = true;
    gConsole.Warning(CONSOLE_CHANNEL_RENDER, "EntityRenderingContext: render-list registration is not built yet");
}
} // namespace

bool EntityRenderingContext::BeginCall(uint32_t subCommand, uint32_t argumentBytes)
{
    if (!m_renderer.WriteCall(&EntityRenderingContext::Execute, subCommand, rp::kPointer + argumentBytes))
        return false;
    m_renderer.GetWriter().Put(this);
    return true;
}

void EntityRenderingContext::Register()
{
    BeginCall(SUB_REGISTER, 0);
}

void EntityRenderingContext::CopyRenderingState(EntityRenderingContext* source)
{
    if (BeginCall(SUB_COPY_RENDERING_STATE, rp::kPointer))
        m_renderer.GetWriter().Put(source);
}

void EntityRenderingContext::Release()
{
    // The object must die even when the stream refuses the command; nothing of it can be read back.
    if (!BeginCall(SUB_DESTROY, 0))
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "EntityRenderingContext %p could not be released", static_cast<void*>(this));
}

void EntityRenderingContext::SetTransformAndBounds(const Matrix& world, const Matrix& inverseWorld, bool mirrored,
                                                   const BoundingBox4& box)
{
    if (!BeginCall(SUB_TRANSFORM_AND_BOUNDS, 2 * rp::kMatrix + rp::kU8 + rp::kBox))
        return;
    RenderCommandWriter& writer = m_renderer.GetWriter();
    writer.Put(world);
    writer.Put(inverseWorld);
    writer.Put(uint8_t(mirrored ? 1 : 0));
    writer.Put(box);
}

void EntityRenderingContext::SetLayer(uint8_t layer)
{
    if (BeginCall(SUB_LAYER, rp::kU8))
        m_renderer.GetWriter().Put(layer);
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

void EntityRenderingContext::SetVisible(bool visible)
{
    if (BeginCall(SUB_VISIBILITY, rp::kU8))
        m_renderer.GetWriter().Put(uint8_t(visible ? 1 : 0));
}

void EntityRenderingContext::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    EntityRenderingContext* context = nullptr;
    if (!reader.Read(&context, sizeof(context)) || context == nullptr)
        return;
    switch (subCommand)
    {
    case SUB_REGISTER:
        ++context->m_registrations;
        ReportRenderListsNotBuilt();
        return;
    case SUB_COPY_RENDERING_STATE:
    {
        EntityRenderingContext* source = nullptr;
        if (reader.Read(&source, sizeof(source)))
            context->m_sharedRenderValue = source != nullptr ? source->m_sharedRenderValue : 0;
        return;
    }
    case SUB_DESTROY:
        delete context;
        return;
    case SUB_TRANSFORM_AND_BOUNDS:
    {
        uint8_t mirrored = 0;
        if (reader.Read(&context->m_world, rp::kMatrix) && reader.Read(&context->m_inverseWorld, rp::kMatrix) &&
            reader.Read(&mirrored, rp::kU8) && reader.Read(&context->m_localBox, rp::kBox))
        {
            context->m_mirrored = mirrored != 0;
            ++context->m_registrations;
        }
        return;
    }
    case SUB_LAYER:
        reader.Read(&context->m_layer, rp::kU8);
        return;
    case SUB_WIREFRAME_COLOR:
        reader.Read(&context->m_wireframeColor, rp::kVector);
        return;
    case SUB_COLOR_MULTIPLIER:
        reader.Read(&context->m_colorMultiplier, rp::kVector);
        return;
    case SUB_VISIBILITY:
    {
        uint8_t visible = 1;
        if (reader.Read(&visible, rp::kU8))
            context->m_visible = visible != 0;
        return;
    }
    default:
        if (!context->ExecuteKindCommand(subCommand, reader))
            gConsole.Error(CONSOLE_CHANNEL_RENDER, "EntityRenderingContext: unknown sub-command %u", subCommand);
        return;
    }
}
