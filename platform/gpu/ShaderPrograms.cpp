// The programs of the engine's shader families, and how a shader's code finds its program.
#include "platform/gpu/ShaderProgram.h"
#include "platform/gpu/ShaderProgramKit.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

namespace gpu
{
namespace
{
// Position through a matrix, an optional colour (times an optional constant colour) and texture
// set 0 (optionally scaled and offset by a constant): what most families' vertex shaders do.
class TransformVertex : public VertexProgram
{
public:
    struct Options
    {
        const char* matrix = "ModelViewProjMatrix";
        bool color = true;
        bool constantColor = false;
        const char* uvScaleOffset = nullptr;
        bool depthInTex1 = false; // z / w of the projected position
        bool skinning = false;
        // Texture-sheet frames: set 0 and the next frame's coordinates (in set 1) through the
        // frame size and the two frames' origins.
        bool frameSheet = false;
        bool softDepth = false; // the view distance and fade per unit in set 2
    };
    TransformVertex(Binder& b, const Options& o)
        : m_matrix(b.Float(o.matrix)), m_color(o.color), m_constantColor(o.constantColor),
          m_constantColorRegister(o.constantColor ? b.Float("ConstantColor") : 0),
          m_scaleOffset(o.uvScaleOffset != nullptr), m_scaleOffsetRegister(o.uvScaleOffset ? b.Float(o.uvScaleOffset) : 0),
          m_depthInTex1(o.depthInTex1), m_skinning(o.skinning), m_frameSheet(o.frameSheet), m_softDepth(o.softDepth),
          m_frameScale(o.frameSheet ? b.Float("FrameScale") : 0), m_frameOrigins(o.frameSheet ? b.Float("FrameOrigins") : 0),
          m_depthTerms(o.softDepth ? b.Float("DepthSoftness") : 0)
    {
    }

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        if (m_skinning)
        {
            float position[4];
            ReadPosition(constants, in, true, position);
            MulColumns(constants, m_matrix, position, out->position);
        }
        else
            MulColumns(constants, m_matrix, in.attributes[kAttrPosition], out->position);
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        if (m_color)
        {
            Copy4(out->varyings + kVaryColor, in.attributes[kAttrColor0]);
            if (m_constantColor)
                for (uint32_t i = 0; i < 4; ++i)
                    out->varyings[kVaryColor + i] *= Reg(constants, m_constantColorRegister)[i];
        }
        Copy4(out->varyings + kVaryTex0, in.attributes[kAttrTex0]);
        if (m_scaleOffset)
        {
            const float* so = Reg(constants, m_scaleOffsetRegister);
            out->varyings[kVaryTex0] = in.attributes[kAttrTex0][0] * so[0] + so[2];
            out->varyings[kVaryTex0 + 1] = in.attributes[kAttrTex0][1] * so[1] + so[3];
        }
        if (m_depthInTex1)
            out->varyings[kVaryTex1] = out->position[3] != 0.0f ? out->position[2] / out->position[3] : 0.0f;
        if (m_frameSheet)
        {
            const float* scale = Reg(constants, m_frameScale);
            const float* origins = Reg(constants, m_frameOrigins);
            const float* uv = in.attributes[kAttrTex0];
            out->varyings[kVaryTex0] = uv[0] * scale[0] + origins[0];
            out->varyings[kVaryTex0 + 1] = uv[1] * scale[1] + origins[1];
            out->varyings[kVaryTex1] = uv[0] * scale[2] + origins[2];
            out->varyings[kVaryTex1 + 1] = uv[1] * scale[3] + origins[3];
        }
        if (m_softDepth)
            SoftDepthVaryings(constants, m_depthTerms, out->position, out->varyings + kVaryTex2);
    }

private:
    uint32_t m_matrix;
    bool m_color, m_constantColor;
    uint32_t m_constantColorRegister;
    bool m_scaleOffset;
    uint32_t m_scaleOffsetRegister;
    bool m_depthInTex1;
    bool m_skinning, m_frameSheet, m_softDepth;
    uint32_t m_frameScale, m_frameOrigins, m_depthTerms;
};

// FixedPipelineReplacement: the vertex colour, optionally textured (or a blurred copy mixed with the
// frame texture, or a texture sheet's frame blended into the next), refracting the screen behind,
// softened near the scene, times a video frame, then greyed, faded or gamma-encoded.
class VertexColorPixel : public PixelProgram
{
public:
    explicit VertexColorPixel(Binder& b)
        : m_texture(b.Has("Texture")), m_alphaOnly(b.Has("AlphaTexture")), m_fade(b.Has("Fade")),
          m_saturation(b.Has("Saturation")), m_srgb(b.Has("Srgb")), m_screenUv(b.Has("ScreenUv")),
          m_screenBlur(m_texture && !m_alphaOnly && b.Has("ScreenBlur")),
          m_frameSheet(m_texture && !m_alphaOnly && !m_screenBlur && b.Has("FrameSheet")),
          m_refraction(b.Has("Refraction")), m_softness(b.Has("Softness")), m_video(b.Has("Video")),
          m_diffuse(m_texture || m_refraction ? b.Sampler("DiffuseTexture") : 0),
          m_frame(m_screenBlur || m_refraction ? b.Sampler("FrameTexture") : 0),
          m_fadeColor(m_fade ? b.Float("FadeColor") : 0),
          m_weights(m_saturation ? b.Float("SaturationWeights") : 0),
          m_screenToView(m_screenUv || m_refraction ? b.Float("ScreenToView") : 0),
          m_frameBlend(m_frameSheet ? b.Float("FrameBlend") : 0),
          m_refractionParams(m_refraction ? b.Float("RefractionParams") : 0),
          m_refractionBlend(m_refraction ? b.Float("RefractionBlend") : 0),
          m_planes{m_video ? b.Sampler("VideoPlaneY") : 0, m_video ? b.Sampler("VideoPlaneU") : 0,
                   m_video ? b.Sampler("VideoPlaneV") : 0},
          m_chromaScale(m_video ? b.Float("VideoChromaScale") : 0)
    {
        if (m_softness)
            m_soft = std::make_unique<SoftDepth>(b);
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        Color4f color = Varying(in, kVaryColor);
        float u = in.varyings[kVaryTex0], v = in.varyings[kVaryTex0 + 1];
        if (m_screenUv)
        {
            u = float(in.x) * Reg(c.constants, m_screenToView)[0];
            v = float(in.y) * Reg(c.constants, m_screenToView)[1];
        }
        if (m_texture)
            color = Textured(c, in, color, u, v);
        if (m_refraction)
            color = Refract(c, in, color);
        if (m_soft)
            color.a *= m_soft->Fade(c, in, in.varyings[kVaryTex2], in.varyings[kVaryTex2 + 1]);
        if (m_video)
        {
            const float* chroma = Reg(c.constants, m_chromaScale);
            const Color4f rgb =
                VideoYuvToRgb(Sample(c, m_planes[0], in, u, v).r, Sample(c, m_planes[1], in, u * chroma[0], v * chroma[1]).r,
                              Sample(c, m_planes[2], in, u * chroma[0], v * chroma[1]).r);
            color = {color.r * rgb.r, color.g * rgb.g, color.b * rgb.b, color.a};
        }
        if (m_saturation)
        {
            const float* w = Reg(c.constants, m_weights);
            color.r = color.g = color.b = color.r * w[0] + color.g * w[1] + color.b * w[2];
        }
        if (m_fade)
            color = Mul(color, FromRegister(Reg(c.constants, m_fadeColor)));
        if (m_srgb)
        {
            color.r = std::pow(std::max(color.r, 0.0f), 1.0f / 2.2f);
            color.g = std::pow(std::max(color.g, 0.0f), 1.0f / 2.2f);
            color.b = std::pow(std::max(color.b, 0.0f), 1.0f / 2.2f);
        }
        *out = color;
        return true;
    }

