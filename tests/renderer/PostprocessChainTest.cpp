// ctest-labels: thread
// The post-processing chain on a running renderer with the project's shaders: which passes a frame
// draws into which target by quality, flags and scene; the frame's own target left alone when the
// render size differs; the blur, composite and ambient-occlusion constants the passes upload; the
// lookup tables as sampled curves and a table that cannot be locked; a UI blur seen in pixels; a
// white pixel that the composite, FXAA, RGB shift, zoom blur and the mobile passes keep on its
// pixel; the glow of a white square, as bright as the threshold leaves it and centred on the
// square; one bright pixel glowing as its whole block wherever it lies in it; every draw of each
// route with its states and constants as stored.
#include "engine/config/ProjectConfig.h"
#include "engine/scripting/GameDelegate.h"
#include "platform/gpu/Gpu.h"
#include "platform/gpu/TextureSampler.h"
#include "renderer/OutlineRenderer.h"
#include "renderer/PostprocessManager.h"
#include "renderer/RenderTargetSet.h"
#include "renderer/SceneEnvironment.h"
#include "renderer/SceneParametersWrapper.h"
#include "renderer/ShaderObject.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/ConsoleCapture.h"
#include "support/DrawLogText.h"
#include "support/GoldenText.h"
#include "support/RenderDataHarness.h"
#include "support/RenderThreadCall.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>

namespace
{
using PM = PostprocessManager;

class PostprocessChainTest : public ::testing::Test
{
protected:
    // The renderer at 320 x 240 with the render size scaled by `scale`, every post shader loaded.
    void Start(float scale)
    {
        DataRoot data;
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        RendererDeviceSettings settings;
        settings.semiResolutionScreenScale = scale;
        settings.enableOutlines = false;
        m_harness.GetRenderer().SetDeviceSettings(settings);
        ASSERT_TRUE(m_harness.Start());
        if (scale != 1.0f)
            Renderer().ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
        ASSERT_TRUE(gShaderManager.Init(true));
        gPostprocessManager.InitPostProcessChain("");
        gSceneEnvironment.Create();
        m_scene.SetDefaults();
        Apply();
        gSceneEnvironment.EnableOverride();
        Renderer().SubmitCommands(true);
        m_started = true;
    }
    void TearDown() override
    {
        if (!m_started)
            return;
        gPostprocessManager.ReleaseShaders();
        gSceneEnvironment.Close();
        Renderer().SubmitCommands(true);
        m_harness.Stop();
    }
    NorvexRenderer& Renderer() { return m_harness.GetRenderer(); }
    SceneShadingParameters& Shading() { return m_scene.GetShading(); }
    void Apply()
    {
        gSceneEnvironment.SetOverrideParameters(&m_scene);
        Renderer().SubmitCommands(true);
    }
    void SetQuality(uint32_t quality)
    {
        DeviceParams params = Renderer().GetDeviceManager().GetDeviceParams();
        params.qualityLevel = quality;
        Renderer().GetDeviceManager().SetDeviceParams(params);
    }
    // One frame: the scene target cleared to the colour (then `inScene` on the render thread), the
    // chain, the back-buffer switch; `inFrame` runs on the render thread before the frame ends.
    void Frame(uint32_t flags, const Vector& color = Vector(0.5f, 0.5f, 0.5f, 1.0f),
               const std::function<void(NorvexRenderer&)>& inFrame = nullptr,
               const std::function<void(NorvexRenderer&)>& inScene = nullptr)
    {
        NorvexRenderer& r = Renderer();
        r.SetFrameTarget(nullptr, 0, 1);
        r.SetViewport(gpu::Viewport{0, 0, r.GetRenderWidth(), r.GetRenderHeight(), 0.0f, 1.0f});
        r.Clear(gpu::kClearTarget, color, 1.0f, 0);
        if (inScene)
            RunOnRenderThread(r, inScene);
        r.PostProcess(flags);
        r.BeginFrame();
        if (inFrame)
            RunOnRenderThread(r, inFrame);
        r.UpscaleFinal();
        r.Present(nullptr);
        r.SubmitCommands(true);
    }
    // The last frame's draws as "<pass>><target>", marked "!" when the stand-in had no program for it.
    std::vector<std::string> Steps()
    {
        gpu::GpuDevice* const device = Renderer().GetDevice();
        std::map<uint64_t, std::string> shaders;
        auto name = [&](const ShaderPair& pair, const std::string& text) {
            // Variants that compile to the same pixel shader go by the first.
            if (pair.IsValid())
                shaders.emplace(pair.m_pixelObject->GetDeviceShader()->GetId(), text);
        };
        const char* passes[] = {"glow", "blur", "lum", "zoom", "fxaa", "rgb"};
        for (uint32_t i = 0; i < PM::kPassSlots; ++i)
            name(gPostprocessManager.GetPassSlot(PM::PassSlot(i)), passes[i]);
        for (uint32_t v = 0; v < PM::kCompositeSlots; ++v)
            name(gPostprocessManager.GetCompositeSlot(v), "composite" + std::to_string(v));
        name(gPostprocessManager.GetSSAOPrepareSlot(false), "ssao");
        name(gPostprocessManager.GetSSAOPrepareSlot(true), "ssao-normals");
        name(gPostprocessManager.GetSSAOBlurSlot(false), "ssaoblur");
        name(gPostprocessManager.GetSSAOBlurSlot(true), "ssaofinal");
        for (uint32_t v = 0; v < PM::kMobileSlots; ++v)
            name(gPostprocessManager.GetMobileSlot(v), "mobile" + std::to_string(v));
        for (uint32_t v = 0; v < PM::kScreenCurveSlots; ++v)
            name(gPostprocessManager.GetScreenCurveSlot(v), "curve" + std::to_string(v));
        const std::map<uint64_t, std::string> targets = TargetNames();
        std::vector<std::string> steps;
        for (const gpu::DrawRecord& draw : device->GetLastFrameDrawLog())
        {
            const auto shader = shaders.find(draw.pixelShaderId);
            const auto target = targets.find(draw.renderTargetIds[0]);
            steps.push_back((shader != shaders.end() ? shader->second : "?") + ">" +
                            (target != targets.end() ? target->second : "?") + (draw.withoutProgram ? "!" : ""));
        }
        return steps;
    }
    std::map<uint64_t, std::string> TargetNames()
    {
        const RenderTargetSet& t = Renderer().GetDeviceManager().GetRenderTargets();
        gpu::GpuSurface* back = nullptr;
        Renderer().GetDevice()->GetBackBuffer(0, 0, &back);
        std::map<uint64_t, std::string> names = {{back->GetId(), "BB"},
                                                 {t.pingPong[0].GetSurface()->GetId(), "A"},
                                                 {t.pingPong[1].GetSurface()->GetId(), "B"},
                                                 {t.sceneColor.GetSurface()->GetId(), "S"},
                                                 {t.auxiliary.GetSurface()->GetId(), "X"}};
        for (uint32_t i = 0; i < 2; ++i)
            if (t.ambientOcclusion[i].GetSurface() != nullptr)
                names[t.ambientOcclusion[i].GetSurface()->GetId()] = "AO" + std::to_string(i);
        back->Release();
        return names;
    }
    const gpu::DrawRecord* FindDraw(const std::string& step)
    {
        const std::vector<std::string> steps = Steps();
        for (size_t i = 0; i < steps.size(); ++i)
            if (steps[i].rfind(step, 0) == 0)
                return &Renderer().GetDevice()->GetLastFrameDrawLog()[i];
        return nullptr;
    }

