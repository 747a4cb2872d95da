// The chain's arithmetic against independent computations: variant option texts, which passes a
// frame runs, the RGB-shift sample, the blur kernel, the FXAA and ambient-occlusion constants and
// the lookup tables' gamma remap.
#include "renderer/PostprocessMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace PM = PostprocessMath;

TEST(PostprocessMathTest, VariantOptionsNameEverySetBitOnlyWhenEnabled)
{
    const char* const composite[] = {"ENABLED", "OUTLINES", "LOCAL_CONTRAST", "LOW_SPEC_MODE", "LUM_IN_ALPHA"};
    const char* const mobile[] = {"ENABLED", "ZOOM_BLUR", "IPAD2", "RGB_SHIFT"};
    EXPECT_EQ(PM::VariantOptions(0, composite, 5), "");
    EXPECT_EQ(PM::VariantOptions(30, composite, 5), "") << "no words without ENABLED";
    EXPECT_EQ(PM::VariantOptions(1, composite, 5), "ENABLED ");
    EXPECT_EQ(PM::VariantOptions(5, composite, 5), "ENABLED LOCAL_CONTRAST ");
    EXPECT_EQ(PM::VariantOptions(31, composite, 5), "ENABLED OUTLINES LOCAL_CONTRAST LOW_SPEC_MODE LUM_IN_ALPHA ");
    EXPECT_EQ(PM::VariantOptions(13, mobile, 4), "ENABLED IPAD2 RGB_SHIFT ");
}

TEST(PostprocessMathTest, TheChainRunsWhatQualityFlagsAndSceneAllow)
{
    struct Case
    {
        bool enabled, fxaaAllowed, outlines;
        uint32_t quality;
        float contrast, zoom, shift;
        bool sceneFxaa;
        bool lum, zoomOn, rgb, fxaa;
        uint32_t variant;
    };
    const Case cases[] = {
        // Bit 0 clear: variant 0, nothing else, whatever is asked.
        {false, true, true, 3, 2.0f, 1.0f, 1.0f, true, true, false, false, false, 0},
        {true, true, false, 3, 1.0f, 1.0f, 1.0f, true, false, true, true, true, 1 | 16},
        // Quality 2 never smooths; quality 1 neither shifts nor zooms and takes the low-spec variant.
        {true, true, false, 2, 1.0f, 1.0f, 1.0f, true, false, true, true, false, 1},
        {true, true, false, 1, 1.0f, 1.0f, 1.0f, true, false, false, false, false, 1 | 8},
        // FXAA needs the scene's switch and flags bit 2 too.
        {true, false, false, 3, 1.0f, 0.0f, 0.0f, true, false, false, false, false, 1},
        {true, true, false, 3, 1.0f, 0.0f, 0.0f, false, false, false, false, false, 1},
        // Local contrast within 0.0001 of 1 is off.
        {true, false, true, 3, 1.00009f, 0.0f, 0.0f, false, false, false, false, false, 1 | 2},
        {true, false, false, 3, 1.0002f, 0.0f, 0.0f, false, true, false, false, false, 1 | 4},
        {true, false, false, 3, 0.9998f, 0.0f, 0.0f, false, true, false, false, false, 1 | 4},
        // Thresholds: zoom above 0.0001, shift above 0.01 either way.
        {true, false, false, 3, 1.0f, 0.0001f, 0.01f, false, false, false, false, false, 1},
        {true, false, false, 3, 1.0f, 0.0002f, -0.0101f, false, false, true, true, false, 1},
    };
    for (const Case& c : cases)
    {
        PM::ChainInputs in;
        in.enabled = c.enabled;
        in.fxaaAllowed = c.fxaaAllowed;
        in.outlineSwitch = c.outlines;
        in.quality = c.quality;
        in.localContrast = c.contrast;
        in.zoomBlurStrength = c.zoom;
        in.rgbShift = c.shift;
        in.sceneFxaa = c.sceneFxaa;
        const PM::ChainDecision d = PM::DecideChain(in);
        const size_t row = &c - cases;
        EXPECT_EQ(d.localContrast, c.lum) << row;
        EXPECT_EQ(d.zoom, c.zoomOn) << row;
        EXPECT_EQ(d.rgb, c.rgb) << row;
        EXPECT_EQ(d.fxaa, c.fxaa) << row;
        EXPECT_EQ(d.compositeVariant, c.variant) << row;
    }
    EXPECT_EQ(PM::MobileCompositeVariant(false, 1.0f, 2, 1.0f), 0u);
    EXPECT_EQ(PM::MobileCompositeVariant(true, 0.0001f, 1, 0.0f), 1u);
    EXPECT_EQ(PM::MobileCompositeVariant(true, 0.0002f, 2, -0.5f), 1u | 2u | 4u | 8u);
}

TEST(PostprocessMathTest, TheRGBShiftFollowsTheCurveAndNeverReadsPastIt)
{
    // A ramp: entry i holds i, so the amount is the time in steps of 5/63 s. A heap table of
    // exactly 64 entries lets the address checker see a read past it.
    std::vector<float> curve(64);
    for (uint32_t i = 0; i < 64; ++i)
        curve[i] = float(i);
    struct Case
    {
        double seconds;
        float effect, amount;
    };
    const Case cases[] = {
        {0.0, 0.0f, 0.0f},  {2.5, 0.0f, 31.5f},  {7.5, 0.0f, 31.5f}, {-2.5, 0.0f, 31.5f},
        {1.0, 0.25f, 12.85f}, {4.99999999999, 0.0f, 63.0f}, // rounds to the loop's end in floats
    };
    for (const Case& c : cases)
        EXPECT_NEAR(PM::RGBShiftAmount(curve.data(), c.seconds, c.effect), c.amount, 2e-3f) << c.seconds;
    curve[63] = 100.0f;
    EXPECT_NEAR(PM::RGBShiftAmount(curve.data(), 4.99999999999, 0.0f), 100.0f, 0.1f) << "the last step reaches entry 63";
}