    uint32_t VaryingCount() const override
    {
        return m_soft ? kVaryingCount : m_frameSheet ? kVaryTex2 : kVaryTex1;
    }
    bool SamplesTextures() const override { return m_texture || m_refraction || m_video; }

private:
    Color4f Textured(const PixelContext& c, const PixelInput& in, Color4f color, float u, float v) const
    {
        Color4f t = Sample(c, m_diffuse, in, u, v);
        if (m_screenBlur)
        {
            // The blurred copy and the frame texture, half each.
            const Color4f f = Sample(c, m_frame, in, u, v);
            t = {(t.r + f.r) * 0.5f, (t.g + f.g) * 0.5f, (t.b + f.b) * 0.5f, (t.a + f.a) * 0.5f};
        }
        if (m_frameSheet)
        {
            const Color4f next = Sample(c, m_diffuse, in, in.varyings[kVaryTex1], in.varyings[kVaryTex1 + 1]);
            const float k = Reg(c.constants, m_frameBlend)[0];
            t = {t.r + (next.r - t.r) * k, t.g + (next.g - t.g) * k, t.b + (next.b - t.b) * k, t.a + (next.a - t.a) * k};
        }
        if (m_alphaOnly)
        {
            color.a *= t.a;
            return color;
        }
        return Mul(color, t);
    }

