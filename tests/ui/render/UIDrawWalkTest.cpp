// ctest-labels: thread
// The draw walk of a screen built in code, drawn through its commands on the render thread and the
// stand-in device's rasteriser: where quads land (position, window alignment, aspect scaling), what
// colour they get (colour modes, edge fade), what is skipped (hidden, transparent, zero alpha, text
// tags, culled), and what clipping leaves (scissor rectangles and stencil masks, nested).
#include "support/UIDrawHarness.h"

#include <gtest/gtest.h>

namespace
{
constexpr uint32_t kRed = 0xFF0000u;
constexpr uint32_t kBlack = 0x000000u;
constexpr uint32_t kWhite = 0xFFFFFFu;

class UIDrawWalkTest : public UIDrawHarness
{
protected:
    void SetUp() override
    {
        UIDrawHarness::SetUp();
        m_screen = new UIScreen;
        m_screen->SetVisible(true);
    }
    void TearDown() override
    {
        m_screen->Release();
        m_renderer.SubmitCommands(true);
        UIDrawHarness::TearDown();
    }

    // A child of `parent` at (x, y) of w x h in UI units, opaque red unless told otherwise.
    UIElement* Box(UIElement* parent, float x, float y, float w, float h, uint32_t flags = 0)
    {
        UIElement* element = new UIElement;
        element->SetPositionXYZ(x, y, 0.0f);
        element->SetSizeXY(w, h);
        element->SetLinearColorRGBA(1.0f, 0.0f, 0.0f, 1.0f);
        if (flags != 0)
            element->RaiseFlag(flags);
        parent->AddChild(element);
        return element;
    }

    struct Probe
    {
        uint32_t x, y, color;
    };
    void ExpectPixels(const std::vector<Probe>& probes, const char* what)
    {
        for (const Probe& p : probes)
            EXPECT_EQ(Pixel(p.x, p.y), p.color) << what << " at (" << p.x << ", " << p.y << ")";
    }

    // Red of a pixel, 0..255.
    uint32_t Red(uint32_t x, uint32_t y) { return Pixel(x, y) >> 16; }

    UIScreen* m_screen = nullptr;
};

TEST_F(UIDrawWalkTest, AnElementFillsItsRectangleInOneBatchedDraw)
{
    Box(m_screen, 40, 30, 50, 20);
    m_screen->RaiseFlag(UIFLAG_CLEARZATSTART);
    DrawScreen(*m_screen);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        const gpu::SurfaceOpRecord& clear = renderer.GetDevice()->GetSurfaceOpLog().back();
        EXPECT_EQ(clear.flags, gpu::kClearDepth | gpu::kClearStencil) << "the pass clears depth and stencil first";
        EXPECT_EQ(clear.z, 1.0f);
        EXPECT_EQ(clear.stencil, 0u);
    });
    ExpectPixels({{40, 30, kRed}, {89, 49, kRed}, {39, 35, kBlack}, {90, 35, kBlack}, {45, 50, kBlack}, {45, 29, kBlack}},
                 "a 50 x 20 box at (40, 30)");
    const auto draws = DrawLog();
    ASSERT_EQ(draws.size(), 1u) << "the transparent screen draws nothing of its own";
    EXPECT_EQ(draws[0].primitiveCount, 2u);
}

TEST_F(UIDrawWalkTest, ManyQuadsOfOneStateGoOutSixtyFourAtATime)
{
    for (int i = 0; i < 130; ++i)
        Box(m_screen, float(i % 100), float(i / 100) * 10.0f, 2, 2);
    DrawScreen(*m_screen);
    const auto draws = DrawLog();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0].primitiveCount, 128u);
    EXPECT_EQ(draws[1].primitiveCount, 128u);
    EXPECT_EQ(draws[2].primitiveCount, 4u);
}

