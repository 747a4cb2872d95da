// Bounded little-endian reads over a record payload in memory, for the string and font tables,
// and the sized read that brings such a payload in from its file.
// Any thread; one cursor per reader.
#pragma once

#include "core/filesystem/FileReader.h"
#include "core/strings/NameString.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A read that would pass the end fails and takes nothing.
class PayloadCursor
{
public:
    PayloadCursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool U8(uint8_t& value)
    {
        if (!Has(1))
            return false;
        value = m_data[m_position++];
        return true;
    }
    bool U16(uint16_t& value)
    {
        if (!Has(2))
            return false;
        value = uint16_t(m_data[m_position] | (m_data[m_position + 1] << 8));
        m_position += 2;
        return true;
    }
    bool U32(uint32_t& value)
    {
        if (!Has(4))
            return false;
        value = uint32_t(m_data[m_position]) | uint32_t(m_data[m_position + 1]) << 8 |
                uint32_t(m_data[m_position + 2]) << 16 | uint32_t(m_data[m_position + 3]) << 24;
        m_position += 4;
        return true;
    }
    bool Bytes(void* out, size_t count)
    {
        if (!Has(count))
            return false;
        if (count != 0)
            std::memcpy(out, m_data + m_position, count);
        m_position += count;
        return true;
    }
    // A count of records of `recordSize` bytes that must all still be there.
    bool Count(uint32_t& count, size_t recordSize)
    {
        return U32(count) && (recordSize == 0 || count <= (m_size - m_position) / recordSize);
    }
    // Zero-terminated UTF-16 text; the terminator is consumed and not stored.
    bool WideText(std::u16string& text)
    {
        text.clear();
        for (;;)
        {
            uint16_t unit = 0;
            if (!U16(unit))
                return false;
            if (unit == 0)
                return true;
            text.push_back(char16_t(unit));
        }
    }
    bool NarrowText(std::string& text)
    {
        text.clear();
        for (;;)
        {
            uint8_t byte = 0;
            if (!U8(byte))
                return false;
            if (byte == 0)
                return true;
            text.push_back(char(byte));
        }
    }
    // A name: a 0 byte when empty, else a 1 byte and the terminated characters.
    bool Name(NameString& name)
    {
        uint8_t present = 0;
        if (!U8(present))
            return false;
        if (present == 0)
        {
            name.Set(nullptr);
            return true;
        }
        std::string text;
        if (present != 1 || !NarrowText(text))
            return false;
        name.Set(text.c_str());
        return true;
    }

    size_t Position() const { return m_position; }

private:
    bool Has(size_t count) const { return count <= m_size - m_position; }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

// Reads a u32 size and the payload it announces; a size past the file's end is refused before
// anything is allocated. Null on success, else why it failed.
inline const char* ReadSizedPayload(FileReader& reader, std::vector<uint8_t>& payload)
{
    uint32_t size = 0;
    if (!reader.ReadU32(size) || size > reader.GetRemaining())
        return "the payload size runs past the file";
    payload.resize(size);
    if (!reader.Read(payload.data(), size))
        return "the payload could not be read";
    return nullptr;
}
