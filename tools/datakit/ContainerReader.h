// Reads one container part (data file and index) synchronously, for the datakit command and tests.
// Any thread; a reader is used by one thread.
#pragma once

#include "core/filesystem/ContainerIndex.h"

#include <cstdint>
#include <string>
#include <vector>

class ContainerStreamDecompressor;

// Loads a part's index and hands out its entries' bytes, decompressed.
class ContainerReader
{
public:
    bool Open(const std::string& dataFilePath);
    const ContainerIndex& GetIndex() const { return m_index; }
    // The entry's bytes after decompression; false for entries outside the data file, sizes their stored
    // bytes cannot give, or corrupt data, with the reason in `why` when given ("records 9 bytes, ...").
    bool ReadEntry(const ContainerIndexRecord& record, std::vector<uint8_t>& bytes, std::string* why = nullptr) const;

private:
    bool Unpack(const ContainerIndexRecord& record, ContainerStreamDecompressor& decompressor,
                std::vector<uint8_t>& bytes) const;

    ContainerIndex m_index;
    std::vector<uint8_t> m_data;
};