    // One frame of a black scene with one white pixel at (100, 120), then the frame's lit pixels by
    // channel: red, green, blue.
    using Pixels = std::vector<std::pair<uint32_t, uint32_t>>;
    std::array<Pixels, 3> WhitePixelFrame(uint32_t flags)
    {
        Frame(flags, Vector(0.0f, 0.0f, 0.0f, 1.0f), nullptr, [&](NorvexRenderer& r) {
            const gpu::Rect pixel = {100, 120, 101, 121};
            r.GetDevice()->Clear(1, &pixel, gpu::kClearTarget, 0xFFFFFFFFu, 1.0f, 0);
        });
        std::array<Pixels, 3> lit;
        RunOnRenderThread(Renderer(), [&](NorvexRenderer& r) {
            gpu::GpuSurface* back = nullptr;
            r.GetDevice()->GetBackBuffer(0, 0, &back);
            for (uint32_t y = 0; y < 240; ++y)
                for (uint32_t x = 0; x < 320; ++x)
                    for (uint32_t i = 0; i < 3; ++i)
                        if (((back->ReadPixelArgb(x, y) >> (16 - 8 * i)) & 0xFFu) != 0)
                            lit[i].emplace_back(x, y);
            back->Release();
        });
        return lit;
    }

    // One frame of a black scene with a square (left, top, edge) at one level (the scene target holds
    // half floats, so levels above 1 are kept): the atlas's glow quarter as linear light (it holds
    // sRGB-encoded colour) summed by channel, the channels' mean summed and its centre in atlas
    // texels, and the frame's blue 8 pixels left of, right of, above and below the square.
    struct GlowSeen
    {
        double channels[3] = {}, total = 0.0, x = 0.0, y = 0.0;
        uint32_t around[4] = {};
    };
    GlowSeen GlowFrame(uint32_t flags, uint32_t left, uint32_t top, uint32_t edge, float level = 1.0f)
    {
        GlowSeen seen;
        const uint32_t right = left + edge, bottom = top + edge, x = left + edge / 2, y = top + edge / 2;
        const uint32_t probes[4][2] = {{left - 9, y}, {right + 8, y}, {x, top - 9}, {x, bottom + 8}};
        Frame(
            flags, Vector(0.0f, 0.0f, 0.0f, 1.0f),
            [&](NorvexRenderer& r) {
                gpu::GpuSurface* back = nullptr;
                r.GetDevice()->GetBackBuffer(0, 0, &back);
                for (uint32_t i = 0; i < 4; ++i)
                    seen.around[i] = back->ReadPixelArgb(probes[i][0], probes[i][1]) & 0xFF;
                back->Release();
                const gpu::GpuSurface* atlas = r.GetDeviceManager().GetRenderTargets().pingPong[0].GetSurface();
                for (uint32_t v = 0; v < 60; ++v)
                    for (uint32_t u = 0; u < 80; ++u)
                    {
                        const gpu::Color4f texel = atlas->ReadPixel(u, v);
                        const double light[3] = {gpu::SrgbToLinear(texel.r), gpu::SrgbToLinear(texel.g),
                                                 gpu::SrgbToLinear(texel.b)};
                        const double mean = (light[0] + light[1] + light[2]) / 3.0;
                        for (uint32_t i = 0; i < 3; ++i)
                            seen.channels[i] += light[i];
                        seen.total += mean;
                        seen.x += mean * u;
                        seen.y += mean * v;
                    }
            },
            [&](NorvexRenderer& r) {
                gpu::GpuSurface* scene = r.GetDeviceManager().GetRenderTargets().sceneColor.GetSurface();
                for (uint32_t v = top; v < bottom; ++v)
                    for (uint32_t u = left; u < right; ++u)
                        scene->WritePixel(u, v, {level, level, level, 1.0f});
            });
        seen.x /= std::max(seen.total, 1e-9);
        seen.y /= std::max(seen.total, 1e-9);
        return seen;
    }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
    SceneParametersWrapper m_scene; // copied by the environment when its command runs
    bool m_started = false;
};

struct RouteCase
{
    uint32_t quality, flags;
    bool fxaa, rgb, zoom;
    float localContrast;
    std::vector<std::string> steps;
};

const std::vector<std::string> kGlow = {"glow>A", "blur>B", "blur>A", "blur>B", "blur>A"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void ApplyCase(SceneShadingParameters& s, const RouteCase& c)
{
    s.fxaaEnabled = c.fxaa ? 1 : 0;
    for (float& entry : s.rgbShift)
        entry = c.rgb ? 1.0f : 0.0f;
    s.zoomBlurStrength = c.zoom ? 1.0f : 0.0f;
    s.localContrast = c.localContrast;
}

const RouteCase kRoutes[] = {
    {3, 0, true, true, true, 2.0f, {"composite0>BB"}},
    {3, 5, true, true, true, 1.0f, Join(kGlow, {"composite17>B", "fxaa>A", "rgb>B", "zoom>A", "zoom>BB"})},
    {3, 5, true, false, false, 1.0f, Join(kGlow, {"composite17>B", "fxaa>BB"})},
    {3, 1, true, false, false, 1.0f, Join(kGlow, {"composite1>BB"})},
    {2, 5, true, true, true, 1.0f, Join(kGlow, {"composite1>B", "rgb>A", "zoom>B", "zoom>BB"})},
    {1, 5, true, true, true, 1.0f, Join(kGlow, {"composite9>BB"})},
    {3, 1, false, false, false, 1.00005f, Join(kGlow, {"composite1>BB"})},
    {3, 1, false, false, false, 1.5f, Join(kGlow, {"lum>A", "composite5>BB"})},
};
} // namespace

TEST_F(PostprocessChainTest, PassesFollowQualityFlagsAndSceneAndTheLastOneWritesTheFrame)
{
    Start(1.0f);
    for (const RouteCase& c : kRoutes)
    {
        SetQuality(c.quality);
        ApplyCase(Shading(), c);
        Apply();
        Frame(c.flags);
        EXPECT_EQ(Steps(), c.steps) << &c - kRoutes;
    }
    SetQuality(3);
    // The frame's target takes sRGB writes as the scene asks; the ping-pong targets never do.
    for (const uint8_t srgb : {uint8_t(1), uint8_t(0)})
    {
        ApplyCase(Shading(), {3, 5, true, false, false, 1.0f, {}});
        Shading().srgb = srgb;
        Apply();
        Frame(5);
        EXPECT_EQ(FindDraw("fxaa>BB")->renderStates[gpu::kRsSrgbWriteEnable], srgb);
        EXPECT_EQ(FindDraw("composite17>B")->renderStates[gpu::kRsSrgbWriteEnable], 0u);
    }
}

// Pixel centres lie on whole window coordinates: a pass that read between texels would shift the
// frame by half a pixel and spread every edge over two. A white pixel of the scene stays on its
// pixel through the composite, through FXAA after it (no smoothing: subpixel share 0), and through
// RGB shift and zoom blur after that (red and blue moved one pixel apart along both axes, no blur).
TEST_F(PostprocessChainTest, FullSizePassesKeepAWhitePixelOnItsPixel)
{
    Start(1.0f);
    SetQuality(3);
    Shading().vignetteEnd = 0.0f;
    Shading().fxaaEnabled = 1;
    Shading().fxaaSubpix = 0.0f;
    Shading().glowThreshold = 1.0f; // no glow
    Shading().zoomBlurSourceRatio = 1.0f;
    Shading().zoomBlurBlurredRatio = 0.0f;
    struct Case
    {
        uint32_t flags;
        bool shifted;
        const char* last;
        Pixels red, green, blue; // the lit pixels
    };
    const Case cases[] = {{1, false, "composite1>BB", {{100, 120}}, {{100, 120}}, {{100, 120}}},
                          {5, false, "fxaa>BB", {{100, 120}}, {{100, 120}}, {{100, 120}}},
                          {5, true, "zoom>BB", {{99, 119}}, {{100, 120}}, {{101, 121}}}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.last);
        // The curve's 2.25 moves red and blue by 2.25 x 2 x 240 / 1080 pixels: one.
        for (float& entry : Shading().rgbShift)
            entry = c.shifted ? 2.25f : 0.0f;
        Shading().zoomBlurStrength = c.shifted ? 0.001f : 0.0f;
        Apply();
        const std::array<Pixels, 3> lit = WhitePixelFrame(c.flags);
        EXPECT_EQ(Steps().back(), c.last);
        EXPECT_EQ(lit[0], c.red);
        EXPECT_EQ(lit[1], c.green);
        EXPECT_EQ(lit[2], c.blue);
    }
    // With the zoom blur's shader gone, the result left in a ping-pong target still reaches the frame:
    // red two pixels away this time, so the last frame's copy cannot pass for it.
    RunOnRenderThread(Renderer(), [](NorvexRenderer&) {
        const_cast<ShaderPair&>(gPostprocessManager.GetPassSlot(PM::PASS_ZOOM_BLUR)).Release();
    });
    for (float& entry : Shading().rgbShift)
        entry = 4.5f;
    Apply();
    EXPECT_EQ(WhitePixelFrame(5)[0], (Pixels{{98, 118}}));
}

