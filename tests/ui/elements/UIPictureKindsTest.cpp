// The kinds built on pictures: atlas data written cyclically into the vertex fields and drawn in
// batch-sized runs, the rounded rectangle's seven parts for radii below, at and above half its size
// (drawn even where strips come out negative), and the blur panel's flat, blurred and desaturated
// draws.
#include "platform/gpu/GpuDevice.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/UIDrawHarness.h"
#include "ui/elements/UIBlur.h"
#include "ui/elements/UIPictureAtlas.h"
#include "ui/elements/UIRoundedRect.h"

#include <gtest/gtest.h>

#include <tuple>

namespace
{
class UIPictureKindsTest : public UIDrawHarness
{
protected:
    void Submit() { m_renderer.SubmitCommands(true); }
    // Renders the element alone on the render thread; `after` runs there before the scene ends.
    void RenderAlone(UIElement& element, const Vector& color, const std::function<void()>& after = nullptr)
    {
        Submit();
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            renderer.GetDevice()->BeginScene();
            m_logStart = renderer.GetDevice()->GetDrawLog().size();
            element.Render(Matrix::ONE, color, false, nullptr);
            if (after)
                after();
            renderer.GetDevice()->EndScene();
        });
    }
};

TEST_F(UIPictureKindsTest, AtlasDataRepeatsItsSourceElementsAndKeepsTheOtherFields)
{
    UIPictureAtlas* atlas = new UIPictureAtlas;
    const float positions[] = {1, 2, 3, 4, 5, 6};
    atlas->SetAtlasData(UIPictureAtlas::PICTUREATLAS_POSITION3, 0, 8, 2, positions);
    const float colors[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f, 1.1f, 1.2f};
    // No source count: one element per vertex, never an index modulo zero.
    atlas->SetAtlasData(UIPictureAtlas::PICTUREATLAS_COLOR4, 5, 3, 0, colors);
    const float uv[] = {0.25f, 0.75f};
    atlas->SetAtlasData(UIPictureAtlas::PICTUREATLAS_MAPPING2, 9, 2, 1, uv);
    atlas->SetAtlasData(7, 0, 4, 1, colors);
    Submit();
    const Dynarray<UIVertex>& vertices = atlas->GetAtlasVertices();
    ASSERT_EQ(vertices.Count(), 11);
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(vertices[i].position[0], i % 2 == 0 ? 1.0f : 4.0f) << i;
    EXPECT_EQ(vertices[7].position[2], 6.0f);
    EXPECT_EQ(vertices[4].color[0], 0.0f) << "vertices before the first keep their colour";
    EXPECT_EQ(vertices[5].color[0], 0.1f);
    EXPECT_EQ(vertices[7].color[3], 1.2f);
    EXPECT_EQ(vertices[5].position[1], 5.0f) << "the colour write leaves the position alone";
    EXPECT_EQ(vertices[8].position[0], 0.0f) << "a vertex the array grew by starts zeroed";
    EXPECT_EQ(vertices[10].uv[1], 0.75f);

    atlas->SetAtlasData(UIPictureAtlas::PICTUREATLAS_POSITION3, UIPictureAtlas::kMaxAtlasVertices - 1, 2, 1, positions);
    Submit();
    EXPECT_EQ(atlas->GetAtlasVertices().Count(), 11);
    EXPECT_TRUE(m_log.Contains("exceed the atlas limit"));
    atlas->SetAtlasData(UIPictureAtlas::PICTUREATLAS_POSITION3, UIPictureAtlas::kMaxAtlasVertices - 1, 1, 1, positions);
    Submit();
    EXPECT_EQ(atlas->GetAtlasVertices().Count(), int32_t(UIPictureAtlas::kMaxAtlasVertices)) << "up to the limit fits";
    atlas->Release();
    Submit();
}

