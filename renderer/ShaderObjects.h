// Vertex and pixel shader objects: renderer objects that hold one device shader, made on the render
// thread from compiled code queued by any thread (a reload queues new code, which replaces the old
// shader), and released there when the object dies. The vertex shader object also keeps the
// registers of the constants it knows, read from the code's constant table.
// Any thread queues code; the device shader is touched on the render thread only.
#pragma once

#include "platform/gpu/GpuShader.h"
#include "renderer/NorvexRendererObject.h"

#include <atomic>
#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;
class ResourceShader;

// Base of the two shader objects: the owning resource and the device shader.
class ShaderObject : public NorvexRendererObject
{
public:
    explicit ShaderObject(ResourceShader* owner) : m_owner(owner) {}
    // Render thread: releases the device shader, then deletes the object.
    void DestroyOnRenderThread() override;

    // Queues the code (allocated with new[]) for the render thread, which makes the device shader and
    // frees it; *code becomes null. False (code freed) when no renderer takes it.
    bool CreateFromBytecode(uint8_t** code, uint32_t size);

    ResourceShader* GetOwner() const { return m_owner; }
    // Render thread (or once the queued call has run): the device shader, or null.
    gpu::GpuShader* GetDeviceShader() const { return m_shader.load(std::memory_order_acquire); }

protected:
    virtual gpu::GpuShader* CreateDeviceShader(gpu::GpuDevice* device, const uint8_t* code, uint32_t size) = 0;

private:
    static void ExecuteQueuedCall(NorvexRenderer& renderer, uint32_t subCommand, void* object,
                                  CommandRingBuffer& reader);

    ResourceShader* m_owner;
    std::atomic<gpu::GpuShader*> m_shader{nullptr};
};

// A vertex shader and the registers of the constants the renderer uploads to it.
class VertexShaderObject : public ShaderObject
{
public:
    struct MatrixRegister
    {
        int32_t index = -1;
        uint32_t count = 0;
    };

    using ShaderObject::ShaderObject;

    // Every register -1, every count 0.
    void ResetRegisters();
    // Reads the registers of the known constants from the code's constant table (a leading '$' is
    // ignored, names compare without case).
    void ReadConstantTable(const void* code, uint32_t size);

    int32_t m_constantColor = -1;
    MatrixRegister m_modelViewProjMatrix;
    MatrixRegister m_modelViewMatrix;
    MatrixRegister m_modelMatrix;
    MatrixRegister m_viewProjMatrix;
    MatrixRegister m_invTModelMatrix;
    MatrixRegister m_invTModelViewMatrix;
    int32_t m_controlPoints = -1;
    int32_t m_lightmapUVMulAdd = -1;
    int32_t m_lightProbe = -1;
    int32_t m_lightProbeGradient = -1;

protected:
    gpu::GpuShader* CreateDeviceShader(gpu::GpuDevice* device, const uint8_t* code, uint32_t size) override;
};

// A pixel shader.
class PixelShaderObject : public ShaderObject
{
public:
    using ShaderObject::ShaderObject;

protected:
    gpu::GpuShader* CreateDeviceShader(gpu::GpuDevice* device, const uint8_t* code, uint32_t size) override;
};
