#include "core/filesystem/LzxDecoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace
{
struct SlotTables
{
    std::array<uint32_t, LzxDecoder::kMaxPositionSlots> base{};
    std::array<uint32_t, LzxDecoder::kMaxPositionSlots> extraBits{};
};

constexpr SlotTables MakeSlotTables()
{
    SlotTables tables;
    uint32_t base = 0;
    for (uint32_t slot = 0; slot < LzxDecoder::kMaxPositionSlots; ++slot)
    {
        const uint32_t extra = slot < 4 ? 0 : std::min<uint32_t>((slot - 2) / 2, 17);
        tables.base[slot] = base;
        tables.extraBits[slot] = extra;
        base += 1u << extra;
    }
    return tables;
}

constexpr SlotTables kSlots = MakeSlotTables();
} // namespace

bool LzxDecoder::IsValidWindowSize(uint32_t windowSize)
{
    return windowSize >= kMinWindowSize && windowSize <= kMaxWindowSize && (windowSize & (windowSize - 1)) == 0;
}

uint32_t LzxDecoder::PositionSlotCount(uint32_t windowSize)
{
    // Two slots per doubling up to 2^19; the last two windows reach further with 17-bit slots.
    if (windowSize >= (1u << 21))
        return 50;
    if (windowSize == (1u << 20))
        return 42;
    uint32_t bits = 0;
    while ((1u << bits) < windowSize)
        ++bits;
    return bits * 2;
}

LzxDecoder::LzxDecoder(uint8_t* window, uint32_t windowSize)
    : m_window(window), m_windowSize(windowSize), m_mainSymbols(256 + 8 * PositionSlotCount(windowSize))
{
}

void LzxDecoder::Reset()
{
    std::fill(m_window, m_window + m_windowSize, 0);
    m_windowPosition = 0;
    m_frameStart = 0;
    std::fill(std::begin(m_mainLengths), std::end(m_mainLengths), 0);
    std::fill(std::begin(m_lengthLengths), std::end(m_lengthLengths), 0);
    std::fill(std::begin(m_alignedLengths), std::end(m_alignedLengths), 0);
    m_repeated[0] = m_repeated[1] = m_repeated[2] = 1;
    m_blockType = BLOCK_NONE;
    m_blockRemaining = 0;
    m_rawPosition = 0;
    m_e8TranslationSize = 0;
    m_streamHeaderRead = false;
    m_failed = false;
}

bool LzxDecoder::DecodeFrame(const uint8_t* payload, uint32_t payloadSize, uint32_t frameSize)
{
    if (m_failed || frameSize > kFrameSize)
        return m_failed = true, false;
    // Frames are 32768 bytes but the last, so every frame starts on a half of the window.
    m_windowPosition &= m_windowSize - 1;
    m_frameStart = m_windowPosition;
    if (m_frameStart + frameSize > m_windowSize)
        return m_failed = true, false;

    // A frame that begins inside an uncompressed block goes on copying from its first byte.
    if (m_blockType == BLOCK_UNCOMPRESSED && m_blockRemaining > 0)
        m_rawPosition = 0;
    else
    {
        m_rawPosition = 0;
        m_bits.Prime(payload, payloadSize, 0);
    }

    if (!m_streamHeaderRead && !ReadStreamHeader())
        return m_failed = true, false;

    uint32_t remaining = frameSize;
    while (remaining > 0)
    {
        if (m_blockRemaining == 0 && !ReadBlockHeader(payload, payloadSize))
            return m_failed = true, false;
        const uint32_t run = std::min(remaining, m_blockRemaining);
        if (run == 0)
            continue;
        const bool ok = m_blockType == BLOCK_UNCOMPRESSED ? CopyRaw(payload, payloadSize, run) : DecodeSymbols(run);
        if (!ok)
            return m_failed = true, false;
        remaining -= run;
    }
    return true;
}

bool LzxDecoder::ReadStreamHeader()
{
    m_streamHeaderRead = true;
    if (m_bits.Read(1) != 0)
    {
        const uint32_t high = m_bits.Read(16);
        const uint32_t low = m_bits.Read(16);
        m_e8TranslationSize = high << 16 | low;
    }
    return !m_bits.Overrun();
}

