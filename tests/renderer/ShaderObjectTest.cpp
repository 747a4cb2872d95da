// ctest-labels: thread
// Shader objects on a running renderer: known registers from the constant table, uploads that reach
// only the registers the table declares, device shaders created and replaced through queued calls,
// and deletion through the stream and through the job queue.
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/jobs/NorvexRendererResourceAccessJob.h"
#include "support/ConsoleCapture.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr float kUntouched = 7.0f;

const char* const kSkinnedSource = R"(
float4 BoneMatrices[6] : register(c0);
float4x4 ModelViewProjMatrix : register(c10);
float4x4 ModelMatrix : register(c14);
float4 ConstantColor : register(c18);
float4 LightProbe[3] : register(c19);
float4 Other[2] : register(c22);
float4x4 InvTModelMatrix : register(c24);
float4x4 ModelViewMatrix[2] : register(c28);
float4x4 InvTModelViewMatrix : register(c36);
float4 LightProbeGradient[2] : register(c40);
float4x4 ViewProjMatrix : register(c44);
float4 vertex(float4 p : POSITION) : POSITION
{
    return mul(p, ModelViewProjMatrix) + mul(p, ModelMatrix) + BoneMatrices[0] + ConstantColor + LightProbe[0] +
           Other[1] + mul(p, InvTModelMatrix) + mul(p, ModelViewMatrix[1]) + mul(p, InvTModelViewMatrix) +
           LightProbeGradient[1] + mul(p, ViewProjMatrix);
}
)";

const char* const kPlainSource = R"(
float4 Tint;
float4 vertex(float4 p : POSITION) : POSITION { return p * Tint; }
float4 pixel(float4 c : COLOR0) : COLOR0 { return c * Tint; }
)";

// Compiled code in a new[] block, as CreateFromBytecode takes it.
uint8_t* Compile(const char* source, const char* entry, const char* profile, uint32_t* size)
{
    gpu::GpuBlob* code = nullptr;
    gpu::GpuBlob* messages = nullptr;
    const gpu::Result result = gpu::CompileShader(source, std::strlen(source), "Test.hlsl", nullptr, nullptr, entry,
                                                  profile, 0, &code, &messages, nullptr);
    EXPECT_EQ(result, gpu::kOk) << (messages ? static_cast<const char*>(messages->GetBufferPointer()) : "");
    if (messages)
        messages->Release();
    if (code == nullptr)
        return nullptr;
    *size = code->GetBufferSize();
    uint8_t* const bytes = new uint8_t[*size];
    std::memcpy(bytes, code->GetBufferPointer(), *size);
    code->Release();
    return bytes;
}

class CountedVertexShader : public VertexShaderObject
{
public:
    explicit CountedVertexShader(std::atomic<int>* destroyed) : m_destroyed(destroyed) {}
    ~CountedVertexShader() override { ++*m_destroyed; }
    std::atomic<int>* m_destroyed;
};

// Holds the job queue until the render thread has executed the commands written before it.
class GateJob : public NorvexRendererResourceAccessJob
{
};

class ShaderObjectTest : public RendererTestBase
{
protected:
    // Builds a vertex shader object the way a shader resource does.
    void Build(VertexShaderObject* shader, const char* source)
    {
        uint32_t size = 0;
        uint8_t* code = Compile(source, "vertex", "vs_3_0", &size);
        ASSERT_NE(code, nullptr);
        ASSERT_TRUE(shader->ReadConstantTable(code, size));
        shader->SetReady();
        ASSERT_TRUE(shader->CreateFromBytecode(&code, size));
        EXPECT_EQ(code, nullptr);
    }
    static void FillVertexRegisters(NorvexRenderer& renderer)
    {
        std::vector<float> fill(gpu::kVertexConstantRegisters * 4, kUntouched);
        renderer.SetVertexShaderConstants(0, fill.data(), gpu::kVertexConstantRegisters);
    }
    std::vector<float> ReadVertexRegisters()
    {
        std::vector<float> registers(gpu::kVertexConstantRegisters * 4);
        m_renderer.GetDevice()->GetVertexShaderConstantF(0, registers.data(), gpu::kVertexConstantRegisters);
        return registers;
    }
};