TEST_F(UIDrawWalkTest, ColourModesInheritFromTheParent)
{
    struct Case
    {
        uint32_t mode;
        uint32_t red, green; // expected channels over black, +-2
    };
    // Parent (1, 0.5, 0.25, 1) takes alpha 0.5 from its own parent; neither is drawn; white child
    // blended by its alpha.
    const Case cases[] = {{UICOLOR_STATIC, 255, 255}, {UICOLOR_MULTIPLYBYPARENTALPHA, 128, 128},
                          {UICOLOR_MULTIPLYBYPARENTCOLOR, 128, 64}};
    for (const Case& c : cases)
    {
        UIElement* grandparent = Box(m_screen, 0, 0, 100, 100, UIFLAG_TRANSPARENT);
        grandparent->SetLinearColorRGBA(1.0f, 1.0f, 1.0f, 0.5f);
        UIElement* parent = Box(grandparent, 0, 0, 100, 100, UIFLAG_TRANSPARENT);
        parent->SetLinearColorRGBA(1.0f, 0.5f, 0.25f, 1.0f);
        UIElement* child = Box(parent, 10, 10, 20, 20);
        child->SetLinearColorRGBA(1.0f, 1.0f, 1.0f, 1.0f);
        child->SetColorMode(c.mode);
        DrawScreen(*m_screen);
        const uint32_t pixel = Pixel(15, 15);
        EXPECT_NEAR(double(pixel >> 16), c.red, 2.0) << "mode " << c.mode;
        EXPECT_NEAR(double((pixel >> 8) & 0xFF), c.green, 2.0) << "mode " << c.mode;
        grandparent->Release();
    }
}

TEST_F(UIDrawWalkTest, WindowAlignmentMovesBySideMarginsOncePerAxis)
{
    // A UI of 160 x 240 letterboxed into 320 x 240: a unit is a pixel, the UI fills x 80..240 and
    // the side margins are 80 pixels.
    UIScreen::SetUISizeOverride(160.0f, 240.0f);
    UIElement* none = Box(m_screen, 0, 0, 20, 20);
    UIElement* left = Box(m_screen, 0, 40, 20, 20);
    left->SetWindowAlignment(UIWINDOWALIGNMENT_LEFT);
    UIElement* right = Box(m_screen, 140, 80, 20, 20);
    right->SetWindowAlignment(UIWINDOWALIGNMENT_RIGHTBOTTOM);
    UIElement* twice = Box(left, 0, 80, 20, 20);
    twice->SetWindowAlignment(UIWINDOWALIGNMENT_LEFT);
    Box(m_screen, 140, 160, 20, 20)->SetWindowAlignment(UIWINDOWALIGNMENT_RIGHTTOP);
    (void)none;
    DrawScreen(*m_screen);
    ExpectPixels({{82, 5, kRed}, {78, 5, kBlack}, // unaligned: inside the letterbox
                  {2, 45, kRed}, {22, 45, kBlack}, {85, 45, kBlack}, // left: moved to the window's left edge
                  {2, 125, kRed},                  // its child with the same alignment is not moved again
                  {318, 85, kRed}, {238, 85, kBlack}, {318, 165, kRed}},
                 "alignment");
    // Letterboxed the other way (320 x 120, margins of 60 above and below): up once, not twice.
    UIScreen::SetUISizeOverride(320.0f, 120.0f);
    left->SetWindowAlignment(UIWINDOWALIGNMENT_LEFTTOP);
    twice->SetWindowAlignment(UIWINDOWALIGNMENT_LEFTTOP);
    right->SetWindowAlignment(UIWINDOWALIGNMENT_RIGHTTOP);
    DrawScreen(*m_screen);
    ExpectPixels({{2, 45, kRed}, {2, 125, kRed}, {2, 145, kBlack}, {145, 85, kRed}, {145, 145, kBlack}}, "top alignment");
}

TEST_F(UIDrawWalkTest, AspectScalingStretchesAboutTheUICentre)
{
    UIScreen::SetUISizeOverride(160.0f, 240.0f);
    Box(m_screen, 60, 20, 40, 40);
    UIElement* stretched = Box(m_screen, 60, 100, 40, 40);
    stretched->SetAspectScaling(UIWINDOWASPECTSCALING_HORIZONTAL);
    Box(m_screen, 60, 150, 40, 20)->SetAspectScaling(UIWINDOWASPECTSCALING_BOTH);
    DrawScreen(*m_screen);
    // Plain: UI x 60..100 is pixels 140..180; stretched twice about UI x 80: pixels 120..200.
    // Both: also 1.5 times as high about UI y 120, so UI y 150..170 is pixels 165..195.
    ExpectPixels({{141, 30, kRed}, {125, 30, kBlack}, {125, 110, kRed}, {195, 110, kRed}, {202, 110, kBlack},
                  {125, 193, kRed}, {125, 160, kBlack}},
                 "aspect scaling");
}

