#include "tools/datakit/LzxEncoder.h"

#include "core/filesystem/LzxDecoder.h"
#include "tools/datakit/HuffmanCode.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace
{
constexpr uint32_t kFrameSize = 32768;
constexpr uint32_t kMaxSlotCount = 50;
constexpr uint32_t kLengthSymbols = 249;
constexpr uint32_t kMaxMatch = 257;
constexpr uint32_t kHashBits = 15;
constexpr uint32_t kChainDepth = 48;

struct SlotTable
{
    std::array<uint32_t, kMaxSlotCount + 1> base{};
    std::array<uint32_t, kMaxSlotCount> extra{};
    SlotTable()
    {
        for (uint32_t slot = 0; slot < kMaxSlotCount; ++slot)
        {
            extra[slot] = slot < 4 ? 0 : std::min<uint32_t>(slot / 2 - 1, 17);
            base[slot + 1] = base[slot] + (1u << extra[slot]);
        }
    }
};
const SlotTable kSlotTable;

// One literal or match of a block, already in its coded form.
struct Token
{
    uint32_t length = 1; // decoded bytes
    uint16_t mainSymbol = 0;
    int16_t lengthSymbol = -1;
    uint8_t slot = 0;
    uint32_t extraValue = 0; // formatted offset minus the slot base
};

// Splits the bit stream into frames of 32768 decoded bytes; 16-bit little-endian words, most
// significant bit first.
class FrameWriter
{
public:
    void Bits(uint32_t value, uint32_t count)
    {
        while (count > 0)
        {
            const uint32_t take = std::min(count, 16 - m_bitCount);
            const uint32_t chunk = (value >> (count - take)) & ((1u << take) - 1);
            m_word = m_word << take | chunk;
            m_bitCount += take;
            count -= take;
            if (m_bitCount == 16)
                EmitWord();
        }
    }

    // Padding before raw data: the rest of the current word, or a whole word on a word boundary.
    void AlignForRaw() { Bits(0, m_bitCount == 0 ? 16 : 16 - m_bitCount); }

    void Bytes(const uint8_t* data, size_t count) { m_payload.insert(m_payload.end(), data, data + count); }

    void U32(uint32_t value)
    {
        const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        Bytes(bytes, 4);
    }

    // Raw bytes of an uncompressed block, cut at frame boundaries.
    void RawBytes(const uint8_t* data, uint32_t count)
    {
        while (count > 0)
        {
            const uint32_t take = std::min(count, kFrameSize - m_frameOutput);
            Bytes(data, take);
            data += take;
            count -= take;
            Produced(take);
        }
    }

    void Produced(uint32_t count)
    {
        m_frameOutput += count;
        if (m_frameOutput == kFrameSize)
            CloseFrame();
    }

    bool Finish(std::vector<uint8_t>& out)
    {
        if (m_frameOutput > 0)
            CloseFrame();
        out.clear();
        for (size_t i = 0; i < m_frames.size(); ++i)
        {
            const Frame& frame = m_frames[i];
            const uint32_t size = static_cast<uint32_t>(frame.payload.size());
            if (i + 1 < m_frames.size())
            {
                if (size >= 0xFF00)
                    return false;
                out.push_back(static_cast<uint8_t>(size >> 8));
                out.push_back(static_cast<uint8_t>(size));
                out.insert(out.end(), frame.payload.begin(), frame.payload.end());
                continue;
            }
            if (size > 0xFFFF)
                return false;
            const uint8_t header[5] = {0xFF, uint8_t(frame.decodedSize >> 8), uint8_t(frame.decodedSize), uint8_t(size >> 8),
                                       uint8_t(size)};
            out.insert(out.end(), header, header + 5);
            out.insert(out.end(), frame.payload.begin(), frame.payload.end());
            out.insert(out.end(), 5, 0);
        }
        return true;
    }

private:
    struct Frame
    {
        std::vector<uint8_t> payload;
        uint32_t decodedSize;
    };

    void EmitWord()
    {
        m_payload.push_back(static_cast<uint8_t>(m_word));
        m_payload.push_back(static_cast<uint8_t>(m_word >> 8));
        m_word = 0;
        m_bitCount = 0;
    }

    void CloseFrame()
    {
        if (m_bitCount > 0)
            Bits(0, 16 - m_bitCount);
        m_frames.push_back({std::move(m_payload), m_frameOutput});
        m_payload.clear();
        m_frameOutput = 0;
    }

    std::vector<Frame> m_frames;
    std::vector<uint8_t> m_payload;
    uint32_t m_word = 0;
    uint32_t m_bitCount = 0;
    uint32_t m_frameOutput = 0;
};

// Hash chains over the last window of input; a match reaches at most the window size less 3 back.
class MatchFinder
{
public:
    MatchFinder(const uint8_t* data, size_t size, uint32_t windowSize)
        : m_data(data), m_size(size), m_windowMask(windowSize - 1), m_maxDistance(windowSize - 3),
          m_head(1u << kHashBits, -1), m_previous(windowSize, -1)
    {
    }

    void Insert(size_t position)
    {
        if (position + 2 >= m_size)
            return;
        const uint32_t hash = Hash(position);
        m_previous[position & m_windowMask] = m_head[hash];
        m_head[hash] = static_cast<int64_t>(position);
    }

    // Longest match of at least 3 bytes within maxLength; returns its length (0 for none).
    uint32_t Find(size_t position, uint32_t maxLength, uint32_t& distance) const
    {
        if (maxLength < 3 || position + 2 >= m_size)
            return 0;
        uint32_t best = 0;
        int64_t candidate = m_head[Hash(position)];
        for (uint32_t depth = 0; depth < kChainDepth && candidate >= 0; ++depth)
        {
            const size_t from = static_cast<size_t>(candidate);
            const size_t gap = position - from;
            if (gap == 0 || gap > m_maxDistance)
                break;
            const uint32_t length = MatchLength(position, from, maxLength);
            if (length > best)
            {
                best = length;
                distance = static_cast<uint32_t>(gap);
                if (length == maxLength)
                    break;
            }
            const int64_t next = m_previous[from & m_windowMask];
            if (next >= candidate)
                break; // the slot was reused by a newer position
            candidate = next;
        }
        return best >= 3 ? best : 0;
    }

    uint32_t MatchLength(size_t position, size_t from, uint32_t maxLength) const
    {
        uint32_t length = 0;
        while (length < maxLength && m_data[from + length] == m_data[position + length])
            ++length;
        return length;
    }

private:
    uint32_t Hash(size_t position) const
    {
        const uint32_t value = uint32_t(m_data[position]) << 16 | uint32_t(m_data[position + 1]) << 8 | m_data[position + 2];
        return (value * 2654435761u) >> (32 - kHashBits);
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_windowMask;
    uint32_t m_maxDistance;
    std::vector<int64_t> m_head;
    std::vector<int64_t> m_previous;
};

// Undone by the decoder: call targets become absolute positions so that repeated calls match.
void ApplyE8Translation(std::vector<uint8_t>& data, uint32_t translationSize)
{
    const int64_t size = translationSize;
    for (size_t frameStart = 0, frame = 0; frameStart < data.size() && frame < 32768; frameStart += kFrameSize, ++frame)
    {
        const size_t frameSize = std::min<size_t>(kFrameSize, data.size() - frameStart);
        uint8_t* bytes = data.data() + frameStart;
        for (size_t i = 0; i + 10 < frameSize;)
        {
            if (bytes[i] != 0xE8)
            {
                ++i;
                continue;
            }
            const int64_t position = static_cast<int64_t>(frameStart + i);
            const int32_t relative = static_cast<int32_t>(uint32_t(bytes[i + 1]) | uint32_t(bytes[i + 2]) << 8 |
                                                          uint32_t(bytes[i + 3]) << 16 | uint32_t(bytes[i + 4]) << 24);
            if (relative >= -position && relative < size)
            {
                const int64_t absolute = relative < size - position ? relative + position : relative - size;
                const uint32_t value = static_cast<uint32_t>(absolute);
                for (int b = 0; b < 4; ++b)
                    bytes[i + 1 + b] = static_cast<uint8_t>(value >> (8 * b));
            }
            i += 5;
        }
    }
}

class BlockEncoder
{
public:
    BlockEncoder(const std::vector<uint8_t>& data, FrameWriter& writer, uint32_t e8Size, uint32_t windowSize)
        : m_e8Size(e8Size), m_slotCount(LzxDecoder::PositionSlotCount(windowSize)), m_mainSymbols(256 + 8 * m_slotCount),
          m_data(data), m_writer(writer), m_finder(data.data(), data.size(), windowSize), m_previousMain(m_mainSymbols, 0)
    {
    }

    void Encode(size_t start, size_t end, LzxBlockKind kind)
    {
        if (kind == LzxBlockKind::Uncompressed)
        {
            WriteUncompressed(start, end);
            return;
        }
        std::vector<Token> tokens;
        Tokenize(start, end, tokens);
        WriteCompressed(tokens, static_cast<uint32_t>(end - start), kind == LzxBlockKind::Aligned);
    }

private:
    void Tokenize(size_t start, size_t end, std::vector<Token>& tokens)
    {
        size_t position = start;
        while (position < end)
        {
            const size_t frameEnd = (position / kFrameSize + 1) * kFrameSize;
            const uint32_t maxLength = static_cast<uint32_t>(std::min<size_t>({kMaxMatch, end - position, frameEnd - position}));
            uint32_t repeatLength = 0;
            uint32_t repeatIndex = 0;
            for (uint32_t i = 0; i < 3 && maxLength >= 2; ++i)
            {
                if (m_repeated[i] > position)
                    continue;
                const uint32_t length = m_finder.MatchLength(position, position - m_repeated[i], maxLength);
                if (length > repeatLength)
                {
                    repeatLength = length;
                    repeatIndex = i;
                }
            }
            uint32_t distance = 0;
            const uint32_t length = m_finder.Find(position, maxLength, distance);

            Token token;
            if (repeatLength >= 2 && repeatLength + 1 >= length)
                token = RepeatedMatch(repeatIndex, repeatLength);
            else if (length >= 3)
                token = NewMatch(distance, length);
            else
                token.mainSymbol = m_data[position];
            for (uint32_t i = 0; i < token.length; ++i)
                m_finder.Insert(position + i);
            position += token.length;
            tokens.push_back(token);
        }
    }

    static void SetLength(Token& token, uint32_t length)
    {
        token.length = length;
        const uint32_t header = std::min<uint32_t>(length - 2, 7);
        token.mainSymbol = static_cast<uint16_t>(256 + token.slot * 8 + header);
        if (header == 7)
            token.lengthSymbol = static_cast<int16_t>(length - 9);
    }

    Token RepeatedMatch(uint32_t index, uint32_t length)
    {
        const uint32_t distance = m_repeated[index];
        m_repeated[index] = m_repeated[0];
        m_repeated[0] = distance;
        Token token;
        token.slot = static_cast<uint8_t>(index);
        SetLength(token, length);
        return token;
    }

    Token NewMatch(uint32_t distance, uint32_t length)
    {
        const uint32_t formatted = distance + 2;
        uint32_t slot = 3;
        while (slot + 1 < m_slotCount && kSlotTable.base[slot + 1] <= formatted)
            ++slot;
        m_repeated[2] = m_repeated[1];
        m_repeated[1] = m_repeated[0];
        m_repeated[0] = distance;
        Token token;
        token.slot = static_cast<uint8_t>(slot);
        token.extraValue = formatted - kSlotTable.base[slot];
        SetLength(token, length);
        return token;
    }

    void WriteBlockHeader(uint32_t type, uint32_t size)
    {
        WriteStreamHeaderOnce();
        m_writer.Bits(type, 3);
        m_writer.Bits(size >> 16, 8);
        m_writer.Bits((size >> 8) & 0xFF, 8);
        m_writer.Bits(size & 0xFF, 8);
    }

    void WriteStreamHeaderOnce()
    {
        if (m_streamHeaderWritten)
            return;
        m_streamHeaderWritten = true;
        m_writer.Bits(m_e8Size != 0, 1);
        if (m_e8Size != 0)
        {
            m_writer.Bits(m_e8Size >> 16, 16);
            m_writer.Bits(m_e8Size & 0xFFFF, 16);
        }
    }

    void WriteUncompressed(size_t start, size_t end)
    {
        WriteBlockHeader(3, static_cast<uint32_t>(end - start));
        m_writer.AlignForRaw();
        for (const uint32_t offset : m_repeated)
            m_writer.U32(offset);
        m_writer.RawBytes(m_data.data() + start, static_cast<uint32_t>(end - start));
        for (size_t position = start; position < end; ++position)
            m_finder.Insert(position);
    }

    void WriteCompressed(const std::vector<Token>& tokens, uint32_t size, bool aligned)
    {
        std::vector<uint32_t> mainFrequencies(m_mainSymbols, 0);
        std::vector<uint32_t> lengthFrequencies(kLengthSymbols, 0);
        std::vector<uint32_t> alignedFrequencies(8, 0);
        for (const Token& token : tokens)
        {
            ++mainFrequencies[token.mainSymbol];
            if (token.lengthSymbol >= 0)
                ++lengthFrequencies[token.lengthSymbol];
            if (aligned && token.length > 1 && token.slot >= 3 && kSlotTable.extra[token.slot] >= 3)
                ++alignedFrequencies[token.extraValue & 7];
        }
        // An aligned block must carry a complete aligned tree; with no symbol to code, strict
        // decoders refuse the all-zero tree, so such a block goes out verbatim.
        aligned = aligned && std::any_of(alignedFrequencies.begin(), alignedFrequencies.end(), [](uint32_t n) { return n > 0; });
        const HuffmanCode mainCode = HuffmanCode::Build(mainFrequencies, 16);
        const HuffmanCode lengthCode = HuffmanCode::Build(lengthFrequencies, 16);
        const HuffmanCode alignedCode = HuffmanCode::Build(alignedFrequencies, 7);

        WriteBlockHeader(aligned ? 2 : 1, size);
        if (aligned)
            for (const uint8_t length : alignedCode.lengths)
                m_writer.Bits(length, 3);
        WriteLengths(mainCode.lengths, m_previousMain, 0, 256);
        WriteLengths(mainCode.lengths, m_previousMain, 256, m_mainSymbols);
        WriteLengths(lengthCode.lengths, m_previousLength, 0, kLengthSymbols);

        for (const Token& token : tokens)
        {
            m_writer.Bits(mainCode.codes[token.mainSymbol], mainCode.lengths[token.mainSymbol]);
            if (token.lengthSymbol >= 0)
                m_writer.Bits(lengthCode.codes[token.lengthSymbol], lengthCode.lengths[token.lengthSymbol]);
            if (token.length > 1 && token.slot >= 3)
            {
                const uint32_t extra = kSlotTable.extra[token.slot];
                if (aligned && extra >= 3)
                {
                    m_writer.Bits(token.extraValue >> 3, extra - 3);
                    const uint32_t low = token.extraValue & 7;
                    m_writer.Bits(alignedCode.codes[low], alignedCode.lengths[low]);
                }
                else
                {
                    m_writer.Bits(token.extraValue, extra);
                }
            }
            m_writer.Produced(token.length);
        }
    }

    // Tree lengths go through a 20-symbol pre-tree as changes from the previous block's lengths.
    void WriteLengths(const std::vector<uint8_t>& lengths, std::vector<uint8_t>& previous, uint32_t first, uint32_t last)
    {
        struct Item
        {
            uint32_t code;
            uint32_t extra;
            uint32_t extraBits;
        };
        std::vector<Item> items;
        auto delta = [&](uint32_t i) { return (previous[i] + 17u - lengths[i]) % 17u; };
        uint32_t i = first;
        while (i < last)
        {
            uint32_t run = 1;
            while (i + run < last && lengths[i + run] == lengths[i])
                ++run;
            if (lengths[i] == 0 && run >= 20)
            {
                run = std::min(run, 51u);
                items.push_back({18, run - 20, 5});
            }
            else if (lengths[i] == 0 && run >= 4)
            {
                run = std::min(run, 19u);
                items.push_back({17, run - 4, 4});
            }
            else if (run >= 4)
            {
                run = std::min(run, 5u);
                items.push_back({19, run - 4, 1});
                items.push_back({delta(i), 0, 0});
            }
            else
            {
                run = 1;
                items.push_back({delta(i), 0, 0});
            }
            i += run;
        }
        std::vector<uint32_t> frequencies(20, 0);
        for (const Item& item : items)
            ++frequencies[item.code];
        const HuffmanCode pretree = HuffmanCode::Build(frequencies, 15);
        for (const uint8_t length : pretree.lengths)
            m_writer.Bits(length, 4);
        for (const Item& item : items)
        {
            m_writer.Bits(pretree.codes[item.code], pretree.lengths[item.code]);
            m_writer.Bits(item.extra, item.extraBits);
        }
        std::copy(lengths.begin() + first, lengths.begin() + last, previous.begin() + first);
    }

    const uint32_t m_e8Size;
    const uint32_t m_slotCount;
    const uint32_t m_mainSymbols;
    const std::vector<uint8_t>& m_data;
    FrameWriter& m_writer;
    MatchFinder m_finder;
    uint32_t m_repeated[3] = {1, 1, 1};
    std::vector<uint8_t> m_previousMain;
    std::vector<uint8_t> m_previousLength = std::vector<uint8_t>(kLengthSymbols, 0);
    bool m_streamHeaderWritten = false;
};
} // namespace

bool LzxEncoder::Encode(const uint8_t* data, size_t size, const LzxEncoderOptions& options, std::vector<uint8_t>& out)
{
    if (!LzxDecoder::IsValidWindowSize(options.windowSize))
        return false;
    std::vector<uint8_t> input(data, data + size);
    if (options.e8TranslationSize != 0)
        ApplyE8Translation(input, options.e8TranslationSize);

    FrameWriter writer;
    BlockEncoder encoder(input, writer, options.e8TranslationSize, options.windowSize);
    const size_t blockSize = std::clamp<size_t>(options.blockSize, 1, 0xFFFFFF);
    static const LzxBlockKind kCycle[3] = {LzxBlockKind::Verbatim, LzxBlockKind::Aligned, LzxBlockKind::Uncompressed};
    size_t block = 0;
    for (size_t start = 0; start < size; ++block)
    {
        const LzxBlockKind kind = options.blockKind == LzxBlockKind::Mixed ? kCycle[block % 3] : options.blockKind;
        size_t end = std::min(size, start + blockSize);
        // Readers disagree on whether a pad byte follows an odd-sized uncompressed block; an even
        // size leaves nothing to disagree on.
        if (kind == LzxBlockKind::Uncompressed && (end - start) % 2 == 1 && end < size)
            ++end;
        encoder.Encode(start, end, kind);
        start = end;
    }
    return writer.Finish(out);
}
