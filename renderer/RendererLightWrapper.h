// RendererLightWrapper: a light's render data, owned by the render side. The game thread (the
// light entity) never writes the data: it posts light sub-operations as call commands (opcode 47)
// that the render thread applies in stream order, and hands the object to the frame's light list
// (opcode 46). A posted mask texture travels with a reference of its own, so the game side may
// unload the texture before the command runs. The object dies on the render thread after every
// command that names it (PostDeletion), leaving the directional-ambient list and its mask.
// Game thread: the Post* operations. Render thread: Execute and the data.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "renderer/LightRenderData.h"
#include "renderer/NorvexRendererObject.h"

#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;
class TextureHolder;

// The render-side light object (id -1, ready from construction).
class RendererLightWrapper : public NorvexRendererObject
{
public:
    enum SubOperation : uint32_t
    {
        SUB_MATRIX = 0,
        SUB_POINT = 1,
        SUB_SPOT = 2,
        SUB_TUBE = 3,
        SUB_DIRECTIONAL_AMBIENT = 4,
        kSubOperationCount = 5,
    };

    RendererLightWrapper();
    ~RendererLightWrapper() override;

    int32_t GetId() const { return m_id; }
    // Render thread (or any thread while no render thread runs).
    const LightRenderData& GetData() const { return m_data; }
    // Render thread: for an owner there (an effect's light element) that sets the data directly
    // instead of posting sub-operations.
    LightRenderData& EditData() { return m_data; }

    // Game thread: the sub-operations. The mask is the texture's device holder, or null; the caller
    // holds a reference to it while posting. Start falloff is the smaller of the two.
    void PostMatrix(const Matrix& world);
    void PostPoint(const Vector& color, float specular, float nearRange, float farRange, TextureHolder* mask,
                   const Vector& maskRotation, const Vector& maskScale);
    void PostSpot(const Vector& color, float specular, float nearRange, float farRange, float width, float softness,
                  TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale);
    void PostTube(const Vector& color, float specular, float nearRange, float farRange, float length,
                  TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale);
    void PostDirectionalAmbient(const Vector& color, const Vector& secondary, const Vector& side, float specular,
                                uint32_t twoSidedMode, float wrapAround, TextureHolder* mask,
                                const Vector& maskRotation, const Vector& maskScale, uint32_t lightMask);

    // Bytes a sub-operation carries after the call header (the object pointer included); false for
    // an unknown sub-operation.
    static bool GetArgumentBytes(uint32_t subOperation, uint32_t& bytes);
    // Render thread: applies one sub-operation.
    static void Execute(NorvexRenderer& renderer, uint32_t subOperation, CommandRingBuffer& reader);

private:
    // Opens the call and writes the object pointer; false when the stream refused it.
    bool BeginCall(uint32_t subOperation);
    // Writes the mask with the reference that travels with it, then its rotation and scale.
    static void PutMask(TextureHolder* mask, const Vector& maskRotation, const Vector& maskScale);

    int32_t m_id = -1;
    LightRenderData m_data;
};