// The mobile passes keep a white pixel on its pixel as well: through the composite (with the
// camera's shift moving red and blue one pixel apart, and a zoom blur without blur) and through the
// screen curve's copy and bend (bent by nothing).
TEST_F(PostprocessChainTest, TheMobilePassesKeepAWhitePixelOnItsPixel)
{
    Start(1.0f);
    Shading().glowThreshold = 1.0f; // no glow
    Shading().zoomBlurSourceRatio = 1.0f;
    Shading().zoomBlurBlurredRatio = 0.0f;
    Shading().screenCurveAmplitude = 0.0f;
    const Pixels on = {{100, 120}};
    struct Case
    {
        uint32_t mode, flags;
        float shake, curve;
        std::vector<std::string> steps;
        Pixels red, blue; // green stays on the pixel
    };
    const Case cases[] = {
        // A shake of 3.375 moves red and blue by 3.375 / 1080 of the width: one pixel.
        {ProjectConfig::VISUALIZATION_IPHONE, 1, 3.375f, 0.0f,
         {"glow>A", "blur>B", "blur>A", "mobile11>BB"}, {{99, 120}}, {{101, 120}}},
        {ProjectConfig::VISUALIZATION_IPAD2, 1, 0.0f, 0.5f,
         {"glow>A", "blur>B", "blur>A", "mobile5>B", "curve0>S", "curve3>BB"}, on, on},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.steps.back());
        gProjectConfig.m_visualizationMode = c.mode;
        Renderer().SetShakeValue(c.shake);
        Shading().zoomBlurStrength = c.shake != 0.0f ? 0.001f : 0.0f;
        Shading().screenCurveCoverage = c.curve;
        Apply();
        const std::array<Pixels, 3> lit = WhitePixelFrame(c.flags);
        EXPECT_EQ(Steps(), c.steps);
        if (c.shake != 0.0f)
        {
            EXPECT_FLOAT_EQ(FindDraw("mobile")->PixelConstant(PM::kRegMobileEffects)[1], -0.000005f)
                << "the zoom strength of 0.001, scaled and negated";
        }
        EXPECT_EQ(lit[0], c.red);
        EXPECT_EQ(lit[1], on);
        EXPECT_EQ(lit[2], c.blue);
    }
    Renderer().SetShakeValue(0.0f);
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_PC;
}

