// ctest-labels: thread
// Text elements drawn through a screen's walk on the stand-in device: glyphs where the layout puts
// them, the shadow under the text, the tint towards the bottom, pixel snapping, inline children,
// and text boxes' aligned lines, line window and per-line blend window. And one screen of every drawn
// kind and placement option at three UI sizes against its stored copy: the pointer candidates' corners,
// each draw's primitives, pixels, scissor, blend, stencil and constants, and a digest of the frame.
#include "renderer/TextRenderer.h"
#include "support/FontShaders.h"
#include "support/GoldenText.h"
#include "support/UIDrawHarness.h"
#include "support/UITextTestFont.h"
#include "ui/elements/UIElementIdMap.h"
#include "ui/elements/UIPicture.h"
#include "ui/elements/UIRoundedRect.h"
#include "ui/elements/UIText.h"
#include "ui/elements/UITextBox.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>

namespace
{
constexpr uint32_t kTextWhite = 0xFFFFFFu;
constexpr uint32_t kTextRed = 0xFF0000u;
constexpr uint32_t kTextBlack = 0x000000u;

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
    ExpectPixels({{20, 30, kTextWhite}, {27, 41, kTextWhite}, {30, 35, kTextWhite}, {28, 42, kTextRed}, {23, 43, kTextRed},
                  {22, 42, kTextBlack}, {28, 30, kTextBlack}, {38, 35, kTextRed}, {41, 35, kTextBlack}},
                 "text over shadow");
    EXPECT_EQ(TextDraws(), 2u) << "the shadow, then the text";

    // A shadow without alpha, or without an offset, is not drawn.
    text->SetLinearShadowColor(Vector(1.0f, 0.0f, 0.0f, 0.0f));
    DrawScreen(*m_screen);
    EXPECT_EQ(TextDraws(), 1u);
    EXPECT_EQ(Pixel(28, 42), kTextBlack);
    text->SetLinearShadowColor(Vector(1.0f, 0.0f, 0.0f, 1.0f));
    text->SetShadowPosition(Vector(0.005f, 0.0f, 0.0f, 0.0f));
    DrawScreen(*m_screen);
    EXPECT_EQ(TextDraws(), 1u);

    // A box shadows each of its lines the same way.
    UITextBox* box = Add<UITextBox>(20.0f, 100.0f);
    box->SetSizeXY(100.0f, 50.0f);
    box->SetText("ab");
    box->SetShadowPosition(Vector(3.0f, 2.0f, 0.0f, 0.0f));
    box->SetLinearShadowColor(Vector(1.0f, 0.0f, 0.0f, 1.0f));
    DrawScreen(*m_screen);
    ExpectPixels({{20, 100, kTextWhite}, {27, 111, kTextWhite}, {28, 112, kTextRed}, {23, 113, kTextRed}, {22, 112, kTextBlack},
                  {40, 102, kTextRed}, {41, 102, kTextBlack}},
                 "box text over shadow");
    EXPECT_EQ(TextDraws(), 3u);
}

TEST_F(UITextDrawTest, TheTintColoursTheBottomOfTheGlyphs)
{
    UIText* text = Add<UIText>(20.0f, 30.0f);
    text->SetText("a");
    text->SetBottomColor(Vector(0.5f, 1.0f, 0.0f, 0.5f));
    DrawScreen(*m_screen);
    // Top corners keep the element colour, bottom ones take half the tint.
    EXPECT_GT(Pixel(22, 30) >> 16, 230u);
    EXPECT_EQ(Pixel(22, 41), 0xC5FF8Au) << "three quarters red, full green, half blue";
    text->SetBottomColor(Vector(0.0f, 1.0f, 0.0f, 0.00005f)); // below the threshold: no tint
    DrawScreen(*m_screen);
    EXPECT_EQ(Pixel(22, 41), kTextWhite);
}

