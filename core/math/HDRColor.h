// Stored colour: four 8-bit channels and a float multiplier that lifts red, green and blue above 1.
// Integer channel arithmetic rounds exactly; conversions to Vector may apply gamma 2.2 under the
// process-wide linear-lighting switch, which only the game thread writes and reads.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>

// r, g, b, a (0 to 255) and a multiplier that never scales alpha; 8 bytes.
struct HDRColor
{
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 0;
    float multiplier = 1.0f;

    constexpr HDRColor() = default;
    constexpr HDRColor(uint8_t r_, uint8_t g_, uint8_t b_, uint8_t a_, float multiplier_ = 1.0f)
        : r(r_), g(g_), b(b_), a(a_), multiplier(multiplier_)
    {
    }

    // Channels c × o.c / 255 (rounded down); multipliers multiplied.
    HDRColor& operator*=(const HDRColor& o);
    // Channels added, saturating at 255; multipliers added.
    HDRColor& operator+=(const HDRColor& o);
    // Factors t are in [0, 1]; outside values are clamped for the channels.
    void AddScaled(const HDRColor& o, float t);
    void SetScaled(const HDRColor& o, float t);
    // Exact at the ends: t = 0 gives a, t = 1 gives b.
    void Lerp(const HDRColor& from, const HDRColor& to, float t);

    // From a float colour whose x, y, z may exceed 1: the largest of them (at least 1) becomes the
    // multiplier.
    void FromVector(const Vector& v);
    void ToVectorRaw(Vector& v) const;
    // ToVectorRaw, then gamma 2.2 on x, y, z while linear lighting is on.
    void ToVector(Vector& v) const;
    // ToVectorRaw, then gamma 2.2 on x, y, z whatever the switch says.
    void ToLinearVector(Vector& v) const;

    // The linear-lighting switch (initially on), set by the renderer's scene colour mode.
    static void SetLinearLighting(bool on);
    static bool IsLinearLighting();
};

static_assert(sizeof(HDRColor) == 8);
