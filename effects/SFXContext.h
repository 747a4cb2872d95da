// SFXContext: one playing instance of an effect. Made on the main thread for a template, it lives
// on the render thread like every rendering context: Init and PostRestart post to it, and Destroy
// posts its deletion. Its first Init links it into its definition's context list and Destroy
// unlinks it. Playing the elements is not built yet: the render side keeps what it was told and
// says once in the log that playback is not built.
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
    // The first initialisation binds the context to the definition and joins its context list.
    void Init(SFXDefinition& definition, const Matrix& matrix, bool carryOver, uint32_t initFlags);
    // Main thread: posts the restart (sub-operation 0 with two flag bytes) to the render thread.
    void PostRestart(uint8_t flagA, uint8_t flagB);
    // Main thread: leaves its definition's context list and posts the deletion.
    void Destroy() override;

    EntityTemplate* GetOwner() const { return m_owner; }
    SFXDefinition* GetDefinition() const { return m_definition; }
    SFXContext* GetNextOfDefinition() const { return m_definitionNext; }
    int32_t GetElementContextCount() const { return m_elementContexts; }
    const Matrix& GetMatrix() const { return m_matrix; }
    // Render thread: restarts run and the flags of the last one.
    uint32_t GetRestartCount() const { return m_restarts; }
    uint8_t GetLastRestartFlagA() const { return m_restartFlags[0]; }
    uint8_t GetLastRestartFlagB() const { return m_restartFlags[1]; }

private:
    friend class SFXDefinition;

    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);

    EntityTemplate* m_owner;
    SFXDefinition* m_definition = nullptr;
    SFXContext* m_definitionPrevious = nullptr;
    SFXContext* m_definitionNext = nullptr;
    Matrix m_matrix = Matrix::ONE;
    int32_t m_elementContexts = 0;
    uint32_t m_restarts = 0;
    uint8_t m_restartFlags[2] = {};
};
