// Reading vertices for the software rasteriser: the element list a fixed vertex format stands for,
// the attribute slot an element feeds and the decoding of every element type to four floats.
// Pure functions: any thread.
#pragma once

#include "platform/gpu/ShaderProgram.h"

#include <vector>

namespace gpu
{
// The fixed-format colour bit; with the position and texture sets the rasteriser reads no other.
constexpr uint32_t kFvfDiffuse = 0x040;
// Texture-coordinate set i holds three floats (else two).
constexpr uint32_t FvfTexCoordSize3(uint32_t set) { return 1u << (16 + set * 2); }

// The elements (stream 0, no end marker) of a fixed format; false for bits this stand-in does not read.
bool FvfElements(uint32_t fvf, std::vector<VertexElement>* elements);
// The attribute an element feeds, or kAttributeCount for one no program reads.
uint32_t AttributeSlot(const VertexElement& element);
// One element's bytes as four floats; missing components read 0 (w reads 1).
void DecodeElement(uint8_t type, const uint8_t* bytes, float out[4]);
} // namespace gpu
