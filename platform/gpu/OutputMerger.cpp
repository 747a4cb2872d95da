#include "platform/gpu/OutputMerger.h"

#include "platform/gpu/TextureSampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gpu
{
namespace
{
float Factor(uint32_t factor, uint32_t channel, const Color4f& s, const Color4f& d)
{
    const float sc[4] = {s.r, s.g, s.b, s.a}, dc[4] = {d.r, d.g, d.b, d.a};
    switch (factor)
    {
    case kBlendZero: return 0.0f;
    case kBlendOne: return 1.0f;
    case kBlendSrcColor: return sc[channel];
    case kBlendInvSrcColor: return 1.0f - sc[channel];
    case kBlendSrcAlpha: return s.a;
    case kBlendInvSrcAlpha: return 1.0f - s.a;
    case kBlendDestColor: return dc[channel];
    case kBlendSrcAlphaSat: return channel == 3 ? 1.0f : std::min(s.a, 1.0f - d.a);
    default: return 1.0f;
    }
}

float Operate(uint32_t op, float s, float sf, float d, float df)
{
    switch (op)
    {
    case kBlendOpSubtract: return s * sf - d * df;
    case kBlendOpRevSubtract: return d * df - s * sf;
    case kBlendOpMin: return std::min(s, d);
    case kBlendOpMax: return std::max(s, d);
    default: return s * sf + d * df;
    }
}

bool IsUnorm(Format format)
{
    return format != kFormatA16B16G16R16F && format != kFormatG16R16F && format != kFormatR32F;
}

Color4f Saturate(const Color4f& c)
{
    return {std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f), std::clamp(c.b, 0.0f, 1.0f),
            std::clamp(c.a, 0.0f, 1.0f)};
}

uint32_t LoadU32(const uint8_t* p) { return LoadWord<uint32_t>(p); }
} // namespace

bool Compare(uint32_t func, uint32_t value, uint32_t reference)
{
    switch (func)
    {
    case kCmpNever: return false;
    case kCmpLess: return value < reference;
    case kCmpEqual: return value == reference;
    case kCmpLessEqual: return value <= reference;
    case kCmpGreater: return value > reference;
    case kCmpNotEqual: return value != reference;
    case kCmpGreaterEqual: return value >= reference;
    default: return true;
    }
}

uint32_t StencilOperation(uint32_t op, uint32_t value, uint32_t reference)
{
    switch (op)
    {
    case kStencilZero: return 0;
    case kStencilReplace: return reference & 0xFF;
    case kStencilIncrSat: return std::min(value + 1, 255u);
    case kStencilDecrSat: return value == 0 ? 0 : value - 1;
    case kStencilInvert: return ~value & 0xFF;
    case kStencilIncr: return (value + 1) & 0xFF;
    case kStencilDecr: return (value - 1) & 0xFF;
    default: return value;
    }
}

Color4f BlendColors(const Color4f& s, const Color4f& d, const uint32_t* rs)
{
    const bool separate = rs[kRsSeparateAlphaBlendEnable] != 0;
    const uint32_t op = rs[kRsBlendOp], src = rs[kRsSrcBlend], dst = rs[kRsDestBlend];
    const uint32_t opA = separate ? rs[kRsBlendOpAlpha] : op;
    const uint32_t srcA = separate ? rs[kRsSrcBlendAlpha] : src, dstA = separate ? rs[kRsDestBlendAlpha] : dst;
    const float sc[4] = {s.r, s.g, s.b, s.a}, dc[4] = {d.r, d.g, d.b, d.a};
    float out[4];
    for (uint32_t i = 0; i < 3; ++i)
        out[i] = Operate(op, sc[i], Factor(src, i, s, d), dc[i], Factor(dst, i, s, d));
    out[3] = Operate(opA, s.a, Factor(srcA, 3, s, d), d.a, Factor(dstA, 3, s, d));
    return {out[0], out[1], out[2], out[3]};
}

