// Text drawn with a bitmap font on the graphics stand-in: the glyph quads in the shared vertex
// table, one draw per page run of at most 512 quads, fading, culling, pixels, and the narrow text
// command of the render stream.
#include "renderer/resources/ResourceFont.h"

#include "core/filesystem/FileSystem.h"
#include "renderer/RenderCommands.h"
#include "renderer/TextRenderer.h"
#include "support/FontShaders.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/TempFolder.h"
#include "tools/datakit/FontWriter.h"

#include <gtest/gtest.h>

namespace
{
constexpr float kWidth = 320.0f;
constexpr float kHeight = 240.0f;

struct Corner
{
    int16_t x, y, u, v;
    int16_t color[4];
};

class ResourceFontDrawTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        ASSERT_TRUE(gFileSystem.MountDirectory("Common", m_folder.Path().c_str()));
        SyntheticFontMetrics metrics;
        metrics.advance = 10;
        metrics.drawnWidth = 8;
        metrics.height = 12;
        metrics.lineHeight = 14;
        metrics.glyphsPerPage = 2;
        BinaryFontSpec spec = FontWriter::MakeSyntheticFont(u"ABC", metrics);
        spec.glyphs[1].yOffset = -3; // 'B' sits three rows lower
        const std::vector<uint8_t> bytes = FontWriter::EncodeBinaryFont(spec);
        m_folder.WriteFile("Fonts/test~010.BinFont", std::string(bytes.begin(), bytes.end()));
        ASSERT_TRUE(m_font.DoLoad());
        m_shaders.Install(m_renderer);
        // Screen pixels, y down, through the camera as the UI draws (which mirrors the camera).
        Matrix projection;
        projection.LoadScale(Vector(2.0f / kWidth, -2.0f / kHeight, 1.0f, 1.0f));
        projection.rows[3].Set(-1.0f, 1.0f, 0.0f, 1.0f);
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            renderer.SetProjection(projection);
            renderer.GetDevice()->BeginScene();
            renderer.GetDevice()->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
            m_logStart = renderer.GetDevice()->GetDrawLog().size();
        });
    }
    void TearDown() override
    {
        RunOnRenderThread(m_renderer, [](NorvexRenderer& renderer) { renderer.GetDevice()->EndScene(); });
        m_shaders.Remove(m_renderer);
        m_font.FreeData();
        m_renderer.SubmitCommands(true);
        gFileSystem.UnmountAll();
        RendererTestBase::TearDown();
    }

    // Draws on the render thread; the pen's end.
    float Draw(const char16_t* text, const Matrix& at = Matrix::ONE, int32_t spacing = 0, int32_t maximum = -1,
               float fadeStep = 0.0f, float fadeBase = 1.0f, bool cullFlag = false)
    {
        float pen = -1.0f;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
            pen = m_font.DrawText(text, at, Vector(0.0f, 0.0f, 1.0f, 1.0f), Vector(1.0f, 0.5f, 0.0f, 1.0f),
                                  Vector(0.25f, 0.5f, 0.75f, 1.0f), spacing, 0, cullFlag, gpu::kCmpAlways, maximum,
                                  fadeStep, fadeBase);
        });
        return pen;
    }
    std::vector<gpu::DrawRecord> Draws()
    {
        std::vector<gpu::DrawRecord> log;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            const std::vector<gpu::DrawRecord>& all = renderer.GetDevice()->GetDrawLog();
            log.assign(all.begin() + long(std::min(m_logStart, all.size())), all.end());
        });
        return log;
    }
    // Corner i of the shared table (what the last draw read).
    Corner CornerAt(uint32_t i)
    {
        Corner corner{};
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            std::memcpy(&corner, renderer.GetDeviceManager().GetTextRenderer().GetTable().data() + i * sizeof(Corner),
                        sizeof(Corner));
        });
        return corner;
    }
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

    TempFolder m_folder;
    ResourceFont m_font{"test~010"};
    FontShaders m_shaders;
    size_t m_logStart = 0;
};