TEST_F(UIDrawWalkTest, EdgeFadeDimsNearTheParentBorder)
{
    struct Case
    {
        uint32_t flags;
        float x;
        uint32_t red;
        float distance = 10.0f;
    };
    // Fade distance 10 inside a 100-wide parent, children anchored 5 back: 5 units from an edge halves alpha.
    // A distance of 0 or less fades nothing, even right on the edge.
    const Case cases[] = {{0, 10, 255}, {UIFLAG_FADEATPARENTBORDERLEFTRIGHT, 10, 128},
                          {UIFLAG_FADEATPARENTBORDERLEFTRIGHT, 25, 255}, {UIFLAG_FADEATPARENTBORDERUPDOWN, 10, 128},
                          {UIFLAG_FADEATPARENTBORDERLEFTRIGHT, 60, 128},
                          {UIFLAG_FADEATPARENTBORDERLEFTRIGHT, -5, 255, 0.0f},
                          {UIFLAG_FADEATPARENTBORDERUPDOWN, 10, 255, -10.0f}};
    for (const Case& c : cases)
    {
        UIElement* parent = Box(m_screen, 0, 0, 100, 100, UIFLAG_TRANSPARENT);
        UIElement* child = Box(parent, c.x, c.x, 40, 40, c.flags);
        child->SetExtraParamVector(Vector(c.distance, 0.0f, 0.0f, 0.0f));
        child->SetAnchorXYZ(5.0f, 5.0f, 0.0f);
        DrawScreen(*m_screen);
        const uint32_t middle = uint32_t(c.x + 20.0f);
        EXPECT_NEAR(double(Red(middle, middle)), c.red, 2.0) << "flags " << c.flags << " x " << c.x;
        parent->Release();
    }
}

TEST_F(UIDrawWalkTest, AFadingParentHandsItsChildrenItsInverseAndTheFadeConstants)
{
    UIElement* parent = Box(m_screen, 30, 0, 100, 40, UIFLAG_TRANSPARENT | UIFLAG_FADECHILDREN);
    Box(parent, 0, 0, 10, 10);
    // (distance, fade slope, fade offset) over a height of 40; a distance of 0 fades nothing.
    for (const Vector& c : {Vector(10.0f, -0.1f, 2.0f, 0.0f), Vector(0.0f, 0.0f, 1.0f, 0.0f)})
    {
        parent->SetExtraParamVector(Vector(c.x, 0.0f, 0.0f, 0.0f));
        DrawScreen(*m_screen);
        float inverse[8] = {}, fade[4] = {};
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            renderer.GetDevice()->GetVertexShaderConstantF(12, inverse, 2);
            renderer.GetDevice()->GetPixelShaderConstantF(3, fade, 1);
        });
        EXPECT_FLOAT_EQ(inverse[3], -30.0f) << "the parent's inverse, transposed";
        EXPECT_TRUE(Vector(fade[0], fade[1], fade[2], fade[3]).Equal(Vector(-20.0f, c.y, c.z, 0.0f))) << c.x;
    }
}

TEST_F(UIDrawWalkTest, SkippedElementsDrawNothingButTheWalkGoesOnWhereItShould)
{
    struct Case
    {
        const char* what;
        uint32_t flags;
        float alpha;
        bool selfDrawn, childDrawn;
    };
    const Case cases[] = {
        {"plain", 0, 1.0f, true, true},
        {"hidden", UIFLAG_HIDDEN, 1.0f, false, false},
        {"transparent", UIFLAG_TRANSPARENT, 1.0f, false, true},
        {"zero alpha", 0, 0.0f, false, true},
        {"zero alpha drawn", UIFLAG_DRAWZEROALPHA, 0.0f, true, true},
        {"text tag", UIFLAG_TEXTTAG, 1.0f, false, false},
    };
    for (const Case& c : cases)
    {
        UIElement* parent = Box(m_screen, 0, 0, 40, 40, c.flags);
        parent->SetLinearColorRGBA(0.0f, 1.0f, 0.0f, c.alpha);
        parent->SetColorMode(UICOLOR_STATIC);
        parent->SetBlendMode(BLEND_NONE);
        UIElement* child = Box(parent, 60, 0, 20, 20);
        child->SetColorMode(UICOLOR_STATIC);
        DrawScreen(*m_screen);
        EXPECT_EQ(Pixel(5, 5) == 0x00FF00u, c.selfDrawn) << c.what;
        EXPECT_EQ(Pixel(65, 5) == kRed, c.childDrawn) << c.what;
        parent->Release();
    }
}

