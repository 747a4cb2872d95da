// Animation files for tests and demo data: tracks of keys given as floats, quantised into the
// clip's ranges and written in the engine's animation file layout. Any thread; no shared state.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>
#include <string>
#include <vector>

// A clip to write: per track its rotation (x, y, z, w), position and scale keys at progress times.
struct AnimationClipSpec
{
    struct Key
    {
        float time = 0.0f; // progress, 0..1
        Vector value;
    };
    struct Track
    {
        std::string name;
        std::vector<Key> rotation;
        std::vector<Key> position;
        std::vector<Key> scale;
    };
    std::vector<Track> tracks;
    uint32_t version = 4;
    uint32_t headerWords[2] = {};
    float values[2] = {};
};

namespace AnimationFileWriter
{
// The signed 16-bit fraction of value in [minimum, maximum] that the engine maps back to it.
int16_t Quantise(float value, float minimum, float maximum);
// The file image; rotations are stored with w >= 0 (the engine rebuilds w from x, y, z).
std::vector<uint8_t> Build(const AnimationClipSpec& clip);
bool Write(const std::string& path, const AnimationClipSpec& clip);
} // namespace AnimationFileWriter
