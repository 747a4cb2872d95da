// Object records in memory: the same bytes SaveToFile writes and SolidDeserializeFromFileReader
// reads (u32 payload size, with flag 16 the layout magic and the payload's CRC-32, then the payload).
// The thread that owns the object.
#pragma once

#include "core/containers/Dynarray.h"

#include <cstddef>
#include <cstdint>

class RTTIPolyBaseClass;

// Builds the whole record of `object`; false (record empty) when the payload could not be written.
bool BuildObjectRecord(RTTIPolyBaseClass& object, uint32_t flags, Dynarray<uint8_t>& record);
// Reads a whole record; false, with the object untouched, when it is truncated, fails its magic or
// CRC check, or holds no valid payload.
bool ReadObjectRecord(RTTIPolyBaseClass& object, const uint8_t* data, size_t size, uint32_t flags);
// The checks and the read after the header: payload of `size` bytes with the stored magic and CRC.
bool ReadCheckedPayload(RTTIPolyBaseClass& object, const uint8_t* payload, size_t size, uint32_t magic,
                        uint32_t crc, uint32_t flags);
