// The video UI element: it draws only while the video engine has a frame, with the three planes on
// stages 1 to 3 and sRGB writing off for the draw and restored after it.
#include "ui/elements/UIVideo.h"

#include "platform/os/Clock.h"
#include "support/VideoTestHarness.h"

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

    RunOnRenderThread(harness.Renderer(), [&](NorvexRenderer& r) { element.Render(r); });
    EXPECT_EQ(element.GetScreenQuadRequests(), 0u) << "no video, no draw";

    ASSERT_TRUE(harness.Video().Play("clip", nullptr, false, false, 1.0f));
    ASSERT_TRUE(harness.UpdateUntilOpen());
    os::SetManualCounter(base + os::kCounterFrequency / 8);
    harness.Update();
    ASSERT_EQ(harness.ShownFrame(), 0);
    RunOnRenderThread(harness.Renderer(), [&](NorvexRenderer& r) {
        gpu::GpuDevice* device = r.GetDevice();
        device->SetRenderState(gpu::kRsSrgbWriteEnable, 1);
        element.Render(r);
        for (uint32_t plane = 0; plane < 3; ++plane)
        {
            ASSERT_NE(harness.Video().GetPlaneTexture(plane), nullptr);
            EXPECT_EQ(device->PeekTexture(1 + plane), harness.Video().GetPlaneTexture(plane)->GetTexture());
        }
        EXPECT_EQ(device->PeekTexture(0), nullptr);
        uint32_t srgb = 0;
        device->GetRenderState(gpu::kRsSrgbWriteEnable, &srgb);
        EXPECT_EQ(srgb, 1u);
    });
    EXPECT_EQ(element.GetScreenQuadRequests(), 1u);
    harness.Stop();
    os::DisableManualCounter();
}
} // namespace
