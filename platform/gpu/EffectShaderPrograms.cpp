// The programs of the effect and video families: particle quads (frames, desaturation, softness,
// fog and the blends that ignore alpha) and the full-screen video picture from its three planes.
#include "platform/gpu/ShaderProgramKit.h"

namespace gpu
{
namespace
{
// Particle quads: the colour of the vertex's life segment (its index and blend travel as colour
// bytes) from four node colour registers, times the constant colour; the next frame's texture
// coordinates and blend ride in texture set 1; set 2 carries the view distance, the softness fade
// per unit and the fog's visibility (1 - the fog amount, or 1 without fog).
class ParticleVertex : public VertexProgram
{
public:
    explicit ParticleVertex(Binder& b)
        : m_fog(b.Has("Fog")), m_matrix(b.Float("ModelViewProjMatrix")), m_nodes(b.Float("NodeColors")),
          m_color(b.Float("ConstantColor")), m_depthTerms(b.Float("DepthSoftness")),
          m_fogFactors(m_fog ? b.Float("FogFactors") : 0)
    {
    }

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        MulColumns(constants, m_matrix, in.attributes[kAttrPosition], out->position);
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        const float* segment = in.attributes[kAttrColor0];
        const uint32_t node = std::min(uint32_t(segment[0] * 255.0f + 0.5f), 2u);
        const float t = segment[1];
        const float* from = Reg(constants, m_nodes + node);
        const float* to = Reg(constants, m_nodes + node + 1);
        const float* tint = Reg(constants, m_color);
        for (uint32_t i = 0; i < 4; ++i)
            out->varyings[kVaryColor + i] = (from[i] + (to[i] - from[i]) * t) * tint[i];
        const float* uv = in.attributes[kAttrTex0];
        out->varyings[kVaryTex0] = uv[0];
        out->varyings[kVaryTex0 + 1] = uv[1];
        out->varyings[kVaryTex1] = uv[2];
        out->varyings[kVaryTex1 + 1] = uv[3];
        out->varyings[kVaryTex1 + 2] = segment[2];
        SoftDepthVaryings(constants, m_depthTerms, out->position, out->varyings + kVaryTex2);
        float visibility = 1.0f;
        if (m_fog)
        {
            const float* f = Reg(constants, m_fogFactors);
            visibility = 1.0f - std::clamp(out->position[3] * f[0] + f[1], 0.0f, 1.0f);
        }
        out->varyings[kVaryTex2 + 2] = visibility;
    }

private:
    bool m_fog;
    uint32_t m_matrix, m_nodes, m_color, m_depthTerms, m_fogFactors;
};

// The texture (blended towards the next frame when interpolating) times the colour, optionally
// pulled towards its luminance; soft particles fade near the scene behind, fogged ones by the
// fog's visibility; without alpha blending the alpha is multiplied into the colour.
class ParticlePixel : public PixelProgram
{
public:
    explicit ParticlePixel(Binder& b)
        : m_interpolate(b.Has("FrameInterpolation")), m_desaturate(b.Has("Desaturation")),
          m_blendAlpha(b.Has("BlendAlpha")), m_fog(b.Has("Fog")), m_texture(b.Sampler("ParticleTexture")),
          m_desaturation(m_desaturate ? b.Float("Desaturation") : 0)
    {
        if (b.Has("Softness"))
            m_soft = std::make_unique<SoftDepth>(b);
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        Color4f texel = SampleTex0(c, m_texture, in);
        if (m_interpolate)
        {
            const Color4f next = Sample(c, m_texture, in, in.varyings[kVaryTex1], in.varyings[kVaryTex1 + 1]);
            const float t = in.varyings[kVaryTex1 + 2];
            texel = {texel.r + (next.r - texel.r) * t, texel.g + (next.g - texel.g) * t,
                     texel.b + (next.b - texel.b) * t, texel.a + (next.a - texel.a) * t};
        }
        Color4f color = Mul(texel, Varying(in, kVaryColor));
        if (m_desaturate)
        {
            const float k = Reg(c.constants, m_desaturation)[0];
            const float l = 0.2126f * color.r + 0.7152f * color.g + 0.0722f * color.b;
            color = {color.r + (l - color.r) * k, color.g + (l - color.g) * k, color.b + (l - color.b) * k, color.a};
        }
        if (m_soft)
            color.a *= m_soft->Fade(c, in, in.varyings[kVaryTex2], in.varyings[kVaryTex2 + 1]);
        if (m_fog)
            color.a *= in.varyings[kVaryTex2 + 2];
        if (!m_blendAlpha)
            color = {color.r * color.a, color.g * color.a, color.b * color.a, color.a};
        *out = color;
        return true;
    }
    uint32_t VaryingCount() const override
    {
        return m_soft || m_fog ? kVaryTex3 : m_interpolate ? kVaryTex2 : kVaryTex1;
    }

private:
    bool m_interpolate, m_desaturate, m_blendAlpha, m_fog;
    uint32_t m_texture, m_desaturation;
    std::unique_ptr<SoftDepth> m_soft;
};

// The video picture: the quad scaled to the picture's share of the screen and moved by half a
// target texel, its texture coordinates scaled by the first register's x and y, and the colour
// planes' coordinates further by the second register's z and w.
class VideoVertex : public VertexProgram
{
public:
    explicit VideoVertex(Binder& b) : m_offset(b.Float("VideoTexelOffset")), m_scale(b.Float("VideoPictureScale")) {}

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        const float* offset = Reg(constants, m_offset);
        const float* scale = Reg(constants, m_scale);
        const float* p = in.attributes[kAttrPosition];
        out->position[0] = p[0] * scale[0] - offset[2] * 2.0f;
        out->position[1] = p[1] * scale[1] + offset[3] * 2.0f;
        out->position[2] = p[2];
        out->position[3] = 1.0f;
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        out->varyings[kVaryTex0] = in.attributes[kAttrTex0][0] * offset[0];
        out->varyings[kVaryTex0 + 1] = in.attributes[kAttrTex0][1] * offset[1];
        out->varyings[kVaryTex1] = out->varyings[kVaryTex0] * scale[2];
        out->varyings[kVaryTex1 + 1] = out->varyings[kVaryTex0 + 1] * scale[3];
    }

private:
    uint32_t m_offset, m_scale;
};

// The picture's colour from its luminance and two chroma planes.
class VideoPixel : public PixelProgram
{
public:
    explicit VideoPixel(Binder& b) : m_planes{b.Sampler("PlaneY"), b.Sampler("PlaneU"), b.Sampler("PlaneV")} {}

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float u = in.varyings[kVaryTex1], v = in.varyings[kVaryTex1 + 1];
        *out = VideoYuvToRgb(SampleTex0(c, m_planes[0], in).r, Sample(c, m_planes[1], in, u, v).r,
                             Sample(c, m_planes[2], in, u, v).r);
        return true;
    }
    uint32_t VaryingCount() const override { return kVaryTex2; }

private:
    uint32_t m_planes[3];
};
} // namespace

void AddEffectPrograms(std::vector<ProgramEntry>& entries)
{
    entries.push_back({"Particle",
                       {"FrameInterpolation", "Desaturation", "BlendAlpha", "Softness", "Fog"},
                       [](Binder& b) { return std::make_unique<ParticleVertex>(b); },
                       [](Binder& b) { return std::make_unique<ParticlePixel>(b); }});
    entries.push_back({"Video",
                       {},
                       [](Binder& b) { return std::make_unique<VideoVertex>(b); },
                       [](Binder& b) { return std::make_unique<VideoPixel>(b); }});
}
} // namespace gpu
