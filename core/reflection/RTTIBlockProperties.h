// Fixed-size raw kinds: the fixed bit vector (26) and the raw memory block (28). Both are stored
// as their bytes, never byte-swapped. Plain values; the owning thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/reflection/RTTITypedProperty.h"
#include "core/reflection/RecordStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

// A fixed number of bits kept in u32 words (bit i is bit i % 32 of word i / 32).
template <uint32_t kBits>
struct StaticBitVector
{
    static constexpr uint32_t kWordCount = (kBits + 31) / 32;
    uint32_t words[kWordCount] = {};

    bool Get(uint32_t bit) const { return bit < kBits && (words[bit / 32] >> (bit % 32)) & 1; }
    void Set(uint32_t bit, bool value)
    {
        if (bit >= kBits)
            return;
        if (value)
            words[bit / 32] |= 1u << (bit % 32);
        else
            words[bit / 32] &= ~(1u << (bit % 32));
    }
    bool operator==(const StaticBitVector& other) const { return std::memcmp(words, other.words, sizeof(words)) == 0; }
};

// A raw block of a fixed byte size.
template <size_t kSize>
struct RTTIMemoryBlock
{
    uint8_t bytes[kSize] = {};
    bool operator==(const RTTIMemoryBlock& other) const { return std::memcmp(bytes, other.bytes, kSize) == 0; }
};

template <uint32_t kBits>
struct RTTIValueTraits<StaticBitVector<kBits>>
{
    using Value = StaticBitVector<kBits>;
    static constexpr uint32_t kType = RTTI_TYPE_STATIC_BIT_VECTOR;
    static constexpr size_t kMinimumSize = Value::kWordCount * 4;

    // The words as stored in memory (little-endian), never swapped.
    static void Write(RecordOutput& out, const Value& value)
    {
        for (const uint32_t word : value.words)
        {
            const uint8_t bytes[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
            out.WriteBytes(bytes, 4);
        }
    }
    static bool Read(RecordInput& in, Value& value)
    {
        for (uint32_t& word : value.words)
            if (!in.ReadU32(word))
                return false;
        return true;
    }
    static bool Skip(RecordInput& in) { return in.Skip(kMinimumSize); }
    static void ToText(const Value& value, char* buffer, size_t size)
    {
        char text[Value::kWordCount * 8 + 1];
        WordsToHexString(value.words, Value::kWordCount, text);
        std::snprintf(buffer, size, "%s", text);
    }
    static bool FromText(Value& value, const char* text) { return HexStringToWords(value.words, Value::kWordCount, text); }
    static bool Equals(const Value& a, const Value& b) { return a == b; }
};

template <size_t kSize>
struct RTTIValueTraits<RTTIMemoryBlock<kSize>>
{
    using Value = RTTIMemoryBlock<kSize>;
    static constexpr uint32_t kType = RTTI_TYPE_MEMORY_BLOCK;
    static constexpr size_t kMinimumSize = kSize;

    static void Write(RecordOutput& out, const Value& value) { out.WriteBytes(value.bytes, kSize); }
    static bool Read(RecordInput& in, Value& value) { return in.ReadBytes(value.bytes, kSize); }
    static bool Skip(RecordInput& in) { return in.Skip(kSize); }
    // Two upper-case hex digits per byte, low nibble first, as many bytes as the buffer holds.
    static void ToText(const Value& value, char* buffer, size_t size)
    {
        static const char kDigits[] = "0123456789ABCDEF";
        if (size == 0)
            return;
        size_t count = (size - 1) / 2;
        if (count > kSize)
            count = kSize;
        for (size_t i = 0; i < count; ++i)
        {
            buffer[2 * i] = kDigits[value.bytes[i] & 15];
            buffer[2 * i + 1] = kDigits[value.bytes[i] >> 4];
        }
        buffer[2 * count] = 0;
    }
    // Zeroed first; a character that is not a hex digit counts as 0; stops at the end of the text.
    static bool FromText(Value& value, const char* text)
    {
        std::memset(value.bytes, 0, kSize);
        for (size_t i = 0; i < kSize * 2 && text[i] != 0; ++i)
        {
            // Lenient like the number forms, which read junk as 0; bit vectors refuse instead.
            const int digit = HexDigitValue(text[i]);
            value.bytes[i / 2] |= uint8_t((digit < 0 ? 0 : digit) << (i % 2 == 0 ? 0 : 4));
        }
        return true;
    }
    static bool Equals(const Value& a, const Value& b) { return a == b; }
};

template <class TClass, uint32_t kBits>
using RTTIStaticBitVectorProperty = RTTIDirectAccessTypedProperty<TClass, StaticBitVector<kBits>>;

template <class TClass, size_t kSize>
using RTTIPureMemoryBlockProperty = RTTIDirectAccessTypedProperty<TClass, RTTIMemoryBlock<kSize>>;
