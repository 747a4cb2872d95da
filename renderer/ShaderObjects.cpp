#include "renderer/ShaderObjects.h"

#include "core/strings/StringUtils.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/ShaderCompiler.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/RendererJobQueue.h"

void ShaderObject::DestroyOnRenderThread()
{
    if (gpu::GpuShader* shader = m_shader.exchange(nullptr, std::memory_order_acq_rel))
        shader->Release();
    NorvexRendererObject::DestroyOnRenderThread();
}

bool ShaderObject::CreateFromBytecode(uint8_t** code, uint32_t size)
{
    // The code pointer travels at its full width.
    CommandRingBuffer* ring = gRenderer != nullptr ? gRenderer->GetJobQueue().BeginQueuedCall(
                                                         &ShaderObject::ExecuteQueuedCall, this, 0,
                                                         uint32_t(sizeof(uint8_t*) + sizeof(uint32_t)))
                                                   : nullptr;
    if (ring == nullptr)
    {
        delete[] *code;
        *code = nullptr;
        return false;
    }
    ring->Write(code, sizeof(uint8_t*));
    ring->Write(&size, sizeof(size));
    *code = nullptr;
    gRenderer->GetJobQueue().ReleaseLock();
    return true;
}

void ShaderObject::ExecuteQueuedCall(NorvexRenderer& renderer, uint32_t subCommand, void* object,
                                     CommandRingBuffer& reader)
{
    if (subCommand != 0)
        return;
    auto* self = static_cast<ShaderObject*>(object);
    uint8_t* code = nullptr;
    uint32_t size = 0;
    reader.Read(&code, sizeof(code));
    reader.Read(&size, sizeof(size));
    if (gpu::GpuShader* old = self->m_shader.exchange(nullptr, std::memory_order_acq_rel))
        old->Release();
    if (code != nullptr && renderer.GetDevice() != nullptr)
        self->m_shader.store(self->CreateDeviceShader(renderer.GetDevice(), code, size), std::memory_order_release);
    delete[] code;
}

gpu::GpuShader* VertexShaderObject::CreateDeviceShader(gpu::GpuDevice* device, const uint8_t* code, uint32_t size)
{
    gpu::GpuVertexShader* shader = nullptr;
    return device->CreateVertexShader(code, size, &shader) == gpu::kOk ? shader : nullptr;
}

gpu::GpuShader* PixelShaderObject::CreateDeviceShader(gpu::GpuDevice* device, const uint8_t* code, uint32_t size)
{
    gpu::GpuPixelShader* shader = nullptr;
    return device->CreatePixelShader(code, size, &shader) == gpu::kOk ? shader : nullptr;
}

void VertexShaderObject::ResetRegisters()
{
    m_constantColor = m_controlPoints = m_lightmapUVMulAdd = m_lightProbe = m_lightProbeGradient = -1;
    m_modelViewProjMatrix = m_modelViewMatrix = m_modelMatrix = m_viewProjMatrix = m_invTModelMatrix =
        m_invTModelViewMatrix = MatrixRegister();
}

void VertexShaderObject::ReadConstantTable(const void* code, uint32_t size)
{
    gpu::ShaderConstantTable* table = nullptr;
    if (gpu::GetShaderConstantTable(code, size, &table) != gpu::kOk || table == nullptr)
        return;
    struct Vector
    {
        const char* name;
        int32_t* index;
        bool several; // an array of registers
    };
    const Vector vectors[] = {{"ConstantColor", &m_constantColor, false},
                              {"LightmapUVMulAdd", &m_lightmapUVMulAdd, false},
                              {"ControlPoints", &m_controlPoints, true},
                              {"LightProbe", &m_lightProbe, true},
                              {"LightProbeGradient", &m_lightProbeGradient, true}};
    struct Matrix
    {
        const char* name;
        MatrixRegister* target;
    };
    const Matrix matrices[] = {{"ModelViewProjMatrix", &m_modelViewProjMatrix}, {"ModelViewMatrix", &m_modelViewMatrix},
                               {"ModelMatrix", &m_modelMatrix},                 {"ViewProjMatrix", &m_viewProjMatrix},
                               {"InvTModelMatrix", &m_invTModelMatrix},
                               {"InvTModelViewMatrix", &m_invTModelViewMatrix}};
    for (const gpu::ShaderConstant& constant : table->Constants())
    {
        if (constant.registerSet != gpu::RegisterSet::Float4 || constant.type != gpu::ConstantType::Float)
            continue;
        const char* name = constant.name.c_str();
        if (name[0] == '$')
            ++name;
        if (constant.constantClass == gpu::ConstantClass::Vector)
        {
            for (const Vector& vector : vectors)
                if (StrICmp(name, vector.name) == 0 && (constant.registerCount > 1) == vector.several)
                    *vector.index = int32_t(constant.registerIndex);
        }
        else if (constant.constantClass == gpu::ConstantClass::MatrixColumns && constant.elements == 1)
        {
            for (const Matrix& matrix : matrices)
                if (StrICmp(name, matrix.name) == 0)
                    *matrix.target = {int32_t(constant.registerIndex), constant.registerCount};
        }
    }
    table->Release();
}
