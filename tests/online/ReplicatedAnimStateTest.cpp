// The replicated animation state: three bytes, fractions rounded to 1/255, out-of-range values
// clamped and indices that do not fit sent as none.
#include "online/ReplicatedAnimState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

TEST(ReplicatedAnimStateTest, StatesRoundTripInThreeBytes)
{
    struct Case
    {
        uint32_t index;
        bool loop;
        float progress;
        float second;
        uint32_t packed;
        uint8_t decodedIndex;
    };
    const Case cases[] = {
        {5, true, 0.5f, 0.2f, 0x338085, 5},
        {0, false, 1.0f, 0.0f, 0x00FF00, 0},
        {127, false, 0.0f, 1.0f, 0xFF007F, 255},
        {300, true, 2.0f, -1.0f, 0x00FFFF, 255},
        {2, false, std::nanf(""), 0.5f, 0x800002, 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.index);
        const uint32_t packed = EncodeReplicatedAnimState(c.index, c.loop, c.progress, c.second);
        EXPECT_EQ(packed, c.packed);
        const ReplicatedAnimState state = DecodeReplicatedAnimState(packed);
        EXPECT_EQ(state.index, c.decodedIndex);
        EXPECT_EQ(state.loop, c.loop);
        // max(0, NaN) is 0: a NaN fraction is sent as 0.
        EXPECT_NEAR(state.progress, std::min(std::max(0.0f, c.progress), 1.0f), 0.51f / 255);
        EXPECT_NEAR(state.second, std::min(std::max(0.0f, c.second), 1.0f), 0.51f / 255);
    }
}
