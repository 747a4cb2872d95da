// ParticleSpawner: a run-time emitter made for a particle system and a matrix. Main thread posts its
// sub-operations to the render thread, where the emitter lives; Destroy posts its deletion. The
// simulation belongs to the effects work and is not built: the render side keeps what it was told.
#pragma once

#include "core/math/Matrix.h"
#include "scene/templates/EntityTemplate.h"

#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;
class ParticleSystem;

// A particle emitter instance (the part that exists so far).
class ParticleSpawner : public EntityTemplatePreview
{
public:
    enum SubOperation : uint32_t
    {
        SUB_DESTROY = 1,
        SUB_SET_MATRIX = 2,
        SUB_3 = 3,
    };

    ParticleSpawner(const ParticleSystem& system, const Matrix& matrix);

    // Main thread: sub-operation 3, no payload.
    void PostSubOp3();
    // Main thread: sub-operation 2 with the 64-byte emitter matrix.
    void PostSetMatrix(const Matrix& matrix);
    // Main thread: deleted on the render thread behind what was posted (at once without a renderer).
    void Destroy() override;

    const ParticleSystem& GetSystem() const { return m_system; }
    // Render thread: the emitter matrix and the sub-operation 3 count.
    const Matrix& GetMatrix() const { return m_matrix; }
    uint32_t GetSubOp3Count() const { return m_subOp3Count; }

private:
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    bool BeginCall(uint32_t subCommand, uint32_t argumentBytes);

    const ParticleSystem& m_system;
    Matrix m_matrix;
    uint32_t m_subOp3Count = 0;
};
