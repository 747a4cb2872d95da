// Writes data containers: one part (a data file and its index) per writer, in either byte order,
// entries stored, gzip-wrapped or LZX-compressed. Extra parts are written by further writers to the
// names PartPath gives. Any thread; a writer is used by one thread.
#pragma once

#include "tools/datakit/LzxEncoder.h"

#include <cstdint>
#include <string>
#include <vector>

// Collects entries in memory and writes one container part.
class ContainerWriter
{
public:
    static constexpr uint32_t kDefaultSeed = 0x7E55A12Eu;

    // method: 0 stored, 1 gzip, 2 LZX (for the entries added with compression); platform: the index's
    // platform code (0 and 3 write big-endian fields).
    explicit ContainerWriter(uint8_t method = 0, uint8_t platform = 1, uint32_t seed = kDefaultSeed,
                             uint32_t hashMultiplier = 0x5BD1E995u);

    void SetLzxOptions(const LzxEncoderOptions& options) { m_lzxOptions = options; }

    // Adds an entry under its path relative to the mount ("scripts/Main.lua"). With `compress` and a
    // method other than 0 the entry is compressed. False for a path whose hash another entry has.
    bool Add(const std::string& path, const std::vector<uint8_t>& bytes, bool compress = true);
    // Adds an entry whose path is not known under the hash it has in another container of this
    // writer's seed and multiplier; false when another entry has that hash.
    bool AddUnnamed(uint32_t hash, const std::vector<uint8_t>& bytes, bool compress = true);
    // Adds an entry exactly as given (for damaged test data).
    bool AddRaw(const std::string& path, const std::vector<uint8_t>& storedBytes, uint32_t size, bool compressed);

    // Writes the data file and its index (the data path with "idx" in place of its last 3 letters).
    bool Write(const std::string& dataFilePath) const;

    // The data file of part k of a container whose main data file is mainDataPath ("x.dat" -> "x_001.dat").
    static std::string PartPath(const std::string& mainDataPath, uint32_t part);
    static std::string IndexPath(const std::string& dataFilePath);
    // One gzip member around a deflate stream.
    static bool GzipCompress(const uint8_t* data, size_t size, std::vector<uint8_t>& out);

    uint32_t GetEntryCount() const { return static_cast<uint32_t>(m_entries.size()); }

private:
    bool HashEntryPath(const std::string& path, uint32_t& hash) const;
    // `label` names the entry in messages.
    bool AddHashed(uint32_t hash, const std::string& label, const std::vector<uint8_t>& bytes, bool compress);
    bool Insert(uint32_t hash, const std::string& label, const std::vector<uint8_t>& storedBytes, uint32_t size,
                bool compressed);

    struct Entry
    {
        uint32_t hash;
        uint32_t size;
        bool compressed;
        std::vector<uint8_t> stored;
    };

    const uint8_t m_method;
    const uint8_t m_platform;
    const uint32_t m_seed;
    const uint32_t m_hashMultiplier;
    LzxEncoderOptions m_lzxOptions;
    std::vector<Entry> m_entries;
};