TEST_F(UIDrawWalkTest, AHiddenElementStillRunsItsActionsAndATaggedOneDrawsWhenWalkedItself)
{
    UIElement* hidden = Box(m_screen, 0, 0, 10, 10);
    hidden->Move(0.0f, Vector(30.0f, 40.0f, 0.0f, 1.0f), 0, 0);
    hidden->RaiseFlag(UIFLAG_HIDDEN);
    UIElement* tagged = Box(m_screen, 100, 100, 10, 10, UIFLAG_TEXTTAG);
    DrawScreen(*m_screen);
    EXPECT_FLOAT_EQ(hidden->GetRenderPosition().x, 30.0f) << "the instant move ran in the walk";
    EXPECT_EQ(Pixel(105, 105), kBlack);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        renderer.GetDevice()->BeginScene();
        const size_t before = renderer.GetDevice()->GetDrawLog().size();
        tagged->RenderTree(Matrix::ONE, Vector(1, 1, 1, 1), false, nullptr, 0);
        FlushAllUIQuadBatches();
        EXPECT_EQ(renderer.GetDevice()->GetDrawLog().size(), before + 1) << "a pass that starts at it draws it";
        renderer.GetDevice()->EndScene();
    });
}

TEST_F(UIDrawWalkTest, CulledElementsAreSkippedWithTheirSubtrees)
{
    UIElement* outside = Box(m_screen, 400, 10, 20, 20, UIRENDERFLAG_CULL);
    Box(outside, -390, 0, 10, 10); // would land on screen
    Box(m_screen, 10, 100, 20, 20, UIRENDERFLAG_CULL);
    DrawScreen(*m_screen);
    EXPECT_EQ(Pixel(15, 15), kBlack) << "the child of a culled element is not drawn";
    EXPECT_EQ(Pixel(15, 105), kRed) << "an element inside is drawn";
    EXPECT_EQ(DrawLog().size(), 1u);
}

TEST_F(UIDrawWalkTest, ScissorsClipToTheIntersectionOfNestedRectangles)
{
    struct Case
    {
        const char* what;
        float innerX, innerY;
        std::vector<Probe> probes;
    };
    // Outer clip (50, 50) 50 x 40; inner clip placed relative to it, 40 x 40; a big red child inside.
    const std::vector<Case> cases = {
        {"overlapping", 20, -10,
         {{75, 55, kRed}, {65, 55, kBlack}, {75, 45, kBlack}, {95, 55, kRed}, {105, 55, kBlack}}},
        {"crossing without overlap", 60, 0, {{55, 55, kBlack}, {115, 55, kBlack}}},
        {"crossing downwards", 0, 60, {{55, 55, kBlack}, {55, 115, kBlack}}},
    };
    for (const Case& c : cases)
    {
        UIElement* outer = Box(m_screen, 50, 50, 50, 40, UIFLAG_TRANSPARENT | UIRENDERFLAG_CLIPCHILDREN);
        UIElement* inner = Box(outer, c.innerX, c.innerY, 40, 40, UIFLAG_TRANSPARENT | UIRENDERFLAG_CLIPCHILDREN);
        UIElement* big = Box(inner, -100, -100, 300, 300, UIFLAG_FOCUSABLEWITHMOUSE);
        Box(outer, 0, 30, 10, 10)->SetLinearColorRGBA(0.0f, 0.0f, 1.0f, 1.0f); // drawn after the inner pop
        DrawScreen(*m_screen);
        ExpectPixels(c.probes, c.what);
        for (const Probe& p : c.probes)
            EXPECT_EQ(m_screen->GetElementAtScreenPosition(Vector(p.x / 320.0f, p.y / 240.0f, 0, 1)) == big, p.color == kRed)
                << c.what << ": hits are clipped as the drawing at (" << p.x << ", " << p.y << ")";
        EXPECT_EQ(Pixel(55, 85), 0x0000FFu) << c.what << ": the outer clip alone after the inner one";
        EXPECT_EQ(gUIScissorStack.GetDepth(), 0);
        outer->Release();
    }
    // The next pass starts unclipped.
    Box(m_screen, 0, 0, 20, 20);
    DrawScreen(*m_screen);
    EXPECT_EQ(Pixel(5, 5), kRed);
}

