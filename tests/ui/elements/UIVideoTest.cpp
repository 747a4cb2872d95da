// The video UI element: it draws only while the video engine has a frame, with the three planes on
// stages 1 to 3 and sRGB writing off for the draw and restored after it, showing the frame's colours.
#include "ui/elements/UIVideo.h"

#include "platform/os/Clock.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "support/ShaderSourceFolder.h"
#include "support/VideoTestHarness.h"
#include "ui/render/UIShaderTable.h"

#include <gtest/gtest.h>

namespace
{
TEST(UIVideoTest, DrawsTheVideoPlanesOnlyWhileAFrameIsAvailable)
{
    const int64_t base = 1000 * os::kCounterFrequency;
    os::EnableManualCounter(base);
    VideoTestHarness harness;
    VideoSpec spec;
    spec.frames = 4;
    ASSERT_TRUE(harness.WriteVideo("clip", spec));
    ASSERT_TRUE(harness.Start(false));
    UIVideo element;
    EXPECT_NE(element.GetUserFlags() & UIFLAG_DRAWPENDINGUIELEMENTSBEFORE, 0u);

    // The video pair of the UI shader table, compiled from the project's source.
    const std::string source = ShaderFolderIncludes::ReadShaderSource("FixedPipelineReplacement.hlsl");
    VertexShaderObject* vertex = new VertexShaderObject();
    PixelShaderObject* pixel = new PixelShaderObject();
    const std::vector<uint8_t> vs = CompileShaderText(source, "vertex", "vs_3_0", {"VIDEO"});
    const std::vector<uint8_t> ps = CompileShaderText(source, "pixel", "ps_3_0", {"VIDEO"});
    ASSERT_TRUE(vertex->ReadConstantTable(vs.data(), uint32_t(vs.size())));
    for (auto [object, code] : {std::pair<ShaderObject*, const std::vector<uint8_t>*>{vertex, &vs}, {pixel, &ps}})
    {
        object->SetReady();
        uint8_t* bytes = new uint8_t[code->size()];
        std::copy(code->begin(), code->end(), bytes);
        ASSERT_TRUE(object->CreateFromBytecode(&bytes, uint32_t(code->size())));
    }
    SetUIShader(UIVideo::kVideoShaderIndex, vertex, pixel);
    const Vector white(1.0f, 1.0f, 1.0f, 1.0f);
    // A 2 x 2 element under a camera that flips the UI's y downwards onto clip space from (-1, 1),
    // as the UI's own camera does: the whole target, upright, and not culled by the mirroring.
    element.SetSizeXY(2.0f, 2.0f);
    Matrix toClip = Matrix::ONE;
    toClip.rows[1] = Vector(0.0f, -1.0f, 0.0f, 0.0f);
    toClip.rows[3] = Vector(-1.0f, 1.0f, 0.0f, 1.0f);
    harness.Renderer().SetCamera(Matrix::ONE, toClip, Matrix::ONE);
    size_t fans = 0;
    const auto draw = [&](NorvexRenderer& r) {
        r.GetDevice()->BeginScene();
        const size_t start = r.GetDevice()->GetDrawLog().size();
        element.Render(Matrix::ONE, white, false, nullptr);
        for (size_t i = start; i < r.GetDevice()->GetDrawLog().size(); ++i)
            fans += r.GetDevice()->GetDrawLog()[i].primitiveType == gpu::kPrimitiveTriangleFan;
        r.GetDevice()->EndScene();
    };
    RunOnRenderThread(harness.Renderer(), draw);
    EXPECT_EQ(fans, 0u) << "no video, no draw";

    ASSERT_TRUE(harness.Video().Play("clip", nullptr, false, false, 1.0f));
    ASSERT_TRUE(harness.UpdateUntilOpen());
    os::SetManualCounter(base + os::kCounterFrequency / 8);
    harness.Update();
    ASSERT_EQ(harness.ShownFrame(), 0);
    uint32_t width = 0, height = 0, quadrants[4] = {};
    RunOnRenderThread(harness.Renderer(), [&](NorvexRenderer& r) {
        gpu::GpuDevice* device = r.GetDevice();
        device->SetRenderState(gpu::kRsSrgbWriteEnable, 1);
        draw(r);
        gpu::GpuSurface* target = nullptr;
        ASSERT_EQ(device->GetRenderTarget(0, &target), gpu::kOk);
        width = target->Desc().width;
        height = target->Desc().height;
        for (uint32_t q = 0; q < 4; ++q)
            quadrants[q] = target->ReadPixelArgb((q % 2 * 2 + 1) * width / 4, (q / 2 * 2 + 1) * height / 4);
        target->Release();
        for (uint32_t plane = 0; plane < 3; ++plane)
        {
            ASSERT_NE(harness.Video().GetPlaneTexture(plane), nullptr);
            EXPECT_EQ(device->PeekTexture(1 + plane), harness.Video().GetPlaneTexture(plane)->GetTexture());
        }
        EXPECT_EQ(device->PeekTexture(0), nullptr);
        float chromaScale[4] = {};
        device->GetPixelShaderConstantF(4, chromaScale, 1);
        EXPECT_EQ(std::vector<float>(chromaScale, chromaScale + 4), (std::vector<float>{1.0f, 1.0f, 0.0f, 0.0f}))
            << "the colour planes' coordinate scale of an even picture";
        uint32_t srgb = 0;
        device->GetRenderState(gpu::kRsSrgbWriteEnable, &srgb);
        EXPECT_EQ(srgb, 1u);
    });
    EXPECT_EQ(fans, 1u) << "one screen quad of the video";
    // Each quarter of the picture has its own chroma pair: the colours show the planes were read
    // at the right place, in the right order, and converted.
    for (uint32_t q = 0; q < 4; ++q)
    {
        const float u = (float((q % 2 * 2 + 1) * width / 4) + 0.5f) / float(width);
        const float v = (float((q / 2 * 2 + 1) * height / 4) + 0.5f) / float(height);
        const uint32_t expected = harness.PictureRgb(u, v);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(int(quadrants[q] >> shift & 0xFF), int(expected >> shift & 0xFF), 2)
                << "quarter " << q << ", channel at bit " << shift;
    }
    EXPECT_NE(quadrants[1] & 0xFFFFFFu, quadrants[2] & 0xFFFFFFu) << "the two chroma planes differ across and down";
    SetUIShader(UIVideo::kVideoShaderIndex, nullptr, nullptr);
    RunOnRenderThread(harness.Renderer(), [&](NorvexRenderer& r) {
        r.SetVertexShader(nullptr);
        r.SetPixelShader(nullptr);
    });
    NorvexRendererObject::PostDeletion(vertex, true, false);
    NorvexRendererObject::PostDeletion(pixel, true, false);
    harness.Renderer().SubmitCommands(true);
    harness.Stop();
    os::DisableManualCounter();
}
} // namespace