    // The screen behind, displaced by the texture's red and green (repeated by the granularity,
    // scaled by the power), under the colour as the blend mode's row f weighs them:
    // colour x (f.x a + f.y) + behind x (f.z a + f.w); opaque.
    Color4f Refract(const PixelContext& c, const PixelInput& in, const Color4f& color) const
    {
        const float* p = Reg(c.constants, m_refractionParams);
        const float* f = Reg(c.constants, m_refractionBlend);
        const Color4f bend =
            Sample(c, m_diffuse, in, in.varyings[kVaryTex0] * p[1], in.varyings[kVaryTex0 + 1] * p[1]);
        float u = 0.0f, v = 0.0f;
        ScreenCentreUv(c, m_screenToView, in, &u, &v);
        const float shift = p[0] * 0.05f;
        const Color4f behind = Sample(c, m_frame, in, u + (bend.r * 2.0f - 1.0f) * shift, v + (bend.g * 2.0f - 1.0f) * shift);
        const float own = f[0] * color.a + f[1], under = f[2] * color.a + f[3];
        return {color.r * own + behind.r * under, color.g * own + behind.g * under, color.b * own + behind.b * under,
                1.0f};
    }

    bool m_texture, m_alphaOnly, m_fade, m_saturation, m_srgb, m_screenUv, m_screenBlur, m_frameSheet, m_refraction,
        m_softness, m_video;
    uint32_t m_diffuse, m_frame, m_fadeColor, m_weights, m_screenToView, m_frameBlend, m_refractionParams,
        m_refractionBlend;
    uint32_t m_planes[3];
    uint32_t m_chromaScale;
    std::unique_ptr<SoftDepth> m_soft;
};

// Font: glyph corners in font pixels (plus an offset) through the matrix, texel coordinates scaled
// into the page, the colour from texture set 1.
class FontVertex : public VertexProgram
{
public:
    explicit FontVertex(Binder& b)
        : m_matrix(b.Float("ModelViewProjMatrix")), m_texelScale(b.Float("TexelScale")),
          m_offset(b.Float("PositionOffset"))
    {
    }

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        const float* offset = Reg(constants, m_offset);
        const float position[4] = {in.attributes[kAttrPosition][0] + offset[0],
                                   in.attributes[kAttrPosition][1] + offset[1], 0.0f, 1.0f};
        MulColumns(constants, m_matrix, position, out->position);
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        Copy4(out->varyings + kVaryColor, in.attributes[kAttrTex1]);
        const float* scale = Reg(constants, m_texelScale);
        out->varyings[kVaryTex0] = in.attributes[kAttrTex0][0] * scale[0];
        out->varyings[kVaryTex0 + 1] = in.attributes[kAttrTex0][1] * scale[1];
    }

private:
    uint32_t m_matrix, m_texelScale, m_offset;
};

