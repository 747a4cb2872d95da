// The programs of the post-processing families: glow source, Gaussian blur, luminance, the
// composite, FXAA, RGB shift, zoom blur, ambient occlusion and the mobile composite and screen
// curve. Each does what its source does. Pixel centres lie on whole window coordinates, so a quad
// over the target reads texel x at pixel x only when its texture coordinates move by half a texel:
// the composite, FXAA, RGB shift, zoom blur, mobile composite and screen curve add the half texel
// of their vertex constant to them, the glow source adds half of its scene texel, the luminance
// quad moves its corners instead.
#include "platform/gpu/ShaderProgramKit.h"

#include <cmath>

namespace gpu
{
namespace
{
float Saturate(float value) { return std::clamp(value, 0.0f, 1.0f); }
float Luminance(const Color4f& c) { return c.r * 0.2126f + c.g * 0.7152f + c.b * 0.0722f; }
Color4f Opaque(float r, float g, float b) { return {r, g, b, 1.0f}; }
float Channel(const Color4f& c, int i) { return i == 0 ? c.r : i == 1 ? c.g : c.b; }
Color4f Lerp(const Color4f& a, const Color4f& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// How a family's vertex entry moves the quad: corners and texture set 0 as they come; texture set 0
// times the register's xy plus its zw (FXAA's region and half texel); plus the register's zw (the
// half texel of the other full-size passes); plus half the register's xy, which texture set 1 takes
// whole (the glow source's scene texel); corners times the first register's xy plus the second's zw
// (luminance).
enum class QuadMapping
{
    Corners,
    Region,
    HalfTexel,
    Texel,
    ShiftedCorners,
};

struct QuadRegisters
{
    QuadMapping mapping = QuadMapping::Corners;
    const char* first = nullptr;
    const char* second = nullptr;
};

class PostQuadVertex : public VertexProgram
{
public:
    PostQuadVertex(Binder& b, const QuadRegisters& r)
        : m_mapping(r.mapping), m_first(r.first ? b.Float(r.first) : 0), m_second(r.second ? b.Float(r.second) : 0)
    {
    }

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        const float* p = in.attributes[kAttrPosition];
        const float* t = in.attributes[kAttrTex0];
        float x = p[0], y = p[1], u = t[0], v = t[1];
        const float* a = m_mapping == QuadMapping::Corners ? nullptr : Reg(constants, m_first);
        switch (m_mapping)
        {
        case QuadMapping::Corners: break;
        case QuadMapping::Region:
            u = u * a[0] + a[2];
            v = v * a[1] + a[3];
            break;
        case QuadMapping::HalfTexel:
            u += a[2];
            v += a[3];
            break;
        case QuadMapping::Texel:
            u += a[0] * 0.5f;
            v += a[1] * 0.5f;
            break;
        case QuadMapping::ShiftedCorners:
        {
            const float* shift = Reg(constants, m_second);
            x = x * a[0] + shift[2];
            y = y * a[1] + shift[3];
            break;
        }
        }
        out->position[0] = x;
        out->position[1] = y;
        out->position[2] = 0.0f;
        out->position[3] = 1.0f;
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        out->varyings[kVaryTex0] = u;
        out->varyings[kVaryTex0 + 1] = v;
        if (m_mapping == QuadMapping::Texel)
        {
            out->varyings[kVaryTex1] = a[0];
            out->varyings[kVaryTex1 + 1] = a[1];
        }
    }

private:
    QuadMapping m_mapping;
    uint32_t m_first, m_second;
};

// A pixel program reading one source texture at texture set 0 and a few registers.
class SourcePixel : public PixelProgram
{
protected:
    explicit SourcePixel(Binder& b) : m_source(b.Sampler("SourceTexture")) {}
    Color4f Read(const PixelContext& c, const PixelInput& in, float du = 0.0f, float dv = 0.0f) const
    {
        return Sample(c, m_source, in, in.varyings[kVaryTex0] + du, in.varyings[kVaryTex0 + 1] + dv);
    }
    uint32_t m_source;
};

// The mean of what lies above the threshold over the pixel's 4 x 4 block of the source, read at
// texel centres from the block's first (texture set 0) one texel (texture set 1) apart.
class GlowSourcePixel : public SourcePixel
{
public:
    explicit GlowSourcePixel(Binder& b) : SourcePixel(b), m_factor(b.Float("GlowFactor")) {}
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float* f = Reg(c.constants, m_factor);
        const float du = in.varyings[kVaryTex1], dv = in.varyings[kVaryTex1 + 1];
        float sum[3] = {};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
            {
                const Color4f s = Read(c, in, du * float(x), dv * float(y));
                sum[0] += std::max(s.r - f[0], 0.0f);
                sum[1] += std::max(s.g - f[1], 0.0f);
                sum[2] += std::max(s.b - f[2], 0.0f);
            }
        *out = Opaque(sum[0] / 16.0f, sum[1] / 16.0f, sum[2] / 16.0f);
        return true;
    }
    uint32_t VaryingCount() const override { return kVaryTex1 + 2; }

private:
    uint32_t m_factor;
};

// The tone-mapped luminance.
class LuminancePixel : public SourcePixel
{
public:
    explicit LuminancePixel(Binder& b)
        : SourcePixel(b), m_tone(b.Sampler("ToneCurve")), m_factor(b.Float("LuminanceFactor"))
    {
    }
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float l = Luminance(Read(c, in)) * Reg(c.constants, m_factor)[0];
        const float m = Sample(c, m_tone, in, Saturate(l * 0.25f), 0.5f).g;
        *out = Opaque(m, m, m);
        return true;
    }

private:
    uint32_t m_tone, m_factor;
};

