#include "renderer/VertexShaderObject.h"

#include "core/console/GameConsole.h"
#include "core/strings/StringUtils.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/gpu/ShaderCompiler.h"
#include "renderer/NorvexRenderer.h"

#include <algorithm>

namespace
{
constexpr uint32_t kBoneRegisters = 3;

using V = VertexShaderObject;
struct NamedConstant
{
    const char* name;
    V::KnownConstant which;
};
constexpr NamedConstant kSingleVectors[] = {{"ConstantColor", V::CONSTANT_COLOR},
                                            {"LightmapUVMulAdd", V::LIGHTMAP_UV_MUL_ADD}};
constexpr NamedConstant kVectorArrays[] = {{"ControlPoints", V::CONTROL_POINTS},
                                           {"LightProbe", V::LIGHT_PROBE},
                                           {"LightProbeGradient", V::LIGHT_PROBE_GRADIENT}};
constexpr NamedConstant kMatrices[] = {{"ModelViewProjMatrix", V::MODEL_VIEW_PROJ_MATRIX},
                                       {"ModelViewMatrix", V::MODEL_VIEW_MATRIX},
                                       {"ModelMatrix", V::MODEL_MATRIX},
                                       {"ViewProjMatrix", V::VIEW_PROJ_MATRIX},
                                       {"InvTModelMatrix", V::INVT_MODEL_MATRIX},
                                       {"InvTModelViewMatrix", V::INVT_MODEL_VIEW_MATRIX}};

template <size_t N>
const NamedConstant* FindNamed(const NamedConstant (&table)[N], const char* name)
{
    for (const NamedConstant& entry : table)
        if (StrICmp(entry.name, name) == 0)
            return &entry;
    return nullptr;
}
} // namespace

RTTI_DEFINE_CLASS(VertexShaderObject, ShaderObject)

void VertexShaderObject::BuildClassProperties(RTTIPropertiesBase&) {}

void VertexShaderObject::ResetRegisters()
{
    for (Constant& constant : m_constants)
        constant = Constant();
}

bool VertexShaderObject::ReadConstantTable(const void* code, uint32_t size)
{
    ResetRegisters();
    gpu::ShaderConstantTable* table = nullptr;
    if (gpu::GetShaderConstantTable(code, size, &table) != gpu::kOk || table == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "Vertex shader code of %u bytes has no constant table", size);
        return false;
    }
    for (const gpu::ShaderConstant& constant : table->Constants())
    {
        if (constant.registerSet != gpu::RegisterSet::Float4 || constant.type != gpu::ConstantType::Float)
            continue;
        const char* name = constant.name.c_str();
        if (*name == '$')
            ++name;
        const NamedConstant* known = nullptr;
        if (constant.constantClass == gpu::ConstantClass::Vector)
            known = constant.registerCount == 1 ? FindNamed(kSingleVectors, name) : FindNamed(kVectorArrays, name);
        else if (constant.constantClass == gpu::ConstantClass::MatrixColumns && constant.elements == 1)
            known = FindNamed(kMatrices, name);
        if (known != nullptr)
            m_constants[known->which] = {int32_t(constant.registerIndex), constant.registerCount};
        else if (constant.registerIndex == 0 && constant.elements > 1)
            m_constants[BONE_MATRICES] = {0, constant.registerCount};
    }
    table->Release();
    return true;
}

gpu::GpuShader* VertexShaderObject::CreateDeviceShader(gpu::GpuDevice& device, const void* code, uint32_t size)
{
    gpu::GpuVertexShader* shader = nullptr;
    if (device.CreateVertexShader(code, size, &shader) == gpu::kOk)
        return shader;
    gConsole.Error(CONSOLE_CHANNEL_RENDER, "The device refused a vertex shader of %u bytes", size);
    return nullptr;
}

// Column-major constants: register i holds column i.
void VertexShaderObject::UploadMatrix(NorvexRenderer& renderer, KnownConstant which, const Matrix& matrix) const
{
    const Constant& constant = m_constants[which];
    if (constant.index < 0)
        return;
    Matrix columns;
    columns.TransposeOf(matrix);
    renderer.SetVertexShaderConstants(uint32_t(constant.index), &columns.rows[0].x, std::min(constant.count, 4u));
}

