// Shader objects: one device shader each, created on the render thread from compiled code that any
// thread hands over through a queued renderer call, and destroyed there too (NorvexRendererObject).
// A shader whose code is queued again (a reload) replaces its device shader; the old one is released.
//
// Threads: CreateFromBytecode on any thread; the device shader, the upload operations and
// DestroyOnRenderThread on the render thread only.
#pragma once

#include "renderer/NorvexRendererObject.h"

#include <atomic>
#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;
class ResourceShader;

namespace gpu
{
class GpuDevice;
}

// Base of the vertex and pixel shader objects.
class ShaderObject : public NorvexRendererObject
{
    RTTI_DECLARE_CLASS(ShaderObject, NorvexRendererObject)

public:
    ShaderObject() = default;

    ResourceShader* GetOwner() const { return m_owner; }
    void SetOwner(ResourceShader* owner) { m_owner = owner; }

    // Any thread: queues the creation of the device shader. *code (allocated with new[]) passes to
    // the renderer and *code becomes null; false (logged, the code freed) when nothing was queued.
    bool CreateFromBytecode(uint8_t** code, uint32_t size);

    // Render thread: releases the device shader, then deletes the object. With creations still
    // queued, the deletion waits for them: their records name this object.
    void DestroyOnRenderThread() override;

protected:
    // Render thread.
    virtual void CreateDeviceShader(gpu::GpuDevice& device, const void* code, uint32_t size) = 0;
    virtual void ReleaseDeviceShader() = 0;

private:
    // Render thread: sub-command 0 {code pointer, u32 size} creates the device shader from the code
    // and frees it; other sub-commands carry nothing.
    static void ExecuteQueuedCall(NorvexRenderer& renderer, uint32_t subCommand, void* object,
                                  CommandRingBuffer& reader);
    void DestroyNow();

    ResourceShader* m_owner = nullptr;
    std::atomic<uint32_t> m_queuedCalls{0};
    bool m_destroyRequested = false; // render thread
};