// The centre and three fetch pairs along the step.
class GaussBlurPixel : public SourcePixel
{
public:
    explicit GaussBlurPixel(Binder& b)
        : SourcePixel(b), m_step(b.Float("BlurStep")), m_weights(b.Float("BlurWeights")),
          m_offsets(b.Float("BlurOffsets"))
    {
    }
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float* step = Reg(c.constants, m_step);
        const float* w = Reg(c.constants, m_weights);
        const float* o = Reg(c.constants, m_offsets);
        Color4f sum = Read(c, in);
        sum = {sum.r * w[0], sum.g * w[0], sum.b * w[0], sum.a * w[0]};
        for (int k = 0; k < 3; ++k)
        {
            const Color4f a = Read(c, in, step[0] * o[k], step[1] * o[k]);
            const Color4f b = Read(c, in, -step[0] * o[k], -step[1] * o[k]);
            sum.r += (a.r + b.r) * w[k + 1];
            sum.g += (a.g + b.g) * w[k + 1];
            sum.b += (a.b + b.b) * w[k + 1];
            sum.a += (a.a + b.a) * w[k + 1];
        }
        *out = sum;
        return true;
    }

private:
    uint32_t m_step, m_weights, m_offsets;
};

// The composite: glow, exposure, saturation, contrast, outlines, vignette, the two tables, colour.
class CompositePixel : public PixelProgram
{
public:
    explicit CompositePixel(Binder& b)
        : m_enabled(b.Has("Enabled")), m_outlines(b.Has("Outlines")), m_lumInAlpha(b.Has("LumInAlpha")),
          m_scene(b.Sampler("SceneTexture")), m_color(b.Float("CompositeColor"))
    {
        if (!m_enabled)
            return;
        m_glow = b.Sampler("GlowAtlas");
        m_colorTable = b.Sampler("ColorTable");
        m_toneCurve = b.Sampler("ToneCurve");
        m_glowColor = b.Float("GlowColor");
        m_nonGlowColor = b.Float("NonGlowColor");
        m_shading = b.Float("Shading");
        m_atlas = b.Float("AtlasShare");
        m_vignette = b.Float("Vignette");
        m_outline = m_outlines ? b.Sampler("OutlineTexture") : 0;
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float u = in.varyings[kVaryTex0], v = in.varyings[kVaryTex0 + 1];
        Color4f color = Sample(c, m_scene, in, u, v);
        color.a = 1.0f;
        if (m_enabled)
            color = Enabled(c, in, u, v, color);
        const float* k = Reg(c.constants, m_color);
        color = Opaque(color.r * k[0], color.g * k[1], color.b * k[2]);
        if (m_lumInAlpha)
            color.a = Luminance(color);
        *out = color;
        return true;
    }

private:
    Color4f Enabled(const PixelContext& c, const PixelInput& in, float u, float v, Color4f color) const
    {
        const float* atlas = Reg(c.constants, m_atlas);
        const Color4f glow = Sample(c, m_glow, in, u * atlas[2], v * atlas[3]);
        const float* g = Reg(c.constants, m_glowColor);
        const float* n = Reg(c.constants, m_nonGlowColor);
        const float* s = Reg(c.constants, m_shading);
        float rgb[3] = {(color.r * n[0] + glow.r * g[0]) * s[0], (color.g * n[1] + glow.g * g[1]) * s[0],
                        (color.b * n[2] + glow.b * g[2]) * s[0]};
        const float grey = rgb[0] * 0.2126f + rgb[1] * 0.7152f + rgb[2] * 0.0722f;
        for (float& x : rgb)
            x = ((grey + (x - grey) * s[2]) - 0.5f) * s[1] + 0.5f;
        if (m_outlines)
        {
            const Color4f o = Sample(c, m_outline, in, u, v);
            for (int i = 0; i < 3; ++i)
                rgb[i] += (Channel(o, i) - rgb[i]) * o.a;
        }
        const float keep = VignetteKeep(Reg(c.constants, m_vignette), u, v);
        float mapped[3];
        for (int i = 0; i < 3; ++i)
        {
            const float toned = Channel(Sample(c, m_toneCurve, in, Saturate(rgb[i] * keep * 0.25f), 0.5f), i);
            mapped[i] = Channel(Sample(c, m_colorTable, in, toned, 0.5f), i);
        }
        return Opaque(mapped[0], mapped[1], mapped[2]);
    }