TEST_F(ResourceFontDrawTest, GlyphQuadsCarryTheirCornersTexelsAndColours)
{
    EXPECT_EQ(Draw(u"AB", Matrix::ONE, 2), 24.0f);
    const std::vector<gpu::DrawRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].primitiveType, gpu::kPrimitiveTriangleList);
    EXPECT_EQ(draws[0].primitiveCount, 4u);
    EXPECT_EQ(draws[0].numVertices, 8u);
    EXPECT_EQ(draws[0].renderStates[gpu::kRsCullMode], gpu::kCullClockwise);
    EXPECT_FALSE(draws[0].withoutProgram);
    const float* texelScale = draws[0].VertexConstant(195);
    ASSERT_NE(texelScale, nullptr);
    EXPECT_FLOAT_EQ(texelScale[0], 1.0f / 1024.0f);
    EXPECT_FLOAT_EQ(texelScale[1], 1.0f / 12.0f);
    EXPECT_EQ(draws[0].VertexConstant(196)[0], 0.0f);
    // Left-bottom, right-bottom, right-top, left-top; 'B' starts at advance + spacing, three rows
    // lower, its cell right of 'A's on the page.
    const struct
    {
        uint32_t corner;
        int16_t x, y, u, v;
        bool bottom;
    } cases[] = {
        {0, 0, 12, 0, 12, true}, {1, 8, 12, 8, 12, true}, {2, 8, 0, 8, 0, false},  {3, 0, 0, 0, 0, false},
        {4, 12, 15, 8, 12, true}, {5, 20, 15, 16, 12, true}, {6, 20, 3, 16, 0, false}, {7, 12, 3, 8, 0, false},
    };
    for (const auto& c : cases)
    {
        const Corner corner = CornerAt(c.corner);
        EXPECT_EQ(corner.x, c.x) << c.corner;
        EXPECT_EQ(corner.y, c.y) << c.corner;
        EXPECT_EQ(corner.u, c.u) << c.corner;
        EXPECT_EQ(corner.v, c.v) << c.corner;
        const int16_t expected[4] = {c.bottom ? int16_t(32767) : int16_t(0), c.bottom ? int16_t(16384) : int16_t(0),
                                     c.bottom ? int16_t(0) : int16_t(32767), 32767};
        for (uint32_t i = 0; i < 4; ++i)
            EXPECT_EQ(corner.color[i], expected[i]) << c.corner << " channel " << i;
    }
}

TEST_F(ResourceFontDrawTest, EachPageRunAndEachFullBatchIsOneDraw)
{
    // 'A' and 'B' share page 0, 'C' is on page 1; an unknown character draws and moves nothing.
    EXPECT_EQ(Draw(u"AB\x01" u"CA"), 40.0f);
    std::vector<gpu::DrawRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].primitiveCount, 4u);
    EXPECT_EQ(draws[1].primitiveCount, 2u);
    EXPECT_EQ(draws[2].primitiveCount, 2u);
    EXPECT_NE(draws[0].textureIds[0], draws[1].textureIds[0]);
    EXPECT_EQ(draws[0].textureIds[0], draws[2].textureIds[0]);

    m_logStart += draws.size();
    const std::u16string many(600, u'A');
    EXPECT_EQ(Draw(many.c_str()), 6000.0f);
    draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].primitiveCount, 1024u);
    EXPECT_EQ(draws[1].primitiveCount, 176u);
    // The second batch starts again at the table's start: quad 512 is the first one there.
    EXPECT_EQ(CornerAt(0).x, 5120);
}

TEST_F(ResourceFontDrawTest, TheFadeAndTheMaximumCountEveryCharacter)
{
    // Alpha of character i: clamp(0.25 i - 0.25, 0, 1); the unknown third character uses index 2
    // and one of the four characters the maximum allows.
    EXPECT_EQ(Draw(u"AA\x01" u"AA", Matrix::ONE, 0, 4, 0.25f, -0.25f), 30.0f);
    const int16_t alphas[3] = {0, 0, 16384}; // indices 0, 1 and 3 (0.5)
    for (uint32_t quad = 0; quad < 3; ++quad)
    {
        EXPECT_EQ(CornerAt(quad * 4).color[3], alphas[quad]) << quad;
        EXPECT_EQ(CornerAt(quad * 4 + 3).color[3], alphas[quad]) << quad;
    }
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Draws()[0].primitiveCount, 6u);
}

