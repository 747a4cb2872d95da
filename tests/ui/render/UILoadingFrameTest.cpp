// ctest-labels: thread
// Loading frames: setting a loading screen draws its tree through the walk into a presented frame
// at once, and the render thread's own loading frames come at most once per interval.
#include "support/UIDrawHarness.h"

#include "platform/os/Clock.h"

#include <gtest/gtest.h>

#include <chrono>

namespace
{
class UILoadingFrameTest : public UIDrawHarness
{
};

TEST_F(UILoadingFrameTest, TheLoadingScreenIsDrawnIntoPresentedFramesAtMostOncePerInterval)
{
    UIScreen* screen = new UIScreen;
    screen->SetVisible(true);
    UIElement* box = new UIElement;
    box->SetSizeXY(50.0f, 50.0f);
    box->SetLinearColorRGBA(1.0f, 0.0f, 0.0f, 1.0f);
    screen->AddChild(box);
    uint64_t presentsBefore = 0;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) { presentsBefore = r.GetDevice()->GetPresentCount(); });
    const auto start = std::chrono::steady_clock::now();
    m_renderer.SetLoadingScreen(screen, 0, 0);
    m_renderer.SubmitCommands(true);
    // Let the render thread idle with the loading screen until it has presented a frame of its own
    // (a tenth of a second on an idle machine; a loaded one may not run it that soon).
    uint64_t presents = 0;
    for (int i = 0; i < 500 && presents < 2; ++i)
    {
        os::Sleep(20);
        // Presents run on the presenter thread: the render thread, which alone hands them over,
        // waits for the handed ones before it reads the count.
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
            r.GetPresenter().Flush();
            presents = r.GetDevice()->GetPresentCount() - presentsBefore;
        });
    }
    bool uiDrawn = false;
    m_renderer.SetLoadingScreen(nullptr, 0, 0);
    m_renderer.SubmitCommands(true);
    m_renderer.GetPresenter().Flush();
    const uint64_t elapsed = uint64_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        presents = r.GetDevice()->GetPresentCount() - presentsBefore;
        for (const gpu::DrawRecord& draw : r.GetDevice()->GetLastFrameDrawLog())
            uiDrawn = uiDrawn || (draw.primitiveType == gpu::kPrimitiveTriangleList && draw.primitiveCount == 2 &&
                                  draw.depthStencilId == 0);
    });
    EXPECT_GE(presents, 2u) << "the first frame at once, more while idle";
    EXPECT_LE(presents, elapsed / 16 + 2) << "at most one frame per 16 ms (" << elapsed << " ms)";
    EXPECT_TRUE(uiDrawn) << "the screen's box went through a quad batch, with no depth surface bound";
    screen->Release();
    m_renderer.SubmitCommands(true);
}
} // namespace
