#include "platform/gpu/SurfaceLoader.h"

#include "platform/gpu/GpuLog.h"

#include <cstring>

namespace gpu
{
namespace
{
Color4f ReadSource(const FormatInfo& info, const uint8_t* bits, uint32_t pitch, uint32_t x, uint32_t y)
{
    if (info.kind == FormatKind::Compressed)
    {
        Color4f block[16];
        DecodeBlock(info.format, bits + size_t(y / 4) * pitch + size_t(x / 4) * info.blockBytes, block);
        return block[(y % 4) * 4 + x % 4];
    }
    return DecodePixel(info, bits + size_t(y) * pitch + size_t(x) * info.blockBytes);
}
} // namespace

Result LoadSurfaceFromMemory(GpuSurface* dest, const Rect* destRect, const void* source, Format sourceFormat,
                             uint32_t sourcePitch, const Rect& sourceRect, uint32_t filter, uint32_t colorKey)
{
    if (!dest || !source)
    {
        LogError("LoadSurfaceFromMemory: no surface or no source");
        return kErrInvalidCall;
    }
    const FormatInfo* in = FindFormat(sourceFormat);
    const FormatInfo& out = dest->Info();
    const SurfaceDesc& desc = dest->Desc();
    const Rect d = destRect ? *destRect : Rect{0, 0, int32_t(desc.width), int32_t(desc.height)};
    const Rect& s = sourceRect;
    if (!in || s.left < 0 || s.top < 0 || s.left >= s.right || s.top >= s.bottom || !IsRectInside(d, desc.width, desc.height))
    {
        LogError("LoadSurfaceFromMemory: format %u or rectangles not usable", sourceFormat);
        return kErrInvalidCall;
    }
    if (filter != kLoadFilterNone)
    {
        LogError("LoadSurfaceFromMemory: unknown filter %u", filter);
        return kErrInvalidCall;
    }
    if (dest->IsLocked())
    {
        LogError("LoadSurfaceFromMemory: surface #%llu is locked", (unsigned long long)dest->GetId());
        return kErrInvalidCall;
    }
    if (in->kind == FormatKind::Depth || out.kind == FormatKind::Depth)
    {
        LogError("LoadSurfaceFromMemory: depth formats cannot be loaded");
        return kErrInvalidCall;
    }
    // A pitch shorter than the rectangle's row would read past each row, and past the end on the last.
    const uint64_t rowBytes = in->kind == FormatKind::Compressed ? (uint64_t(s.right) + 3) / 4 * in->blockBytes
                                                                 : uint64_t(s.right) * in->blockBytes;
    if (sourcePitch < rowBytes)
    {
        LogError("LoadSurfaceFromMemory: pitch %u is shorter than the %llu bytes of a source row", sourcePitch,
                 (unsigned long long)rowBytes);
        return kErrInvalidCall;
    }
    const auto* bits = static_cast<const uint8_t*>(source);
    const int32_t sw = s.right - s.left, sh = s.bottom - s.top, dw = d.right - d.left, dh = d.bottom - d.top;

    if (out.kind == FormatKind::Compressed)
    {
        // Compressed surfaces take only their own format, block for block.
        if (sourceFormat != desc.format || sw != dw || sh != dh || s.left % 4 || s.top % 4 || d.left % 4 ||
            d.top % 4)
        {
            LogError("LoadSurfaceFromMemory: %s surfaces load only %s blocks of the same size on block bounds",
                     out.name, out.name);
            return kErrInvalidCall;
        }
        const uint32_t blocksWide = uint32_t(dw + 3) / 4, blocksHigh = uint32_t(dh + 3) / 4;
        for (uint32_t row = 0; row < blocksHigh; ++row)
            memcpy(dest->Bits() + size_t(d.top / 4 + row) * dest->Pitch() + size_t(d.left / 4) * out.blockBytes,
                   bits + size_t(s.top / 4 + row) * sourcePitch + size_t(s.left / 4) * out.blockBytes,
                   size_t(blocksWide) * out.blockBytes);
        return kOk;
    }
    if (sourceFormat == desc.format && sw == dw && sh == dh && colorKey == 0)
    {
        for (int32_t y = 0; y < sh; ++y)
            memcpy(dest->Bits() + size_t(d.top + y) * dest->Pitch() + size_t(d.left) * out.blockBytes,
                   bits + size_t(s.top + y) * sourcePitch + size_t(s.left) * in->blockBytes,
                   size_t(sw) * in->blockBytes);
        return kOk;
    }
    auto read = [&](int32_t x, int32_t y) {
        const Color4f c = ReadSource(*in, bits, sourcePitch, uint32_t(s.left + x), uint32_t(s.top + y));
        return colorKey != 0 && PackArgb(c) == colorKey ? Color4f{0, 0, 0, 0} : c;
    };
    for (int32_t y = 0; y < dh; ++y)
        for (int32_t x = 0; x < dw; ++x)
            dest->WritePixel(uint32_t(d.left + x), uint32_t(d.top + y),
                             x < sw && y < sh ? read(x, y) : Color4f{0, 0, 0, 0});
    return kOk;
}
} // namespace gpu
