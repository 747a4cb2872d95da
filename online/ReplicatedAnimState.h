// The three-byte animation state that multiplayer replicates for a mesh: the animation's index
// with a loop bit, its progress and a second value, each fraction in 1/255 steps. Pure functions:
// any thread.
#pragma once

#include <cstdint>

// A decoded state; index 255 means no animation.
struct ReplicatedAnimState
{
    uint8_t index = 255;
    bool loop = false;
    float progress = 0.0f;
    float second = 0.0f;
};

// Byte 0: index in bits 0-6 (127: none, also for indices that do not fit) and the loop flag in
// bit 7; byte 1: progress x 255; byte 2: second value x 255 (both rounded, clamped to [0, 1]).
uint32_t EncodeReplicatedAnimState(uint32_t index, bool loop, float progress, float second);
ReplicatedAnimState DecodeReplicatedAnimState(uint32_t packed);