// Font: glyph coverage from the page's alpha, with an optional outline from its green channel.
class FontPixel : public PixelProgram
{
public:
    explicit FontPixel(Binder& b)
        : m_outlines(b.Has("Outlines")), m_page(b.Sampler("FontPage")),
          m_outlineColor(m_outlines ? b.Float("EffectColor") : 0)
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const Color4f glyph = SampleTex0(c, m_page, in);
        const Color4f color = Varying(in, kVaryColor);
        if (!m_outlines)
        {
            *out = {color.r, color.g, color.b, color.a * glyph.a};
            return true;
        }
        const Color4f o = FromRegister(Reg(c.constants, m_outlineColor));
        const float k = std::max(glyph.a, glyph.g), t = glyph.a;
        *out = {(o.r + (color.r - o.r) * t) * k, (o.g + (color.g - o.g) * t) * k, (o.b + (color.b - o.b) * t) * k,
                (o.a + (color.a - o.a) * t) * k};
        return true;
    }

private:
    bool m_outlines;
    uint32_t m_page, m_outlineColor;
};

// The vertex colour times one texture (or alone): user-interface quads.
class TexturedPixel : public PixelProgram
{
public:
    TexturedPixel(Binder& b, const char* sampler, bool colored)
        : m_textured(!b.Has("NoTexture")), m_colored(colored), m_sampler(m_textured ? b.Sampler(sampler) : 0)
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        Color4f color = m_colored ? Varying(in, kVaryColor) : Color4f{1, 1, 1, 1};
        if (m_textured)
            color = Mul(color, SampleTex0(c, m_sampler, in));
        *out = color;
        return true;
    }

    bool SamplesTextures() const override { return m_textured; }

private:
    bool m_textured, m_colored;
    uint32_t m_sampler;
};

// Blob shadows: 1 - the shadow texture's alpha times the strength in texture coordinate 0's third
// component, in every channel.
class FakeShadowPixel : public PixelProgram
{
public:
    explicit FakeShadowPixel(Binder& b) : m_texture(b.Sampler("ShadowTexture")) {}

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float v = 1.0f - SampleTex0(c, m_texture, in).a * in.varyings[kVaryTex0 + 2];
        *out = {v, v, v, v};
        return true;
    }

private:
    uint32_t m_texture;
};

// Blob shadow composition: the shadow target's red channel at the pixel's place on the screen, in
// every colour channel and opaque, for a blend that multiplies it into the frame.
class ShadowCompositionPixel : public PixelProgram
{
public:
    explicit ShadowCompositionPixel(Binder& b)
        : m_texture(b.Sampler("ShadowTexture")), m_screenToView(b.Float("ScreenToView"))
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float* screen = Reg(c.constants, m_screenToView);
        const float v = Sample(c, m_texture, in, float(in.x) * screen[0], float(in.y) * screen[1]).r;
        *out = {v, v, v, 1.0f};
        return true;
    }

private:
    uint32_t m_texture, m_screenToView;
};

// Shadow-map depth: z / w in every channel, optionally cut by an alpha texture.
class ShadowDepthPixel : public PixelProgram
{
public:
    explicit ShadowDepthPixel(Binder& b)
        : m_alphaTest(b.Has("AlphaTest")), m_alpha(m_alphaTest ? b.Sampler("AlphaTexture") : 0),
          m_reference(m_alphaTest ? b.Float("AlphaReference") : 0)
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        if (m_alphaTest && SampleTex0(c, m_alpha, in).a - Reg(c.constants, m_reference)[0] < 0.0f)
            return false;
        const float d = in.varyings[kVaryTex1];
        *out = {d, d, d, d};
        return true;
    }
    bool CanDiscard() const override { return m_alphaTest; }
    uint32_t VaryingCount() const override { return kVaryTex2; }
    bool SamplesTextures() const override { return m_alphaTest; }

