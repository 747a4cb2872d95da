// ctest-labels: thread
// Text elements drawn through a screen's walk on the stand-in device: glyphs where the layout puts
// them, the shadow under the text, the tint towards the bottom, pixel snapping, inline children,
// and text boxes' aligned lines, line window and per-line blend window.
#include "renderer/TextRenderer.h"
#include "support/FontShaders.h"
#include "support/UIDrawHarness.h"
#include "support/UITextTestFont.h"
#include "ui/elements/UIText.h"
#include "ui/elements/UITextBox.h"

#include <gtest/gtest.h>

#include <array>

namespace
{
constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kRed = 0xFF0000u;
constexpr uint32_t kBlack = 0x000000u;

class UITextDrawTest : public UIDrawHarness
{
protected:
    void SetUp() override
    {
        UIDrawHarness::SetUp();
        m_shaders.Install(m_renderer);
        ASSERT_TRUE(m_font.Get().DoLoad());
        m_screen = new UIScreen;
        m_screen->SetVisible(true);
    }
    void TearDown() override
    {
        m_screen->Release();
        m_renderer.SubmitCommands(true);
        m_shaders.Remove(m_renderer);
        m_font.Get().FreeData();
        m_renderer.SubmitCommands(true);
        UIDrawHarness::TearDown();
    }

    // Opaque white text at (x, y), one font pixel per UI unit unless told otherwise.
    template <typename Kind>
    Kind* Add(float x, float y, uint32_t flags = 0, float pixel = 1.0f)
    {
        Kind* text = new Kind("layout", 10);
        text->SetPositionXYZ(x, y, 0.0f);
        text->SetLinearColorRGBA(1.0f, 1.0f, 1.0f, 1.0f);
        text->SetBlendMode(0);
        if (flags != 0)
            text->RaiseFlag(flags);
        m_screen->AddChild(text);
        m_font.Give(*text, pixel);
        return text;
    }
    void ExpectPixels(const std::vector<std::array<uint32_t, 3>>& probes, const char* what)
    {
        for (const auto& p : probes)
            EXPECT_EQ(Pixel(p[0], p[1]), p[2]) << what << " at (" << p[0] << ", " << p[1] << ")";
    }
    // The alpha of corner `i` of the last text draw, as a normalized short.
    int16_t CornerAlpha(uint32_t i)
    {
        int16_t alpha = 0;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            std::memcpy(&alpha, renderer.GetDeviceManager().GetTextRenderer().GetTable().data() + i * 16 + 14, 2);
        });
        return alpha;
    }
    size_t TextDraws()
    {
        size_t count = 0;
        for (const gpu::DrawRecord& draw : DrawLog())
            count += draw.VertexConstant(195) != nullptr ? 1 : 0;
        return count;
    }

    FontShaders m_shaders;
    UITextTestFont m_font;
    UIScreen* m_screen = nullptr;
};

TEST_F(UITextDrawTest, GlyphsDrawOverTheirShadow)
{
    UIText* text = Add<UIText>(20.0f, 30.0f);
    text->SetText("ab");
    text->SetShadowPosition(Vector(3.0f, 2.0f, 0.0f, 0.0f));
    text->SetLinearShadowColor(Vector(1.0f, 0.0f, 0.0f, 1.0f));
    DrawScreen(*m_screen);
    // 'a' fills x 20..27 and y 30..41, 'b' from x 30; the shadow is 3 right and 2 down.
    ExpectPixels({{20, 30, kWhite}, {27, 41, kWhite}, {30, 35, kWhite}, {28, 42, kRed}, {23, 43, kRed},
                  {22, 42, kBlack}, {28, 30, kBlack}, {38, 35, kRed}, {41, 35, kBlack}},
                 "text over shadow");
    EXPECT_EQ(TextDraws(), 2u) << "the shadow, then the text";

    // A shadow without alpha, or without an offset, is not drawn.
    text->SetLinearShadowColor(Vector(1.0f, 0.0f, 0.0f, 0.0f));
    DrawScreen(*m_screen);
    EXPECT_EQ(TextDraws(), 1u);
    EXPECT_EQ(Pixel(28, 42), kBlack);
    text->SetLinearShadowColor(Vector(1.0f, 0.0f, 0.0f, 1.0f));
    text->SetShadowPosition(Vector(0.005f, 0.0f, 0.0f, 0.0f));
    DrawScreen(*m_screen);
    EXPECT_EQ(TextDraws(), 1u);
}