void VertexShaderObject::UploadVectors(NorvexRenderer& renderer, KnownConstant which, const Vector* vectors,
                                       uint32_t count) const
{
    const Constant& constant = m_constants[which];
    if (constant.index < 0 || vectors == nullptr || count == 0)
        return;
    renderer.SetVertexShaderConstants(uint32_t(constant.index), &vectors[0].x, std::min(count, constant.count));
}

void VertexShaderObject::SetModelMatrix(NorvexRenderer& renderer, const Matrix& model, bool project) const
{
    const Matrix& viewProjection = renderer.GetViewProjection();
    if (m_constants[MODEL_VIEW_PROJ_MATRIX].index >= 0)
    {
        Matrix modelViewProjection = model;
        if (project)
            modelViewProjection.Mul(viewProjection, model);
        UploadMatrix(renderer, MODEL_VIEW_PROJ_MATRIX, modelViewProjection);
    }
    Matrix modelView;
    if (m_constants[MODEL_VIEW_MATRIX].index >= 0 || m_constants[INVT_MODEL_VIEW_MATRIX].index >= 0)
        modelView.Mul(renderer.GetView(), model);
    UploadMatrix(renderer, MODEL_VIEW_MATRIX, modelView);
    UploadMatrix(renderer, MODEL_MATRIX, model);
    UploadMatrix(renderer, VIEW_PROJ_MATRIX, viewProjection);
    if (m_constants[INVT_MODEL_MATRIX].index >= 0)
    {
        Matrix inverse;
        inverse.InverseOf(model);
        inverse.Transpose();
        UploadMatrix(renderer, INVT_MODEL_MATRIX, inverse);
    }
    if (m_constants[INVT_MODEL_VIEW_MATRIX].index >= 0)
    {
        Matrix inverse;
        inverse.InverseOf(modelView);
        inverse.Transpose();
        UploadMatrix(renderer, INVT_MODEL_VIEW_MATRIX, inverse);
    }
}

void VertexShaderObject::SetFrameMatrices(NorvexRenderer& renderer) const
{
    UploadMatrix(renderer, MODEL_VIEW_PROJ_MATRIX, renderer.GetViewProjection());
    UploadMatrix(renderer, MODEL_VIEW_MATRIX, renderer.GetView());
    UploadMatrix(renderer, MODEL_MATRIX, Matrix::ONE);
}

void VertexShaderObject::SetConstantColor(NorvexRenderer& renderer, const Vector& color) const
{
    const Vector& multiplier = renderer.GetColorMultiplier();
    const Vector scaled(color.x * multiplier.x, color.y * multiplier.y, color.z * multiplier.z,
                        color.w * multiplier.w);
    UploadVectors(renderer, CONSTANT_COLOR, &scaled, 1);
}

void VertexShaderObject::SetLightmapUVMulAdd(NorvexRenderer& renderer, const Vector& mulAdd) const
{
    UploadVectors(renderer, LIGHTMAP_UV_MUL_ADD, &mulAdd, 1);
}

void VertexShaderObject::SetLightProbe(NorvexRenderer& renderer, const Vector* vectors, uint32_t count) const
{
    UploadVectors(renderer, LIGHT_PROBE, vectors, count);
}

void VertexShaderObject::SetLightProbeGradient(NorvexRenderer& renderer, const Vector* vectors, uint32_t count) const
{
    UploadVectors(renderer, LIGHT_PROBE_GRADIENT, vectors, count);
}

void VertexShaderObject::SetBoneMatrices(NorvexRenderer& renderer, const Vector* rows, uint32_t boneCount) const
{
    const uint32_t registers = uint32_t(std::min<uint64_t>(uint64_t(boneCount) * kBoneRegisters, UINT32_MAX));
    if (m_constants[BONE_MATRICES].index >= 0 && registers > m_constants[BONE_MATRICES].count)
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "%u bone matrices do not fit the shader's %u bone registers", boneCount,
                         m_constants[BONE_MATRICES].count);
    UploadVectors(renderer, BONE_MATRICES, rows, registers);
}

void VertexShaderObject::ResetBoneMatrices(NorvexRenderer& renderer, uint32_t boneCount) const
{
    const Vector identity[kBoneRegisters] = {{1.0f, 0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f, 0.0f}};
    const Constant& bones = m_constants[BONE_MATRICES];
    for (uint32_t bone = 0; bone < boneCount && (bone + 1) * kBoneRegisters <= bones.count; ++bone)
        renderer.SetVertexShaderConstants(bone * kBoneRegisters, &identity[0].x, kBoneRegisters);
}
