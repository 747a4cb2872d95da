// Unchecked binary forms of the value kinds whose form has the same size for every value. A record's
// read plan checks the bytes of a whole run of such properties once and then moves each value with
// these, so they must give exactly the bytes of RTTIValueTraits' Write and Read. Plain functions;
// any thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/math/BoundingBox4.h"
#include "core/math/HDRColor.h"
#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "core/math/Vector.h"
#include "core/math/Vector3.h"

#include <bit>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "record words are stored little-endian");

namespace rttifixed
{
inline void PutU32(uint8_t* at, uint32_t value, bool swap)
{
    if (swap)
        value = __builtin_bswap32(value);
    std::memcpy(at, &value, 4);
}

inline uint32_t GetU32(const uint8_t* at)
{
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

// `count` floats, each its own swappable word.
inline void PutFloats(uint8_t* at, const float* values, int count, bool swap)
{
    if (!swap)
    {
        std::memcpy(at, values, size_t(count) * 4);
        return;
    }
    for (int i = 0; i < count; ++i)
        PutU32(at + 4 * i, std::bit_cast<uint32_t>(values[i]), true);
}
} // namespace rttifixed

static_assert(sizeof(Vector) == 16 && sizeof(Vector3) == 12 && sizeof(Quaternion) == 16 && sizeof(Matrix) == 64 &&
              sizeof(BoundingBox4) == 32 && sizeof(SimpleGUID) == 16 && sizeof(HDRColor) == 8,
              "raw value forms assume unpadded layouts");

// Size 0: the kind's form varies in size and goes through RTTIValueTraits only. kRaw: a value's
// memory holds exactly its stored (unswapped) bytes, so runs of such fields may be copied whole.
template <typename T>
struct RTTIFixedForm
{
    static constexpr uint32_t kSize = 0;
    static constexpr bool kRaw = false;
};

template <>
struct RTTIFixedForm<float>
{
    static constexpr uint32_t kSize = 4;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const float& value, bool swap) { rttifixed::PutU32(at, std::bit_cast<uint32_t>(value), swap); }
    static void Load(const uint8_t* at, float& value) { value = std::bit_cast<float>(rttifixed::GetU32(at)); }
};

template <>
struct RTTIFixedForm<int32_t>
{
    static constexpr uint32_t kSize = 4;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const int32_t& value, bool swap) { rttifixed::PutU32(at, uint32_t(value), swap); }
    static void Load(const uint8_t* at, int32_t& value) { value = int32_t(rttifixed::GetU32(at)); }
};

template <>
struct RTTIFixedForm<uint32_t>
{
    static constexpr uint32_t kSize = 4;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const uint32_t& value, bool swap) { rttifixed::PutU32(at, value, swap); }
    static void Load(const uint8_t* at, uint32_t& value) { value = rttifixed::GetU32(at); }
};

template <>
struct RTTIFixedForm<uint16_t>
{
    static constexpr uint32_t kSize = 2;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const uint16_t& value, bool swap)
    {
        const uint16_t stored = swap ? __builtin_bswap16(value) : value;
        std::memcpy(at, &stored, 2);
    }
    static void Load(const uint8_t* at, uint16_t& value) { std::memcpy(&value, at, 2); }
};

template <>
struct RTTIFixedForm<bool>
{
    static constexpr uint32_t kSize = 1;
    static constexpr bool kRaw = false;
    static void Store(uint8_t* at, const bool& value, bool) { *at = value ? 1 : 0; }
    static void Load(const uint8_t* at, bool& value) { value = *at != 0; }
};

template <>
struct RTTIFixedForm<char>
{
    static constexpr uint32_t kSize = 1;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const char& value, bool) { *at = uint8_t(value); }
    static void Load(const uint8_t* at, char& value) { value = char(*at); }
};

template <>
struct RTTIFixedForm<uint8_t>
{
    static constexpr uint32_t kSize = 1;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const uint8_t& value, bool) { *at = value; }
    static void Load(const uint8_t* at, uint8_t& value) { value = *at; }
};

// Vectors and quaternions: the x, y, z (and w) floats in that order, each its own swappable word.
template <typename T, int TCount>
struct RTTIFloatComponentsForm
{
    static_assert(TCount == 3 || TCount == 4);
    static constexpr uint32_t kSize = 4 * TCount;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const T& value, bool swap)
    {
        float f[4] = {value.x, value.y, value.z, 0.0f};
        if constexpr (TCount == 4)
            f[3] = value.w;
        rttifixed::PutFloats(at, f, TCount, swap);
    }
    static void Load(const uint8_t* at, T& value)
    {
        float f[4];
        std::memcpy(f, at, kSize);
        value.x = f[0];
        value.y = f[1];
        value.z = f[2];
        if constexpr (TCount == 4)
            value.w = f[3];
    }
};

template <>
struct RTTIFixedForm<Vector> : RTTIFloatComponentsForm<Vector, 4>
{
};

template <>
struct RTTIFixedForm<Vector3> : RTTIFloatComponentsForm<Vector3, 3>
{
};

template <>
struct RTTIFixedForm<Quaternion> : RTTIFloatComponentsForm<Quaternion, 4>
{
};

template <>
struct RTTIFixedForm<Matrix>
{
    static constexpr uint32_t kSize = 64;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const Matrix& value, bool swap)
    {
        for (int row = 0; row < 4; ++row)
            RTTIFixedForm<Vector>::Store(at + 16 * row, value.rows[row], swap);
    }
    static void Load(const uint8_t* at, Matrix& value)
    {
        for (int row = 0; row < 4; ++row)
            RTTIFixedForm<Vector>::Load(at + 16 * row, value.rows[row]);
    }
};

template <>
struct RTTIFixedForm<BoundingBox4>
{
    static constexpr uint32_t kSize = 32;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const BoundingBox4& value, bool swap)
    {
        RTTIFixedForm<Vector>::Store(at, value.min, swap);
        RTTIFixedForm<Vector>::Store(at + 16, value.max, swap);
    }
    static void Load(const uint8_t* at, BoundingBox4& value)
    {
        RTTIFixedForm<Vector>::Load(at, value.min);
        RTTIFixedForm<Vector>::Load(at + 16, value.max);
    }
};

// Stored as it is, never swapped.
template <>
struct RTTIFixedForm<SimpleGUID>
{
    static constexpr uint32_t kSize = 16;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const SimpleGUID& value, bool) { std::memcpy(at, value.bytes, 16); }
    static void Load(const uint8_t* at, SimpleGUID& value) { std::memcpy(value.bytes, at, 16); }
};

template <>
struct RTTIFixedForm<HDRColor>
{
    static constexpr uint32_t kSize = 8;
    static constexpr bool kRaw = true;
    static void Store(uint8_t* at, const HDRColor& value, bool swap)
    {
        rttifixed::PutU32(at, uint32_t(value.r) | (uint32_t(value.g) << 8) | (uint32_t(value.b) << 16) |
                                  (uint32_t(value.a) << 24), swap);
        rttifixed::PutU32(at + 4, std::bit_cast<uint32_t>(value.multiplier), swap);
    }
    static void Load(const uint8_t* at, HDRColor& value)
    {
        const uint32_t channels = rttifixed::GetU32(at);
        value.r = uint8_t(channels);
        value.g = uint8_t(channels >> 8);
        value.b = uint8_t(channels >> 16);
        value.a = uint8_t(channels >> 24);
        value.multiplier = std::bit_cast<float>(rttifixed::GetU32(at + 4));
    }
};
