// The per-pixel end of the software rasteriser: runs the pixel program, then the alpha test, the
// depth and stencil tests with their operations, blending (factors and operations, separate alpha)
// and the colour write mask, into every bound render target and the depth-stencil surface. Depth
// and stencil are tested before the program when the program cannot drop pixels and the alpha
// test is off, which gives the same pixels. Two-sided stencil gives back faces their own function
// and operations. One draw at a time on the device's thread.
#pragma once

#include "platform/gpu/GpuSurface.h"
#include "platform/gpu/ShaderProgram.h"

namespace gpu
{
// The comparison functions of depth, stencil and alpha tests: "value func reference".
bool Compare(uint32_t func, uint32_t value, uint32_t reference);
// One stencil operation on an 8-bit value.
uint32_t StencilOperation(uint32_t op, uint32_t value, uint32_t reference);
// The blended colour of a source over a destination with the given factors and operations.
Color4f BlendColors(const Color4f& source, const Color4f& dest, const uint32_t* renderStates);

class OutputMerger : public PixelSink
{
public:
    // program null paints kMissingProgramColor. Targets may be null past the first.
    OutputMerger(const uint32_t* renderStates, const PixelProgram* program, const PixelContext& context,
                 GpuSurface* const* targets, GpuSurface* depthStencil);

    // Per pixel: depth range, depth and stencil first where that gives the same pixels, then the
    // interpolated values and the program, alpha test, late depth and stencil, and the writes.
    void ShadeSpan(const TriangleSetup& triangle, const Span& span) override;
    uint64_t GetShadedCount() const { return m_shaded; }

private:
    // A bound target as the pixel loop reads it.
    struct Target
    {
        GpuSurface* surface;
        uint8_t* bits;
        size_t pitch;
        uint32_t blockBytes;
        bool unorm, argb, opaque; // opaque: X8R8G8B8, whose alpha byte is always 255
        bool packDirect;          // the colour is stored packed as it comes, with no read-back
    };

    // The stencil function and operations of one face.
    struct StencilFace
    {
        uint32_t func, fail, zFail, pass;
    };

    // Depth and stencil for one pixel; false when the pixel stops here.
    bool DepthStencil(int32_t x, int32_t y, float depth, const StencilFace& face);
    void WriteColor(const Target& target, int32_t x, int32_t y, Color4f color);

    const uint32_t* m_rs;
    const PixelProgram* m_program;
    const PixelContext& m_context;
    Target m_targets[kRenderTargetCount];
    uint32_t m_targetCount = 0;
    GpuSurface* m_depth;
    uint8_t* m_depthBits = nullptr;
    size_t m_depthPitch = 0;
    uint32_t m_depthBytes = 0;
    bool m_depthTest, m_depthWrite, m_stencil, m_alphaTest, m_blend, m_earlyDepth, m_srgbWrite;
    uint32_t m_depthMax; // largest stored depth value of the format (0 without a depth surface)
    uint32_t m_zFunc, m_stencilRef, m_stencilMask, m_stencilWriteMask, m_writeMask;
    StencilFace m_front, m_back; // the back face is the front one unless two-sided stencil is on
    uint64_t m_shaded = 0;
};
} // namespace gpu
