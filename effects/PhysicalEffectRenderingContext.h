// PhysicalEffectRenderingContext: the render-side context of a physical effect entity. The effect's
// pieces would be simulated by the physics world, which this game does not have, so the context
// draws nothing in normal passes; the entity's update call reaches it through the context's own
// call function. Created on the game thread, used and destroyed on the render thread.
#pragma once

#include "renderer/EntityRenderingContext.h"

class CommandRingBuffer;
class EntityTemplate;
class NorvexRenderer;

// Context of one physical effect entity.
class PhysicalEffectRenderingContext : public EntityRenderingContext
{
public:
    enum SubOperation : uint32_t
    {
        SUB_UPDATE = 1,
    };

    PhysicalEffectRenderingContext(NorvexRenderer& renderer, EntityTemplate* effectTemplate, bool running);

    // Game thread: posts the update sub-operation for this context.
    void PostUpdate();

    // Render thread.
    static void ExecuteCall(NorvexRenderer& renderer, uint32_t subOperation, CommandRingBuffer& reader);
    bool IsRunning() const { return m_running; }
    EntityTemplate* GetEffectTemplate() const { return m_template; }

private:
    EntityTemplate* m_template;
    bool m_running;
};