TEST_F(UITextDrawTest, PixelPerfectTextSnapsToWholeFontPixels)
{
    // Two UI units per font pixel: 'a' is 16 wide; x = 11 snaps to floor((11 + 1) / 2) x 2 = 12,
    // and y = 31 to 32.
    const struct
    {
        uint32_t flags;
        uint32_t at11, at27, top;
    } cases[] = {
        {0, kTextWhite, kTextBlack, kTextWhite},
        {UIFLAG_PIXELPERFECTFONT, kTextBlack, kTextWhite, kTextBlack},
        {0x40, kTextWhite, kTextBlack, kTextBlack}, // y only
    };
    for (const auto& c : cases)
    {
        UIText* text = Add<UIText>(11.0f, 31.0f, c.flags, 2.0f);
        text->SetText("a");
        DrawScreen(*m_screen);
        EXPECT_EQ(Pixel(11, 35), c.at11) << c.flags;
        EXPECT_EQ(Pixel(27, 35), c.at27) << c.flags;
        EXPECT_EQ(Pixel(20, 31), c.top) << c.flags;
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
    ExpectPixels({{30, 44, kTextRed}, {39, 48, kTextRed}, {40, 30, kTextWhite}, {47, 41, kTextWhite}, {30, 30, kTextBlack},
                  {20, 30, kTextWhite}, {29, 44, kTextBlack}},
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
    ExpectPixels({{52, 10, kTextWhite}, {99, 21, kTextWhite}, {51, 10, kTextBlack}, {82, 24, kTextWhite}, {81, 24, kTextBlack},
                  {100, 24, kTextBlack}},
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
    EXPECT_EQ(Pixel(99, 10), kTextWhite) << "the window's first line is drawn first";
    // Bottom alignment counts the lines above the window too: "ef" ends two lines (28) above y 40.
    box->SetPositionXYZ(100.0f, 40.0f, 0.0f);
    box->SetAlignment(TEXTALIGNMENT_RIGHT, TEXTVERTICALALIGNMENT_BOTTOM);
    DrawScreen(*m_screen);
    EXPECT_EQ(Pixel(99, 12), kTextWhite);
    EXPECT_EQ(Pixel(99, 26), kTextBlack) << "not one line lower";
    box->SetLinesToRender(3, 1);
    DrawScreen(*m_screen);
    EXPECT_EQ(TextDraws(), 0u);
}

class UIScreenFrameGoldenTest : public UITextDrawTest
{
protected:
    // `element` named and placed under `parent` (the screen when null), pointer-selectable.
    template <typename T>
    T* Put(T* element, const char* name, UIElement* parent, float x, float y, float w, float h, const Vector& color,
           uint32_t flags = 0)
    {
        element->SetName(name);
        element->SetPositionXYZ(x, y, 0.0f);
        element->SetSizeXY(w, h);
        element->SetLinearColor(color);
        element->RaiseFlag(UIFLAG_FOCUSABLEWITHMOUSE | flags);
        (parent != nullptr ? parent : m_screen)->AddChild(element);
        return element;
    }
    static long long Q(float value) { return std::llround(value * 1024.0) + 0; } // steps of 1/1024, -0 as 0
    std::string Frame()
    {
        std::ostringstream text;
        for (int32_t i = 0; i < m_screen->GetSelectionCandidateCount(); ++i)
        {
            const UISelectionCandidate& c = m_screen->GetSelectionCandidate(i);
            text << "  candidate " << FindUIElementInIdMap(c.id)->GetName() << " " << c.renderFlags;
            for (const Vector& v : c.corners)
                text << " " << Q(v.x) << " " << Q(v.y);
            text << "\n";
        }
        for (const gpu::DrawRecord& d : DrawLog())
        {
            text << "  draw " << d.primitiveType << " " << d.primitiveCount << " " << d.numVertices << " pixels "
                 << d.pixelsWritten << " scissor " << d.scissor.left << " " << d.scissor.top << " " << d.scissor.right
                 << " " << d.scissor.bottom << " texture " << (d.textureIds[0] != 0) << " states";
            for (uint32_t s : {gpu::kRsScissorTestEnable, gpu::kRsAlphaBlendEnable, gpu::kRsSrcBlend, gpu::kRsDestBlend,
                               gpu::kRsZEnable, gpu::kRsColorWriteEnable, gpu::kRsStencilEnable, gpu::kRsStencilFunc,
                               gpu::kRsStencilRef, gpu::kRsStencilWriteMask, gpu::kRsStencilPass})
                text << " " << d.renderStates[s];
            text << "\n   ";
            for (const gpu::RegisterValue& r : d.vertexConstants)
                text << " c" << r.index << " " << Q(r.value[0]) << " " << Q(r.value[1]) << " " << Q(r.value[2]) << " "
                     << Q(r.value[3]);
            text << "\n";
        }
        uint64_t digest = 14695981039346656037ull;
        for (uint32_t y = 0; y < kHeight; y += 2)
            for (uint32_t x = 0; x < kWidth; x += 2)
                digest = (digest ^ Pixel(x, y)) * 1099511628211ull;
        text << "  frame " << digest << "\n";
        return text.str();
    }
};

TEST_F(UIScreenFrameGoldenTest, EveryElementKindAndOptionAtThreeUISizes)
{
    const Vector red(1, 0, 0, 1), green(0, 1, 0, 1), blue(0, 0, 1, 0.75f), white(1, 1, 1, 1);
    Put(new UIElement, "plain", nullptr, 4, 4, 30, 20, red);
    UIElement* tinted = Put(new UIElement, "tinted", nullptr, 40, 4, 60, 40, Vector(1, 0.5f, 0.25f, 0.5f));
    Put(new UIElement, "byAlpha", tinted, 4, 4, 20, 12, white)->SetColorMode(UICOLOR_MULTIPLYBYPARENTALPHA);
    Put(new UIElement, "byColour", tinted, 30, 4, 20, 12, white)->SetColorMode(UICOLOR_MULTIPLYBYPARENTCOLOR);
    Put(new UIElement, "left", nullptr, 0, 50, 16, 16, green)->SetWindowAlignment(UIWINDOWALIGNMENT_LEFT);
    Put(new UIElement, "rightBottom", nullptr, 140, 220, 16, 16, green)->SetWindowAlignment(UIWINDOWALIGNMENT_RIGHTBOTTOM);
    Put(new UIElement, "top", nullptr, 120, 0, 16, 16, blue)->SetWindowAlignment(UIWINDOWALIGNMENT_TOP);
    Put(new UIElement, "stretched", nullptr, 60, 100, 30, 16, blue)->SetAspectScaling(UIWINDOWASPECTSCALING_BOTH);
    UIElement* turned = Put(new UIElement, "turned", nullptr, 170, 20, 30, 10, red);
    turned->SetRotationZ(30.0f);
    turned->SetAnchorXYZ(15.0f, 5.0f, 0.0f);
    Put(new UIElement, "scaled", nullptr, 210, 10, 20, 20, green)->SetScaleXYZ(1.5f, 0.5f, 1.0f);
    UIElement* fading = Put(new UIElement, "fading", nullptr, 240, 10, 70, 40, white, UIFLAG_TRANSPARENT);
    Put(new UIElement, "faded", fading, 2, 2, 40, 30, red, UIFLAG_FADEATPARENTBORDERLEFTRIGHT)
        ->SetExtraParamVector(Vector(10.0f, 0.0f, 0.0f, 0.0f));
    UIElement* clip = Put(new UIElement, "clip", nullptr, 10, 80, 60, 40, blue, UIRENDERFLAG_CLIPCHILDREN);
    Put(new UIElement, "clipped", clip, 30, 20, 80, 80, green);
    UIElement* mask = Put(new UIElement, "mask", nullptr, 80, 80, 40, 40, green,
                          UIRENDERFLAG_STENCILMASK | UIFLAG_HIERARCHICALANCHOR);
    Put(new UIElement, "masked", mask, -10, 20, 80, 10, red);
    Put(new UIElement, "zeroAlpha", nullptr, 145, 80, 10, 10, Vector(1, 0, 0, 0), UIFLAG_DRAWZEROALPHA);
    const Vector corners[4] = {red, green, blue, white};
    Put(new UIPicture, "picture", nullptr, 180, 70, 40, 30, white)->SetCornerColors(corners);
    Put(new UIPicture, "mirrored", nullptr, 230, 70, 40, 30, green)->SetScaleXYZ(-1.0f, 1.0f, 1.0f);
    Put(new UIRoundedRect("NO_TEXTURE", true), "rounded", nullptr, 10, 130, 80, 40, blue)->SetCornerRadius(12.0f);
    UIText* text = Put(new UIText("layout", 10), "text", nullptr, 100, 130, 100, 20, white);
    m_font.Give(*text, 1.0f);
    text->SetText("ab cd");
    text->SetShadowPosition(Vector(2.0f, 1.0f, 0.0f, 0.0f));
    text->SetLinearShadowColor(blue);
    UITextBox* box = Put(new UITextBox("layout", 10), "box", nullptr, 100, 160, 100, 60, green);
    m_font.Give(*box, 1.0f);
    box->SetAlignment(TEXTALIGNMENT_CENTER, TEXTVERTICALALIGNMENT_BOTTOM);
    box->SetText("ab cd ef gh ij kl\nmn");

    std::string out;
    for (const auto& size : {std::pair{320, 240}, {160, 240}, {320, 120}})
    {
        UIScreen::SetUISizeOverride(float(size.first), float(size.second));
        DrawScreen(*m_screen);
        out += "ui " + std::to_string(size.first) + " " + std::to_string(size.second) + "\n" + Frame();
    }
    ExpectTextMatchesStoredCopy(out, "tests/ui/render/golden/ScreenFrames.txt");
}
} // namespace
