#include "renderer/ShaderObject.h"

#include "core/console/GameConsole.h"
#include "renderer/NorvexRenderer.h"

namespace
{
constexpr uint32_t kCreateFromCode = 0;
// 64-bit: the code pointer is full width.
constexpr uint32_t kCreateFromCodeBytes = sizeof(uintptr_t) + sizeof(uint32_t);
} // namespace

RTTI_DEFINE_CLASS_TABLE(ShaderObject, NorvexRendererObject)

void ShaderObject::BuildClassProperties(RTTIPropertiesBase&) {}

bool ShaderObject::CreateFromBytecode(uint8_t** code, uint32_t size)
{
    if (code == nullptr || *code == nullptr)
        return false;
    uint8_t* const bytes = *code;
    *code = nullptr;
    CommandRingBuffer* const ring =
        gRenderer != nullptr ? gRenderer->GetJobQueue().BeginQueuedCall(&ExecuteQueuedCall, this, kCreateFromCode,
                                                                          kCreateFromCodeBytes)
                             : nullptr;
    if (ring == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Shader code of %u bytes could not be handed to the renderer", size);
        delete[] bytes;
        return false;
    }
    m_queuedCalls.fetch_add(1, std::memory_order_acq_rel);
    const uintptr_t pointer = reinterpret_cast<uintptr_t>(bytes);
    ring->Write(&pointer, sizeof(pointer));
    ring->Write(&size, sizeof(size));
    gRenderer->GetJobQueue().ReleaseLock();
    return true;
}

void ShaderObject::ExecuteQueuedCall(NorvexRenderer& renderer, uint32_t subCommand, void* object,
                                     CommandRingBuffer& reader)
{
    ShaderObject* const shader = static_cast<ShaderObject*>(object);
    if (subCommand == kCreateFromCode)
    {
        uintptr_t pointer = 0;
        uint32_t size = 0;
        reader.Read(&pointer, sizeof(pointer));
        reader.Read(&size, sizeof(size));
        uint8_t* const code = reinterpret_cast<uint8_t*>(pointer);
        if (shader != nullptr && !shader->m_destroyRequested)
        {
            shader->ReleaseDeviceShader();
            if (renderer.GetDevice() != nullptr && code != nullptr)
                shader->m_shader.store(shader->CreateDeviceShader(*renderer.GetDevice(), code, size),
                                       std::memory_order_release);
        }
        delete[] code;
    }
    if (shader == nullptr)
        return;
    if (shader->m_queuedCalls.fetch_sub(1, std::memory_order_acq_rel) == 1 && shader->m_destroyRequested)
        shader->DestroyNow();
}

void ShaderObject::DestroyOnRenderThread()
{
    // A deletion through the command stream can overtake creations waiting in the job queue.
    if (m_queuedCalls.load(std::memory_order_acquire) != 0)
    {
        m_destroyRequested = true;
        return;
    }
    DestroyNow();
}

void ShaderObject::ReleaseDeviceShader()
{
    if (gpu::GpuShader* const shader = m_shader.exchange(nullptr, std::memory_order_acq_rel))
        shader->Release();
}

void ShaderObject::DestroyNow()
{
    ReleaseDeviceShader();
    delete this;
}
