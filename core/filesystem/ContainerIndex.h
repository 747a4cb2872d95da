// Index of one container part: maps the hash of an entry's path to the entry's place in the part's
// data file. Loaded once while the container is mounted; afterwards only read (Find), under the
// FileSystem lock, so any thread may look entries up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One index record (17 bytes on disk: four u32 fields and a flag byte).
struct ContainerIndexRecord
{
    uint32_t hash = 0;
    uint32_t storedSize = 0; // bytes of the entry in the data file
    uint32_t size = 0;       // bytes the reader receives
    uint32_t offset = 0;     // offset in the part's data file
    uint8_t compressed = 0;  // non-zero: compressed with the part's method
};

// Compression method byte of an index (applies to the entries whose flag is set).
enum ContainerCompression : uint8_t
{
    CONTAINER_STORED = 0,
    CONTAINER_GZIP = 1,
    CONTAINER_LZX = 2,
};

// Sorted hash table of one container part, loaded from its index file.
class ContainerIndex
{
public:
    static constexpr uint32_t kHeaderSize = 11;
    static constexpr uint32_t kRecordSize = 17;
    static constexpr uint32_t kMaxKeyLength = 2047;
    static constexpr uint32_t kDefaultHashMultiplier = 0x5BD1E995u;
    static constexpr uint8_t kHighestPlatform = 11;

    void SetHashMultiplier(uint32_t multiplier) { m_hashMultiplier = multiplier; }
    uint32_t GetHashMultiplier() const { return m_hashMultiplier; }

    // Reads and checks an index file; on failure the index keeps its earlier contents.
    bool Load(const char* path);
    // The same over bytes in memory; `name` only labels the log messages.
    bool LoadFromMemory(const uint8_t* data, size_t size, const char* name);

    // Looks up the rest of a virtual path after the mount name ("/scripts/main.lua"), any letter case.
    bool Find(const char* rest, ContainerIndexRecord& record) const;

    uint32_t GetCount() const { return static_cast<uint32_t>(m_records.size()); }
    const ContainerIndexRecord& GetRecord(uint32_t index) const { return m_records[index]; }
    uint32_t GetSeed() const { return m_seed; }
    uint8_t GetPlatform() const { return m_platform; }
    uint8_t GetCompressionMethod() const { return m_method; }
    bool IsSwapped() const { return m_swapped; }

    // Platform codes 0 and 3 store big-endian fields; 1, 2 and 4 to 11 little-endian.
    static bool IsBigEndianPlatform(uint8_t platform) { return platform == 0 || platform == 3; }
    // 32-bit MurmurHash2 of a key (the caller lower-cases it).
    static uint32_t HashKey(const char* key, size_t length, uint32_t seed, uint32_t multiplier);
    // Hash of an entry path relative to the mount ("scripts/Main.lua"), letters folded to lower case;
    // false when the path is longer than kMaxKeyLength.
    static bool HashPath(const char* path, uint32_t seed, uint32_t multiplier, uint32_t& hash);

private:
    std::vector<ContainerIndexRecord> m_records;
    uint32_t m_seed = 0;
    uint32_t m_hashMultiplier = kDefaultHashMultiplier;
    uint8_t m_platform = 6; // the value before loading
    uint8_t m_method = CONTAINER_STORED;
    bool m_swapped = false;
};
