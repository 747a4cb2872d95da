// The programs of the outline families: the side mask from the stencil, its dilation coloured by
// side, and the band that the composite adds over the image. The tile quads come as clip-space
// positions of two floats.
#include "platform/gpu/ShaderProgramKit.h"

#include <algorithm>

namespace gpu
{
namespace
{
// Positions as they come; texture set 0 from the screen mapping constant, whose half-texel offset
// puts the platform's pixel centres (whole pixel coordinates) on texel centres.
class TileVertex : public VertexProgram
{
public:
    explicit TileVertex(Binder& b, bool mapped) : m_mapped(mapped), m_mapping(mapped ? b.Float("ScreenMapping") : 0) {}

    void Run(const float* constants, const VertexInput& in, ClipVertex* out) const override
    {
        const float* p = in.attributes[kAttrPosition];
        out->position[0] = p[0];
        out->position[1] = p[1];
        out->position[2] = 0.0f;
        out->position[3] = 1.0f;
        std::fill(out->varyings, out->varyings + kVaryingCount, 0.0f);
        if (m_mapped)
        {
            const float* m = Reg(constants, m_mapping);
            out->varyings[kVaryTex0] = p[0] * m[0] + m[2];
            out->varyings[kVaryTex0 + 1] = p[1] * m[1] + m[3];
        }
    }

private:
    bool m_mapped;
    uint32_t m_mapping;
};

class OutlineMaskPixel : public PixelProgram
{
public:
    bool Run(const PixelContext&, const PixelInput&, Color4f* out) const override
    {
        *out = {1.0f, 1.0f, 1.0f, 1.0f};
        return true;
    }
    bool SamplesTextures() const override { return false; }
};

// Five taps of the side mask (green hostile, red friendly, blue neutral, alpha hero), each side
// coloured by its constant; alpha marks the border, where some taps but not all fall on a side.
class OutlineDilatePixel : public PixelProgram
{
public:
    explicit OutlineDilatePixel(Binder& b)
        : m_mask(b.Sampler("OutlineMask")), m_kernel(b.Float("KernelOffsets")), m_colors(b.Float("SideColors"))
    {
    }

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const float* k = Reg(c.constants, m_kernel);
        const float u = in.varyings[kVaryTex0], v = in.varyings[kVaryTex0 + 1];
        const float taps[5][2] = {{u, v}, {u + k[0], v}, {u + k[2], v}, {u, v + k[1]}, {u, v + k[3]}};
        Color4f sum = {0.0f, 0.0f, 0.0f, 0.0f};
        uint32_t covered = 0;
        for (const auto& tap : taps)
        {
            const Color4f m = Sample(c, m_mask, in, tap[0], tap[1]);
            const float sides[4] = {m.g, m.r, m.b, m.a};
            for (uint32_t side = 0; side < 4; ++side)
            {
                const float* color = Reg(c.constants, m_colors + side);
                sum.r += sides[side] * color[0];
                sum.g += sides[side] * color[1];
                sum.b += sides[side] * color[2];
            }
            covered += std::max(std::max(m.r, m.g), std::max(m.b, m.a)) > 0.5f ? 1 : 0;
        }
        sum.a = covered > 0 && covered < 5 ? 1.0f : 0.0f;
        *out = sum;
        return true;
    }

private:
    uint32_t m_mask, m_kernel, m_colors;
};

// The border in the sides' colours, scaled by the sum of the softness weights.
class OutlineCompositePixel : public PixelProgram
{
public:
    explicit OutlineCompositePixel(Binder& b) : m_dilated(b.Sampler("DilatedOutlines")), m_weights(b.Float("SoftnessWeights")) {}

    bool Run(const PixelContext& c, const PixelInput& in, Color4f* out) const override
    {
        const Color4f d = SampleTex0(c, m_dilated, in);
        const float* w = Reg(c.constants, m_weights);
        const float scale = d.a * (w[0] + w[1]);
        *out = {d.r * scale, d.g * scale, d.b * scale, d.a};
        return true;
    }

private:
    uint32_t m_dilated, m_weights;
};
} // namespace

void AddOutlinePrograms(std::vector<ProgramEntry>& entries)
{
    entries.push_back({"OutlineMask",
                       {},
                       [](Binder& b) { return std::make_unique<TileVertex>(b, false); },
                       [](Binder&) { return std::make_unique<OutlineMaskPixel>(); }});
    entries.push_back({"OutlineDilate",
                       {},
                       [](Binder& b) { return std::make_unique<TileVertex>(b, true); },
                       [](Binder& b) { return std::make_unique<OutlineDilatePixel>(b); }});
    entries.push_back({"OutlineComposite",
                       {"LowSpec"},
                       [](Binder& b) { return std::make_unique<TileVertex>(b, true); },
                       [](Binder& b) { return std::make_unique<OutlineCompositePixel>(b); }});
}
} // namespace gpu
