// ctest-labels: thread
// Loading frames: setting a loading screen draws its tree through the walk into a presented frame
// at once, and the render thread's own loading frames come at most once per interval.
#include "support/UIDrawHarness.h"

#include "platform/os/Clock.h"

#include <gtest/gtest.h>

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
    m_renderer.SetLoadingScreen(screen, 0, 0);
    m_renderer.SubmitCommands(true);
    // Let the render thread idle with the loading screen for a tenth of a second.
    os::Sleep(100);
    uint64_t presents = 0;
    bool uiDrawn = false;
    m_renderer.SetLoadingScreen(nullptr, 0, 0);
    m_renderer.SubmitCommands(true);
    m_renderer.GetPresenter().Flush();
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        presents = r.GetDevice()->GetPresentCount() - presentsBefore;
        for (const gpu::DrawRecord& draw : r.GetDevice()->GetLastFrameDrawLog())
            uiDrawn = uiDrawn || (draw.primitiveType == gpu::kPrimitiveTriangleList && draw.primitiveCount == 2);
    });
    EXPECT_GE(presents, 2u) << "the first frame at once, more while idle";
    EXPECT_LE(presents, 8u) << "at most one frame per 16 ms";
    EXPECT_TRUE(uiDrawn) << "the screen's box went through a quad batch";
    screen->Release();
    m_renderer.SubmitCommands(true);
}
} // namespace
