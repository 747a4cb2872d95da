// ctest-labels: thread
// Loading frames: setting a loading screen draws its tree through the walk into a presented frame
// at once over its background colour, and the render thread's own loading frames come at most once
// per interval. A new loading screen drops its running actions and shows at once or fades in.
#include "support/UIDrawHarness.h"

#include "platform/os/Clock.h"
#include "ui/widgets/UIActionKinds.h"

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
    screen->SetBackgroundColor(Vector(0.0f, 0.0f, 1.0f, 1.0f));
    screen->SetLinearColorRGBA(1.0f, 1.0f, 1.0f, 0.5f);
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
    bool backgroundCleared = false;
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
        for (const gpu::SurfaceOpRecord& op : r.GetDevice()->GetLastFrameSurfaceOpLog())
            backgroundCleared = backgroundCleared || (op.op == gpu::SurfaceOp::Clear && op.color == 0xFF0000FFu);
        EXPECT_EQ(screen->GetRenderColor().w, 1.0f) << "a screen that does not fade shows at once";
    });
    EXPECT_GE(presents, 2u) << "the first frame at once, more while idle";
    EXPECT_LE(presents, elapsed / 16 + 2) << "at most one frame per 16 ms (" << elapsed << " ms)";
    EXPECT_TRUE(uiDrawn) << "the screen's box went through a quad batch, with no depth surface bound";
    EXPECT_TRUE(backgroundCleared) << "the frame was cleared to the screen's background colour";
    screen->Release();

    // A fading screen drops its running actions and starts transparent, fading to opaque white (no
    // frame-times command moves the UI's clock here, so the fade stays at its start).
    UIScreen* fading = new UIScreen;
    fading->SetVisible(true);
    fading->SetFadesOut(true);
    fading->ChangeLinearColorRGBA(10.0f, 1.0f, 1.0f, 1.0f, 0.25f, 0, 2);
    m_renderer.SetLoadingScreen(fading, 0, 0);
    m_renderer.SubmitCommands(true);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        const auto* fade = dynamic_cast<const UIActionColor*>(fading->GetFirstAction(0));
        ASSERT_TRUE(fade != nullptr && fading->GetFirstAction(2) == nullptr);
        EXPECT_TRUE(fade->GetDuration() == 0.3f && fade->GetTarget().w == 1.0f && fading->GetRenderColor().w == 0.0f);
    });
    m_renderer.SetLoadingScreen(nullptr, 0, 0);
    fading->Release();
    m_renderer.SubmitCommands(true);
}
} // namespace