    // The vignette (start, end, aspect) darkens from the distance "start" from the centre out to the
    // corners, where it takes away the share "end" of the colour; a start beyond the corners keeps all.
    static float VignetteKeep(const float* vignette, float u, float v)
    {
        const float dx = u - 0.5f, dy = (v - 0.5f) * vignette[2];
        const float reach = std::sqrt(0.25f + 0.25f * vignette[2] * vignette[2]);
        const float t =
            Saturate((std::sqrt(dx * dx + dy * dy) - vignette[0]) / std::max(reach - vignette[0], 1e-5f));
        return 1.0f - Saturate(vignette[1]) * t * t * (3.0f - 2.0f * t);
    }

    bool m_enabled, m_outlines, m_lumInAlpha;
    uint32_t m_scene, m_color;
    uint32_t m_glow = 0, m_colorTable = 0, m_toneCurve = 0, m_glowColor = 0, m_nonGlowColor = 0, m_shading = 0,
             m_atlas = 0, m_vignette = 0, m_outline = 0;
};

// Moves an edge pixel towards its neighbours' average.
class FxaaPixel : public SourcePixel
{
public:
    explicit FxaaPixel(Binder& b)
        : SourcePixel(b), m_texel(b.Float("Texel")),
          m_factors(b.Float(b.Has("Console") ? "ConsoleFactors" : "DesktopFactors"))
    {
    }
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float* t = Reg(c.constants, m_texel);
        const float* f = Reg(c.constants, m_factors);
        const Color4f centre = Read(c, in);
        const Color4f n[4] = {Read(c, in, t[0], 0.0f), Read(c, in, -t[0], 0.0f), Read(c, in, 0.0f, t[1]),
                              Read(c, in, 0.0f, -t[1])};
        const Color4f around = Opaque((n[0].r + n[1].r + n[2].r + n[3].r) * 0.25f,
                                      (n[0].g + n[1].g + n[2].g + n[3].g) * 0.25f,
                                      (n[0].b + n[1].b + n[2].b + n[3].b) * 0.25f);
        const float contrast = std::fabs(Luminance(around) - Luminance(centre));
        const float edge = contrast > std::max(f[2], f[1] * Luminance(centre)) ? f[0] : 0.0f;
        *out = Lerp(Opaque(centre.r, centre.g, centre.b), around, edge);
        return true;
    }

private:
    uint32_t m_texel, m_factors;
};

class RGBShiftPixel : public SourcePixel
{
public:
    explicit RGBShiftPixel(Binder& b) : SourcePixel(b), m_shift(b.Float("Shift")) {}
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float* s = Reg(c.constants, m_shift);
        *out = Opaque(Read(c, in, s[0], s[1]).r, Read(c, in).g, Read(c, in, -s[0], -s[1]).b);
        return true;
    }

private:
    uint32_t m_shift;
};

