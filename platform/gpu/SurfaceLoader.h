// Helper-library piece: loads pixels from memory into a surface, converting between formats;
// compressed data of the surface's own format is copied block by block. The source must hold srcRect's rows at srcPitch bytes apart. Thread of the surface's device.
#pragma once

#include "platform/gpu/GpuSurface.h"

namespace gpu
{
// The one filter the engine asks for (our own numbering): the pixels map one to one and any part of
// the destination beyond the source becomes transparent black.
constexpr uint32_t kLoadFilterNone = 1;

// destRect null is the whole surface; colorKey (packed ARGB, 0 for none) turns matching source
// pixels into transparent black.
Result LoadSurfaceFromMemory(GpuSurface* dest, const Rect* destRect, const void* source, Format sourceFormat,
                             uint32_t sourcePitch, const Rect& sourceRect, uint32_t filter, uint32_t colorKey);
} // namespace gpu
