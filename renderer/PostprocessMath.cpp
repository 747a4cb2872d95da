#include "renderer/PostprocessMath.h"

#include <algorithm>
#include <cmath>

namespace PostprocessMath
{
const float kAmbientOcclusionKernel[8][2] = {
    {0.44f, 0.2375f},   {-0.2375f, 0.44f}, {-0.44f, -0.2375f}, {0.2375f, -0.44f},
    {0.2864f, 0.9581f}, {-0.9581f, 0.2864f}, {-0.2864f, -0.9581f}, {0.9581f, -0.2864f},
};

std::string VariantOptions(uint32_t index, const char* const* words, uint32_t wordCount)
{
    std::string text;
    if ((index & 1u) == 0)
        return text;
    for (uint32_t bit = 0; bit < wordCount; ++bit)
        if ((index & (1u << bit)) != 0)
            text.append(words[bit]).push_back(' ');
    return text;
}

ChainDecision DecideChain(const ChainInputs& in)
{
    ChainDecision d;
    d.localContrast = std::fabs(in.localContrast - 1.0f) > kEffectEpsilon;
    d.zoom = in.enabled && in.zoomBlurStrength > kEffectEpsilon && in.quality >= 2;
    d.rgb = in.enabled && std::fabs(in.rgbShift) > kRGBShiftEpsilon && in.quality >= 2;
    d.fxaa = in.enabled && in.sceneFxaa && in.fxaaAllowed && in.quality >= 3;
    if (in.enabled)
        d.compositeVariant = kCompositeEnabled | (in.outlineSwitch ? kCompositeOutlines : 0u) |
                             (d.localContrast ? kCompositeLocalContrast : 0u) |
                             (in.quality < 2 ? kCompositeLowSpec : 0u) | (d.fxaa ? kCompositeLumInAlpha : 0u);
    return d;
}

uint32_t MobileCompositeVariant(bool enabled, float zoomBlurStrength, uint32_t platformMode, float cameraEffect)
{
    if (!enabled)
        return 0;
    return kMobileEnabled | (zoomBlurStrength > kEffectEpsilon ? kMobileZoomBlur : 0u) |
           (platformMode == 2 ? kMobileIPad2 : 0u) | (cameraEffect != 0.0f ? kMobileRGBShift : 0u);
}

float RGBShiftAmount(const float* curve64, double gameSeconds, float cameraEffect)
{
    double t = std::fmod(gameSeconds, double(kRGBShiftLoopSeconds));
    if (!(t >= 0.0))
        t = t < 0.0 ? t + kRGBShiftLoopSeconds : 0.0;
    const float seconds = float(t);
    const int32_t k = std::clamp(int32_t(seconds * 0.2f * 63.0f), 0, int32_t(kRGBShiftSamples) - 2);
    const float base = curve64[k];
    return base + (seconds - float(k) * 0.07936508f) * 12.6f * (curve64[k + 1] - base) + cameraEffect;
}

GaussianKernel ComputeGaussianKernel(float sigma)
{
    float w[7];
    float sum = 0.0f;
    for (int k = 0; k < 7; ++k)
    {
        w[k] = std::exp(-float(k * k) / (2.0f * sigma * sigma)) / (sigma * std::sqrt(2.0f * 3.14159265358979f));
        sum += w[k];
    }
    const float norm = 1.0f / (2.0f * sum - w[0]);
    GaussianKernel kernel;
    kernel.centre = norm * w[0];
    for (int i = 0; i < 3; ++i)
    {
        const float a = w[2 * i + 1], b = w[2 * i + 2];
        kernel.weights[i] = norm * (a + b);
        kernel.offsets[i] = float(2 * i + 1) + (a + b > 0.0f ? b / (a + b) : 0.0f);
    }
    return kernel;
}

FxaaConstants ComputeFxaaConstants(float width, float height, float regionWidth, float regionHeight,
                                   const float factors[6])
{
    const float w = width, h = height, f = factors[3];
    FxaaConstants c;
    c.vertex = Vector(regionWidth / w, regionHeight / h, 0.5f / w, 0.5f / h);
    c.pixel[0] = Vector(1.0f / w, 1.0f / h, 0.0f, 0.0f);
    c.pixel[1] = Vector(-f / w, -f / h, f / w, f / h);
    c.pixel[2] = Vector(-2.0f / w, -2.0f / h, 2.0f / w, 2.0f / h);
    c.pixel[3] = Vector(8.0f / w, 8.0f / h, -4.0f / w, -4.0f / h);
    c.pixel[4] = Vector(1.0f, -1.0f, 0.25f, -0.25f);
    c.pixel[5] = Vector(factors[0], factors[1], factors[2], 0.0f);
    c.pixel[6] = Vector(factors[3], factors[4], factors[5], 0.0f);
    return c;
}

AmbientOcclusionConstants ComputeAmbientOcclusionConstants(float height, float radius, float strength)
{
    AmbientOcclusionConstants c;
    const float r = height * kPixelsPer1080 * radius;
    c.radius = std::clamp(r, 1.0f, 20.0f);
    for (int i = 0; i < 8; ++i)
    {
        c.kernel[i][0] = kAmbientOcclusionKernel[i][0] * c.radius;
        c.kernel[i][1] = kAmbientOcclusionKernel[i][1] * c.radius;
    }
    const float r4 = r * r * r * r;
    c.strengthTerm = r4 > 0.0f ? strength * 0.625f / r4 : 0.0f;
    return c;
}

uint32_t LookupSourceIndex(uint32_t i, uint32_t width, bool remapGamma)
{
    if (!remapGamma)
        return i;
    const float quarter = float(width / 4);
    return uint32_t(quarter * std::pow(float(i) / quarter, 0.45454544f));
}
} // namespace PostprocessMath
