// Shader objects: one device shader each, created on the render thread from compiled code that any
// thread hands over through a queued renderer call, and destroyed there too (NorvexRendererObject).
// A shader whose code is queued again (a reload) replaces its device shader; the old one is released.
//
// Threads: CreateFromBytecode on any thread; the device shader, the upload operations and
// DestroyOnRenderThread on the render thread only.
#pragma once

#include "platform/gpu/GpuShader.h"
#include "renderer/NorvexRendererObject.h"

#include <atomic>
#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;
class ResourceShader;

// Base of the vertex and pixel shader objects.
class ShaderObject : public NorvexRendererObject
{
    RTTI_DECLARE_CLASS(ShaderObject, NorvexRendererObject)

public:
    explicit ShaderObject(ResourceShader* owner = nullptr) : m_owner(owner) {}

    ResourceShader* GetOwner() const { return m_owner; }
    void SetOwner(ResourceShader* owner) { m_owner = owner; }

    // Any thread: queues the creation of the device shader. *code (allocated with new[]) passes to
    // the renderer and *code becomes null; false (logged, the code freed) when nothing was queued.
    bool CreateFromBytecode(uint8_t** code, uint32_t size);
    // The device shader, or null (any thread may test it once the queued call has run).
    gpu::GpuShader* GetDeviceShader() const { return m_shader.load(std::memory_order_acquire); }

    // Render thread: releases the device shader, then deletes the object. With creations still
    // queued, the deletion waits for them: their records name this object.
    void DestroyOnRenderThread() override;

protected:
    // Render thread: the device shader of the stage, or null (logged).
    virtual gpu::GpuShader* CreateDeviceShader(gpu::GpuDevice& device, const void* code, uint32_t size) = 0;

private:
    // Render thread: sub-command 0 {code pointer, u32 size} creates the device shader from the code
    // and frees it; other sub-commands carry nothing.
    static void ExecuteQueuedCall(NorvexRenderer& renderer, uint32_t subCommand, void* object,
                                  CommandRingBuffer& reader);
    void ReleaseDeviceShader();
    void DestroyNow();

    ResourceShader* m_owner = nullptr;
    std::atomic<gpu::GpuShader*> m_shader{nullptr};
    std::atomic<uint32_t> m_queuedCalls{0};
    bool m_destroyRequested = false; // render thread
};