TEST_F(PostprocessChainTest, TheMobileChainGlowsOnceAndBendsTheScreenThroughTheSceneTarget)
{
    Start(1.0f);
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_IPAD2;
    Frame(1);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"glow>A", "blur>B", "blur>A", "mobile5>BB"}));
    Shading().screenCurveCoverage = 0.5f;
    Shading().zoomBlurStrength = 1.0f;
    Apply();
    Frame(0);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"mobile0>B", "curve0>S", "curve3>BB"}));
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_PC;
}

TEST_F(PostprocessChainTest, ASmallerRenderSizeNeverWritesTheFrameAndTheFrameEndStretchesTheResult)
{
    Start(0.5f);
    ASSERT_EQ(Renderer().GetRenderWidth(), 160u);
    ApplyCase(Shading(), {3, 5, true, true, true, 1.0f, {}});
    Apply();
    Frame(5);
    EXPECT_EQ(Steps(), Join(kGlow, {"composite17>B", "fxaa>A", "rgb>B", "zoom>A", "zoom>B"}));

    ApplyCase(Shading(), {3, 0, false, false, false, 1.0f, {}});
    Apply();
    Frame(0, Vector(0.5f, 0.25f, 1.0f, 1.0f));
    EXPECT_EQ(Steps(), std::vector<std::string>{"composite0>B"});
    uint32_t pixel = 0;
    RunOnRenderThread(Renderer(), [&](NorvexRenderer& r) {
        gpu::GpuSurface* back = nullptr;
        r.GetDevice()->GetBackBuffer(0, 0, &back);
        pixel = back->ReadPixelArgb(300, 200);
        back->Release();
    });
    EXPECT_NEAR(int((pixel >> 16) & 0xFF), 128, 1);
    EXPECT_NEAR(int((pixel >> 8) & 0xFF), 64, 1);
    EXPECT_EQ(pixel & 0xFF, 255u);
    // The mobile chain, too, leaves the smaller frame in a ping-pong target.
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_IPAD2;
    Frame(0);
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_PC;
    EXPECT_EQ(Steps(), std::vector<std::string>{"mobile0>B"});
}

