#include "renderer/ShaderPair.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/ShaderObjects.h"
#include "renderer/resources/ResourceShader.h"

void ShaderPair::Clear()
{
    m_vertexResource = m_pixelResource = nullptr;
    m_vertexObject = m_pixelObject = nullptr;
}

bool ShaderPair::Load(const char* name, const char* options, uint32_t resourceFlags)
{
    Release();
    return gShaderManager.GetShader(name, options, &m_vertexResource, &m_pixelResource, 1, false, resourceFlags);
}

void ShaderPair::Resolve()
{
    auto* vertex = dynamic_cast<ResourceShader*>(m_vertexResource);
    auto* pixel = dynamic_cast<ResourceShader*>(m_pixelResource);
    m_vertexObject = vertex != nullptr ? vertex->GetVertexShader() : nullptr;
    m_pixelObject = pixel != nullptr ? pixel->GetPixelShader() : nullptr;
}

void ShaderPair::Release()
{
    if (m_vertexResource != nullptr)
        m_vertexResource->Release();
    if (m_pixelResource != nullptr)
        m_pixelResource->Release();
    Clear();
}

// The state cache of the draw wrappers is not built yet: these go to the device directly.
void ShaderPair::Bind() const
{
    gpu::GpuDevice* device = gRenderer != nullptr ? gRenderer->GetDevice() : nullptr;
    if (device == nullptr)
        return;
    device->SetVertexShader(m_vertexObject != nullptr
                                ? static_cast<gpu::GpuVertexShader*>(m_vertexObject->GetDeviceShader())
                                : nullptr);
    device->SetPixelShader(m_pixelObject != nullptr ? static_cast<gpu::GpuPixelShader*>(m_pixelObject->GetDeviceShader())
                                                    : nullptr);
}

void ShaderPair::SetVertexConstants(uint32_t firstRegister, const float* data, uint32_t vec4Count) const
{
    if (gpu::GpuDevice* device = gRenderer != nullptr ? gRenderer->GetDevice() : nullptr)
        device->SetVertexShaderConstantF(firstRegister, data, vec4Count);
}

void ShaderPair::SetPixelConstants(uint32_t firstRegister, const float* data, uint32_t vec4Count) const
{
    if (gpu::GpuDevice* device = gRenderer != nullptr ? gRenderer->GetDevice() : nullptr)
        device->SetPixelShaderConstantF(firstRegister, data, vec4Count);
}