bool LzxDecoder::ReadBlockHeader(const uint8_t* payload, uint32_t payloadSize)
{
    if (m_blockType == BLOCK_UNCOMPRESSED)
        m_bits.Prime(payload, payloadSize, m_rawPosition); // raw data ends on a byte, not a word

    const uint32_t type = m_bits.Read(3);
    const uint32_t high = m_bits.Read(8);
    const uint32_t middle = m_bits.Read(8);
    const uint32_t low = m_bits.Read(8);
    m_blockRemaining = high << 16 | middle << 8 | low;
    m_blockType = BLOCK_NONE;

    switch (type)
    {
    case BLOCK_ALIGNED:
        for (uint8_t& length : m_alignedLengths)
            length = static_cast<uint8_t>(m_bits.Read(3));
        if (!m_alignedTable.Build(m_alignedLengths, kAlignedSymbols))
            return false;
        [[fallthrough]];
    case BLOCK_VERBATIM:
        if (!ReadLengths(m_mainLengths, 0, 256) || !ReadLengths(m_mainLengths, 256, m_mainSymbols) ||
            !ReadLengths(m_lengthLengths, 0, kLengthSymbols))
            return false;
        if (!m_mainTable.Build(m_mainLengths, m_mainSymbols) || !m_lengthTable.Build(m_lengthLengths, kLengthSymbols))
            return false;
        break;
    case BLOCK_UNCOMPRESSED:
    {
        if (m_bits.Overrun())
            return false;
        uint32_t position = m_bits.AlignedBytePosition();
        if (position >= payloadSize || payloadSize - position < 12)
            return false;
        for (uint32_t& offset : m_repeated)
        {
            offset = uint32_t(payload[position]) | uint32_t(payload[position + 1]) << 8 |
                     uint32_t(payload[position + 2]) << 16 | uint32_t(payload[position + 3]) << 24;
            position += 4;
        }
        m_rawPosition = position;
        break;
    }
    default:
        return false;
    }
    m_blockType = static_cast<BlockType>(type);
    return !m_bits.Overrun();
}

int LzxDecoder::DecodeSymbol(const LzxHuffmanTable& table)
{
    uint32_t length = 0;
    const int symbol = table.Decode(m_bits.Peek16(), length);
    if (symbol >= 0)
        m_bits.Consume(length);
    return symbol;
}

bool LzxDecoder::ReadLengths(uint8_t* lengths, uint32_t first, uint32_t last)
{
    uint8_t pretree[kPretreeSymbols];
    for (uint8_t& length : pretree)
        length = static_cast<uint8_t>(m_bits.Read(4));
    if (!m_pretreeTable.Build(pretree, kPretreeSymbols))
        return false;

    uint32_t i = first;
    while (i < last)
    {
        const int code = DecodeSymbol(m_pretreeTable);
        if (code < 0 || m_bits.Overrun())
            return false;
        if (code <= 16)
        {
            lengths[i] = static_cast<uint8_t>((lengths[i] + 17 - code) % 17);
            ++i;
            continue;
        }
        uint32_t run = 0;
        uint8_t value = 0;
        if (code == 17)
            run = m_bits.Read(4) + 4;
        else if (code == 18)
            run = m_bits.Read(5) + 20;
        else
        {
            run = m_bits.Read(1) + 4;
            const int delta = DecodeSymbol(m_pretreeTable);
            if (delta < 0 || delta > 16)
                return false;
            value = static_cast<uint8_t>((lengths[i] + 17 - delta) % 17);
        }
        if (run > last - i)
            return false;
        std::fill(lengths + i, lengths + i + run, value);
        i += run;
    }
    return !m_bits.Overrun();
}

bool LzxDecoder::DecodeSymbols(uint32_t count)
{
    uint8_t* const window = m_window;
    const uint32_t windowMask = m_windowSize - 1;
    const bool aligned = m_blockType == BLOCK_ALIGNED;
    uint32_t left = count;
    while (left > 0)
    {
        const int main = DecodeSymbol(m_mainTable);
        if (main < 0)
            return false;
        if (main < 256)
        {
            window[m_windowPosition++] = static_cast<uint8_t>(main);
            --left;
            continue;
        }
        const uint32_t header = static_cast<uint32_t>(main) - 256;
        uint32_t length = (header & 7) + 2;
        if ((header & 7) == 7)
        {
            const int extra = DecodeSymbol(m_lengthTable);
            if (extra < 0)
                return false;
            length += static_cast<uint32_t>(extra);
        }
        const uint32_t slot = header >> 3;
        uint32_t offset = 0;
        if (slot < 3)
        {
            offset = m_repeated[slot];
            m_repeated[slot] = m_repeated[0];
            m_repeated[0] = offset;
        }
        else
        {
            const uint32_t extraBits = kSlots.extraBits[slot];
            offset = kSlots.base[slot] - 2;
            if (aligned && extraBits >= 3)
            {
                offset += m_bits.Read(extraBits - 3) << 3;
                const int low = DecodeSymbol(m_alignedTable);
                if (low < 0)
                    return false;
                offset += static_cast<uint32_t>(low);
            }
            else
            {
                offset += m_bits.Read(extraBits);
            }
            m_repeated[2] = m_repeated[1];
            m_repeated[1] = m_repeated[0];
            m_repeated[0] = offset;
        }
        // A match never runs past the frame or its block.
        if (length > left || m_bits.Overrun())
            return false;
        uint32_t source = (m_windowPosition - offset) & windowMask;
        for (uint32_t i = 0; i < length; ++i)
        {
            window[m_windowPosition++] = window[source];
            source = (source + 1) & windowMask;
        }
        left -= length;
    }
    m_blockRemaining -= count;
    return !m_bits.Overrun();
}

bool LzxDecoder::CopyRaw(const uint8_t* payload, uint32_t payloadSize, uint32_t count)
{
    if (m_rawPosition > payloadSize || payloadSize - m_rawPosition < count)
        return false;
    std::memcpy(m_window + m_windowPosition, payload + m_rawPosition, count);
    m_windowPosition += count;
    m_rawPosition += count;
    m_blockRemaining -= count;
    return true;
}