TEST(PostprocessMathTest, TheBlurKernelIsTheNormalisedThirteenTapGaussian)
{
    for (const float sigma : {0.5f, 1.0f, 2.0f, 3.5f})
    {
        double w[7];
        for (int k = 0; k < 7; ++k)
            w[k] = std::exp(-double(k * k) / (2.0 * sigma * sigma)) / (sigma * std::sqrt(2.0 * M_PI));
        double total = w[0];
        for (int k = 1; k < 7; ++k)
            total += 2.0 * w[k];
        const PM::GaussianKernel kernel = PM::ComputeGaussianKernel(sigma);
        EXPECT_NEAR(kernel.centre, w[0] / total, 1e-6) << sigma;
        double sum = kernel.centre;
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_NEAR(kernel.weights[i], (w[2 * i + 1] + w[2 * i + 2]) / total, 1e-6) << sigma << " " << i;
            EXPECT_NEAR(kernel.offsets[i], 2 * i + 1 + w[2 * i + 2] / (w[2 * i + 1] + w[2 * i + 2]), 1e-5)
                << sigma << " " << i;
            sum += 2.0 * kernel.weights[i];
        }
        EXPECT_NEAR(sum, 1.0, 1e-6) << sigma;
    }
}

TEST(PostprocessMathTest, FxaaConstantsScaleWithTheRenderSize)
{
    const float factors[6] = {0.75f, 0.125f, 0.0625f, 0.5f, 0.125f, 0.05f};
    const PM::FxaaConstants c = PM::ComputeFxaaConstants(1920.0f, 1080.0f, 960.0f, 1080.0f, factors);
    const float w = 1920.0f, h = 1080.0f;
    const Vector expected[8] = {
        {0.5f, 1.0f, 0.5f / w, 0.5f / h},         {1.0f / w, 1.0f / h, 0.0f, 0.0f},
        {-0.5f / w, -0.5f / h, 0.5f / w, 0.5f / h}, {-2.0f / w, -2.0f / h, 2.0f / w, 2.0f / h},
        {8.0f / w, 8.0f / h, -4.0f / w, -4.0f / h}, {1.0f, -1.0f, 0.25f, -0.25f},
        {0.75f, 0.125f, 0.0625f, 0.0f},           {0.5f, 0.125f, 0.05f, 0.0f},
    };
    for (int i = 0; i < 8; ++i)
    {
        const Vector& got = i == 0 ? c.vertex : c.pixel[i - 1];
        EXPECT_FLOAT_EQ(got.x, expected[i].x) << i;
        EXPECT_FLOAT_EQ(got.y, expected[i].y) << i;
        EXPECT_FLOAT_EQ(got.z, expected[i].z) << i;
        EXPECT_FLOAT_EQ(got.w, expected[i].w) << i;
    }
}

TEST(PostprocessMathTest, AmbientOcclusionRadiusIsClampedButTheStrengthUsesTheRawRadius)
{
    struct Case
    {
        float height, radius, rawRadius, clamped;
    };
    for (const Case& c : {Case{1080.0f, 15.0f, 15.0f, 15.0f}, Case{2160.0f, 15.0f, 30.0f, 20.0f},
                          Case{36.0f, 15.0f, 0.5f, 1.0f}, Case{1080.0f, 20.0f, 20.0f, 20.0f}})
    {
        const PM::AmbientOcclusionConstants k = PM::ComputeAmbientOcclusionConstants(c.height, c.radius, 2.0f);
        EXPECT_NEAR(k.radius, c.clamped, 1e-4f) << c.height;
        EXPECT_NEAR(k.strengthTerm / (2.0f * 0.625f / std::pow(c.rawRadius, 4.0f)), 1.0f, 1e-4f) << c.height;
        for (int i = 0; i < 8; ++i)
        {
            const float length = std::hypot(k.kernel[i][0], k.kernel[i][1]) / k.radius;
            EXPECT_NEAR(length, i < 4 ? 0.5f : 1.0f, 1e-3f) << i;
            // Each offset is the one before turned a quarter to the left.
            const int previous = i % 4 == 0 ? i + 3 : i - 1;
            EXPECT_NEAR(k.kernel[i][0], -k.kernel[previous][1], 1e-4f) << i;
            EXPECT_NEAR(k.kernel[i][1], k.kernel[previous][0], 1e-4f) << i;
        }
    }
    EXPECT_EQ(PM::ComputeAmbientOcclusionConstants(1080.0f, 0.0f, 1.0f).strengthTerm, 0.0f) << "no division by zero";
}

TEST(PostprocessMathTest, TheGammaRemapReadsTheLowerPartOfTheTable)
{
    struct Case
    {
        uint32_t i, width;
        bool remap;
        uint32_t source;
    };
    for (const Case& c : {Case{0, 1024, true, 0}, Case{256, 1024, true, 256}, Case{1023, 1024, true, 480},
                          Case{64, 1024, true, 136}, Case{63, 64, true, 29}, Case{1023, 1024, false, 1023},
                          Case{17, 64, false, 17}})
        EXPECT_EQ(PM::LookupSourceIndex(c.i, c.width, c.remap), c.source) << c.i << "/" << c.width;
    uint32_t last = 0;
    for (uint32_t i = 0; i < 1024; ++i)
    {
        const uint32_t source = PM::LookupSourceIndex(i, 1024, true);
        EXPECT_GE(source, last);
        EXPECT_LE(source, 480u);
        last = source;
    }
}
