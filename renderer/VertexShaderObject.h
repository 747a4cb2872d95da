// A vertex shader object: one device vertex shader and the registers of the constants the engine
// knows by name, read from the compiled code's constant table. The upload operations write only to
// registers that table declares (a constant the shader lacks is skipped, an array is never written
// past its end), so they cannot overwrite the shader's other constants.
//
// Threads: ReadConstantTable on the thread that builds the object, before it is handed to the render
// thread; the upload operations on the render thread (ShaderObject.h for the rest).
#pragma once

#include "core/math/Matrix.h"
#include "renderer/ShaderObject.h"

// The vertex shader of one shader variant, with its known constants.
class VertexShaderObject : public ShaderObject
{
    RTTI_DECLARE_CLASS(VertexShaderObject, ShaderObject)

public:
    // A known constant's first register (-1 when the shader does not use it) and register count.
    struct Constant
    {
        int32_t index = -1;
        uint32_t count = 0;
    };
    enum KnownConstant : uint32_t
    {
        CONSTANT_COLOR,
        MODEL_VIEW_PROJ_MATRIX,
        MODEL_VIEW_MATRIX,
        MODEL_MATRIX,
        VIEW_PROJ_MATRIX,
        INVT_MODEL_MATRIX,
        INVT_MODEL_VIEW_MATRIX,
        CONTROL_POINTS,
        LIGHTMAP_UV_MUL_ADD,
        LIGHT_PROBE,
        LIGHT_PROBE_GRADIENT,
        BONE_MATRICES, // a float array at register 0 that no other name claims
        kKnownConstantCount
    };

    using ShaderObject::ShaderObject;

    // Forgets every known register.
    void ResetRegisters();
    // Reads the known registers from compiled code; false (logged) when the code has no table.
    bool ReadConstantTable(const void* code, uint32_t size);
    const Constant& GetConstant(KnownConstant which) const { return m_constants[which]; }

    // Render thread: the camera values are the renderer's current ones.
    gpu::GpuVertexShader* GetDeviceShader() const
    {
        return static_cast<gpu::GpuVertexShader*>(ShaderObject::GetDeviceShader());
    }
    // ModelViewProj = view-projection x model (model alone without `project`), ModelView, Model,
    // ViewProj and the inverse transposes.
    void SetModelMatrix(NorvexRenderer& renderer, const Matrix& model, bool project) const;
    // World-space geometry: ModelViewProj = view-projection, ModelView = view, Model = identity.
    void SetFrameMatrices(NorvexRenderer& renderer) const;
    // The colour times the renderer's colour multiplier.
    void SetConstantColor(NorvexRenderer& renderer, const Vector& color) const;
    void SetLightmapUVMulAdd(NorvexRenderer& renderer, const Vector& mulAdd) const;
    void SetLightProbe(NorvexRenderer& renderer, const Vector* vectors, uint32_t count) const;
    void SetLightProbeGradient(NorvexRenderer& renderer, const Vector* vectors, uint32_t count) const;
    // `rows` holds three registers per bone (the 48-byte 3x4 form), from register 0.
    void SetBoneMatrices(NorvexRenderer& renderer, const Vector* rows, uint32_t boneCount) const;
    // Identity bones into registers 0, 3, 6...
    void ResetBoneMatrices(NorvexRenderer& renderer, uint32_t boneCount) const;

protected:
    gpu::GpuShader* CreateDeviceShader(gpu::GpuDevice& device, const void* code, uint32_t size) override;

private:
    void UploadMatrix(NorvexRenderer& renderer, KnownConstant which, const Matrix& matrix) const;
    void UploadVectors(NorvexRenderer& renderer, KnownConstant which, const Vector* vectors, uint32_t count) const;

    Constant m_constants[kKnownConstantCount];
};
