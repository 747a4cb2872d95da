#include "ui/render/UIShaderTable.h"

#include "renderer/PixelShaderObject.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"

namespace
{
UIShader gSetShaders[kUIShaderCount];
} // namespace

UIShader GetUIShader(uint32_t index)
{
    if (index >= kUIShaderCount)
        return {};
    if (gSetShaders[index].vertex != nullptr || gSetShaders[index].pixel != nullptr)
        return gSetShaders[index];
    if (index >= ShaderManager::kSystemShaderCount || !gShaderManager.IsInitialised())
        return {};
    const ShaderPair& pair = gShaderManager.GetSystemShader(index);
    if (!pair.IsValid())
        return {};
    return {static_cast<const VertexShaderObject*>(pair.m_vertexObject),
            static_cast<const PixelShaderObject*>(pair.m_pixelObject)};
}

void SetUIShader(uint32_t index, const VertexShaderObject* vertex, const PixelShaderObject* pixel)
{
    if (index < kUIShaderCount)
        gSetShaders[index] = {vertex, pixel};
}
