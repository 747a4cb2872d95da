#include "core/reflection/RTTIPolyBaseClass.h"

#include "core/Crc32.h"
#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileWriter.h"
#include "core/reflection/ObjectRecord.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RecordStream.h"

#include <climits>
#include <cstdint>

namespace
{
// Writes the payload of an object whose pre-save hook has already run.
bool WritePayload(const RTTIPropertiesBase* table, const RTTIPolyBaseClass* object, uint8_t* buffer, size_t capacity,
                  uint32_t flags, size_t& written)
{
    RecordOutput out(buffer, capacity, (flags & RTTI_BYTE_SWAP) != 0);
    table->SerializeObject(out, object, flags);
    written = out.Size();
    if (out.Overflowed())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Object of class %s does not fit its %zu-byte record buffer", table->GetClassName(), capacity);
        return false;
    }
    return true;
}

void PutU32(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
    at[2] = uint8_t(value >> 16);
    at[3] = uint8_t(value >> 24);
}

uint32_t GetU32(const uint8_t* at)
{
    return uint32_t(at[0]) | (uint32_t(at[1]) << 8) | (uint32_t(at[2]) << 16) | (uint32_t(at[3]) << 24);
}
} // namespace

size_t RTTIPolyBaseClass::SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags)
{
    const RTTIPropertiesBase* table = GetClassProperties();
    if (table == nullptr)
        return 0;
    if (buffer != nullptr)
        OnPreSave(flags);
    size_t written = 0;
    return WritePayload(table, this, buffer, capacity, flags, written) ? written : 0;
}

bool RTTIPolyBaseClass::DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed)
{
    const RTTIPropertiesBase* table = GetClassProperties();
    return table != nullptr && table->ReadRecord(this, buffer, size, flags, consumed);
}

void RTTIPolyBaseClass::WriteEmbeddedPayload(RecordOutput& out, uint32_t flags)
{
    const RTTIPropertiesBase* table = GetClassProperties();
    if (table == nullptr)
        return;
    if (!out.IsSizeQuery())
        OnPreSave(flags);
    table->SerializeObject(out, this, flags);
}

bool RTTIPolyBaseClass::ReadEmbeddedPayload(RecordInput& in, uint32_t flags)
{
    const RTTIPropertiesBase* table = GetClassProperties();
    if (table == nullptr)
        return true;
    OnPreLoad(flags);
    const bool read = table->ReadValidatedObject(in, this, flags);
    OnPostLoad(flags);
    return read;
}

bool BuildObjectRecord(RTTIPolyBaseClass& object, uint32_t flags, Dynarray<uint8_t>& record)
{
    record.Clear();
    const RTTIPropertiesBase* table = object.GetClassProperties();
    if (table == nullptr)
        return false;
    // The hook runs before the size is taken, so a hook that changes a variable-size field cannot
    // make the payload outgrow its buffer.
    object.OnPreSave(flags);
    size_t size = 0;
    WritePayload(table, &object, nullptr, 0, flags, size);
    if (size > size_t(INT32_MAX) - 12)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Object of class %s is too large for a record", table->GetClassName());
        return false;
    }
    const size_t header = (flags & RTTI_MAGIC_AND_CRC) && size != 0 ? 12 : 4;
    record.Resize(int32_t(header + size));
    PutU32(record.Data(), (flags & RTTI_BYTE_SWAP) ? __builtin_bswap32(uint32_t(size)) : uint32_t(size));
    if (size == 0)
        return true;
    size_t written = 0;
    if (!WritePayload(table, &object, record.Data() + header, size, flags, written) || written != size)
    {
        record.Clear();
        return false;
    }
    if (flags & RTTI_MAGIC_AND_CRC)
    {
        // Magic and CRC are never swapped.
        PutU32(record.Data() + 4, table->GetLayoutMagic());
        PutU32(record.Data() + 8, ComputeCrc32(record.Data() + header, size));
    }
    return true;
}

bool ReadCheckedPayload(RTTIPolyBaseClass& object, const uint8_t* payload, size_t size, uint32_t magic, uint32_t crc,
                        uint32_t flags)
{
    if (flags & RTTI_MAGIC_AND_CRC)
    {
        const RTTIPropertiesBase* table = object.GetClassProperties();
        if (table == nullptr || magic != table->GetLayoutMagic())
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SolidDeserializeFromFileReader - magic check error!!!");
            return false;
        }
        if (ComputeCrc32(payload, size) != crc)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SolidDeserializeFromFileReader - CRC check error!!!");
            return false;
        }
    }
    return object.DeserializeFromMemory(payload, size, flags);
}

bool ReadObjectRecord(RTTIPolyBaseClass& object, const uint8_t* data, size_t size, uint32_t flags)
{
    if (size < 4)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SolidDeserializeFromFileReader - record header truncated");
        return false;
    }
    const uint32_t payloadSize = GetU32(data);
    if (payloadSize == 0)
        return true;
    const size_t header = (flags & RTTI_MAGIC_AND_CRC) ? 12 : 4;
    if (size < header || size - header < payloadSize)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SolidDeserializeFromFileReader - record of %u bytes is truncated", payloadSize);
        return false;
    }
    const uint32_t magic = header == 12 ? GetU32(data + 4) : 0;
    const uint32_t crc = header == 12 ? GetU32(data + 8) : 0;
    return ReadCheckedPayload(object, data + header, payloadSize, magic, crc, flags);
}

bool RTTIPolyBaseClass::SolidDeserializeFromFileReader(FileReader& reader, uint32_t flags)
{
    uint32_t size = 0;
    if (!reader.ReadU32(size))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SolidDeserializeFromFileReader - record header truncated");
        return false;
    }
    if (size == 0)
        return true;
    uint32_t magic = 0;
    uint32_t crc = 0;
    if ((flags & RTTI_MAGIC_AND_CRC) && (!reader.ReadU32(magic) || !reader.ReadU32(crc)))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SolidDeserializeFromFileReader - record header truncated");
        return false;
    }
    // The size is checked against the bytes really there before anything is allocated.
    if (size > reader.GetRemaining() || size > uint32_t(INT32_MAX))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SolidDeserializeFromFileReader - record of %u bytes is truncated", size);
        return false;
    }
    Dynarray<uint8_t> payload;
    payload.Resize(int32_t(size));
    if (!reader.Read(payload.Data(), size))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "SolidDeserializeFromFileReader - record of %u bytes is truncated", size);
        return false;
    }
    return ReadCheckedPayload(*this, payload.Data(), size, magic, crc, flags);
}

bool RTTIPolyBaseClass::SaveToFile(const char* path, const char* extension, const char* base, uint32_t flags)
{
    // The record is built before the file is opened: a writer left unfinished would still replace
    // the last good file.
    Dynarray<uint8_t> record;
    if (!BuildObjectRecord(*this, flags, record))
        return false;
    FileWriter writer(path, extension, base, 0);
    if (!writer.IsOpen())
        return false;
    writer.Write(record.Data(), uint32_t(record.Count()));
    return writer.Close();
}

bool RTTIPolyBaseClass::LoadFromFile(const char* path, const char* extension, const char* base, uint32_t flags)
{
    FileReader reader(path, extension, base, 0);
    if (!reader.IsOpen())
        return false;
    return SolidDeserializeFromFileReader(reader, flags);
}

bool RTTIPolyBaseClass::LoadFromFile(const char* path, const char* base)
{
    return LoadFromFile(path, "bin", base, 0);
}
