#include "effects/ParticleSpawner.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"

ParticleSpawner::ParticleSpawner(const ParticleSystem& system, const Matrix& matrix) : m_system(system), m_matrix(matrix)
{
}

bool ParticleSpawner::BeginCall(uint32_t subCommand, uint32_t argumentBytes)
{
    if (gRenderer == nullptr ||
        !gRenderer->WriteCall(&ParticleSpawner::Execute, subCommand, renderpayload::kPointer + argumentBytes))
        return false;
    ParticleSpawner* self = this;
    gRenderer->GetWriter().Put(self);
    return true;
}

void ParticleSpawner::PostSubOp3()
{
    BeginCall(SUB_3, 0);
}

void ParticleSpawner::PostSetMatrix(const Matrix& matrix)
{
    if (BeginCall(SUB_SET_MATRIX, renderpayload::kMatrix))
        gRenderer->GetWriter().Put(matrix);
}

void ParticleSpawner::Destroy()
{
    if (gRenderer == nullptr)
    {
        delete this;
        return;
    }
    if (!BeginCall(SUB_DESTROY, 0))
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "ParticleSpawner %p could not be destroyed", static_cast<void*>(this));
}

void ParticleSpawner::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    ParticleSpawner* spawner = nullptr;
    if (!reader.Read(&spawner, sizeof(spawner)) || spawner == nullptr)
        return;
    switch (subCommand)
    {
    case SUB_DESTROY:
        delete spawner;
        return;
    case SUB_SET_MATRIX:
        reader.Read(&spawner->m_matrix, renderpayload::kMatrix);
        return;
    case SUB_3:
        ++spawner->m_subOp3Count;
        return;
    default:
        return;
    }
}
