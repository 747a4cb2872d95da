// Bounded cursors over the bytes of an object record's payload. RecordOutput writes (or only counts,
// without a buffer) and byte-swaps multi-byte words on request; RecordInput reads and refuses every
// read that would pass the end. Owned by the thread that serializes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the text scan reads words as little-endian");

// Writes a payload; a null buffer counts the bytes only (size query).
class RecordOutput
{
public:
    RecordOutput(uint8_t* buffer, size_t capacity, bool byteSwap)
        : m_buffer(buffer), m_capacity(capacity), m_swap(byteSwap)
    {
    }

    bool IsSizeQuery() const { return m_buffer == nullptr; }
    bool ByteSwaps() const { return m_swap; }
    size_t Size() const { return m_size; }
    // True once a write did not fit the buffer; nothing is written past the capacity.
    bool Overflowed() const { return m_overflow; }

    // Bytes as they are, never swapped.
    void WriteBytes(const void* data, size_t count)
    {
        if (m_buffer != nullptr)
        {
            if (m_overflow || count > m_capacity - m_size)
            {
                m_overflow = true;
                return;
            }
            if (count != 0)
                std::memcpy(m_buffer + m_size, data, count);
        }
        m_size += count;
    }
    // Room for `count` bytes to be filled by the caller: null when only counting or when they do
    // not fit (then the output has overflowed, as WriteBytes would).
    uint8_t* Reserve(size_t count)
    {
        if (m_buffer == nullptr)
        {
            m_size += count;
            return nullptr;
        }
        if (m_overflow || count > m_capacity - m_size)
        {
            m_overflow = true;
            return nullptr;
        }
        uint8_t* const at = m_buffer + m_size;
        m_size += count;
        return at;
    }
    void WriteU8(uint8_t value) { WriteBytes(&value, 1); }
    void WriteU16(uint16_t value)
    {
        if (m_swap)
            value = __builtin_bswap16(value);
        uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
        WriteBytes(bytes, 2);
    }
    void WriteU32(uint32_t value)
    {
        if (m_swap)
            value = __builtin_bswap32(value);
        uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        WriteBytes(bytes, 4);
    }
    void WriteFloat(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        WriteU32(bits);
    }

private:
    uint8_t* m_buffer;
    size_t m_capacity;
    size_t m_size = 0;
    bool m_swap;
    bool m_overflow = false;
};

// Lengths of the texts (strings and names) that a validation walk found among one payload's own
// properties, in order, so that the read walk after it need not look for their ends again. A name
// stored empty has kAbsentName. Texts past the capacity are looked for again.
struct RecordTextLengths
{
    static constexpr uint32_t kCapacity = 16;
    static constexpr uint32_t kAbsentName = 0xFFFFFFFFu;
    static constexpr size_t kUnknownSize = ~size_t(0);
    uint32_t count = 0;
    uint32_t lengths[kCapacity];
    // Bytes of the whole payload the validation accepted; kUnknownSize until one has.
    size_t payloadSize = kUnknownSize;

    void Add(size_t length)
    {
        if (count < kCapacity)
            lengths[count++] = uint32_t(length);
    }
};

// Reads a payload; every read checks the bytes left and fails without moving when they are too few.
class RecordInput
{
public:
    RecordInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Position() const { return m_position; }
    size_t Remaining() const { return m_size - m_position; }
    // The next unread byte, for walks that keep their own cursor and then Skip what they took.
    const uint8_t* Cursor() const { return m_data + m_position; }

    bool ReadBytes(void* destination, size_t count)
    {
        if (count > Remaining())
            return false;
        if (count != 0)
            std::memcpy(destination, m_data + m_position, count);
        m_position += count;
        return true;
    }
    // The next `count` bytes, consumed; null (nothing consumed) when fewer are left.
    const uint8_t* Take(size_t count)
    {
        if (count > Remaining())
            return nullptr;
        const uint8_t* const at = m_data + m_position;
        m_position += count;
        return at;
    }
    bool Skip(size_t count)
    {
        if (count > Remaining())
            return false;
        m_position += count;
        return true;
    }
    bool ReadU8(uint8_t& value) { return ReadBytes(&value, 1); }
    bool ReadU16(uint16_t& value)
    {
        uint8_t bytes[2];
        if (!ReadBytes(bytes, 2))
            return false;
        value = uint16_t(bytes[0] | (bytes[1] << 8));
        return true;
    }
    bool ReadU32(uint32_t& value)
    {
        uint8_t bytes[4];
        if (!ReadBytes(bytes, 4))
            return false;
        value = uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) | (uint32_t(bytes[3]) << 24);
        return true;
    }
    bool ReadFloat(float& value)
    {
        uint32_t bits;
        if (!ReadU32(bits))
            return false;
        std::memcpy(&value, &bits, 4);
        return true;
    }
    // A 0-terminated text inside the bytes left: its start and length (without the 0), consumed with
    // the terminator. False when no 0 byte is left.
    bool ReadCString(const char*& text, size_t& length)
    {
        const size_t found = FindZero(m_data + m_position, Remaining());
        if (found == Remaining())
            return false;
        text = reinterpret_cast<const char*>(m_data + m_position);
        length = found;
        m_position += length + 1;
        return true;
    }
    // A run of u16 units ended by a 0 unit; gives the unit count without the terminator.
    bool ReadWideString(const uint8_t*& units, size_t& count)
    {
        for (size_t at = m_position; at + 2 <= m_size; at += 2)
        {
            if (m_data[at] == 0 && m_data[at + 1] == 0)
            {
                units = m_data + m_position;
                count = (at - m_position) / 2;
                m_position = at + 2;
                return true;
            }
        }
        return false;
    }

    // Index of the first 0 byte among `size`, or `size`. Record texts are mostly names of a few
    // letters: their first bytes are looked at a word at a time here, longer ones by memchr.
    static size_t FindZero(const uint8_t* at, size_t size)
    {
        constexpr uint64_t kOnes = 0x0101010101010101ull;
        constexpr uint64_t kHighs = 0x8080808080808080ull;
        size_t i = 0;
        for (; i + 8 <= size && i < 32; i += 8)
        {
            uint64_t word;
            std::memcpy(&word, at + i, 8);
            // The lowest flagged byte is the first 0 (a borrow only flags bytes above a 0).
            const uint64_t zeros = (word - kOnes) & ~word & kHighs;
            if (zeros != 0)
                return i + size_t(__builtin_ctzll(zeros) >> 3);
        }
        if (i < size)
        {
            const void* const zero = std::memchr(at + i, 0, size - i);
            if (zero != nullptr)
                return size_t(static_cast<const uint8_t*>(zero) - at);
        }
        return size;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};
