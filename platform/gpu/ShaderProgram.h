// The C++ programs the stand-in runs in place of shader code it cannot execute. A shader source
// names its program with "#pragma program <Name> [<Word>...]" lines (every active line adds its
// words, so option blocks can add switches); the compiler records the words in the code, and the
// device picks the program by the first word when it creates the shader. A program finds the
// constants and samplers it reads in the shader's own constant table, where the source declared
// them. A tag naming no program, a word a program does not know or a constant it cannot find
// leave the shader without a program: its draws come out flat magenta and are counted.
// Programs are immutable once made: any thread may run them.
#pragma once

#include "platform/gpu/RasterTypes.h"
#include "platform/gpu/ShaderCode.h"
#include "platform/gpu/TextureSampler.h"

#include <memory>

namespace gpu
{
// Vertex attributes by meaning, gathered from the declaration or fixed format.
enum VertexAttribute : uint32_t
{
    kAttrPosition,
    kAttrNormal,
    kAttrColor0,
    kAttrColor1,
    kAttrTex0,
    kAttrTex1,
    kAttrTex2,
    kAttrTex3,
    kAttrBlendWeight,
    kAttrBlendIndices,
    kAttributeCount
};

struct VertexInput
{
    // Missing ones read (0, 0, 0, 1), but for the first colour: opaque white, the fixed pipeline's
    // diffuse, so geometry of positions only takes the colour a shader multiplies in.
    float attributes[kAttributeCount][4];
};

// The colour a pixel of a shader without a program gets.
constexpr Color4f kMissingProgramColor = {1.0f, 0.0f, 1.0f, 1.0f};

class VertexProgram
{
public:
    virtual ~VertexProgram() = default;
    // constants: the vertex registers, four floats each.
    virtual void Run(const float* constants, const VertexInput& in, ClipVertex* out) const = 0;
};

struct PixelContext
{
    const float* constants; // the pixel registers
    PreparedSampler samplers[kSamplerCount]; // prepared once per draw
};

class PixelProgram
{
public:
    virtual ~PixelProgram() = default;
    // False drops the pixel.
    virtual bool Run(const PixelContext& context, const PixelInput& in, Color4f* out) const = 0;
    // Whether Run may drop pixels (the device then tests depth after the program).
    virtual bool CanDiscard() const { return false; }
    // The leading varyings Run reads, and whether it samples with texture set 0's change per pixel;
    // the rasteriser interpolates no more than that.
    virtual uint32_t VaryingCount() const { return kVaryTex1; }
    virtual bool SamplesTextures() const { return true; }
};

// Null, with the reason in why, when the code names no program that can run it.
std::unique_ptr<VertexProgram> MakeVertexProgram(const ShaderCode& code, std::string* why);
std::unique_ptr<PixelProgram> MakePixelProgram(const ShaderCode& code, std::string* why);
} // namespace gpu
