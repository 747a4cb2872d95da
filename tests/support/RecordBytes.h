// A reflected object's record payload as bytes: sized by a first call without a buffer, then
// written, and the two sizes must agree. Test thread only.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

inline std::vector<uint8_t> SerializeToBytes(RTTIPolyBaseClass& object, uint32_t flags = 0)
{
    std::vector<uint8_t> bytes(object.SerializeToMemory(nullptr, 0, flags));
    EXPECT_EQ(object.SerializeToMemory(bytes.data(), bytes.size(), flags), bytes.size());
    return bytes;
}
