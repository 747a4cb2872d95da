#include "effects/PhysicalEffectRenderingContext.h"

#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"

namespace rp = renderpayload;

PhysicalEffectRenderingContext::PhysicalEffectRenderingContext(NorvexRenderer& renderer,
                                                               EntityTemplate* effectTemplate, bool running)
    : EntityRenderingContext(renderer), m_template(effectTemplate), m_running(running)
{
}

void PhysicalEffectRenderingContext::PostUpdate()
{
    if (m_renderer.WriteCall(&PhysicalEffectRenderingContext::ExecuteCall, SUB_UPDATE, rp::kPointer))
        m_renderer.GetWriter().Put(this);
}

void PhysicalEffectRenderingContext::ExecuteCall(NorvexRenderer&, uint32_t, CommandRingBuffer& reader)
{
    // Without a physics world the update has nothing to advance: the call only carries the context.
    PhysicalEffectRenderingContext* context = nullptr;
    reader.Read(&context, sizeof(context));
}