private:
    bool m_alphaTest;
    uint32_t m_alpha, m_reference;
};

// v / |v| for three values (zero stays zero).
void Normalise(const float* v, float* out)
{
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i)
        out[i] = length > 0.0f ? v[i] / length : 0.0f;
}

// The sun's d' = clamp((n . l + w) / (1 + w), -1, 1), with the wrap-around factor w (at least 0) in
// the direction's fourth value.
float SunAngle(const float* n, const float* l)
{
    const float wrap = std::max(l[3], 0.0f);
    return std::clamp((n[0] * l[0] + n[1] * l[1] + n[2] * l[2] + wrap) / (1.0f + wrap), -1.0f, 1.0f);
}

// Lit meshes: position (optionally skinned by up to four bones of three registers each from
// register 0, optionally placed by the instance's transform and tinted by its colour 1), the world
// normal through the model matrix, the constant colour, and texture set 0 through a (scale, offset)
// transform. Shadow hands on the world position through the shadow matrix (set 2), VertexLighting
// the sun's light at the vertex (set 3), Specular the way from the surface to the camera (set 4).
class MeshVertex : public VertexProgram
{
public:
    explicit MeshVertex(Binder& b)
        : m_skinning(b.Has("Skinning")), m_instancing(b.Has("Instancing")), m_shadow(b.Has("Shadow")),
          m_vertexLighting(b.Has("VertexLighting")), m_specular(b.Has("Specular")),
          m_matrix(b.Float("ModelViewProjMatrix")), m_model(b.Float("ModelMatrix")), m_color(b.Float("ConstantColor")),
          m_transform(b.Float("TextureTransform")), m_shadowMatrix(m_shadow ? b.Float("ShadowMatrix") : 0),
          m_sunDirection(m_vertexLighting ? b.Float("VertexSunDirection") : 0),
          m_sun(m_vertexLighting ? b.Float("VertexSunColor") : 0),
          m_secondary(m_vertexLighting ? b.Float("VertexSecondaryColor") : 0),
          m_camera(m_specular ? b.Float("CameraPosition") : 0)
    {
    }

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        float position[4];
        ReadPosition(constants, in, m_skinning, position);
        float normal[4] = {in.attributes[kAttrNormal][0], in.attributes[kAttrNormal][1], in.attributes[kAttrNormal][2],
                           0.0f};
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        Copy4(out->varyings + kVaryColor, Reg(constants, m_color));
        if (m_instancing)
        {
            PlaceByInstance(in, position);
            PlaceByInstance(in, normal);
            for (int i = 0; i < 4; ++i)
                out->varyings[kVaryColor + i] *= in.attributes[kAttrColor1][i];
        }
        MulColumns(constants, m_matrix, position, out->position);
        const float* t = Reg(constants, m_transform);
        out->varyings[kVaryTex0] = in.attributes[kAttrTex0][0] * t[0] + t[2];
        out->varyings[kVaryTex0 + 1] = in.attributes[kAttrTex0][1] * t[1] + t[3];
        MulColumns(constants, m_model, normal, out->varyings + kVaryTex1);
        if (m_shadow || m_specular)
        {
            float world[4];
            MulColumns(constants, m_model, position, world);
            if (m_shadow)
                MulColumns(constants, m_shadowMatrix, world, out->varyings + kVaryTex2);
            const float* eye = Reg(constants, m_camera);
            for (int i = 0; i < 3 && m_specular; ++i)
                out->varyings[kVaryTex4 + i] = eye[i] - world[i];
        }
        if (m_vertexLighting)
        {
            float n[3];
            Normalise(out->varyings + kVaryTex1, n);
            const float* l = Reg(constants, m_sunDirection);
            const float d = SunAngle(n, l);
            const float* end = d >= 0.0f ? Reg(constants, m_sun) : Reg(constants, m_secondary);
            for (int i = 0; i < 3; ++i)
                out->varyings[kVaryTex3 + i] = end[i] * std::fabs(d);
        }
    }

    // An instance's transform, its first three columns as rows in texture sets 1 to 3, applied to a
    // point (w 1) or a direction (w 0); the w stays.
    static void PlaceByInstance(const VertexInput& in, float* v)
    {
        float placed[3];
        for (int r = 0; r < 3; ++r)
        {
            const float* row = in.attributes[kAttrTex1 + r];
            placed[r] = row[0] * v[0] + row[1] * v[1] + row[2] * v[2] + row[3] * v[3];
        }
        std::copy(placed, placed + 3, v);
    }

