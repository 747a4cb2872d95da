#include "effects/SFXContext.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "effects/sfx/SFXDefinition.h"
#include "renderer/NorvexRenderer.h"

#include <atomic>

namespace
{
std::atomic<bool> gPlaybackReported{false};
} // namespace

SFXContext::SFXContext(NorvexRenderer& renderer, EntityTemplate* owner) : EntityRenderingContext(renderer), m_owner(owner)
{
}

void SFXContext::Init(SFXDefinition& definition, const Matrix& matrix, bool, uint32_t)
{
    if (m_definition == nullptr)
        definition.LinkContext(*this);
    m_matrix = matrix;
    m_elementContexts = definition.GetElements().Count();
}

void SFXContext::Destroy()
{
    if (m_definition != nullptr)
        m_definition->UnlinkContext(*this);
    Release();
}

void SFXContext::PostRestart(uint8_t flagA, uint8_t flagB)
{
    if (!m_renderer.WriteCall(&SFXContext::Execute, 0, renderpayload::kPointer + 2))
        return;
    SFXContext* self = this;
    m_renderer.GetWriter().Put(self);
    m_renderer.GetWriter().Put(flagA);
    m_renderer.GetWriter().Put(flagB);
}

void SFXContext::Execute(NorvexRenderer&, uint32_t subCommand, CommandRingBuffer& reader)
{
    SFXContext* context = nullptr;
    uint8_t flags[2] = {};
    if (!reader.Read(&context, sizeof(context)) || context == nullptr || subCommand != 0 ||
        !reader.Read(flags, sizeof(flags)))
        return;
    ++context->m_restarts;
    context->m_restartFlags[0] = flags[0];
    context->m_restartFlags[1] = flags[1];
    if (!gPlaybackReported.exchange(true))
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "SFXContext: effect playback is not built yet");
}