TEST_F(PostprocessChainTest, BlurAndCompositeUploadTheirConstantsAndTheDelegateMayChangeColours)
{
    Start(1.0f);
    struct ColourDelegate : GameDelegate
    {
        void OnPostProcessColors(Vector* colors) override { colors[2] = Vector(1.0f, 2.0f, 3.0f, 4.0f); }
    } delegate;
    Renderer().SetGameDelegate(&delegate);
    Shading().glowSoftness = 3.0f;
    Shading().noBlurColorCorrection = Vector(0.5f, 0.25f, 1.0f, 1.0f);
    Shading().contrast = 2.0f;
    Shading().lowSpecContrast = 0.5f;
    Shading().saturation = 0.8f;
    Shading().lowSpecSaturation = 0.25f;
    Shading().customParams[1] = Vector(0.1f, 0.2f, 0.3f, 0.4f);
    Apply();
    Frame(1);
    const PostprocessMath::GaussianKernel kernel = PostprocessMath::ComputeGaussianKernel(3.0f);
    const std::vector<gpu::DrawRecord>& draws = Renderer().GetDevice()->GetLastFrameDrawLog();
    ASSERT_EQ(draws.size(), 6u);
    // Vertical then horizontal, at one texel and then two.
    const float steps[4][2] = {{0.0f, 1.0f / 240.0f}, {1.0f / 320.0f, 0.0f}, {0.0f, 2.0f / 240.0f}, {2.0f / 320.0f, 0.0f}};
    for (int i = 0; i < 4; ++i)
    {
        const gpu::DrawRecord& blur = draws[1 + i];
        ASSERT_NE(blur.PixelConstant(PM::kRegBlurStep), nullptr);
        EXPECT_FLOAT_EQ(blur.PixelConstant(PM::kRegBlurStep)[0], steps[i][0]) << i;
        EXPECT_FLOAT_EQ(blur.PixelConstant(PM::kRegBlurStep)[1], steps[i][1]) << i;
        EXPECT_FLOAT_EQ(blur.PixelConstant(PM::kRegBlurWeights)[0], kernel.centre);
        EXPECT_FLOAT_EQ(blur.PixelConstant(PM::kRegBlurWeights)[3], kernel.weights[2]);
        EXPECT_FLOAT_EQ(blur.PixelConstant(PM::kRegBlurOffsets)[1], kernel.offsets[1]);
        EXPECT_EQ(blur.viewport.width, 80u) << "the glow's quarter of the viewport";
        EXPECT_EQ(blur.viewport.height, 60u);
    }
    // A viewport of no multiple of four takes its quarter rounded up.
    Frame(1, Vector(0.5f, 0.5f, 0.5f, 1.0f), nullptr,
          [](NorvexRenderer& r) { r.SetViewportRect(0, 0, 317, 237); });
    ASSERT_EQ(draws.size(), 6u);
    EXPECT_EQ(draws[1].viewport.width, 80u);
    EXPECT_EQ(draws[1].viewport.height, 60u);
    const gpu::DrawRecord& composite = draws[5];
    EXPECT_FLOAT_EQ(composite.PixelConstant(PM::kRegCompositeColor)[1], 0.25f) << "no zoom: the scene's colour";
    EXPECT_FLOAT_EQ(composite.PixelConstant(PM::kRegCompositeShading)[1], 2.0f);
    float custom[16] = {};
    RunOnRenderThread(Renderer(), [&](NorvexRenderer& r) {
        r.GetDevice()->GetPixelShaderConstantF(PM::kRegCompositeCustom, custom, 4);
    });
    EXPECT_FLOAT_EQ(custom[4], 0.1f);
    EXPECT_FLOAT_EQ(custom[10], 3.0f) << "the delegate's change reaches the registers";

    // Below quality 2 contrast and saturation take their low-spec factors; zoom keeps white.
    SetQuality(1);
    Frame(1);
    EXPECT_FLOAT_EQ(FindDraw("composite9")->PixelConstant(PM::kRegCompositeShading)[1], 1.0f);
    EXPECT_FLOAT_EQ(FindDraw("composite9")->PixelConstant(PM::kRegCompositeShading)[2], 0.2f);
    SetQuality(3);
    Shading().zoomBlurStrength = 1.0f;
    Apply();
    Frame(1);
    EXPECT_FLOAT_EQ(FindDraw("composite1")->PixelConstant(PM::kRegCompositeColor)[1], 1.0f);
    Renderer().SetGameDelegate(nullptr);
    Renderer().SubmitCommands(true);
}

TEST_F(PostprocessChainTest, LookupTablesHoldTheSampledCurvesAndALockedTableStaysDirty)
{
    Start(1.0f);
    for (uint32_t j = 0; j < SceneShadingParameters::kToneMappingEntries; ++j)
        Shading().toneMapping[j] = Vector(float(j) / 1023.0f, 1.0f - float(j) / 1023.0f, 0.5f, 1.0f);
    for (uint32_t i = 0; i < SceneShadingParameters::kColorLookupEntries; ++i)
        Shading().colorLookup[i] = Vector(float(i) / 63.0f, 0.25f, 1.0f - float(i) / 63.0f, 0.0f);
    Apply();
    Frame(1);
    auto read = [&](PM::Table table) {
        std::vector<uint32_t> texels(PM::kTableWidths[table]);
        RunOnRenderThread(Renderer(), [&](NorvexRenderer&) {
            auto* texture = static_cast<gpu::GpuTexture*>(gPostprocessManager.GetTableTexture(table)->GetTexture());
            gpu::LockedRect locked = {};
            ASSERT_EQ(texture->LockRect(0, &locked, nullptr, gpu::kLockReadOnly), gpu::kOk);
            std::copy_n(static_cast<const uint32_t*>(locked.bits), texels.size(), texels.begin());
            texture->UnlockRect(0);
        });
        return texels;
    };
    const std::vector<uint32_t> tone = read(PM::TABLE_TONE);
    for (uint32_t i = 0; i < 1024; i += 31)
    {
        const uint32_t source = uint32_t(256.0 * std::pow(double(i) / 256.0, 0.45454544));
        EXPECT_EQ(tone[i], Shading().toneMapping[source].GetRGBA()) << i;
    }
    EXPECT_EQ(tone[1023], Shading().toneMapping[480].GetRGBA());
    const std::vector<uint32_t> colours = read(PM::TABLE_COLOR);
    for (uint32_t i = 0; i < 64; ++i)
        EXPECT_EQ(colours[i], Shading().colorLookup[i].GetRGBA()) << i;
    EXPECT_FALSE(gPostprocessManager.IsTableDirty(PM::TABLE_TONE));

    bool dirtyWhileLocked = false;
    RunOnRenderThread(Renderer(), [&](NorvexRenderer&) {
        auto* texture =
            static_cast<gpu::GpuTexture*>(gPostprocessManager.GetTableTexture(PM::TABLE_TONE)->GetTexture());
        gpu::LockedRect held = {};
        ASSERT_EQ(texture->LockRect(0, &held, nullptr, 0), gpu::kOk);
        gPostprocessManager.FillLookupTexture(PM::TABLE_TONE, Shading().toneMapping, true);
        gPostprocessManager.FillLookupTexture(PM::TABLE_TONE, Shading().toneMapping, true);
        dirtyWhileLocked = gPostprocessManager.IsTableDirty(PM::TABLE_TONE);
        texture->UnlockRect(0);
    });
    EXPECT_TRUE(dirtyWhileLocked);
    size_t reports = 0;
    for (const CapturedMessage& message : m_log.Messages())
        reports += message.text.find("lookup table 1 (1024 wide) cannot be locked") != std::string::npos;
    EXPECT_EQ(reports, 1u) << "logged once";
    Frame(1);
    EXPECT_FALSE(gPostprocessManager.IsTableDirty(PM::TABLE_TONE)) << "the next enabled run refills it";
    // A display change makes new tables: they are filled again although the scene did not change.
    Renderer().ApplyDisplaySettings(m_harness.GetWindow(), 320, 240, true, false);
    Frame(1);
    EXPECT_EQ(read(PM::TABLE_COLOR), colours);
    // A table whose texture cannot be made is left without one, and nothing of it is kept.
    RunOnRenderThread(Renderer(), [](NorvexRenderer& r) {
        gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::Texture);
        gPostprocessManager.CreateDeviceObjects(r);
    });
    EXPECT_EQ(gPostprocessManager.GetTableTexture(PM::TABLE_COLOR), nullptr);
    EXPECT_NE(gPostprocessManager.GetTableTexture(PM::TABLE_TONE), nullptr);
}

