// A small PNG writer (8-bit RGB, one deflated image chunk) for frames of the graphics stand-in.
// Pure functions: any thread.
#pragma once

#include "platform/gpu/GpuSurface.h"

#include <string>
#include <vector>

namespace gpu
{
// The PNG bytes of rows of packed RGB (3 bytes a pixel, top row first); empty when compression fails.
std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);
// The surface's pixels (any uncompressed colour format) as a PNG file, written beside the target
// and renamed over it so a reader never sees half a file. False, logged, on failure.
bool WriteSurfacePng(const GpuSurface& surface, const std::string& path);
} // namespace gpu
