#include "tools/datakit/ContainerReader.h"

#include "core/filesystem/ContainerStreamDecompressor.h"
#include "tools/datakit/ContainerWriter.h"
#include "tools/datakit/InputFile.h"

#include <algorithm>
#include <cstdio>

bool ContainerReader::Open(const std::string& dataFilePath)
{
    if (!m_index.Load(ContainerWriter::IndexPath(dataFilePath).c_str()))
        return false;
    std::string bytes;
    if (!ReadInputFile(dataFilePath, bytes))
        return false;
    m_data.assign(bytes.begin(), bytes.end());
    return true;
}

bool ContainerReader::ReadEntry(const ContainerIndexRecord& record, std::vector<uint8_t>& bytes, std::string* why) const
{
    char reason[128] = "is damaged";
    bytes.clear();
    const uint32_t method = record.compressed ? m_index.GetCompressionMethod() : 0;
    ContainerStreamDecompressor decompressor;
    if (uint64_t(record.offset) + record.storedSize > m_data.size())
        std::snprintf(reason, sizeof(reason), "lies outside the data file (%u bytes at %u)", record.storedSize,
                      record.offset);
    else if (method != 0 && !decompressor.Init(method))
        std::snprintf(reason, sizeof(reason), "uses the unknown compression method %u", method);
    else if (record.size > ContainerStreamDecompressor::GetMaxOutputSize(method, record.storedSize) ||
             (method == 0 && record.size != record.storedSize))
        std::snprintf(reason, sizeof(reason), "records %u bytes, which its %u stored bytes cannot give", record.size,
                      record.storedSize);
    else if (Unpack(record, decompressor, bytes))
        return true;
    if (why != nullptr)
        *why = reason;
    return false;
}

bool ContainerReader::Unpack(const ContainerIndexRecord& record, ContainerStreamDecompressor& decompressor,
                             std::vector<uint8_t>& bytes) const
{
    const uint8_t* stored = m_data.data() + record.offset;
    if (decompressor.GetMethod() == 0)
    {
        bytes.assign(stored, stored + record.size);
        return true;
    }
    // The output grows with what the data gives, never ahead of it to what the record claims.
    std::vector<uint8_t> chunk(65536);
    uint32_t consumed = 0;
    while (bytes.size() < record.size)
    {
        uint32_t input = record.storedSize - consumed;
        uint32_t output = uint32_t(std::min<size_t>(chunk.size(), record.size - bytes.size()));
        if (!decompressor.Decompress(stored + consumed, input, chunk.data(), output))
            return false;
        if (input == 0 && output == 0)
            return false;
        consumed += input;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + output);
    }
    return true;
}