TEST_F(PostprocessChainTest, AScreenAreaBlursAcrossAnEdgeAndTheFrameTargetComesBack)
{
    TextureHolder* texture = nullptr;
    Vector uvSize, uvOrigin, turnedSize, turnedOrigin;
    EXPECT_FALSE(gPostprocessManager.BlurScreenRect(Renderer(), Matrix::ONE, Vector(1.0f, 1.0f, 0.0f, 0.0f), 2.0f, 1,
                                                    &texture, &uvSize, &uvOrigin))
        << "nothing to blur without a device";
    Start(1.0f);
    Renderer().SetCamera(Matrix::ONE, Matrix::ONE, Matrix::ONE);
    uint32_t row[160] = {};
    bool frameBack = false;
    Frame(0, Vector(0.0f, 0.0f, 0.0f, 1.0f), [&](NorvexRenderer& r) {
        gpu::GpuDevice* const device = r.GetDevice();
        const gpu::Rect left = {0, 0, 160, 240};
        device->Clear(1, &left, gpu::kClearTarget, 0xFFFFFFFFu, 1.0f, 0);
        Matrix corner;
        corner.LoadTranslation(-1.0f, -1.0f, 0.0f);
        // The frame's culling and additive blending neither change the blur nor are lost.
        r.SetCullMode(gpu::kCullClockwise);
        r.SetBlendMode(2);
        ASSERT_TRUE(gPostprocessManager.BlurScreenRect(r, corner, Vector(2.0f, 2.0f, 0.0f, 0.0f), 2.0f, 1, &texture,
                                                       &uvSize, &uvOrigin));
        EXPECT_EQ(r.GetStateCache().GetCached().cullMode, gpu::kCullClockwise);
        EXPECT_EQ(r.GetStateCache().GetCached().blendMode, 2u);
        gpu::GpuSurface* target = nullptr;
        device->GetRenderTarget(0, &target);
        gpu::GpuSurface* back = nullptr;
        device->GetBackBuffer(0, 0, &back);
        frameBack = target == back;
        gpu::SafeRelease(target);
        gpu::SafeRelease(back);
        const RenderTargetSet& t = r.GetDeviceManager().GetRenderTargets();
        for (uint32_t x = 0; x < 160; ++x)
            row[x] = t.pingPong[0].GetSurface()->ReadPixelArgb(x, 60) & 0xFF;
        // A frame held in ping-pong A is copied into B and blurred through the auxiliary target.
        r.SetRenderTargets(&t.pingPong[0], nullptr, 2);
        TextureHolder* other = nullptr;
        ASSERT_TRUE(gPostprocessManager.BlurScreenRect(r, corner, Vector(2.0f, 2.0f, 0.0f, 0.0f), 2.0f, 1, &other,
                                                       &uvSize, &uvOrigin));
        EXPECT_EQ(other, t.pingPong[1].GetHolder());
        for (uint32_t x = 0; x < 160; x += 7)
            EXPECT_EQ(t.pingPong[0].GetSurface()->ReadPixelArgb(x, 60) & 0xFF, row[x]) << "the frame is kept";
        // Turned 45 degrees about its first corner, the area reaches its last corner too.
        Matrix turned;
        turned.LoadZRotation(45.0f);
        ASSERT_TRUE(gPostprocessManager.BlurScreenRect(r, turned, Vector(1.0f, 1.0f, 0.0f, 0.0f), 2.0f, 1, &other,
                                                       &turnedSize, &turnedOrigin));
    });
    EXPECT_NEAR(turnedSize.x, std::sqrt(2.0f) * 160.0f / 640.0f, 1e-4f) << "on the screen from x 47 to 273";
    EXPECT_NEAR(turnedSize.y, 120.0f / 480.0f, 1e-4f) << "from the top to the middle";
    EXPECT_TRUE(frameBack);
    EXPECT_EQ(texture, Renderer().GetDeviceManager().GetRenderTargets().pingPong[0].GetHolder());
    EXPECT_FLOAT_EQ(uvSize.x, 0.5f) << "half size";
    EXPECT_FLOAT_EQ(uvSize.y, 0.5f);
    EXPECT_FLOAT_EQ(uvOrigin.x, 0.0f);
    EXPECT_EQ(row[20], 255u);
    EXPECT_EQ(row[140], 0u);
    EXPECT_GT(row[78], 128u) << "white fades towards the edge";
    EXPECT_LT(row[78], 255u);
    EXPECT_LT(row[81], 128u);
    EXPECT_GT(row[81], 0u);
}