private:
    bool m_skinning, m_instancing, m_shadow, m_vertexLighting, m_specular;
    uint32_t m_matrix, m_model, m_color, m_transform, m_shadowMatrix, m_sunDirection, m_sun, m_secondary, m_camera;
};

// Lit meshes: the sun by the angle d between the normal and the direction towards the sun (widened
// by the wrap-around factor w: d' = (d + w) / (1 + w)), blending the side colour at d' = 0 to the
// sun colour at 1 and to the secondary colour at -1, times the constant colour and the optional
// texture; two-sided materials light back faces with the flipped normal; the deferred switch
// writes the normal as a colour instead. Shadow: where the shadow map holds a nearer depth than the
// surface's, the sun (d' > 0) gives way to the side colour. VertexLighting takes the vertex's light
// instead of the sun. Specular adds the specular colour times exp2(x k1 + k2), x the cosine between
// the normal and the half way of the camera and the light. Refraction: the noise of texture set 0
// bends the screen copy behind the pixel's centre by up to 0.02, under the lit colour by its alpha.
class MeshLambertPixel : public PixelProgram
{
public:
    explicit MeshLambertPixel(Binder& b)
        : m_texture(b.Has("Texture")), m_twoSided(b.Has("TwoSided")), m_deferred(b.Has("Deferred")),
          m_vertexLighting(!m_deferred && b.Has("VertexLighting")),
          m_shadow(!m_deferred && !m_vertexLighting && b.Has("Shadow")), m_specular(!m_deferred && b.Has("Specular")),
          m_refraction(!m_deferred && b.Has("Refraction")),
          m_diffuse(m_texture && !m_deferred ? b.Sampler("DiffuseTexture") : 0)
    {
        if (!m_deferred && !m_vertexLighting)
        {
            m_direction = b.Float("SunDirection");
            m_sun = b.Float("SunColor");
            m_secondary = b.Float("SecondaryColor");
            m_side = b.Float("SideColor");
        }
        if (m_shadow)
            m_shadowMap = b.Sampler("ShadowMap");
        if (m_specular)
        {
            m_specularDirection = b.Float("SpecularDirection");
            m_specularVector = b.Float("SpecularVector");
            m_specularColor = b.Float("SpecularColor");
        }
        if (m_refraction)
        {
            m_noise = b.Sampler("GlobalTexture");
            m_frame = b.Sampler("FrameTexture");
            m_screenToView = b.Float("ScreenToView");
        }
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        float n[3];
        Normalise(in.varyings + kVaryTex1, n);
        if (m_twoSided && !in.frontFacing)
            for (float& value : n)
                value = -value;
        if (m_deferred)
        {
            *out = {n[0] * 0.5f + 0.5f, n[1] * 0.5f + 0.5f, n[2] * 0.5f + 0.5f, 1.0f};
            return true;
        }
        Color4f color = Varying(in, kVaryColor);
        if (m_texture)
            color = Mul(color, SampleTex0(c, m_diffuse, in));
        float light[3];
        if (m_vertexLighting)
            std::copy(in.varyings + kVaryTex3, in.varyings + kVaryTex3 + 3, light);
        else
            SunLight(c, in, n, light);
        float lit[3] = {color.r * light[0], color.g * light[1], color.b * light[2]};
        if (m_specular)
            AddSpecular(c, in, n, lit);
        if (!m_refraction)
        {
            *out = {lit[0], lit[1], lit[2], color.a};
            return true;
        }
        const Color4f noise = SampleTex0(c, m_noise, in);
        float u, v;
        ScreenCentreUv(c, m_screenToView, in, &u, &v);
        const Color4f behind = Sample(c, m_frame, in, u + (noise.r * 2.0f - 1.0f) * 0.02f,
                                      v + (noise.g * 2.0f - 1.0f) * 0.02f);
        const float a = color.a;
        *out = {behind.r + (lit[0] - behind.r) * a, behind.g + (lit[1] - behind.g) * a,
                behind.b + (lit[2] - behind.b) * a, 1.0f};
        return true;
    }
    uint32_t VaryingCount() const override
    {
        return m_specular ? kVaryingCount : m_vertexLighting ? kVaryTex4 : m_shadow ? kVaryTex3 : kVaryTex2;
    }
    bool SamplesTextures() const override { return m_texture || m_shadow || m_refraction; }

private:
    void SunLight(const PixelContext& c, const PixelInput& in, const float* n, float* light) const
    {
        float d = SunAngle(n, Reg(c.constants, m_direction));
        if (m_shadow)
        {
            const float* s = in.varyings + kVaryTex2;
            if (d > 0.0f && Sample(c, m_shadowMap, in, s[0] / s[3], s[1] / s[3]).r < s[2] / s[3])
                d = 0.0f;
        }
        const float* side = Reg(c.constants, m_side);
        const float* end = d >= 0.0f ? Reg(c.constants, m_sun) : Reg(c.constants, m_secondary);
        const float k = std::fabs(d);
        for (int i = 0; i < 3; ++i)
            light[i] = side[i] + (end[i] - side[i]) * k;
    }
    void AddSpecular(const PixelContext& c, const PixelInput& in, const float* n, float* lit) const
    {
        float toEye[3], h[3];
        Normalise(in.varyings + kVaryTex4, toEye);
        const float* l = Reg(c.constants, m_specularDirection);
        const float halfWay[3] = {toEye[0] + l[0], toEye[1] + l[1], toEye[2] + l[2]};
        Normalise(halfWay, h);
        const float x = std::clamp(n[0] * h[0] + n[1] * h[1] + n[2] * h[2], 0.0f, 1.0f);
        const float* k = Reg(c.constants, m_specularVector);
        const float* color = Reg(c.constants, m_specularColor);
        const float s = std::exp2(x * k[0] + k[1]);
        for (int i = 0; i < 3; ++i)
            lit[i] += color[i] * s;
    }