TEST_F(UIDrawWalkTest, StencilMasksNestAndStayPairedForEveryFlagCombination)
{
    const uint32_t mask = UIRENDERFLAG_STENCILMASK | UIFLAG_HIERARCHICALANCHOR;
    struct Case
    {
        const char* what;
        uint32_t flags;
        bool masked;
    };
    const Case cases[] = {
        {"mask", mask, true},
        {"mask flag without hierarchical anchor", UIRENDERFLAG_STENCILMASK, false},
        {"mask of an element not drawn", mask | UIFLAG_TRANSPARENT, false},
    };
    for (const Case& c : cases)
    {
        UIElement* outer = Box(m_screen, 50, 50, 60, 60, c.flags);
        outer->SetLinearColorRGBA(0.0f, 0.0f, 1.0f, 1.0f);
        // An inner mask, then a later sibling: it stays inside the outer mask only.
        UIElement* inner = Box(outer, 0, 0, 20, 20, mask);
        inner->SetLinearColorRGBA(0.0f, 1.0f, 0.0f, 1.0f);
        Box(inner, -50, -50, 200, 200);
        Box(outer, -50, 10, 200, 40)->SetLinearColorRGBA(1.0f, 1.0f, 1.0f, 1.0f);
        DrawScreen(*m_screen);
        EXPECT_EQ(Pixel(55, 55), kRed) << c.what << ": inside both masks";
        EXPECT_NE(Pixel(75, 55), kRed) << c.what << ": the inner subtree outside the inner mask";
        EXPECT_EQ(Pixel(45, 95) == kWhite, !c.masked) << c.what << ": the later sibling outside the outer mask";
        EXPECT_EQ(Pixel(60, 95), kWhite) << c.what << ": the later sibling inside the outer mask";
        EXPECT_EQ(Pixel(55, 65) == kRed, c.masked) << c.what << ": nor where the inner mask lay";
        EXPECT_EQ(gUIStencilMask.GetDepth(), 0u) << c.what;
        outer->Release();
    }
}

TEST_F(UIDrawWalkTest, StencilDepthNeverWrapsPastTheByte)
{
    ConsoleCapture log;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        renderer.GetDevice()->BeginScene();
        const Vector size(1.0f, 1.0f, 0.0f, 0.0f);
        for (uint32_t i = 0; i < UIStencilMask::kMaxDepth; ++i)
            ASSERT_TRUE(gUIStencilMask.Push(Matrix::ONE, size, BLEND_ALPHA, nullptr, false));
        EXPECT_FALSE(gUIStencilMask.Push(Matrix::ONE, size, BLEND_ALPHA, nullptr, false));
        EXPECT_EQ(gUIStencilMask.GetDepth(), 255u);
        uint32_t reference = 0;
        renderer.GetDevice()->GetRenderState(gpu::kRsStencilRef, &reference);
        EXPECT_EQ(reference, 255u);
        gUIStencilMask.Pop();
        renderer.GetDevice()->GetRenderState(gpu::kRsStencilRef, &reference);
        EXPECT_EQ(reference, 254u) << "a pop compares against the depth below";
        while (gUIStencilMask.GetDepth() > 0)
            gUIStencilMask.Pop();
        uint32_t enabled = 1;
        renderer.GetDevice()->GetRenderState(gpu::kRsStencilEnable, &enabled);
        EXPECT_EQ(enabled, 0u);
        renderer.GetDevice()->EndScene();
    });
    EXPECT_TRUE(log.Contains("masks nest at most 255 deep"));
}
} // namespace
