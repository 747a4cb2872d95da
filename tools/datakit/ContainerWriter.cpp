#include "tools/datakit/ContainerWriter.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/ContainerIndex.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace
{
struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};

void PutU32(std::vector<uint8_t>& out, uint32_t value, bool bigEndian)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (bigEndian ? 24 - 8 * i : 8 * i)));
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file || (!bytes.empty() && std::fwrite(bytes.data(), bytes.size(), 1, file.get()) != 1))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to write %s", path.c_str());
        return false;
    }
    return std::fclose(file.release()) == 0;
}
} // namespace

ContainerWriter::ContainerWriter(uint8_t method, uint8_t platform, uint32_t seed, uint32_t hashMultiplier)
    : m_method(method), m_platform(platform), m_seed(seed), m_hashMultiplier(hashMultiplier)
{
}

bool ContainerWriter::Add(const std::string& path, const std::vector<uint8_t>& bytes, bool compress)
{
    uint32_t hash = 0;
    return HashEntryPath(path, hash) && AddHashed(hash, path, bytes, compress);
}

bool ContainerWriter::AddUnnamed(uint32_t hash, const std::vector<uint8_t>& bytes, bool compress)
{
    char label[16];
    std::snprintf(label, sizeof(label), "0x%08X", hash);
    return AddHashed(hash, label, bytes, compress);
}

bool ContainerWriter::AddRaw(const std::string& path, const std::vector<uint8_t>& storedBytes, uint32_t size, bool compressed)
{
    uint32_t hash = 0;
    return HashEntryPath(path, hash) && Insert(hash, path, storedBytes, size, compressed);
}

bool ContainerWriter::HashEntryPath(const std::string& path, uint32_t& hash) const
{
    if (ContainerIndex::HashPath(path.c_str(), m_seed, m_hashMultiplier, hash))
        return true;
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Entry path too long: %s", path.c_str());
    return false;
}

bool ContainerWriter::AddHashed(uint32_t hash, const std::string& label, const std::vector<uint8_t>& bytes, bool compress)
{
    if (!compress || m_method == CONTAINER_STORED)
        return Insert(hash, label, bytes, static_cast<uint32_t>(bytes.size()), false);
    std::vector<uint8_t> stored;
    const bool ok = m_method == CONTAINER_GZIP ? GzipCompress(bytes.data(), bytes.size(), stored)
                                               : LzxEncoder::Encode(bytes.data(), bytes.size(), m_lzxOptions, stored);
    if (!ok)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to compress %s", label.c_str());
        return false;
    }
    return Insert(hash, label, stored, static_cast<uint32_t>(bytes.size()), true);
}

bool ContainerWriter::Insert(uint32_t hash, const std::string& label, const std::vector<uint8_t>& storedBytes,
                             uint32_t size, bool compressed)
{
    const bool taken = std::any_of(m_entries.begin(), m_entries.end(), [hash](const Entry& entry) { return entry.hash == hash; });
    if (taken)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Entry %s has the hash of an earlier entry", label.c_str());
        return false;
    }
    m_entries.push_back({hash, size, compressed, storedBytes});
    return true;
}

bool ContainerWriter::Write(const std::string& dataFilePath) const
{
    std::vector<uint8_t> data;
    std::vector<ContainerIndexRecord> records;
    for (const Entry& entry : m_entries)
    {
        if (data.size() + entry.stored.size() > 0xFFFFFFFFu)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Container %s would pass 4 GB", dataFilePath.c_str());
            return false;
        }
        ContainerIndexRecord record;
        record.hash = entry.hash;
        record.storedSize = static_cast<uint32_t>(entry.stored.size());
        record.size = entry.size;
        record.offset = static_cast<uint32_t>(data.size());
        record.compressed = entry.compressed ? 1 : 0;
        records.push_back(record);
        data.insert(data.end(), entry.stored.begin(), entry.stored.end());
    }
    std::sort(records.begin(), records.end(), [](const ContainerIndexRecord& a, const ContainerIndexRecord& b) { return a.hash < b.hash; });

    const bool bigEndian = ContainerIndex::IsBigEndianPlatform(m_platform);
    std::vector<uint8_t> index{0, m_platform, m_method};
    PutU32(index, static_cast<uint32_t>(records.size()), bigEndian);
    PutU32(index, m_seed, bigEndian);
    for (const ContainerIndexRecord& record : records)
    {
        PutU32(index, record.hash, bigEndian);
        PutU32(index, record.storedSize, bigEndian);
        PutU32(index, record.size, bigEndian);
        PutU32(index, record.offset, bigEndian);
        index.push_back(record.compressed);
    }
    return WriteFile(dataFilePath, data) && WriteFile(IndexPath(dataFilePath), index);
}

std::string ContainerWriter::PartPath(const std::string& mainDataPath, uint32_t part)
{
    if (part == 0 || mainDataPath.size() < 4)
        return mainDataPath;
    char suffix[16];
    std::snprintf(suffix, sizeof(suffix), "_%03u.dat", part);
    return mainDataPath.substr(0, mainDataPath.size() - 4) + suffix;
}

std::string ContainerWriter::IndexPath(const std::string& dataFilePath)
{
    if (dataFilePath.size() < 3)
        return dataFilePath + "idx";
    return dataFilePath.substr(0, dataFilePath.size() - 3) + "idx";
}

bool ContainerWriter::GzipCompress(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&stream, static_cast<uLong>(size)) + 32);
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END;
}
