#include "platform/gpu/VertexFetch.h"

#include "platform/gpu/GpuFormat.h"

#include <algorithm>
#include <cstring>

namespace gpu
{
namespace
{
template <typename T>
T Load(const uint8_t* p)
{
    T v;
    memcpy(&v, p, sizeof(T));
    return v;
}
} // namespace

bool FvfElements(uint32_t fvf, std::vector<VertexElement>* elements)
{
    constexpr uint32_t kKnown = kFvfXyz | kFvfDiffuse | 0xF00 | 0x00FF0000u;
    elements->clear();
    if ((fvf & ~kKnown) != 0 || !(fvf & kFvfXyz))
        return false;
    uint16_t offset = 0;
    auto add = [&](uint8_t type, uint8_t usage, uint8_t index, uint16_t bytes) {
        elements->push_back({0, offset, type, kDeclMethodDefault, usage, index});
        offset = uint16_t(offset + bytes);
    };
    add(kDeclFloat3, kDeclUsagePosition, 0, 12);
    if (fvf & kFvfDiffuse)
        add(kDeclColor, kDeclUsageColor, 0, 4);
    const uint32_t sets = (fvf >> 8) & 0xF;
    if (sets > 4)
        return false;
    for (uint32_t set = 0; set < sets; ++set)
    {
        const uint32_t size = (fvf >> (16 + set * 2)) & 3;
        if (size == 2 || size == 3)
            return false; // four or one floats: not in any format the engine writes
        const bool three = size == 1;
        add(three ? kDeclFloat3 : kDeclFloat2, kDeclUsageTexCoord, uint8_t(set), three ? 12 : 8);
    }
    return true;
}

uint32_t AttributeSlot(const VertexElement& e)
{
    switch (e.usage)
    {
    case kDeclUsagePosition: return e.usageIndex == 0 ? kAttrPosition : kAttributeCount;
    case kDeclUsageNormal: return e.usageIndex == 0 ? kAttrNormal : kAttributeCount;
    case kDeclUsageColor: return e.usageIndex < 2 ? kAttrColor0 + e.usageIndex : kAttributeCount;
    case kDeclUsageTexCoord: return e.usageIndex < 4 ? kAttrTex0 + e.usageIndex : kAttributeCount;
    case kDeclUsageBlendWeight: return e.usageIndex == 0 ? kAttrBlendWeight : kAttributeCount;
    case kDeclUsageBlendIndices: return e.usageIndex == 0 ? kAttrBlendIndices : kAttributeCount;
    default: return kAttributeCount;
    }
}

void DecodeElement(uint8_t type, const uint8_t* p, float out[4])
{
    out[0] = out[1] = out[2] = 0.0f;
    out[3] = 1.0f;
    switch (type)
    {
    case kDeclFloat1:
    case kDeclFloat2:
    case kDeclFloat3:
    case kDeclFloat4: memcpy(out, p, size_t(type - kDeclFloat1 + 1) * 4); break;
    case kDeclColor: // stored as packed ARGB: blue first in memory
        out[0] = p[2] / 255.0f;
        out[1] = p[1] / 255.0f;
        out[2] = p[0] / 255.0f;
        out[3] = p[3] / 255.0f;
        break;
    case kDeclUByte4:
    case kDeclUByte4N:
        for (uint32_t i = 0; i < 4; ++i)
            out[i] = type == kDeclUByte4 ? float(p[i]) : p[i] / 255.0f;
        break;
    case kDeclShort2:
    case kDeclShort4:
    case kDeclShort2N:
    case kDeclShort4N:
    {
        const uint32_t n = type == kDeclShort2 || type == kDeclShort2N ? 2 : 4;
        const bool norm = type == kDeclShort2N || type == kDeclShort4N;
        for (uint32_t i = 0; i < n; ++i)
        {
            const float v = float(Load<int16_t>(p + i * 2));
            out[i] = norm ? std::max(v / 32767.0f, -1.0f) : v;
        }
        break;
    }
    case kDeclUShort2N:
    case kDeclUShort4N:
        for (uint32_t i = 0; i < (type == kDeclUShort2N ? 2u : 4u); ++i)
            out[i] = Load<uint16_t>(p + i * 2) / 65535.0f;
        break;
    case kDeclUDec3:
    case kDeclDec3N:
    {
        const uint32_t v = Load<uint32_t>(p);
        for (uint32_t i = 0; i < 3; ++i)
        {
            const uint32_t bits = (v >> (i * 10)) & 1023;
            if (type == kDeclUDec3)
                out[i] = float(bits);
            else
                out[i] = std::max(float(int32_t(bits << 22) >> 22) / 511.0f, -1.0f);
        }
        break;
    }
    case kDeclFloat16x2:
    case kDeclFloat16x4:
        for (uint32_t i = 0; i < (type == kDeclFloat16x2 ? 2u : 4u); ++i)
            out[i] = HalfToFloat(Load<uint16_t>(p + i * 2));
        break;
    default: break;
    }
}
} // namespace gpu
