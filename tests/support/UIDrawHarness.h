// A renderer on the graphics stand-in (320x240) with the UI shaders compiled from the project's
// sources into the UI shader table, a depth-stencil surface and UI sized to the window, so that a
// screen built in code draws through the real walk and can be probed pixel by pixel. Test thread.
#pragma once

#include "renderer/FrameClock.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/ShaderSourceFolder.h"
#include "ui/render/UIQuadBatch.h"
#include "ui/render/UIScissorStack.h"
#include "ui/render/UIShaderTable.h"
#include "ui/render/UIStencilMask.h"
#include "ui/screens/UIScreen.h"

#include <vector>

class UIDrawHarness : public RendererTestBase
{
protected:
    static constexpr uint32_t kWidth = 320;
    static constexpr uint32_t kHeight = 240;

    void SetUp() override
    {
        RendererTestBase::SetUp();
        const std::string source = ShaderFolderIncludes::ReadShaderSource("iPhoneUI.hlsl");
        const std::vector<uint8_t> vs = CompileShaderText(source, "vertex", "vs_3_0", {"NO_TEXTURE"});
        const std::vector<uint8_t> ps = CompileShaderText(source, "pixel", "ps_3_0", {"NO_TEXTURE"});
        ASSERT_TRUE(m_vertex->ReadConstantTable(vs.data(), uint32_t(vs.size())));
        for (auto [object, code] : {std::pair<ShaderObject*, const std::vector<uint8_t>*>{m_vertex, &vs}, {m_pixel, &ps}})
        {
            object->SetReady();
            uint8_t* bytes = new uint8_t[code->size()];
            std::copy(code->begin(), code->end(), bytes);
            ASSERT_TRUE(object->CreateFromBytecode(&bytes, uint32_t(code->size())));
        }
        m_renderer.SubmitCommands(true);
        SetUIShader(kUIShaderDefault, m_vertex, m_pixel);
        SetUIShader(kUIShaderMask, m_vertex, m_pixel);
        UIScreen::SetUISizeOverride(float(kWidth), float(kHeight));
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            gpu::GpuDevice* device = renderer.GetDevice();
            ASSERT_EQ(device->CreateDepthStencilSurface(kWidth, kHeight, gpu::kFormatD24S8, 0, 0, false, &m_depth),
                      gpu::kOk);
            device->SetDepthStencilSurface(m_depth);
        });
    }

    void TearDown() override
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            for (uint32_t i = 0; i < kUIQuadBatchCount; ++i)
                GetUIQuadBatch(i).Reset();
            renderer.SetVertexShader(nullptr);
            renderer.SetPixelShader(nullptr);
            renderer.GetDevice()->SetVertexDeclaration(nullptr);
            renderer.GetDevice()->SetDepthStencilSurface(nullptr);
            gpu::SafeRelease(m_depth);
        });
        SetUIShader(kUIShaderDefault, nullptr, nullptr);
        SetUIShader(kUIShaderMask, nullptr, nullptr);
        UIScreen::SetUISizeOverride(0.0f, 0.0f);
        NorvexRendererObject::PostDeletion(m_vertex, true, false);
        NorvexRendererObject::PostDeletion(m_pixel, true, false);
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }

    // Clears to black over a stale stencil (the pass clears its own), draws the screen through its
    // commands and hands its candidates over.
    void DrawScreen(UIScreen& screen, const Vector& cursor = Vector(0.0f, 0.0f, 0.0f, 0.0f))
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            renderer.GetDevice()->BeginScene();
            m_logStart = renderer.GetDevice()->GetDrawLog().size();
            renderer.GetDevice()->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearStencil, 0xFF000000u, 1.0f, 1);
        });
        const FrameClock clock;
        screen.Draw(kWidth, kHeight, clock, clock, cursor);
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) { renderer.GetDevice()->EndScene(); });
        screen.UpdateAfterDraw(cursor);
    }

    // The colour at a pixel as 0xRRGGBB.
    uint32_t Pixel(uint32_t x, uint32_t y)
    {
        uint32_t value = 0;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            gpu::GpuSurface* target = nullptr;
            renderer.GetDevice()->GetRenderTarget(0, &target);
            value = target->ReadPixelArgb(x, y) & 0xFFFFFFu;
            target->Release();
        });
        return value;
    }

    std::vector<gpu::DrawRecord> DrawLog()
    {
        std::vector<gpu::DrawRecord> log;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            const std::vector<gpu::DrawRecord>& all = renderer.GetDevice()->GetDrawLog();
            log.assign(all.begin() + std::min(m_logStart, all.size()), all.end());
        });
        return log;
    }

    VertexShaderObject* m_vertex = new VertexShaderObject();
    PixelShaderObject* m_pixel = new PixelShaderObject();
    gpu::GpuSurface* m_depth = nullptr;
    size_t m_logStart = 0;
};