TEST_F(UIPictureKindsTest, AtlasesDrawWholeQuadsInBatchSizedRuns)
{
    struct Case
    {
        uint32_t vertices;
        uint32_t draws;
        uint32_t queuedQuads;
    };
    // 3 vertices: nothing; 6: one quad; 300: a full batch drawn at once, then 11 quads queued.
    const Case cases[] = {{3, 0, 0}, {6, 0, 1}, {256, 1, 0}, {300, 1, 11}};
    SetUIShader(UIPicture::kDefaultShaderIndex, m_vertex, m_pixel);
    for (const Case& c : cases)
    {
        UIPictureAtlas* atlas = new UIPictureAtlas;
        const float corner[] = {1, 1, 0};
        atlas->SetAtlasData(UIPictureAtlas::PICTUREATLAS_POSITION3, 0, c.vertices, 1, corner);
        atlas->SetSizeXY(10.0f, 20.0f);
        atlas->SetRenderGatheringChannel(1);
        uint32_t queued = 0;
        float firstY = 0.0f;
        RenderAlone(*atlas, Vector(0.5f, 0.5f, 0.5f, 0.5f), [&] {
            queued = GetUIQuadBatch(1).GetQuadCount();
            firstY = GetUIQuadBatch(1).GetVertices()[0].position[1];
            GetUIQuadBatch(1).Reset();
        });
        EXPECT_EQ(DrawLog().size(), c.draws) << c.vertices;
        EXPECT_EQ(queued, c.queuedQuads) << c.vertices;
        if (c.queuedQuads != 0)
        {
            EXPECT_EQ(firstY, 20.0f) << "positions are scaled by the size";
        }
        atlas->Release();
    }
    SetUIShader(UIPicture::kDefaultShaderIndex, nullptr, nullptr);
}

TEST_F(UIPictureKindsTest, RoundedRectanglePartsTileTheRectangleForEveryRadius)
{
    UIRoundedRect* rect = new UIRoundedRect("NO_TEXTURE", true);
    EXPECT_EQ(rect->GetUserFlags(), UIFLAG_TRANSPARENT | UIFLAG_HIERARCHICALANCHOR);
    EXPECT_STREQ(rect->GetName(), "UIRoundedRect");
    EXPECT_STREQ(rect->GetScriptClassName(), "UIRoundedRect");
    rect->SetSizeXY(100.0f, 40.0f);
    Submit();
    UIElement* child = rect->GetRenderFirstChild();
    for (uint32_t i = 0; i < UIRoundedRect::kPartCount; ++i, child = child->GetRenderNextSibling())
    {
        ASSERT_EQ(child, rect->GetPart(i)) << "parts are children in table order";
        EXPECT_EQ(rect->GetPart(i)->GetColorMode(), uint32_t(UICOLOR_MULTIPLYBYPARENTCOLOR));
        EXPECT_EQ(rect->GetPart(i)->GetUVSize().x, i <= UIRoundedRect::PART_BOTTOM ? 0.0f : 1.0f) << i;
    }
    struct Case
    {
        float radius;
        float r; // the radius laid out
    };
    // Below half the height, at it, above it (strips and band of negative extent), past the
    // height (clamped to it), negative.
    const Case cases[] = {{10.0f, 10.0f}, {20.0f, 20.0f}, {30.0f, 30.0f}, {500.0f, 40.0f}, {-4.0f, 0.0f}};
    for (const Case& c : cases)
    {
        rect->SetCornerRadius(c.radius);
        Submit();
        const float r = c.r, w = 100.0f, h = 40.0f;
        const float expected[UIRoundedRect::kPartCount][5] = {
            {w - 2 * r, r, r, 0, 0},   {w, h - 2 * r, 0, r, 0},  {w - 2 * r, r, r, h - r, 0}, {r, r, r, r, 180},
            {r, r, w - r, r, -90},     {r, r, r, h - r, 90},     {r, r, w - r, h - r, 0},
        };
        for (uint32_t i = 0; i < UIRoundedRect::kPartCount; ++i)
        {
            const UIPicture& part = *rect->GetPart(i);
            EXPECT_FLOAT_EQ(part.GetRenderSize().x, expected[i][0]) << "radius " << c.radius << " part " << i;
            EXPECT_FLOAT_EQ(part.GetRenderSize().y, expected[i][1]) << "radius " << c.radius << " part " << i;
            EXPECT_FLOAT_EQ(part.GetRenderPosition().x, expected[i][2]) << "radius " << c.radius << " part " << i;
            EXPECT_FLOAT_EQ(part.GetRenderPosition().y, expected[i][3]) << "radius " << c.radius << " part " << i;
            EXPECT_FLOAT_EQ(part.GetRenderRotation().z, expected[i][4]) << "radius " << c.radius << " part " << i;
        }
    }
    rect->SetCornerRadius(500.0f);
    rect->SetSizeXY(30.0f, 200.0f);
    Submit();
    EXPECT_FLOAT_EQ(rect->GetPart(UIRoundedRect::PART_TOP_RIGHT)->GetRenderPosition().x, 0.0f)
        << "a new size lays out again with the stored radius, clamped to the width";
    // Parts of negative extent draw like any quad: the walk and the rasteriser take them.
    UIScreen* screen = new UIScreen;
    screen->SetVisible(true);
    rect->SetPositionXYZ(10.0f, 10.0f, 0.0f);
    rect->SetLinearColorRGBA(1.0f, 0.0f, 0.0f, 1.0f);
    screen->AddChild(rect);
    DrawScreen(*screen);
    for (const auto& [x, y, color] : {std::tuple{15u, 15u, 0xFF0000u}, {35u, 205u, 0xFF0000u}, {25u, 100u, 0xFF0000u},
                                      {45u, 100u, 0u}, {25u, 215u, 0u}})
        EXPECT_EQ(Pixel(x, y), color) << x << ", " << y;
    screen->Release();
    Submit();
}

