#include "GpuRasterTestSupport.h"

#include "support/TempFolder.h"

#include <string>

using namespace gpu;

namespace
{
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kRed = 0xFFFF0000u;
constexpr uint32_t kGreen = 0xFF00FF00u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr const char* kStaleWarning = "whose last drawing was in a frame that was not rasterised";

class GpuDeviceRasterModeTest : public GpuRasterFixture
{
protected:
    void SetUp() override
    {
        GpuRasterFixture::SetUp();
        UseFamily("FixedPipelineReplacement.hlsl");
        SetIdentity();
        m_device->SetRenderState(kRsCullMode, kCullNone);
    }
    void TearDown() override
    {
        SafeRelease(m_targetSurface);
        SafeRelease(m_target);
        GpuRasterFixture::TearDown();
    }

    void PresentFrame()
    {
        ASSERT_EQ(m_device->EndScene(), kOk);
        ASSERT_EQ(m_device->Present(), kOk);
        ASSERT_EQ(m_device->BeginScene(), kOk);
    }
    static std::vector<ProbeVertex> Square(uint32_t color)
    {
        return {At(0, 0, color, 0.5f, 0, 0), At(16, 0, color, 0.5f, 1, 0), At(0, 16, color, 0.5f, 0, 1),
                At(16, 16, color, 0.5f, 1, 1)};
    }

    // An 8x8 texture target, filled with a colour by a draw, then shown on the back buffer's square.
    void MakeTarget()
    {
        ASSERT_EQ(m_device->CreateTexture(8, 8, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolDefault, &m_target), kOk);
        ASSERT_EQ(m_target->GetSurfaceLevel(0, &m_targetSurface), kOk);
        m_device->SetRenderState(kRsZEnable, 0); // no depth carried from frame to frame
    }
    void DrawTarget(uint32_t color)
    {
        GpuSurface* back = BackBuffer();
        m_device->SetRenderTarget(0, m_targetSurface);
        m_device->SetViewport({0, 0, 8, 8, 0, 1});
        UseFamily("FixedPipelineReplacement.hlsl");
        SetIdentity();
        Draw(kPrimitiveTriangleStrip, 2,
             {{-1, 1, 0.5f, 1, color, 0, 0}, {1, 1, 0.5f, 1, color, 0, 0}, {-1, -1, 0.5f, 1, color, 0, 0},
              {1, -1, 0.5f, 1, color, 0, 0}});
        m_device->SetRenderTarget(0, back);
        m_device->SetViewport({0, 0, 64, 32, 0, 1});
    }
    void ShowTarget()
    {
        UseFamily("FixedPipelineReplacement.hlsl", {"TEXTURE"});
        SetIdentity();
        m_device->SetTexture(0, m_target);
        Draw(kPrimitiveTriangleStrip, 2, Square(kWhite));
        m_device->SetTexture(0, nullptr);
    }

