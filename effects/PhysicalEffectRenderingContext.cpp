#include "effects/PhysicalEffectRenderingContext.h"

#include "core/threads/CommandRingBuffer.h"
#include "effects/particles/PhysicalEffectObject.h"
#include "renderer/NorvexRenderer.h"

namespace rp = renderpayload;

PhysicalEffectRenderingContext::PhysicalEffectRenderingContext(NorvexRenderer& renderer,
                                                               EntityTemplate* effectTemplate, bool running)
    : EntityRenderingContext(renderer), m_template(effectTemplate),
      m_object(running ? std::make_unique<PhysicalEffectObject>() : nullptr)
{
    SetOwnRenderLayer(kRenderLayer);
}

PhysicalEffectRenderingContext::~PhysicalEffectRenderingContext() = default;

void PhysicalEffectRenderingContext::PostUpdate()
{
    if (m_renderer.WriteCall(&PhysicalEffectRenderingContext::ExecuteCall, SUB_UPDATE, rp::kPointer))
        m_renderer.GetWriter().Put(this);
}

bool PhysicalEffectRenderingContext::GetDynamicBounds(BoundingBox4* bounds) const
{
    return bounds != nullptr && m_object != nullptr && m_object->FetchBounds(*bounds);
}

void PhysicalEffectRenderingContext::ExecuteCall(NorvexRenderer&, uint32_t, CommandRingBuffer& reader)
{
    // The physics world advances the object on its own: the call only carries the context.
    PhysicalEffectRenderingContext* context = nullptr;
    reader.Read(&context, sizeof(context));
}

void PhysicalEffectRenderingContext::Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
{
    if ((passFlags & kPassDebug) == 0)
        return;
    const Vector white(1.0f, 1.0f, 1.0f, 1.0f);
    m_renderer.DrawDebugBox(GetLocalBounds(), world, (passFlags & kPassSelected) != 0 ? white : color,
                            IsMirrored() ? 1 : 0, true);
}