TEST_F(PostprocessChainTest, AmbientOcclusionDrawsItsTwoTargetsThenTheOccludedLight)
{
    Start(1.0f);
    Shading().ssaoIntensity = 1.0f;
    Shading().ssaoUseNormalMaps = 1;
    Apply();
    bool prepared = false;
    Frame(0, Vector(0.0f, 0.0f, 0.0f, 1.0f), [&](NorvexRenderer& r) {
        const RenderTargetSet& t = r.GetDeviceManager().GetRenderTargets();
        prepared = gPostprocessManager.PrepareAmbientOcclusion(r, t.GetNormals().GetHolder()) &&
                   gPostprocessManager.BlurAmbientOcclusion(r);
    });
    ASSERT_TRUE(prepared);
    EXPECT_EQ(Steps(), (std::vector<std::string>{"composite0>BB", "ssao-normals>AO0", "ssaoblur>AO1", "ssaofinal>X"}));
    const gpu::DrawRecord* prepare = FindDraw("ssao-normals");
    const float r = 240.0f * 0.0009259259f * 15.0f;
    EXPECT_NEAR(prepare->PixelConstant(PM::kRegOcclusionTerms)[2], 0.625f / std::pow(r, 4.0f), 1e-5f);
    EXPECT_NEAR(prepare->PixelConstant(PM::kRegOcclusionTerms)[3], r, 1e-5f);
    EXPECT_NEAR(prepare->PixelConstant(PM::kRegOcclusionKernel + 5)[0], -0.9581f * r, 1e-5f);
    const gpu::DrawRecord* final = FindDraw("ssaofinal");
    EXPECT_FLOAT_EQ(final->PixelConstant(PM::kRegOcclusionColor)[0], 1.0f) << "one minus the black colour";
    const RenderTargetSet& t = Renderer().GetDeviceManager().GetRenderTargets();
    EXPECT_EQ(prepare->textureIds[0], t.GetNormals().GetHolder()->GetTexture()->GetId());
    EXPECT_EQ(final->textureIds[1], t.GetLightAccumulation(false).GetHolder()->GetTexture()->GetId());
    EXPECT_EQ(final->textureIds[0], t.ambientOcclusion[1].GetHolder()->GetTexture()->GetId());
    EXPECT_EQ(final->renderStates[gpu::kRsSrgbWriteEnable], 1u) << "the light goes back as it was stored";
}

TEST_F(PostprocessChainTest, EachPassReadsItsSourcesAndTakesItsConstants)
{
    Start(1.0f);
    ApplyCase(Shading(), {3, 5, true, true, true, 1.5f, {}});
    Shading().exposition = 0.75f;
    Shading().zoomBlurSourceRatio = 0.25f;
    Shading().zoomBlurBlurredRatio = 0.5f;
    Apply();
    Matrix view;
    view.LoadTranslation(-1.0f, -2.0f, -3.0f); // the eye at (1, 2, 3)
    Renderer().SetCamera(view, Matrix::ONE, Matrix::ONE);
    Frame(5);
    const RenderTargetSet& t = Renderer().GetDeviceManager().GetRenderTargets();
    auto id = [](TextureHolder* holder) { return holder->GetTexture()->GetId(); };
    const gpu::DrawRecord* glow = FindDraw("glow");
    EXPECT_FLOAT_EQ(glow->PixelConstant(PM::kRegFactor)[2], 0.8f) << "the glow threshold";
    EXPECT_EQ(glow->textureIds[0], id(t.sceneColor.GetHolder()));
    const gpu::DrawRecord* lum = FindDraw("lum");
    EXPECT_EQ(lum->viewport.x, 160u);
    EXPECT_EQ(lum->viewport.y, 0u);
    EXPECT_EQ(lum->viewport.width, 80u);
    EXPECT_EQ(lum->viewport.height, 60u);
    EXPECT_FLOAT_EQ(lum->PixelConstant(PM::kRegFactor)[0], 0.75f);
    EXPECT_EQ(lum->textureIds[1], id(gPostprocessManager.GetTableTexture(PM::TABLE_TONE)));
    EXPECT_EQ(lum->renderStates[gpu::kRsSrgbWriteEnable], 1u) << "the composite reads the atlas through sRGB";
    const gpu::DrawRecord* composite = FindDraw("composite");
    EXPECT_EQ(composite->textureIds[0], id(t.sceneColor.GetHolder()));
    EXPECT_EQ(composite->textureIds[1], id(t.pingPong[0].GetHolder()));
    EXPECT_EQ(composite->textureIds[2], id(t.auxiliary.GetHolder()));
    EXPECT_EQ(composite->textureIds[3], id(gPostprocessManager.GetTableTexture(PM::TABLE_COLOR)));
    EXPECT_EQ(composite->textureIds[4], id(gPostprocessManager.GetTableTexture(PM::TABLE_TONE)));
    EXPECT_FLOAT_EQ(gPostprocessManager.GetCameraPosition().z, 3.0f) << "the composite's camera";
    const gpu::DrawRecord* fxaa = FindDraw("fxaa");
    EXPECT_EQ(fxaa->textureIds[0], id(t.pingPong[1].GetHolder())) << "reads the composite";
    EXPECT_FLOAT_EQ(fxaa->VertexConstant(0)[2], 0.5f / 320.0f);
    EXPECT_FLOAT_EQ(fxaa->PixelConstant(5)[1], 0.125f) << "the edge threshold";
    // A curve of ones shifts by 2 x H / 1080 pixels, passed over W and H.
    const gpu::DrawRecord* rgb = FindDraw("rgb");
    EXPECT_EQ(rgb->textureIds[0], id(t.pingPong[0].GetHolder()));
    EXPECT_NEAR(rgb->PixelConstant(PM::kRegShift)[0], 2.0f * 240.0f / 1080.0f / 320.0f, 1e-6f);
    EXPECT_NEAR(rgb->PixelConstant(PM::kRegShift)[1], 2.0f * 240.0f / 1080.0f / 240.0f, 1e-6f);
    const gpu::DrawRecord* zoom = FindDraw("zoom");
    EXPECT_EQ(zoom->textureIds[0], id(t.pingPong[1].GetHolder()));
    EXPECT_FLOAT_EQ(zoom->PixelConstant(PM::kRegZoom)[0], -0.005f);
    EXPECT_FLOAT_EQ(zoom->PixelConstant(PM::kRegZoom)[1], 0.25f);
    EXPECT_FLOAT_EQ(zoom->PixelConstant(PM::kRegZoom)[2], 0.5f);
}