TEST_F(UIPictureKindsTest, BlurPanelsDrawFlatAtLowQualityAndFromTheScreenCopyOtherwise)
{
    const float saturations[][2] = {{1.0f, 8}, {1.0009f, 8}, {0.9991f, 8}, {1.0011f, 9}, {0.5f, 9}, {0.998f, 9}};
    for (const auto& s : saturations)
        EXPECT_EQ(UIBlur::ShaderIndexFor(s[0]), uint32_t(s[1])) << s[0];

    UIBlur* blur = new UIBlur;
    EXPECT_NE(blur->GetUserFlags() & UIFLAG_DRAWPENDINGUIELEMENTSBEFORE, 0u);
    blur->SetBlurParams(6.0f, 3);
    blur->SetSaturation(0.25f);
    blur->SetSizeXY(1.0f, 1.0f);
    Submit();
    EXPECT_EQ(blur->GetBlurAmount(), 6.0f);
    EXPECT_EQ(blur->GetBlurMode(), 3u);

    DeviceParams params = m_renderer.GetDeviceManager().GetDeviceParams();
    const DeviceParams saved = params;
    params.qualityLevel = 1;
    m_renderer.GetDeviceManager().SetDeviceParams(params);
    RenderAlone(*blur, Vector(1, 1, 1, 0.5f), [&] {
        ASSERT_EQ(GetUIQuadBatch(0).GetQuadCount(), 1u);
        const UIVertex& v = GetUIQuadBatch(0).GetVertices()[0];
        EXPECT_FLOAT_EQ(v.color[0], 0.02f);
        EXPECT_FLOAT_EQ(v.color[3], 0.42f);
        GetUIQuadBatch(0).Reset();
    });
    params.qualityLevel = 2;
    m_renderer.GetDeviceManager().SetDeviceParams(params);
    SetUIShader(UIBlur::kDesaturatingShaderIndex, m_vertex, m_pixel);
    m_renderer.SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    blur->RaiseFlag(UIFLAG_DEPTHTEST);
    RenderAlone(*blur, Vector(1, 1, 1, 1), [&] {
        uint32_t depth = 0;
        gRenderer->GetDevice()->GetRenderState(gpu::kRsZFunc, &depth);
        EXPECT_EQ(depth, uint32_t(gpu::kCmpLessEqual)) << "the element's depth test reaches the screen quad";
        float uv[8] = {}, saturation[4] = {};
        gRenderer->GetDevice()->GetVertexShaderConstantF(195, uv, 2);
        gRenderer->GetDevice()->GetPixelShaderConstantF(4, saturation, 1);
        // The unit square in clip space is the upper right quarter of the screen, copied at half
        // size into the corner of the copy.
        EXPECT_FLOAT_EQ(uv[0], 0.25f);
        EXPECT_FLOAT_EQ(uv[1], 0.25f);
        EXPECT_FLOAT_EQ(uv[4], 0.0f);
        EXPECT_FLOAT_EQ(uv[5], 0.0f);
        EXPECT_EQ(saturation[0], 0.25f);
        gRenderer->SetTexture(0, nullptr, 0);
    });
    SetUIShader(UIBlur::kDesaturatingShaderIndex, nullptr, nullptr);
    m_renderer.GetDeviceManager().SetDeviceParams(saved);
    const auto draws = DrawLog();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].primitiveType, gpu::kPrimitiveTriangleFan);
    EXPECT_EQ(draws[0].textureIds[0],
              m_renderer.GetDeviceManager().GetRenderTargets().pingPong[0].GetHolder()->GetTexture()->GetId());
    blur->Release();
    Submit();
}
} // namespace