TEST_F(UITextDrawTest, TheTintColoursTheBottomOfTheGlyphs)
{
    UIText* text = Add<UIText>(20.0f, 30.0f);
    text->SetText("a");
    text->SetTint(Vector(0.5f, 1.0f, 0.0f, 0.5f));
    DrawScreen(*m_screen);
    // Top corners keep the element colour, bottom ones take half the tint.
    EXPECT_GT(Pixel(22, 30) >> 16, 230u);
    EXPECT_EQ(Pixel(22, 41), 0xC5FF8Au) << "three quarters red, full green, half blue";
    text->SetTint(Vector(0.0f, 1.0f, 0.0f, 0.00005f)); // below the threshold: no tint
    DrawScreen(*m_screen);
    EXPECT_EQ(Pixel(22, 41), kWhite);
}

TEST_F(UITextDrawTest, PixelPerfectTextSnapsToWholeFontPixels)
{
    // Two UI units per font pixel: 'a' is 16 wide; x = 11 snaps to floor((11 + 1) / 2) x 2 = 12.
    const struct
    {
        uint32_t flags;
        uint32_t at11, at27;
    } cases[] = {
        {0, kWhite, kBlack},
        {UIFLAG_PIXELPERFECTFONT, kBlack, kWhite},
        {0x40, kWhite, kBlack}, // y only
    };
    for (const auto& c : cases)
    {
        UIText* text = Add<UIText>(11.0f, 30.0f, c.flags, 2.0f);
        text->SetText("a");
        DrawScreen(*m_screen);
        EXPECT_EQ(Pixel(11, 35), c.at11) << c.flags;
        EXPECT_EQ(Pixel(27, 35), c.at27) << c.flags;
        text->Release();
    }
}

TEST_F(UITextDrawTest, InlineChildrenSitInTheTextAndPushItOn)
{
    UIText* text = Add<UIText>(20.0f, 30.0f);
    UIElement* icon = new UIElement;
    icon->SetName("icon");
    icon->SetSizeXY(10.0f, 5.0f);
    icon->SetLinearColorRGBA(1.0f, 0.0f, 0.0f, 1.0f);
    icon->RaiseFlag(UIFLAG_TEXTTAG);
    text->AddChild(icon);
    text->SetText("a|icon|b");
    DrawScreen(*m_screen);
    // The child stands at the pen (after 'a's advance of 10), one line height down; 'b' follows it.
    ExpectPixels({{30, 44, kRed}, {39, 48, kRed}, {40, 30, kWhite}, {47, 41, kWhite}, {30, 30, kBlack},
                  {20, 30, kWhite}, {29, 44, kBlack}},
                 "inline child");
}

TEST_F(UITextDrawTest, BoxLinesAlignAndCarryTheirBlendWindow)
{
    UITextBox* box = Add<UITextBox>(100.0f, 10.0f);
    box->SetSizeXY(100.0f, 50.0f);
    box->SetAlignment(TEXTALIGNMENT_RIGHT, TEXTVERTICALALIGNMENT_TOP);
    box->SetText("ab cd\nef\ngh");
    DrawScreen(*m_screen);
    // Right-aligned on the box's origin: "ab cd" is 48 wide, "ef" 18, each next line 14 lower.
    ExpectPixels({{52, 10, kWhite}, {99, 21, kWhite}, {51, 10, kBlack}, {82, 24, kWhite}, {81, 24, kBlack},
                  {100, 24, kBlack}},
                 "right-aligned lines");
    EXPECT_EQ(TextDraws(), 3u);

    // Line three's characters continue the blend of the seven before them.
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { box->SetBlendWindow(0.1f, 0.2f); });
    DrawScreen(*m_screen);
    EXPECT_EQ(CornerAlpha(0), int16_t(0.9f * 32767.0f + 0.5f));
    EXPECT_EQ(CornerAlpha(4), int16_t(1.0f * 32767.0f + 0.5f));

    box->SetLinesToRender(1, 1);
    DrawScreen(*m_screen);
    EXPECT_EQ(TextDraws(), 1u);
    EXPECT_EQ(Pixel(99, 10), kWhite) << "the window's first line is drawn first";
    box->SetLinesToRender(3, 1);
    DrawScreen(*m_screen);
    EXPECT_EQ(TextDraws(), 0u);
}
} // namespace