TEST_F(ShaderObjectTest, KnownRegistersComeFromTheConstantTable)
{
    VertexShaderObject skinned;
    uint32_t size = 0;
    uint8_t* code = Compile(kSkinnedSource, "vertex", "vs_3_0", &size);
    ASSERT_TRUE(skinned.ReadConstantTable(code, size));
    delete[] code;
    using V = VertexShaderObject;
    EXPECT_EQ(skinned.GetConstant(V::BONE_MATRICES).index, 0);
    EXPECT_EQ(skinned.GetConstant(V::BONE_MATRICES).count, 6u);
    EXPECT_EQ(skinned.GetConstant(V::MODEL_VIEW_PROJ_MATRIX).index, 10);
    EXPECT_EQ(skinned.GetConstant(V::MODEL_VIEW_PROJ_MATRIX).count, 4u);
    EXPECT_EQ(skinned.GetConstant(V::MODEL_MATRIX).index, 14);
    EXPECT_EQ(skinned.GetConstant(V::CONSTANT_COLOR).index, 18);
    EXPECT_EQ(skinned.GetConstant(V::LIGHT_PROBE).index, 19);
    EXPECT_EQ(skinned.GetConstant(V::LIGHT_PROBE).count, 3u);
    EXPECT_EQ(skinned.GetConstant(V::MODEL_VIEW_MATRIX).index, -1);
    EXPECT_EQ(skinned.GetConstant(V::LIGHTMAP_UV_MUL_ADD).index, -1);
    // A uniform parameter of the entry point comes named "$ConstantColor".
    VertexShaderObject parameter;
    code = Compile("float4 vertex(float4 p : POSITION, uniform float4 ConstantColor) : POSITION { return p * ConstantColor; }",
                   "vertex", "vs_3_0", &size);
    ASSERT_TRUE(parameter.ReadConstantTable(code, size));
    delete[] code;
    EXPECT_EQ(parameter.GetConstant(V::CONSTANT_COLOR).index, 0);

    const uint8_t garbage[16] = {1, 2, 3};
    EXPECT_FALSE(skinned.ReadConstantTable(garbage, sizeof(garbage)));
    EXPECT_EQ(skinned.GetConstant(V::MODEL_VIEW_PROJ_MATRIX).index, -1) << "a failed read forgets the old registers";
}

TEST_F(ShaderObjectTest, UploadsReachOnlyTheRegistersTheTableDeclares)
{
    VertexShaderObject* const shader = new VertexShaderObject();
    Build(shader, kSkinnedSource);
    Matrix view;
    view.LoadTranslation(0.0f, 0.0f, 5.0f);
    Matrix projection;
    projection.LoadPerspectiveFovLH(60.0f, 4.0f / 3.0f, 1.0f, 100.0f);
    m_renderer.SetCamera(view, projection, Matrix::ONE);
    Matrix model;
    model.LoadTranslation(1.0f, 2.0f, 3.0f);
    const Vector probes[5] = {{1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}, {4, 4, 4, 4}, {5, 5, 5, 5}};
    std::vector<Vector> bones(3 * 3, Vector(9.0f, 9.0f, 9.0f, 9.0f));
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        FillVertexRegisters(renderer);
        shader->SetModelMatrix(renderer, model, true);
        shader->SetConstantColor(renderer, Vector(0.5f, 0.25f, 1.0f, 1.0f));
        shader->SetLightProbe(renderer, probes, 5);
        shader->SetLightProbeGradient(renderer, probes + 2, 3);
        shader->SetLightmapUVMulAdd(renderer, Vector(3.0f, 3.0f, 3.0f, 3.0f));
        shader->SetBoneMatrices(renderer, bones.data(), 3);
    });
    const std::vector<float> r = ReadVertexRegisters();
    auto reg = [&](uint32_t index, uint32_t component) { return r[index * 4 + component]; };

    Matrix expected;
    expected.Mul(m_renderer.GetViewProjection(), model);
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
        {
            EXPECT_FLOAT_EQ(reg(10 + column, row), expected.At(row, column)) << "register " << 10 + column;
            EXPECT_FLOAT_EQ(reg(44 + column, row), m_renderer.GetViewProjection().At(row, column))
                << "the camera alone, without the model";
        }
    EXPECT_FLOAT_EQ(reg(14 + 0, 3), 1.0f) << "model translation x sits in column 0, row 3";
    EXPECT_FLOAT_EQ(reg(18, 0), 0.5f);
    EXPECT_FLOAT_EQ(reg(18, 1), 0.25f);
    EXPECT_FLOAT_EQ(reg(21, 0), 3.0f) << "the third probe vector is the last the table has";
    EXPECT_FLOAT_EQ(reg(22, 0), kUntouched) << "probes past the array stay out of the next constant";
    EXPECT_FLOAT_EQ(reg(23, 0), kUntouched) << "nothing writes the unknown array";
    EXPECT_FLOAT_EQ(reg(5, 0), 9.0f) << "two bones of three registers fit";
    EXPECT_FLOAT_EQ(reg(6, 0), kUntouched) << "the third bone does not fit the bone array";
    EXPECT_TRUE(m_log.Contains("do not fit the shader's 6 bone registers"));
    EXPECT_FLOAT_EQ(reg(24 + 3, 0), -1.0f) << "the inverse transpose holds -x in its last column";
    EXPECT_FLOAT_EQ(reg(36 + 3, 2), -8.0f) << "and with the view's 5 along z, -z of the model-view";
    EXPECT_FLOAT_EQ(reg(40, 0), 3.0f);
    EXPECT_FLOAT_EQ(reg(41, 0), 4.0f) << "the gradient takes as many vectors as its array holds";
    for (uint32_t index = 28; index < gpu::kVertexConstantRegisters; ++index)
        ASSERT_TRUE(reg(index, 0) == kUntouched || (index >= 36 && index < 42) || (index >= 44 && index < 48))
            << "register " << index;

    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        FillVertexRegisters(renderer);
        shader->ResetBoneMatrices(renderer, 4);
    });
    const std::vector<float> reset = ReadVertexRegisters();
    EXPECT_FLOAT_EQ(reset[3 * 4 + 0], 1.0f) << "second bone, first register";
    EXPECT_FLOAT_EQ(reset[4 * 4 + 1], 1.0f) << "second bone, second register";
    EXPECT_FLOAT_EQ(reset[6 * 4], kUntouched);
    NorvexRendererObject::PostDeletion(shader, true, false);
    m_renderer.SubmitCommands(true);
}

