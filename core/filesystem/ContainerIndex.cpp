#include "core/filesystem/ContainerIndex.h"

#include "core/console/GameConsole.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace
{
uint32_t ReadU32(const uint8_t* bytes, bool bigEndian)
{
    if (bigEndian)
        return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    return uint32_t(bytes[3]) << 24 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[1]) << 8 | bytes[0];
}

struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};
} // namespace

bool ContainerIndex::Load(const char* path)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file)
        return false;
    // The whole index is read at once: its size bounds every count inside it.
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    const long length = std::ftell(file.get());
    if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    if (!bytes.empty() && std::fread(bytes.data(), bytes.size(), 1, file.get()) != 1)
    {
        gConsole.Error(CONSOLE_CHANNEL_CORE, "Unable to read index file %s", path);
        return false;
    }
    return LoadFromMemory(bytes.data(), bytes.size(), path);
}

bool ContainerIndex::LoadFromMemory(const uint8_t* data, size_t size, const char* name)
{
    if (size < kHeaderSize)
    {
        gConsole.Error(CONSOLE_CHANNEL_CORE, "Index file %s is truncated (%zu bytes)", name, size);
        return false;
    }
    const uint8_t version = data[0];
    const uint8_t platform = data[1];
    const uint8_t method = data[2];
    if (version != 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_CORE, "wrong index file version");
        return false;
    }
    if (platform > kHighestPlatform)
    {
        gConsole.Error(CONSOLE_CHANNEL_CORE, "Index file %s has unknown platform code %u", name, platform);
        return false;
    }
    const bool swapped = IsBigEndianPlatform(platform);
    const uint32_t count = ReadU32(data + 3, swapped);
    const uint32_t seed = ReadU32(data + 7, swapped);
    if (count > (size - kHeaderSize) / kRecordSize)
    {
        gConsole.Error(CONSOLE_CHANNEL_CORE, "Index file %s claims %u entries but holds only %zu bytes", name, count, size);
        return false;
    }

    std::vector<ContainerIndexRecord> records(count);
    const uint8_t* cursor = data + kHeaderSize;
    for (ContainerIndexRecord& record : records)
    {
        record.hash = ReadU32(cursor, swapped);
        record.storedSize = ReadU32(cursor + 4, swapped);
        record.size = ReadU32(cursor + 8, swapped);
        record.offset = ReadU32(cursor + 12, swapped);
        record.compressed = cursor[16];
        cursor += kRecordSize;
    }
    // Lookups are a binary search: an unsorted index would hide entries silently.
    const bool sorted = std::is_sorted(records.begin(), records.end(),
        [](const ContainerIndexRecord& a, const ContainerIndexRecord& b) { return a.hash < b.hash; });
    if (!sorted)
    {
        gConsole.Error(CONSOLE_CHANNEL_CORE, "Index file %s is not sorted by hash", name);
        return false;
    }

    m_records = std::move(records);
    m_seed = seed;
    m_platform = platform;
    m_method = method;
    m_swapped = swapped;
    return true;
}

uint32_t ContainerIndex::HashKey(const char* key, size_t length, uint32_t seed, uint32_t multiplier)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(key);
    uint32_t h = seed ^ static_cast<uint32_t>(length);
    while (length >= 4)
    {
        uint32_t k = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
        k *= multiplier;
        k ^= k >> 24;
        k *= multiplier;
        h *= multiplier;
        h ^= k;
        bytes += 4;
        length -= 4;
    }
    switch (length)
    {
    case 3:
        h ^= uint32_t(bytes[2]) << 16;
        [[fallthrough]];
    case 2:
        h ^= uint32_t(bytes[1]) << 8;
        [[fallthrough]];
    case 1:
        h ^= bytes[0];
        h *= multiplier;
        break;
    default:
        break;
    }
    h ^= h >> 13;
    h *= multiplier;
    h ^= h >> 15;
    return h;
}

bool ContainerIndex::HashPath(const char* path, uint32_t seed, uint32_t multiplier, uint32_t& hash)
{
    char key[kMaxKeyLength + 1];
    size_t length = 0;
    for (; path[length] != '\0'; ++length)
    {
        if (length == kMaxKeyLength)
            return false;
        const char c = path[length];
        key[length] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    hash = HashKey(key, length, seed, multiplier);
    return true;
}

bool ContainerIndex::Find(const char* rest, ContainerIndexRecord& record) const
{
    if (rest == nullptr || rest[0] == '\0')
        return false;
    uint32_t hash = 0;
    if (!HashPath(rest + 1, m_seed, m_hashMultiplier, hash))
        return false;
    const auto found = std::lower_bound(m_records.begin(), m_records.end(), hash,
        [](const ContainerIndexRecord& entry, uint32_t value) { return entry.hash < value; });
    if (found == m_records.end() || found->hash != hash)
        return false;
    record = *found;
    return true;
}
