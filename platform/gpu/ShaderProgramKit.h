// What the stand-in's shader programs share: the binder that finds a program's constants and
// samplers in a shader's table, register and colour helpers, and the table entry that names a
// program with its switches and makers. Internal to platform/gpu; immutable helpers, any thread.
#pragma once

#include "platform/gpu/ShaderProgram.h"

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace gpu
{
// Reads what a program needs from the shader's constant table and its tag; any miss spoils it.
class Binder
{
public:
    explicit Binder(const ShaderCode& code) : m_code(code)
    {
        std::istringstream words(code.program);
        std::string word;
        words >> m_name;
        while (words >> word)
            m_words.push_back(word);
    }

    const std::string& Name() const { return m_name; }
    const std::vector<std::string>& Words() const { return m_words; }
    bool Has(const char* word) const { return std::find(m_words.begin(), m_words.end(), word) != m_words.end(); }

    // First register of a float constant the program needs.
    uint32_t Float(const char* name) { return Find(name, RegisterSet::Float4); }
    uint32_t Sampler(const char* name) { return Find(name, RegisterSet::Sampler); }
    bool Failed() const { return !m_missing.empty(); }
    const std::string& Missing() const { return m_missing; }

private:
    uint32_t Find(const char* name, RegisterSet set)
    {
        for (const ShaderConstant& c : m_code.constants)
            if (c.registerSet == set && c.name == name)
                return c.registerIndex;
        if (m_missing.empty())
            m_missing = name;
        return 0;
    }

    const ShaderCode& m_code;
    std::string m_name;
    std::vector<std::string> m_words;
    std::string m_missing;
};

inline const float* Reg(const float* constants, uint32_t index) { return constants + size_t(index) * 4; }

// mul(v, M) with M stored one column per register.
inline void MulColumns(const float* constants, uint32_t first, const float* v, float* out)
{
    for (uint32_t i = 0; i < 4; ++i)
    {
        const float* c = Reg(constants, first + i);
        out[i] = v[0] * c[0] + v[1] * c[1] + v[2] * c[2] + v[3] * c[3];
    }
}

inline void Copy4(float* to, const float* from) { std::copy(from, from + 4, to); }

inline Color4f Mul(const Color4f& a, const Color4f& b) { return {a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a}; }
inline Color4f FromRegister(const float* r) { return {r[0], r[1], r[2], r[3]}; }
inline Color4f Varying(const PixelInput& in, uint32_t slot)
{
    return {in.varyings[slot], in.varyings[slot + 1], in.varyings[slot + 2], in.varyings[slot + 3]};
}
inline Color4f Sample(const PixelContext& c, uint32_t stage, const PixelInput& in, float u, float v)
{
    return Sample2D(c.samplers[stage], u, v, in.tex0Dx, in.tex0Dy);
}
inline Color4f SampleTex0(const PixelContext& c, uint32_t stage, const PixelInput& in)
{
    return Sample(c, stage, in, in.varyings[kVaryTex0], in.varyings[kVaryTex0 + 1]);
}

// The texture coordinate of the pixel's centre on a target of the render size.
inline void ScreenCentreUv(const PixelContext& c, uint32_t screenToView, const PixelInput& in, float* u, float* v)
{
    const float* s = Reg(c.constants, screenToView);
    *u = (float(in.x) + 0.5f) * s[0];
    *v = (float(in.y) + 0.5f) * s[1];
}

// A video sample's colour from its luminance and chroma samples (0..1, studio range).
inline Color4f VideoYuvToRgb(float y, float u, float v)
{
    y = 1.164f * (y - 0.0625f);
    u -= 0.5f;
    v -= 0.5f;
    return {y + 1.596f * v, y - 0.392f * u - 0.813f * v, y + 2.017f * u, 1.0f};
}

// Softness: what the scene drew behind the pixel, as a view distance back from the depth texture
// through the inverse projection's terms, fades the pixel as it comes near: the distance between
// the two times the fade per unit, within 0..1. The vertex program hands on the pixel's own view
// distance and the fade per unit.
class SoftDepth
{
public:
    explicit SoftDepth(Binder& b)
        : m_depth(b.Sampler("DepthTexture")), m_terms(b.Float("InverseProjectionTerms")),
          m_screenToView(b.Float("ScreenToView"))
    {
    }
    float Fade(const PixelContext& c, const PixelInput& in, float ownDistance, float perUnit) const
    {
        float u = 0.0f, v = 0.0f;
        ScreenCentreUv(c, m_screenToView, in, &u, &v);
        const float* t = Reg(c.constants, m_terms);
        const float w = Sample(c, m_depth, in, u, v).r * t[2] + t[3];
        const float scene = w != 0.0f ? 1.0f / w : 0.0f;
        return std::clamp((scene - ownDistance) * perUnit, 0.0f, 1.0f);
    }

private:
    uint32_t m_depth, m_terms, m_screenToView;
};

// The vertex side of softness: the projected position's w (the view distance) and the fade per
// unit of distance, 1 / the effect softness distance, from the depth terms (scale, 0,
// 1 / (softness x scale), 0).
inline void SoftDepthVaryings(const float* constants, uint32_t depthTerms, const float* position, float* out)
{
    const float* d = Reg(constants, depthTerms);
    out[0] = position[3];
    out[1] = d[2] * d[0];
}

// Skinning ("Skinning" switch): the weighted sum of up to four bones of three registers each from
// register 0 applied to the position; weights of 0 and indices past the register file add nothing.
inline void SkinPosition(const float* constants, const VertexInput& in, float* position)
{
    float sum[3] = {};
    for (int i = 0; i < 4; ++i)
    {
        const float w = in.attributes[kAttrBlendWeight][i];
        const float index = in.attributes[kAttrBlendIndices][i];
        if (w == 0.0f || !(index >= 0.0f) || index * 3.0f + 3.0f > 256.0f)
            continue;
        for (int r = 0; r < 3; ++r)
        {
            const float* row = Reg(constants, uint32_t(index) * 3 + uint32_t(r));
            sum[r] += w * (row[0] * position[0] + row[1] * position[1] + row[2] * position[2] + row[3]);
        }
    }
    std::copy(sum, sum + 3, position);
}

// The vertex's position as (x, y, z, 1), skinned when asked.
inline void ReadPosition(const float* constants, const VertexInput& in, bool skinning, float* position)
{
    position[0] = in.attributes[kAttrPosition][0];
    position[1] = in.attributes[kAttrPosition][1];
    position[2] = in.attributes[kAttrPosition][2];
    position[3] = 1.0f;
    if (skinning)
        SkinPosition(constants, in, position);
}

struct ProgramEntry
{
    const char* name;
    std::vector<const char*> words; // every switch the family's program knows
    std::function<std::unique_ptr<VertexProgram>(Binder&)> vertex;
    std::function<std::unique_ptr<PixelProgram>(Binder&)> pixel;
};

// The deferred scene programs (DeferredShaderPrograms.cpp).
void AddDeferredPrograms(std::vector<ProgramEntry>& entries);
// The particle and video programs (EffectShaderPrograms.cpp).
void AddEffectPrograms(std::vector<ProgramEntry>& entries);
// The graph programs (GraphShaderPrograms.cpp).
void AddGraphPrograms(std::vector<ProgramEntry>& entries);
// The outline programs (OutlineShaderPrograms.cpp).
void AddOutlinePrograms(std::vector<ProgramEntry>& entries);
// The post-processing programs (PostShaderPrograms.cpp).
void AddPostPrograms(std::vector<ProgramEntry>& entries);
} // namespace gpu
