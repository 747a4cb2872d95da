#include "tools/datakit/LzxEncoder.h"

#include "support/LzxSampleData.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <mspack.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<uint8_t>;

// Only short offsets: no match ever needs aligned bits.
Bytes MakeShortRepeats(size_t size)
{
    Bytes out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = static_cast<uint8_t>("abcab"[i % 5] + (i / 4000) % 3);
    return out;
}

void PutU16(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(Bytes& out, uint32_t value)
{
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

// Re-wraps the container's frames as the data blocks of a one-file cabinet with an LZX window of
// 2^windowBits bytes, the form libmspack decodes.
bool WrapAsCabinet(const Bytes& stream, size_t decodedSize, uint32_t windowBits, Bytes& cabinet)
{
    std::vector<std::pair<Bytes, uint32_t>> frames;
    size_t at = 0;
    while (at + 2 <= stream.size())
    {
        uint32_t decoded = 32768;
        uint32_t size = 0;
        if (stream[at] == 0xFF)
        {
            if (at + 5 > stream.size())
                return false;
            decoded = stream[at + 1] << 8 | stream[at + 2];
            size = stream[at + 3] << 8 | stream[at + 4];
            at += 5;
        }
        else
        {
            size = stream[at] << 8 | stream[at + 1];
            at += 2;
        }
        if (at + size > stream.size())
            return false;
        frames.emplace_back(Bytes(stream.begin() + at, stream.begin() + at + size), decoded);
        at += size;
        if (decoded != 32768)
            break;
    }
    const std::string name = "entry";
    const uint32_t headerSize = 36 + 8;
    const uint32_t fileSize = 16 + static_cast<uint32_t>(name.size()) + 1;
    uint32_t total = headerSize + fileSize;
    for (const auto& frame : frames)
        total += 8 + static_cast<uint32_t>(frame.first.size());

    cabinet.clear();
    cabinet.insert(cabinet.end(), {'M', 'S', 'C', 'F'});
    PutU32(cabinet, 0);
    PutU32(cabinet, total);
    PutU32(cabinet, 0);
    PutU32(cabinet, headerSize); // first file entry
    PutU32(cabinet, 0);
    cabinet.push_back(3);
    cabinet.push_back(1);
    PutU16(cabinet, 1); // folders
    PutU16(cabinet, 1); // files
    PutU16(cabinet, 0);
    PutU16(cabinet, 0);
    PutU16(cabinet, 0);
    PutU32(cabinet, headerSize + fileSize); // first data block
    PutU16(cabinet, static_cast<uint32_t>(frames.size()));
    PutU16(cabinet, 3 | windowBits << 8); // LZX and its window
    PutU32(cabinet, static_cast<uint32_t>(decodedSize));
    PutU32(cabinet, 0);
    PutU16(cabinet, 0);
    PutU16(cabinet, 0x5A21);
    PutU16(cabinet, 0);
    PutU16(cabinet, 0x20);
    cabinet.insert(cabinet.end(), name.begin(), name.end());
    cabinet.push_back(0);
    for (const auto& [payload, decoded] : frames)
    {
        PutU32(cabinet, 0); // no checksum
        PutU16(cabinet, static_cast<uint32_t>(payload.size()));
        PutU16(cabinet, decoded);
        cabinet.insert(cabinet.end(), payload.begin(), payload.end());
    }
    return !frames.empty();
}

// Decodes an encoder stream with libmspack; false when libmspack refuses it.
bool DecodeWithLibmspack(const Bytes& stream, size_t decodedSize, Bytes& out, uint32_t windowBits = 16)
{
    Bytes cabinet;
    if (!WrapAsCabinet(stream, decodedSize, windowBits, cabinet))
        return false;
    TempFolder folder;
    folder.WriteFile("entry.cab", std::string(cabinet.begin(), cabinet.end()));
    mscab_decompressor* decompressor = mspack_create_cab_decompressor(nullptr);
    if (decompressor == nullptr)
        return false;
    bool ok = false;
    const std::string cabPath = folder / "entry.cab";
    const std::string outPath = folder / "entry.out";
    if (mscabd_cabinet* cab = decompressor->open(decompressor, cabPath.c_str()))
    {
        ok = cab->files != nullptr && decompressor->extract(decompressor, cab->files, outPath.c_str()) == MSPACK_ERR_OK;
        decompressor->close(decompressor, cab);
    }
    mspack_destroy_cab_decompressor(decompressor);
    if (ok)
    {
        const std::string text = folder.ReadFile("entry.out");
        out.assign(text.begin(), text.end());
    }
    return ok;
}

TEST(LzxEncoderTest, EveryBlockKindDecodesIdenticallyWithLibmspack)
{
    struct Case
    {
        LzxBlockKind kind;
        uint32_t blockSize;
        uint32_t e8Size;
        Bytes data;
    };
    const Bytes text = MakeLzxSample(150000, 7);
    const Bytes repeats = MakeShortRepeats(90000);
    const Bytes small = MakeLzxSample(900, 3);
    std::vector<Case> cases;
    for (const LzxBlockKind kind : {LzxBlockKind::Verbatim, LzxBlockKind::Aligned, LzxBlockKind::Uncompressed, LzxBlockKind::Mixed})
    {
        cases.push_back({kind, 32768, 0, text});
        cases.push_back({kind, 777, 0, text});
        cases.push_back({kind, 50001, 12000000, text});
        cases.push_back({kind, 32768, 0, repeats});
        cases.push_back({kind, 4000, 0, repeats});
        cases.push_back({kind, 32768, 0, small});
    }
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(c.kind) << " block " << c.blockSize << " size "
                                        << c.data.size() << " e8 " << c.e8Size);
        Bytes stream;
        ASSERT_TRUE(LzxEncoder::Encode(c.data.data(), c.data.size(), {c.kind, c.blockSize, c.e8Size}, stream));
        Bytes decoded;
        ASSERT_TRUE(DecodeWithLibmspack(stream, c.data.size(), decoded));
        EXPECT_TRUE(decoded == c.data);
    }
}

TEST(LzxEncoderTest, EveryWindowSizeDecodesIdenticallyWithLibmspack)
{
    // Far repeats make matches in the slots only the larger windows have (noise seen again 690 KB
    // later needs the slots whose extra bits stop growing at 17).
    Bytes data = MakeLzxSample(120000, 9);
    const Bytes head(data.begin(), data.begin() + 90000);
    std::mt19937 random(3);
    Bytes noise(600000);
    for (uint8_t& byte : noise)
        byte = static_cast<uint8_t>(random());
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), head.begin(), head.end());
    data.insert(data.end(), noise.begin(), noise.end());
    for (uint32_t bits = 15; bits <= 21; ++bits)
    {
        SCOPED_TRACE(bits);
        for (const LzxBlockKind kind : {LzxBlockKind::Verbatim, LzxBlockKind::Aligned})
        {
            Bytes stream;
            ASSERT_TRUE(LzxEncoder::Encode(data.data(), data.size(), {kind, 40000, 0, 1u << bits}, stream));
            if (bits >= 20)
            {
                EXPECT_LT(stream.size(), data.size() * 6 / 10);
            }
            Bytes decoded;
            ASSERT_TRUE(DecodeWithLibmspack(stream, data.size(), decoded, bits));
            EXPECT_TRUE(decoded == data);
        }
    }
    Bytes stream;
    EXPECT_FALSE(LzxEncoder::Encode(data.data(), data.size(), {LzxBlockKind::Verbatim, 32768, 0, 100000}, stream));
}
} // namespace