    bool m_texture, m_twoSided, m_deferred, m_vertexLighting, m_shadow, m_specular, m_refraction;
    uint32_t m_diffuse;
    uint32_t m_direction = 0, m_sun = 0, m_secondary = 0, m_side = 0, m_shadowMap = 0;
    uint32_t m_specularDirection = 0, m_specularVector = 0, m_specularColor = 0;
    uint32_t m_noise = 0, m_frame = 0, m_screenToView = 0;
};

const std::vector<ProgramEntry>& Programs()
{
    using TV = TransformVertex;
    static const std::vector<ProgramEntry> programs = {
        {"VertexColor",
         {"ConstantColor", "Texture", "AlphaTexture", "Fade", "Saturation", "Srgb", "ScreenUv", "Skinning",
          "ScreenBlur", "FrameSheet", "Refraction", "Softness", "Video"},
         [](Binder& b) {
             TV::Options o;
             o.constantColor = b.Has("ConstantColor");
             o.skinning = b.Has("Skinning");
             o.frameSheet = b.Has("FrameSheet");
             o.softDepth = true;
             return std::make_unique<TV>(b, o);
         },
         [](Binder& b) { return std::make_unique<VertexColorPixel>(b); }},
        {"Font",
         {"Outlines"},
         [](Binder& b) { return std::make_unique<FontVertex>(b); },
         [](Binder& b) { return std::make_unique<FontPixel>(b); }},
        {"UI",
         {"NoTexture"},
         [](Binder& b) { return std::make_unique<TV>(b, TV::Options()); },
         [](Binder& b) { return std::make_unique<TexturedPixel>(b, "UITexture", true); }},
        {"Copy",
         {},
         [](Binder& b) {
             TV::Options o;
             o.color = false;
             o.uvScaleOffset = "SourceScaleOffset";
             return std::make_unique<TV>(b, o);
         },
         [](Binder& b) { return std::make_unique<TexturedPixel>(b, "SourceTexture", false); }},
        {"FakeShadow",
         {},
         [](Binder& b) {
             TV::Options o;
             o.color = false;
             return std::make_unique<TV>(b, o);
         },
         [](Binder& b) { return std::make_unique<FakeShadowPixel>(b); }},
        {"ShadowComposition",
         {},
         [](Binder& b) {
             TV::Options o;
             o.color = false;
             return std::make_unique<TV>(b, o);
         },
         [](Binder& b) { return std::make_unique<ShadowCompositionPixel>(b); }},
        {"MeshLambert",
         {"Texture", "TwoSided", "Skinning", "Deferred", "Instancing", "Shadow", "VertexLighting", "Specular",
          "Refraction"},
         [](Binder& b) { return std::make_unique<MeshVertex>(b); },
         [](Binder& b) { return std::make_unique<MeshLambertPixel>(b); }},
        {"ShadowDepth",
         {"AlphaTest", "Skinning"},
         [](Binder& b) {
             TV::Options o;
             o.color = false;
             o.depthInTex1 = true;
             o.skinning = b.Has("Skinning");
             return std::make_unique<TV>(b, o);
         },
         [](Binder& b) { return std::make_unique<ShadowDepthPixel>(b); }},
    };
    return programs;
}