OutputMerger::OutputMerger(const uint32_t* renderStates, const PixelProgram* program, const PixelContext& context,
                           GpuSurface* const* targets, GpuSurface* depthStencil)
    : m_rs(renderStates), m_program(program), m_context(context), m_depth(depthStencil)
{
    const uint32_t* rs = renderStates;
    m_depthTest = m_depth && rs[kRsZEnable] != 0;
    m_depthWrite = m_depthTest && rs[kRsZWriteEnable] != 0;
    m_stencil = m_depth && m_depth->Info().hasStencil && rs[kRsStencilEnable] != 0;
    m_alphaTest = rs[kRsAlphaTestEnable] != 0;
    m_blend = rs[kRsAlphaBlendEnable] != 0;
    m_srgbWrite = rs[kRsSrgbWriteEnable] != 0;
    m_earlyDepth = !m_alphaTest && !(program && program->CanDiscard());
    m_depthMax = !m_depth ? 0 : m_depth->Desc().format == kFormatD16 ? 0xFFFFu : 0xFFFFFFu;
    if (m_depth)
    {
        m_depthBits = m_depth->Bits();
        m_depthPitch = m_depth->Pitch();
        m_depthBytes = m_depth->Info().blockBytes;
    }
    m_zFunc = rs[kRsZFunc];
    m_stencilRef = rs[kRsStencilRef] & 0xFF;
    m_stencilMask = rs[kRsStencilMask];
    m_stencilWriteMask = rs[kRsStencilWriteMask] & 0xFF;
    m_front = {rs[kRsStencilFunc], rs[kRsStencilFail], rs[kRsStencilZFail], rs[kRsStencilPass]};
    m_back = rs[kRsTwoSidedStencilMode] != 0
                 ? StencilFace{rs[kRsCcwStencilFunc], rs[kRsCcwStencilFail], rs[kRsCcwStencilZFail], rs[kRsCcwStencilPass]}
                 : m_front;
    m_writeMask = rs[kRsColorWriteEnable] & 0xF;
    for (uint32_t i = 0; i < kRenderTargetCount; ++i)
    {
        GpuSurface* surface = targets[i];
        if (!surface)
            continue;
        Target& t = m_targets[m_targetCount++];
        const Format format = surface->Desc().format;
        t.surface = surface;
        t.bits = surface->Bits();
        t.pitch = surface->Pitch();
        t.blockBytes = surface->Info().blockBytes;
        t.unorm = IsUnorm(format);
        t.argb = format == kFormatA8R8G8B8 || format == kFormatX8R8G8B8;
        t.opaque = format == kFormatX8R8G8B8;
        t.packDirect = !m_blend && m_writeMask == 0xF && t.argb && !(m_srgbWrite && t.unorm);
    }
}

bool OutputMerger::DepthStencil(int32_t x, int32_t y, float depth, const StencilFace& face)
{
    if (!m_depthTest && !m_stencil)
        return true;
    uint8_t* p = m_depthBits + size_t(y) * m_depthPitch + size_t(x) * m_depthBytes;
    const bool wide = m_depthMax == 0xFFFFFFu;
    uint32_t stored = 0;
    if (wide)
        stored = LoadU32(p);
    else
        stored = LoadWord<uint16_t>(p);
    const uint32_t oldDepth = wide ? stored >> 8 : stored;
    const uint32_t oldStencil = wide ? stored & 0xFF : 0;
    // Rounds half away from zero like lround: the product of a float and a 24-bit maximum, plus a
    // half, is exact in double.
    const double scaled = double(std::clamp(depth, 0.0f, 1.0f)) * m_depthMax;
    const uint32_t newDepth = uint32_t(scaled + 0.5);

    uint32_t stencil = oldStencil;
    bool pass = true;
    const uint32_t ref = m_stencilRef;
    if (m_stencil && !Compare(face.func, ref & m_stencilMask, oldStencil & m_stencilMask))
    {
        stencil = StencilOperation(face.fail, oldStencil, ref);
        pass = false;
    }
    if (pass && m_depthTest && !Compare(m_zFunc, newDepth, oldDepth))
    {
        if (m_stencil)
            stencil = StencilOperation(face.zFail, oldStencil, ref);
        pass = false;
    }
    if (pass && m_stencil)
        stencil = StencilOperation(face.pass, oldStencil, ref);
    stencil = (oldStencil & ~m_stencilWriteMask) | (stencil & m_stencilWriteMask);
    const uint32_t depthOut = pass && m_depthWrite ? newDepth : oldDepth;
    if (wide)
    {
        const uint32_t v = depthOut << 8 | (m_stencil ? stencil : oldStencil);
        if (v != stored)
            StoreWord<uint32_t>(p, v);
    }
    else if (depthOut != oldDepth)
        StoreWord<uint16_t>(p, uint16_t(depthOut));
    return pass;
}

