#include "tools/datakit/ContainerReader.h"

#include "core/filesystem/ContainerStreamDecompressor.h"
#include "tools/datakit/ContainerWriter.h"
#include "tools/datakit/InputFile.h"

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

bool ContainerReader::ReadEntry(const ContainerIndexRecord& record, std::vector<uint8_t>& bytes) const
{
    if (uint64_t(record.offset) + record.storedSize > m_data.size())
        return false;
    const uint8_t* stored = m_data.data() + record.offset;
    if (!record.compressed)
    {
        if (record.storedSize != record.size)
            return false;
        bytes.assign(stored, stored + record.size);
        return true;
    }
    ContainerStreamDecompressor decompressor;
    if (!decompressor.Init(m_index.GetCompressionMethod()))
        return false;
    bytes.assign(record.size, 0);
    uint32_t consumed = 0;
    uint32_t produced = 0;
    while (produced < record.size)
    {
        uint32_t input = record.storedSize - consumed;
        uint32_t output = record.size - produced;
        if (!decompressor.Decompress(stored + consumed, input, bytes.data() + produced, output))
            return false;
        if (input == 0 && output == 0)
            return false;
        consumed += input;
        produced += output;
    }
    return true;
}