class ZoomBlurPixel : public SourcePixel
{
public:
    explicit ZoomBlurPixel(Binder& b) : SourcePixel(b), m_zoom(b.Float("Zoom")) {}
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float* z = Reg(c.constants, m_zoom);
        const float du = (in.varyings[kVaryTex0] - 0.5f) * z[0], dv = (in.varyings[kVaryTex0 + 1] - 0.5f) * z[0];
        float blurred[3] = {};
        for (int k = 1; k <= 4; ++k)
        {
            const Color4f s = Read(c, in, du * float(k), dv * float(k));
            blurred[0] += s.r;
            blurred[1] += s.g;
            blurred[2] += s.b;
        }
        const Color4f sharp = Read(c, in);
        *out = Opaque(sharp.r * z[1] + blurred[0] * 0.25f * z[2], sharp.g * z[1] + blurred[1] * 0.25f * z[2],
                      sharp.b * z[1] + blurred[2] * 0.25f * z[2]);
        return true;
    }

private:
    uint32_t m_zoom;
};

// Occlusion from eight view-depth reads around the pixel (normal maps are not read here).
class SSAOPreparePixel : public PixelProgram
{
public:
    explicit SSAOPreparePixel(Binder& b)
        : m_depth(b.Sampler("DepthTexture")), m_kernel(b.Float("Kernel")), m_terms(b.Float("Terms")),
          m_inverseProjection(b.Float("InverseProjectionTerms"))
    {
    }
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float u = in.varyings[kVaryTex0], v = in.varyings[kVaryTex0 + 1];
        const float* t = Reg(c.constants, m_terms);
        const float depth = ViewDepth(c, in, u, v);
        float occlusion = 0.0f;
        for (uint32_t k = 0; k < 8; ++k)
        {
            const float* o = Reg(c.constants, m_kernel + k);
            const float nearer = std::max(depth - ViewDepth(c, in, u + o[0] * t[0], v + o[1] * t[1]), 0.0f);
            occlusion += nearer * nearer * t[2];
        }
        *out = {Saturate(occlusion), depth, 0.0f, 1.0f};
        return true;
    }

private:
    float ViewDepth(const PixelContext& c, const PixelInput& in, float u, float v) const
    {
        const float* p = Reg(c.constants, m_inverseProjection);
        const float w = Sample(c, m_depth, in, u, v).r * p[2] + p[3];
        return w != 0.0f ? 1.0f / w : 0.0f;
    }

    uint32_t m_depth, m_kernel, m_terms, m_inverseProjection;
};

class SSAOBlurPixel : public PixelProgram
{
public:
    explicit SSAOBlurPixel(Binder& b)
        : m_final(b.Has("Final")), m_occlusion(b.Sampler("OcclusionTexture")), m_terms(b.Float("BlurTerms")),
          m_light(m_final ? b.Sampler("LightTexture") : 0), m_oneMinus(m_final ? b.Float("OneMinusColor") : 0)
    {
    }
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float u = in.varyings[kVaryTex0], v = in.varyings[kVaryTex0 + 1];
        const float* t = Reg(c.constants, m_terms);
        float occlusion = 0.0f;
        for (int k = -2; k <= 2; ++k)
            occlusion += Sample(c, m_occlusion, in, u + t[1] * float(k), v + t[2] * float(k)).r;
        occlusion *= 0.2f;
        if (!m_final)
        {
            *out = {occlusion, 0.0f, 0.0f, 1.0f};
            return true;
        }
        const Color4f light = Sample(c, m_light, in, u, v);
        occlusion *= 1.0f - Saturate(Luminance({light.r * 4.0f, light.g * 4.0f, light.b * 4.0f, 0.0f}) * t[0]);
        const float* m = Reg(c.constants, m_oneMinus);
        *out = {light.r * (1.0f - m[0] * occlusion), light.g * (1.0f - m[1] * occlusion),
                light.b * (1.0f - m[2] * occlusion), light.a};
        return true;
    }

private:
    bool m_final;
    uint32_t m_occlusion, m_terms, m_light, m_oneMinus;
};