void OutputMerger::WriteColor(const Target& target, int32_t x, int32_t y, Color4f color)
{
    uint8_t* p = target.bits + size_t(y) * target.pitch + size_t(x) * target.blockBytes;
    if (target.packDirect)
    {
        // PackArgb saturates as it packs.
        StoreWord<uint32_t>(p, PackArgb(color) | (target.opaque ? 0xFF000000u : 0u));
        return;
    }
    const bool unorm = target.unorm;
    if (unorm)
        color = Saturate(color);
    const bool srgb = m_srgbWrite && unorm;
    const FormatInfo& info = target.surface->Info();
    const uint32_t mask = m_writeMask;
    // The stored value matters to blending and to masked channels only.
    const bool readBack = m_blend || mask != 0xF;
    const Color4f stored = !readBack ? Color4f{} : target.argb ? UnpackArgb(LoadU32(p)) : DecodePixel(info, p);
    Color4f out = color;
    if (m_blend)
    {
        Color4f dest = stored;
        if (srgb)
            dest = {SrgbToLinear(dest.r), SrgbToLinear(dest.g), SrgbToLinear(dest.b), dest.a};
        out = BlendColors(color, dest, m_rs);
    }
    if (unorm)
        out = Saturate(out);
    if (srgb)
        out = {LinearToSrgb(out.r), LinearToSrgb(out.g), LinearToSrgb(out.b), out.a};
    // Masked channels keep the stored value.
    const Color4f kept = {mask & 1 ? out.r : stored.r, mask & 2 ? out.g : stored.g, mask & 4 ? out.b : stored.b,
                          mask & 8 ? out.a : stored.a};
    EncodePixel(info, kept, p);
}

void OutputMerger::ShadeSpan(const TriangleSetup& triangle, const Span& span)
{
    // A local copy: the loop reads it from the stack, not through a reference that every program
    // call could in principle change (and every read of which a sanitizer build would check).
    const TriangleSetup t = triangle;
    PixelInput pixel;
    pixel.y = span.y;
    pixel.frontFacing = t.frontFacing;
    const StencilFace& face = t.frontFacing ? m_front : m_back;
    pixel.tex0Dx[0] = pixel.tex0Dx[1] = pixel.tex0Dy[0] = pixel.tex0Dy[1] = 0.0f;
    const int32_t y = span.y;
    int64_t w0 = span.edge[0], w1 = span.edge[1], w2 = span.edge[2];
    for (int32_t x = span.first; x <= span.last; ++x, w0 -= t.edgeStep[0], w1 -= t.edgeStep[1], w2 -= t.edgeStep[2])
    {
        const float l0 = float(w0) * t.invArea, l1 = float(w1) * t.invArea, l2 = float(w2) * t.invArea;
        float z = l0 * t.z[0] + l1 * t.z[1] + l2 * t.z[2] + t.depthBias;
        if (!(z >= 0.0f && z <= 1.0f))
        {
            // The weights sum to one only within rounding, so a triangle lying wholly in the
            // range (on the far plane, say) can land a pixel just past its end: that pixel is in.
            if (!t.depthInRange)
                continue;
            z = std::clamp(z, 0.0f, 1.0f);
        }
        if (m_earlyDepth && !DepthStencil(x, y, z, face))
            continue;
        Color4f color = kMissingProgramColor;
        if (m_program)
        {
            InterpolatePixel(t, l0, l1, l2, &pixel);
            pixel.x = x;
            pixel.depth = z;
            if (!m_program->Run(m_context, pixel, &color))
                continue;
        }
        if (m_alphaTest)
        {
            const uint32_t alpha = uint32_t(std::lround(std::clamp(color.a, 0.0f, 1.0f) * 255.0f));
            if (!Compare(m_rs[kRsAlphaFunc], alpha, m_rs[kRsAlphaRef] & 0xFF))
                continue;
        }
        if (!m_earlyDepth && !DepthStencil(x, y, z, face))
            continue;
        ++m_shaded;
        for (uint32_t i = 0; i < m_targetCount; ++i)
            WriteColor(m_targets[i], x, y, color);
    }
}
} // namespace gpu