// Every program the device knows: the families above, the deferred lighting, particle and video,
// graph, outline and post-processing ones.
const std::vector<ProgramEntry>& AllPrograms()
{
    static const std::vector<ProgramEntry> all = [] {
        std::vector<ProgramEntry> entries = Programs();
        AddDeferredPrograms(entries);
        AddEffectPrograms(entries);
        AddGraphPrograms(entries);
        AddOutlinePrograms(entries);
        AddPostPrograms(entries);
        return entries;
    }();
    return all;
}

// The family's entry when the tag names one and every word is known; says why not otherwise.
const ProgramEntry* FindEntry(const Binder& b, std::string* why)
{
    if (b.Name().empty())
    {
        *why = "the source names no program";
        return nullptr;
    }
    for (const ProgramEntry& entry : AllPrograms())
    {
        if (b.Name() != entry.name)
            continue;
        for (const std::string& word : b.Words())
            if (std::none_of(entry.words.begin(), entry.words.end(), [&](const char* w) { return word == w; }))
            {
                *why = std::string("program ") + entry.name + " has no switch " + word;
                return nullptr;
            }
        return &entry;
    }
    *why = "no program " + b.Name();
    return nullptr;
}

template <typename Program, typename Maker>
std::unique_ptr<Program> Make(const ShaderCode& code, Maker ProgramEntry::*maker, std::string* why)
{
    Binder b(code);
    const ProgramEntry* entry = FindEntry(b, why);
    if (!entry)
        return nullptr;
    std::unique_ptr<Program> program = (entry->*maker)(b);
    if (b.Failed())
    {
        *why = std::string("program ") + entry->name + " reads " + b.Missing() + ", which the shader does not use";
        return nullptr;
    }
    return program;
}
} // namespace

std::unique_ptr<VertexProgram> MakeVertexProgram(const ShaderCode& code, std::string* why)
{
    return Make<VertexProgram>(code, &ProgramEntry::vertex, why);
}

std::unique_ptr<PixelProgram> MakePixelProgram(const ShaderCode& code, std::string* why)
{
    return Make<PixelProgram>(code, &ProgramEntry::pixel, why);
}
} // namespace gpu