TEST_F(ResourceFontDrawTest, GlyphsLightTheirCellsUnlessTheCallerMirrors)
{
    Matrix at;
    at.LoadTranslation(10.0f, 20.0f, 0.0f);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        m_font.DrawText(u"A", at, Vector(1.0f, 1.0f, 1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f),
                        Vector(0.0f, 0.0f, 0.0f, 0.0f), 0, 0, false, gpu::kCmpAlways, -1, 0.0f, 1.0f);
    });
    const struct
    {
        uint32_t x, y, color;
    } probes[] = {{10, 20, 0xFFFFFF}, {17, 31, 0xFFFFFF}, {18, 20, 0x000000}, {10, 32, 0x000000}, {9, 20, 0x000000}};
    for (const auto& p : probes)
        EXPECT_EQ(Pixel(p.x, p.y), p.color) << p.x << "," << p.y;

    m_logStart = 0;
    const size_t before = Draws().size();
    Draw(u"A", Matrix::ONE, 0, -1, 0.0f, 1.0f, true);
    const std::vector<gpu::DrawRecord> draws = Draws();
    ASSERT_EQ(draws.size(), before + 1);
    EXPECT_EQ(draws.back().renderStates[gpu::kRsCullMode], gpu::kCullCounterClockwise);
    EXPECT_EQ(draws.back().pixelsWritten, 0u);
}

TEST_F(ResourceFontDrawTest, TheTextCommandDrawsNarrowTextAndStepsOverWhatItCannotHold)
{
    const std::string text = "AB" + std::string(3000, 'C');
    RenderCommandWriter& writer = m_renderer.GetWriter();
    ASSERT_TRUE(writer.WriteCommand(RENDER_OP_DRAW_TEXT, renderpayload::kDrawTextHeader + uint32_t(text.size())));
    writer.Put<uintptr_t>(reinterpret_cast<uintptr_t>(&m_font));
    writer.Put(Matrix::ONE);
    writer.Put(Vector(1.0f, 1.0f, 1.0f, 1.0f));
    writer.Put<int32_t>(-2); // spacing
    writer.Put<uint32_t>(1); // blend mode
    writer.Put<uint32_t>(uint32_t(text.size()));
    writer.Put<uint8_t>(0);
    writer.Write(text.data(), uint32_t(text.size()));
    m_renderer.SetPassMask(11);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_renderer.GetPassMask(), 11u);
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u);
    // 2047 characters: "AB" on page 0, then 2045 'C's on page 1 in batches of 512.
    const std::vector<gpu::DrawRecord> draws = Draws();
    ASSERT_EQ(draws.size(), 5u);
    EXPECT_EQ(draws[0].primitiveCount, 4u);
    EXPECT_EQ(draws[4].primitiveCount, (2045u - 3 * 512) * 2);
    EXPECT_EQ(draws[0].renderStates[gpu::kRsAlphaBlendEnable], 1u);
    // The last batch starts with character 1538: 'A' and 'B' take 8 each with spacing -2, then 'C's.
    EXPECT_EQ(CornerAt(0).x, 16 + 1536 * 8);
}

TEST_F(ResourceFontDrawTest, AFontWhosePagesAreTexturesIsNotSaved)
{
    m_folder.WriteFile("Fonts/test~010.BinFont", "kept");
    EXPECT_FALSE(m_font.SaveBinaryFont(0));
    EXPECT_TRUE(m_log.Contains("Binary font test~010: the page texels are no longer held", CONSOLE_WARNING));
    EXPECT_EQ(m_folder.ReadFile("Fonts/test~010.BinFont"), "kept");
}
} // namespace