    TempFolder m_folder;
    GpuTexture* m_target = nullptr;
    GpuSurface* m_targetSurface = nullptr;
};

// Presents 1 to 8, each clearing the back buffer and drawing a square of its own colour. A
// rasterised frame shows its colour; a skipped one leaves the last rasterised frame's pixels and
// counts its clear and draw as skipped. The first frame that draws a target is always rasterised
// (nothing is known of the target yet) unless no frame is ever written.
struct ModeCase
{
    RasterMode mode;
    bool folder;
    uint32_t every;
    const char* rasterised; // per present 1..8
};

class GpuDeviceRasterModeTableTest : public GpuDeviceRasterModeTest, public ::testing::WithParamInterface<ModeCase>
{
};

TEST_P(GpuDeviceRasterModeTableTest, OnlyTheFramesItWritesAreRasterised)
{
    const ModeCase& c = GetParam();
    m_device->SetRasterMode(c.mode);
    m_device->SetFrameImages(c.folder ? m_folder.Path() : "", c.every);
    uint32_t shown = kBlack; // the fixture's clear
    for (uint32_t present = 1; present <= 8; ++present)
    {
        const uint32_t color = 0xFF0000FFu | (present * 0x1Fu) << 16;
        ClearTarget(kBlack);
        Draw(kPrimitiveTriangleStrip, 2, Square(color));
        PresentFrame();
        const bool rasterised = c.rasterised[present - 1] == '1';
        if (rasterised)
            shown = color;
        const FrameStatistics& frame = m_device->GetLastFrameStatistics();
        EXPECT_EQ(Probe(4, 4), shown) << "present " << present;
        EXPECT_EQ(frame.pixelsWritten, rasterised ? 256u : 0u) << "present " << present;
        EXPECT_EQ(frame.skippedPixelWork, rasterised ? 0u : 2u) << "present " << present;
        EXPECT_EQ(frame.drawCalls, 1u) << "skipped draws are still counted";
    }
    EXPECT_EQ(m_device->GetFrameImagesWritten(), c.folder ? 8 / c.every : 0u);
}

INSTANTIATE_TEST_SUITE_P(Modes, GpuDeviceRasterModeTableTest,
                         ::testing::Values(ModeCase{RasterMode::WrittenFrames, true, 1, "11111111"},
                                           ModeCase{RasterMode::WrittenFrames, true, 3, "10100100"},
                                           ModeCase{RasterMode::WrittenFrames, true, 4, "10010001"},
                                           ModeCase{RasterMode::WrittenFrames, false, 4, "00000000"},
                                           ModeCase{RasterMode::Always, true, 4, "11111111"},
                                           ModeCase{RasterMode::Never, true, 1, "00000000"}));

// The target is drawn in the first frame, read by the second before that frame draws it, and drawn
// again in the third, which is not written: the fourth, written, must show the third's colour.
TEST_F(GpuDeviceRasterModeTest, ATargetAFrameReadsBeforeDrawingIsDrawnInEveryFrame)
{
    m_device->SetRasterMode(RasterMode::WrittenFrames);
    m_device->SetFrameImages(m_folder.Path(), 4);
    MakeTarget();
    DrawTarget(kRed);
    ShowTarget();
    PresentFrame();
    ShowTarget();
    PresentFrame();
    DrawTarget(kGreen);
    ShowTarget();
    PresentFrame();
    EXPECT_EQ(m_targetSurface->ReadPixelArgb(3, 3), kGreen);
    EXPECT_EQ(m_device->GetLastFrameStatistics().skippedPixelWork, 1u) << "only the back buffer's square";
    ShowTarget();
    PresentFrame();
    EXPECT_EQ(Probe(4, 4), kGreen);
    EXPECT_EQ(m_device->GetLastFrameStatistics().staleContentReads, 0u);
    EXPECT_FALSE(m_log.Contains(kStaleWarning));
}

// A target bound beside the back buffer is new in a frame that is not written: the draw is done,
// into both targets.
TEST_F(GpuDeviceRasterModeTest, TheFirstFrameDrawingASecondTargetIsRasterised)
{
    m_device->SetRasterMode(RasterMode::WrittenFrames);
    m_device->SetFrameImages(m_folder.Path(), 4);
    ClearTarget(kBlack);
    PresentFrame();
    MakeTarget();
    ASSERT_EQ(m_device->SetRenderTarget(1, m_targetSurface), kOk);
    Draw(kPrimitiveTriangleStrip, 2, Square(kRed));
    ASSERT_EQ(m_device->SetRenderTarget(1, nullptr), kOk);
    EXPECT_EQ(m_device->GetFrameStatistics().skippedPixelWork, 0u);
    EXPECT_EQ(Probe(4, 4), kRed);
    EXPECT_EQ(m_targetSurface->ReadPixelArgb(3, 3), kRed);
}

// A target drawn in a skipped frame and read by a later written one shows old pixels: that frame
// counts the read, and the log says so once per target.
TEST_F(GpuDeviceRasterModeTest, ReadingPixelsASkippedDrawShouldHaveWrittenIsCountedAndLoggedOnce)
{
    m_device->SetRasterMode(RasterMode::WrittenFrames);
    m_device->SetFrameImages(m_folder.Path(), 4);
    MakeTarget();
    DrawTarget(kRed);
    PresentFrame();
    DrawTarget(kGreen);
    PresentFrame();
    PresentFrame();
    ShowTarget();
    PresentFrame();
    EXPECT_EQ(Probe(4, 4), kRed);
    EXPECT_EQ(m_device->GetLastFrameStatistics().staleContentReads, 1u);
    EXPECT_TRUE(m_log.Contains(kStaleWarning));
    const size_t lines = m_log.Count();
    for (int i = 0; i < 4; ++i)
    {
        ShowTarget();
        PresentFrame();
    }
    EXPECT_EQ(m_device->GetLastFrameStatistics().staleContentReads, 1u);
    EXPECT_EQ(m_log.Count(), lines);
}
} // namespace