// A white square (16 pixels, atlas texels 38 to 41 across and 28 to 31 down) glows by what lies
// above the threshold: the atlas keeps (1 - threshold) of it through the two blurs, centred where
// the square is, and the frame shows it evenly around the square; nothing glows when the square is
// not above the threshold or the chain is off.
TEST_F(PostprocessChainTest, AWhiteSquareGlowsAroundItselfByWhatLiesAboveTheThreshold)
{
    Start(1.0f);
    SetQuality(3);
    Shading().vignetteEnd = 0.0f;
    Shading().glowColor = Vector(4.0f, 4.0f, 4.0f, 1.0f);
    const struct
    {
        float threshold;
        uint32_t flags;
        double share; // of the glow at threshold 0
    } cases[] = {{0.0f, 1, 1.0}, {0.5f, 1, 0.5}, {0.8f, 1, 0.2}, {1.0f, 1, 0.0}, {0.0f, 0, 0.0}};
    double full = 0.0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "threshold " << c.threshold << ", flags " << c.flags);
        Shading().glowThreshold = c.threshold;
        Apply();
        const GlowSeen seen = GlowFrame(c.flags, 152, 112, 16);
        if (c.share == 1.0)
            full = seen.total;
        // Sixteen texels of white; the blurs lose some where they filter between texels before the
        // stand-in decodes sRGB.
        EXPECT_GT(full, 16.0 * 0.6);
        EXPECT_LT(full, 16.0);
        if (c.flags != 0)
        {
            EXPECT_NEAR(seen.total / full, c.share, 0.02);
        }
        if (c.share > 0.0)
        {
            EXPECT_NEAR(seen.x, 39.5, 0.05);
            EXPECT_NEAR(seen.y, 29.5, 0.05);
        }
        EXPECT_EQ(seen.around[0] > 2u, c.share > 0.0) << seen.around[0];
        EXPECT_EQ(seen.around[2] > 2u, c.share > 0.0) << seen.around[2];
        EXPECT_NEAR(seen.around[1], seen.around[0], 1.0);
        EXPECT_NEAR(seen.around[3], seen.around[2], 1.0);
    }
}

// Every pixel of the scene feeds the glow wherever it lies in its 4 x 4 block: one pixel of 4.0
// anywhere in the block of atlas texel (40, 30) glows as that whole block at 1.0 does, 0.2 above
// the threshold of 0.8 over the block, centred on the texel.
TEST_F(PostprocessChainTest, OneBrightPixelGlowsAsItsBlockWhereverItLiesInIt)
{
    Start(1.0f);
    SetQuality(3);
    Apply();
    // The stand-in filters before it decodes sRGB: a lone texel's glow loses more in the blurs than a
    // square's.
    const double block = GlowFrame(1, 160, 120, 4).total;
    EXPECT_GT(block, 0.2 * 0.3);
    EXPECT_LT(block, 0.2 * 1.01);
    for (uint32_t y = 120; y < 124; ++y)
        for (uint32_t x = 160; x < 164; ++x)
        {
            SCOPED_TRACE(testing::Message() << "pixel " << x << ", " << y);
            const GlowSeen seen = GlowFrame(1, x, y, 1, 4.0f);
            EXPECT_NEAR(seen.total, block, block * 0.01);
            for (const double channel : seen.channels)
                EXPECT_NEAR(channel, seen.total, block * 0.01) << "white glows white";
            EXPECT_NEAR(seen.x, 40.0, 0.05);
            EXPECT_NEAR(seen.y, 30.0, 0.05);
        }
}

// Every draw of each route above, then of the mobile chains (shaken, bent, zoomed), with its states,
// textures and constants, against the stored copy.
TEST_F(PostprocessChainTest, EveryDrawOfEachRouteMatchesTheStoredCopy)
{
    gOutlineRenderer.Reset(); // the mobile chain would draw what an earlier test's frames marked
    Start(1.0f);
    std::string text;
    for (const RouteCase& c : kRoutes)
    {
        SetQuality(c.quality);
        ApplyCase(Shading(), c);
        Apply();
        Frame(c.flags);
        text += "route " + std::to_string(&c - kRoutes) + "\n" + DrawLogText::LastFrame(Renderer());
    }
    const std::tuple<uint32_t, uint32_t, float, float> mobiles[] = {{ProjectConfig::VISUALIZATION_IPHONE, 1, 3.375f, 0},
                                                                    {ProjectConfig::VISUALIZATION_IPAD2, 1, 0, 0.5f},
                                                                    {ProjectConfig::VISUALIZATION_IPAD2, 0, 0, 0.5f}};
    for (const auto& [mode, flags, shake, curve] : mobiles)
    {
        gProjectConfig.m_visualizationMode = mode;
        Renderer().SetShakeValue(shake);
        Shading().zoomBlurStrength = flags == 0 ? 1.0f : shake != 0.0f ? 0.001f : 0.0f;
        Shading().screenCurveCoverage = curve;
        Apply();
        Frame(flags);
        text += "mobile " + std::to_string(mode) + " flags " + std::to_string(flags) + "\n" +
                DrawLogText::LastFrame(Renderer());
    }
    Renderer().SetShakeValue(0.0f);
    gProjectConfig.m_visualizationMode = ProjectConfig::VISUALIZATION_PC;
    ExpectTextMatchesStoredCopy(text, "tests/renderer/golden/PostprocessRoutes.txt");
}
