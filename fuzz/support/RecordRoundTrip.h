// Round trip of a reflected object's record for the fuzz targets: bytes that read must write back,
// and read again, to the same bytes; anything else stops the run.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>
#include <cstring>

inline bool WriteRecordBack(RTTIPolyBaseClass& object, Dynarray<uint8_t>& bytes)
{
    const size_t size = object.SerializeToMemory(nullptr, 0, 0);
    bytes.Clear();
    bytes.AddZeroed(int32_t(size));
    return object.SerializeToMemory(bytes.Data(), size, 0) == size;
}

template <class T>
void RecordRoundTrip(const uint8_t* data, size_t size)
{
    T object;
    if (!object.DeserializeFromMemory(data, size, 0))
        return;
    Dynarray<uint8_t> first;
    Dynarray<uint8_t> second;
    T copy;
    if (!WriteRecordBack(object, first) || !copy.DeserializeFromMemory(first.Data(), size_t(first.Count()), 0) ||
        !WriteRecordBack(copy, second) || first.Count() != second.Count() ||
        std::memcmp(first.Data(), second.Data(), size_t(first.Count())) != 0)
        __builtin_trap();
}
