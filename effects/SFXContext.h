// SFXContext: one playing instance of an effect. Made on the main thread for a template, it lives
// on the render thread like every rendering context: Init and PostRestart post to it, and Destroy
// posts its deletion. Playing the elements belongs to the effects work and is not built: the render
// side keeps what it was told and says once in the log that playback is not built.
#pragma once

#include "core/math/Matrix.h"
#include "renderer/EntityRenderingContext.h"
#include "scene/templates/EntityTemplate.h"

#include <cstdint>

class SFXDefinition;

// A playing effect (the part that exists so far).
class SFXContext : public EntityRenderingContext, public EntityTemplatePreview
{
public:
    SFXContext(NorvexRenderer& renderer, EntityTemplate* owner);

    // Main thread: one element context per element definition of `definition`, placed by `matrix`.
    void Init(const SFXDefinition& definition, const Matrix& matrix, uint32_t flagA, uint32_t flagB);
    // Main thread: posts the restart (sub-operation 0 with two flag bytes) to the render thread.
    void PostRestart(uint8_t flagA, uint8_t flagB);
    // Main thread: posts the deletion.
    void Destroy() override { Release(); }

    EntityTemplate* GetOwner() const { return m_owner; }
    int32_t GetElementContextCount() const { return m_elementContexts; }
    const Matrix& GetMatrix() const { return m_matrix; }
    // Render thread: restarts run and the flags of the last one.
    uint32_t GetRestartCount() const { return m_restarts; }
    uint8_t GetLastRestartFlagA() const { return m_restartFlags[0]; }
    uint8_t GetLastRestartFlagB() const { return m_restartFlags[1]; }

private:
    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);

    EntityTemplate* m_owner;
    Matrix m_matrix = Matrix::ONE;
    int32_t m_elementContexts = 0;
    uint32_t m_restarts = 0;
    uint8_t m_restartFlags[2] = {};
};
