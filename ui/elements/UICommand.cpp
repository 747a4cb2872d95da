#include "ui/elements/UICommand.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"

namespace
{
constexpr uint32_t kLocalRingBytes = 16384;
constexpr uint32_t kLocalRecordId = 1;

// The local ring is only used while no render thread runs, by the one thread that writes UI.
CommandRingBuffer& LocalRing()
{
    static CommandRingBuffer ring(kLocalRingBytes, 0);
    return ring;
}
bool gLocalBusy = false;
uint64_t gWritten = 0;
} // namespace

UICommand::UICommand(RenderCallFunction trampoline, UICommandRunner runner, uint32_t commandId, const void* element,
                     uint32_t argumentBytes)
    : m_runner(runner), m_commandId(commandId)
{
    const uint32_t bytes = renderpayload::kPointer + argumentBytes;
    const uintptr_t pointer = reinterpret_cast<uintptr_t>(element);
    NorvexRenderer* const renderer = gRenderer;
    if (renderer != nullptr && renderer->GetWriter().HasOpenBlock())
    {
        if (!renderer->WriteCall(trampoline, commandId, bytes))
            return;
        renderer->GetWriter().Put(pointer);
        m_open = true;
        ++gWritten;
        return;
    }
    // A command written while another runs locally would be read as part of it.
    if (gLocalBusy || !LocalRing().BeginWrite(kLocalRecordId, bytes))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "UI command %u with %u bytes refused", commandId, bytes);
        return;
    }
    LocalRing().Write(&pointer, sizeof(pointer));
    m_open = true;
    m_local = true;
    ++gWritten;
}

UICommand::~UICommand()
{
    if (!m_open || !m_local)
        return;
    CommandRingBuffer& ring = LocalRing();
    ring.EndWrite();
    while (ring.BeginRead())
    {
        const bool isCommand = ring.GetReadId() == kLocalRecordId;
        if (isCommand)
        {
            gLocalBusy = true;
            m_runner(m_commandId, ring);
            gLocalBusy = false;
        }
        ring.EndRead();
        if (isCommand)
            return;
    }
}

void UICommand::Write(const void* data, uint32_t bytes)
{
    if (!m_open)
        return;
    if (m_local)
        LocalRing().Write(data, bytes);
    else
        gRenderer->GetWriter().Write(data, bytes);
}

uint64_t UICommand::GetWrittenCount()
{
    return gWritten;
}
