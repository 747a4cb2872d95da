// PhysicalEffectRenderingContext: the render-side context of a physical effect entity. A running
// effect's context owns the effect's physical effect object; the physics world would simulate its
// pieces and publish their bounds, which the game thread takes as the entity's bounds. The pieces
// themselves are the physics world's to draw, so the context draws only its debug box. The entity's
// update call reaches it through the context's own call function. Created on the game thread, used
// and destroyed on the render thread (the bounds are taken on the game thread).
#pragma once

#include "renderer/EntityRenderingContext.h"

#include <memory>

class CommandRingBuffer;
class EntityTemplate;
class NorvexRenderer;
class PhysicalEffectObject;

// Context of one physical effect entity.
class PhysicalEffectRenderingContext : public EntityRenderingContext
{
public:
    enum SubOperation : uint32_t
    {
        SUB_UPDATE = 1,
    };
    // Physical effects draw in a render layer of their own, whatever the entity's rendering pass.
    static constexpr uint32_t kRenderLayer = 16;
    // Pass flags: the debug pass, and the selection colour within it.
    static constexpr uint32_t kPassDebug = 8;
    static constexpr uint32_t kPassSelected = 2;

    // A running effect's context makes and owns the effect's object.
    PhysicalEffectRenderingContext(NorvexRenderer& renderer, EntityTemplate* effectTemplate, bool running);
    ~PhysicalEffectRenderingContext() override;

    // Game thread: posts the update sub-operation for this context.
    void PostUpdate();
    // Game thread: the pieces' box published since the last call, if any.
    bool GetDynamicBounds(BoundingBox4* bounds) const override;

    // Render thread.
    static void ExecuteCall(NorvexRenderer& renderer, uint32_t subOperation, CommandRingBuffer& reader);
    // Only the debug pass draws: the context's box, white when selected, else in the context colour.
    void Draw(const Matrix& world, uint32_t passFlags, const Vector& color) override;

    bool IsRunning() const { return m_object != nullptr; }
    PhysicalEffectObject* GetEffectObject() const { return m_object.get(); }
    EntityTemplate* GetEffectTemplate() const { return m_template; }

private:
    EntityTemplate* m_template;
    std::unique_ptr<PhysicalEffectObject> m_object;
};
