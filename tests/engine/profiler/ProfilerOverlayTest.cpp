// ctest-labels: thread
// The profiler's overlay drawn by a renderer with its shader manager and the overlay font loaded
// through the resource manager: a graph and a text line per active channel, rows down columns from
// the right edge, and nothing for a column that would start left of the screen.
#include "engine/profiler/Profiler.h"

#include "platform/gpu/GpuDevice.h"
#include "renderer/ShaderManager.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"
#include "support/SystemTextures.h"
#include "tools/datakit/FontWriter.h"
#include "tools/datakit/TextureFileWriter.h"

#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <vector>

namespace
{
constexpr uint32_t kGraph = 0x40FF40u;

class ProfilerOverlayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        const std::string white = AddSystemTextures(data);
        ASSERT_FALSE(white.empty());
        SyntheticFontMetrics metrics;
        const std::vector<uint8_t> font = FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(
            u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789./ ", metrics));
        data.AddFile("common", "Fonts/_system.ttf~012.BinFont", std::string(font.begin(), font.end()));
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start(640, 240));
        ASSERT_TRUE(gShaderManager.Init(true));
        m_profiler->LoadOverlayFont();
        ASSERT_TRUE(m_profiler->IsOverlayFontLoaded());
        m_profiler->Init(&m_mask);
        // "frametime" names channels 1, 2 and 22, drawn in that order.
        m_profiler->EnableProfiler("frametime", true);
        m_harness.GetRenderer().SubmitCommands(true);
    }
    void TearDown() override
    {
        m_profiler->Close();
        m_harness.Stop();
    }

    // Draws the overlay on a cleared frame; the draws it made (lines, then text, per channel).
    std::vector<gpu::DrawRecord> Draw(uint32_t width, uint32_t height)
    {
        NorvexRenderer& renderer = m_harness.GetRenderer();
        size_t start = 0;
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            r.GetDevice()->BeginScene();
            r.GetDevice()->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
            start = r.GetDevice()->GetDrawLog().size();
        });
        m_profiler->Render(width, height);
        std::vector<gpu::DrawRecord> draws;
        RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
            r.GetDevice()->EndScene();
            const std::vector<gpu::DrawRecord>& all = r.GetDevice()->GetDrawLog();
            draws.assign(all.begin() + long(start), all.end());
        });
        return draws;
    }
    uint32_t Pixel(uint32_t x, uint32_t y)
    {
        uint32_t value = 0;
        RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer& r) {
            gpu::GpuSurface* target = nullptr;
            r.GetDevice()->GetRenderTarget(0, &target);
            value = target->ReadPixelArgb(x, y) & 0xFFFFFFu;
            target->Release();
        });
        return value;
    }

    RenderDataHarness m_harness;
    Profiler::Mask m_mask;
    std::unique_ptr<Profiler> m_profiler = std::make_unique<Profiler>();
};

TEST_F(ProfilerOverlayTest, EachActiveChannelGetsAGraphAndATextLineInRowsAndColumns)
{
    // 640 x 170: two rows fit a column; the third channel opens a column 210 pixels further left.
    const std::vector<gpu::DrawRecord> draws = Draw(640, 170);
    ASSERT_EQ(draws.size(), 6u);
    for (size_t i = 0; i < draws.size(); i += 2)
    {
        EXPECT_EQ(draws[i].primitiveType, gpu::kPrimitiveLineStrip) << i;
        EXPECT_EQ(draws[i].primitiveCount, Profiler::kHistorySize - 1) << i;
        EXPECT_EQ(draws[i + 1].primitiveType, gpu::kPrimitiveTriangleList) << i;
        EXPECT_FALSE(draws[i].withoutProgram || draws[i + 1].withoutProgram) << i;
    }
    // Empty histories lie on each row's floor, 79 pixels below its top (rows at y 1 and 81), over
    // 209 pixels from the column's left edge (x 429, then 219; a strip leaves out its first pixel).
    const struct
    {
        uint32_t x, y, color;
    } probes[] = {{430, 80, kGraph}, {637, 80, kGraph}, {500, 160, kGraph}, {220, 80, kGraph},
                  {427, 80, kGraph}, {428, 80, 0},      {300, 160, 0},      {500, 79, 0}};
    for (const auto& p : probes)
        EXPECT_EQ(Pixel(p.x, p.y), p.color) << p.x << "," << p.y;
    // The text line starts two pixels in and down: "FrameTime ..." in the font's cells.
    // The camera's half-pixel shift puts a corner at (431, 3) on the next pixel's centre.
    EXPECT_NE(Pixel(432, 4), 0u);
    EXPECT_EQ(Pixel(431, 4), 0u);
    EXPECT_EQ(Pixel(432, 3), 0u);

    // The device made the graph's geometry: the scale (x, y, z floats up to (0, 1, 0) in tenths; the
    // second mark's y, 0.1, at byte 16) and a tick below each sample.
    std::vector<uint8_t> scale;
    RunOnRenderThread(m_harness.GetRenderer(), [&](NorvexRenderer&) {
        if (const gpu::GpuVertexBuffer* buffer = gProfiler.GetGraphVertexBuffer())
            scale.assign(buffer->Bytes(), buffer->Bytes() + buffer->GetSize());
    });
    ASSERT_EQ(scale.size(), 132u);
    EXPECT_EQ(std::vector<uint8_t>(scale.begin() + 12, scale.begin() + 24),
              std::vector<uint8_t>({0, 0, 0, 0, 0xCD, 0xCC, 0xCC, 0x3D, 0, 0, 0, 0}));
    const Vector3& lastTick = gProfiler.GetGraphTickMarks()[2 * 208 + 1];
    EXPECT_EQ(std::bit_cast<uint32_t>(lastTick.y), 0xBC8AD8F3u);
    EXPECT_EQ(lastTick.x, 208.0f);
}

TEST_F(ProfilerOverlayTest, ColumnsLeftOfTheScreenAreNotDrawnAndSamplesLiftTheGraph)
{
    // Channel 1 graphs 10 to 50 ms: a frame time of 50 at each draw puts the newest points at the
    // row's top, at the right end (the column at x 210 ends at 418); older points lie on the floor.
    m_profiler->SetValue(1, 50.0f, 0);
    EXPECT_EQ(Draw(640, 170).size(), 6u);
    EXPECT_EQ(Draw(420, 170).size(), 4u) << "the second column would start at x -1";
    EXPECT_EQ(Draw(421, 170).size(), 6u);
    EXPECT_EQ(Pixel(417, 2), kGraph);
    EXPECT_EQ(Pixel(300, 2), 0u);
    EXPECT_EQ(Pixel(300, 80), kGraph);
}
} // namespace
