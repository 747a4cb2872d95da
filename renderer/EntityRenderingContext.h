// EntityRenderingContext: the render-side twin of an entity and base of the kinds' contexts.
//
// The game thread never touches a context's state: each operation below writes a call command
// (opcode 47) with a sub-command number, and the render thread applies it in stream order. Release
// posts the destruction, so the context dies on the render thread after every earlier command that
// names it. Game-side calls: the posting operations. Render thread: Execute, the getters, Draw.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;

// Render-side state of one entity, changed only through render commands.
class EntityRenderingContext
{
public:
    enum SubCommand : uint32_t
    {
        SUB_REGISTER = 0,
        SUB_COPY_RENDERING_STATE = 1,
        SUB_DESTROY = 2,
        SUB_TRANSFORM_AND_BOUNDS = 3,
        SUB_LAYER = 4,
        SUB_WIREFRAME_COLOR = 6,
        SUB_COLOR_MULTIPLIER = 7,
        SUB_VISIBILITY = 8,
    };

    // `sortOffset` biases the context's place among the sorted forward tasks (the entity's or its
    // template's "Sort offset").
    explicit EntityRenderingContext(NorvexRenderer& renderer, float sortOffset = 0.0f)
        : m_renderer(renderer), m_sortOffset(sortOffset)
    {
    }
    virtual ~EntityRenderingContext() = default;
    EntityRenderingContext(const EntityRenderingContext&) = delete;
    EntityRenderingContext& operator=(const EntityRenderingContext&) = delete;

    // Game thread: posted operations.
    void Register();
    // Takes the shared render value of another context (none gives 0).
    void CopyRenderingState(EntityRenderingContext* source);
    // Posts the destruction; the caller forgets the pointer.
    void Release();
    void SetTransformAndBounds(const Matrix& world, const Matrix& inverseWorld, bool mirrored, const BoundingBox4& box);
    void SetLayer(uint8_t layer);
    void SetWireframeColor(const Vector& color);
    void SetColorMultiplier(const Vector& color);
    void SetVisible(bool visible);

    // Render thread.
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    // Draws the context at once (render tasks posted while gathering is off).
    virtual void Draw(const Matrix& world, uint32_t passFlags, const Vector& color)
    {
        (void)world;
        (void)passFlags;
        (void)color;
    }
    // The passes of `passFlags` this context joins; the outlined list takes it when one of them is in
    // the renderer's pass mask. The base joins none.
    virtual uint32_t GetChannelMask(uint32_t passFlags) const
    {
        (void)passFlags;
        return 0;
    }
    // Sub-commands 5 and 9 to 11 belong to the kinds; the base reads none.
    virtual bool ExecuteKindCommand(uint32_t subCommand, CommandRingBuffer& reader)
    {
        (void)subCommand;
        (void)reader;
        return false;
    }
    const Matrix& GetWorld() const { return m_world; }
    const Matrix& GetInverseWorld() const { return m_inverseWorld; }
    const BoundingBox4& GetLocalBox() const { return m_localBox; }
    bool IsMirrored() const { return m_mirrored; }
    uint8_t GetLayer() const { return m_layer; }
    bool IsVisible() const { return m_visible; }
    const Vector& GetWireframeColor() const { return m_wireframeColor; }
    const Vector& GetColorMultiplier() const { return m_colorMultiplier; }
    uint32_t GetSharedRenderValue() const { return m_sharedRenderValue; }
    float GetSortOffset() const { return m_sortOffset; }
    uint32_t GetRegistrationCount() const { return m_registrations; }

protected:
    // Opens a call for this context with `argumentBytes` after the object pointer; false when the
    // renderer refused it.
    bool BeginCall(uint32_t subCommand, uint32_t argumentBytes);
    NorvexRenderer& m_renderer;

private:
    Matrix m_world = Matrix::ONE;
    Matrix m_inverseWorld = Matrix::ONE;
    BoundingBox4 m_localBox = BoundingBox4::INVALID;
    Vector m_wireframeColor;
    Vector m_colorMultiplier = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    float m_sortOffset = 0.0f;
    uint32_t m_sharedRenderValue = 0;
    uint32_t m_registrations = 0;
    uint8_t m_layer = 1;
    bool m_mirrored = false;
    bool m_visible = true;
};