class MobileCompositePixel : public PixelProgram
{
public:
    explicit MobileCompositePixel(Binder& b)
        : m_enabled(b.Has("Enabled")), m_zoom(b.Has("ZoomBlur")), m_shift(b.Has("RGBShift")), m_iPad2(b.Has("IPad2")),
          m_scene(b.Sampler("SceneTexture")), m_glow(m_enabled ? b.Sampler("GlowAtlas") : 0),
          m_outline(m_enabled ? b.Sampler("OutlineTexture") : 0),
          m_effects(m_enabled && (m_zoom || m_shift) ? b.Float("Effects") : 0)
    {
    }
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float u = in.varyings[kVaryTex0], v = in.varyings[kVaryTex0 + 1];
        Color4f color = Sample(c, m_scene, in, u, v);
        if (m_enabled)
        {
            const float* e = Reg(c.constants, m_effects);
            if (m_shift)
            {
                color.r = Sample(c, m_scene, in, u + e[0], v).r;
                color.b = Sample(c, m_scene, in, u - e[0], v).b;
            }
            if (m_zoom)
            {
                const Color4f b = Sample(c, m_scene, in, u + (u - 0.5f) * e[1], v + (v - 0.5f) * e[1]);
                color = {color.r * e[2] + b.r * e[3], color.g * e[2] + b.g * e[3], color.b * e[2] + b.b * e[3], 1.0f};
            }
            const Color4f g = Sample(c, m_glow, in, u * 0.25f, v * 0.25f);
            color = {color.r + g.r, color.g + g.g, color.b + g.b, 1.0f};
            const Color4f o = Sample(c, m_outline, in, u, v);
            color = Lerp(color, Opaque(o.r, o.g, o.b), o.a);
            if (m_iPad2)
                color = {color.r * 1.1f, color.g * 1.1f, color.b * 1.1f, 1.0f};
        }
        *out = Opaque(color.r, color.g, color.b);
        return true;
    }

private:
    bool m_enabled, m_zoom, m_shift, m_iPad2;
    uint32_t m_scene, m_glow, m_outline, m_effects;
};

class ScreenCurvePixel : public SourcePixel
{
public:
    explicit ScreenCurvePixel(Binder& b) : SourcePixel(b), m_curve(b.Has("Curve")), m_factors(m_curve ? b.Float("Curve") : 0)
    {
    }
    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        float u = in.varyings[kVaryTex0], v = in.varyings[kVaryTex0 + 1];
        if (m_curve)
        {
            const float* f = Reg(c.constants, m_factors);
            const float x = u * 2.0f - 1.0f, y = v * 2.0f - 1.0f;
            const float bend = 1.0f + f[0] * f[2] * std::pow(x * x + y * y, f[1]) * 0.1f;
            u = x * bend * 0.5f + 0.5f;
            v = y * bend * 0.5f + 0.5f;
        }
        *out = Sample(c, m_source, in, u, v);
        return true;
    }

private:
    bool m_curve;
    uint32_t m_factors;
};

template <typename Pixel>
ProgramEntry Entry(const char* name, std::vector<const char*> words, QuadRegisters quad = QuadRegisters())
{
    return {name, std::move(words), [quad](Binder& b) { return std::make_unique<PostQuadVertex>(b, quad); },
            [](Binder& b) { return std::make_unique<Pixel>(b); }};
}
} // namespace

void AddPostPrograms(std::vector<ProgramEntry>& entries)
{
    entries.push_back(Entry<GlowSourcePixel>("GlowSource", {}, {QuadMapping::Texel, "QuadShift", nullptr}));
    entries.push_back(Entry<LuminancePixel>("DownscaleLuminance", {},
                                            {QuadMapping::ShiftedCorners, "QuadScale", "QuadShift"}));
    entries.push_back(Entry<GaussBlurPixel>("GaussBlur", {}));
    const QuadRegisters halfTexel = {QuadMapping::HalfTexel, "TexelShift", nullptr};
    entries.push_back(
        Entry<CompositePixel>("PostComposite", {"Enabled", "Outlines", "LumInAlpha"}, halfTexel));
    entries.push_back(Entry<FxaaPixel>("Fxaa", {"Console"}, {QuadMapping::Region, "RegionScale", nullptr}));
    entries.push_back(Entry<RGBShiftPixel>("RGBShift", {}, halfTexel));
    entries.push_back(Entry<ZoomBlurPixel>("ZoomBlur", {}, halfTexel));
    entries.push_back(Entry<SSAOPreparePixel>("SSAOPrepare", {"NormalMaps"}));
    entries.push_back(Entry<SSAOBlurPixel>("SSAOBlur", {"Final"}));
    entries.push_back(
        Entry<MobileCompositePixel>("MobileComposite", {"Enabled", "ZoomBlur", "IPad2", "RGBShift"}, halfTexel));
    entries.push_back(Entry<ScreenCurvePixel>("ScreenCurve", {"Curve"}, halfTexel));
}
} // namespace gpu