TEST_F(ShaderObjectTest, ShaderWithoutKnownConstantsLeavesTheDeviceUntouched)
{
    VertexShaderObject* const shader = new VertexShaderObject();
    Build(shader, kPlainSource);
    uint32_t callsBefore = 0;
    uint32_t callsAfter = 0;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        callsBefore = renderer.GetDevice()->GetFrameStatistics().vertexConstantCalls;
        shader->SetModelMatrix(renderer, Matrix::ONE, true);
        shader->SetFrameMatrices(renderer);
        shader->SetConstantColor(renderer, Vector(1.0f, 1.0f, 1.0f, 1.0f));
        const Vector rows[3] = {};
        shader->SetBoneMatrices(renderer, rows, 1);
        shader->ResetBoneMatrices(renderer, 1);
        callsAfter = renderer.GetDevice()->GetFrameStatistics().vertexConstantCalls;
    });
    EXPECT_EQ(callsAfter, callsBefore);
    NorvexRendererObject::PostDeletion(shader, false, false);
    m_renderer.SubmitCommands(true);
}

TEST_F(ShaderObjectTest, CodeQueuedTwiceKeepsOnlyTheSecondDeviceShader)
{
    PixelShaderObject* const shader = new PixelShaderObject();
    for (int i = 0; i < 2; ++i)
    {
        uint32_t size = 0;
        uint8_t* code = Compile(kPlainSource, "pixel", "ps_3_0", &size);
        ASSERT_TRUE(shader->CreateFromBytecode(&code, size));
    }
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(gpu::LiveObjectCount(gpu::ObjectKind::PixelShader), 1u);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) { renderer.SetPixelShader(shader); });
    EXPECT_EQ(m_renderer.GetDevice()->PeekPixelShader(), shader->GetDeviceShader());
    EXPECT_NE(shader->GetDeviceShader(), nullptr);

    uint8_t* none = nullptr;
    EXPECT_FALSE(shader->CreateFromBytecode(&none, 0));
    NorvexRendererObject::PostDeletion(shader, true, false);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(gpu::LiveObjectCount(gpu::ObjectKind::PixelShader), 1u) << "still bound by the device";
    RunOnRenderThread(m_renderer, [](NorvexRenderer& renderer) { renderer.SetPixelShader(nullptr); });
    EXPECT_EQ(gpu::LiveObjectCount(gpu::ObjectKind::PixelShader), 0u);
}

TEST_F(ShaderObjectTest, DeletionThroughTheStreamAndTheQueueDestroysOnce)
{
    std::atomic<int> destroyed{0};
    CountedVertexShader* const throughQueue = new CountedVertexShader(&destroyed);
    Build(throughQueue, kSkinnedSource);
    NorvexRendererObject::PostDeletion(throughQueue, false, false);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(destroyed.load(), 1);

    // A stream deletion that overtakes a creation still waiting in the job queue: the queue is held
    // by a job stamped after commands the render thread has not seen yet.
    CountedVertexShader* const overtaken = new CountedVertexShader(&destroyed);
    m_renderer.SetPassMask(1);
    GateJob gate;
    ASSERT_TRUE(PostRendererJob(&gate, false));
    Build(overtaken, kSkinnedSource);
    NorvexRendererObject::PostDeletion(overtaken, true, false);
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(gate.Wait());
    EXPECT_EQ(destroyed.load(), 2);
    EXPECT_EQ(gpu::LiveObjectCount(gpu::ObjectKind::VertexShader), 0u);
}
} // namespace
