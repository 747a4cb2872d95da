#include "renderer/ShaderPair.h"

#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
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

void ShaderPair::Bind() const
{
    if (gRenderer == nullptr)
        return;
    gRenderer->SetVertexShader(static_cast<const VertexShaderObject*>(m_vertexObject));
    gRenderer->SetPixelShader(static_cast<const PixelShaderObject*>(m_pixelObject));
}

void ShaderPair::SetVertexConstants(uint32_t firstRegister, const float* data, uint32_t vec4Count) const
{
    if (gRenderer != nullptr)
        gRenderer->SetVertexShaderConstants(firstRegister, data, vec4Count);
}

void ShaderPair::SetPixelConstants(uint32_t firstRegister, const float* data, uint32_t vec4Count) const
{
    if (gRenderer != nullptr)
        gRenderer->SetPixelShaderConstants(firstRegister, data, vec4Count);
}
