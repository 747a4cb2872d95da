#include "audio/sound/SoundStreamDataSource.h"

#include <gtest/gtest.h>

#include <vector>

TEST(SoundStreamDataSourceTest, StaticRangesAreReadInOrderAndDropWhenEmpty)
{
    std::vector<uint8_t> a(10000, 1), b(20000, 2);
    SoundStreamStaticDataSource source;
    source.AddRange(a.data(), 10000);
    source.AddRange(b.data(), 0);
    source.AddRange(b.data(), 20000);
    EXPECT_EQ(source.GetRangeCount(), 2) << "an empty range is never queued";
    std::vector<uint8_t> out(16384);
    EXPECT_EQ(source.Read(out.data(), 16384), 16384u);
    EXPECT_EQ(out[9999], 1);
    EXPECT_EQ(out[10000], 2);
    ASSERT_EQ(source.GetRangeCount(), 1);
    EXPECT_EQ(source.GetRangeBytesLeft(0), 13616u);
    EXPECT_EQ(source.Read(out.data(), 13615), 13615u);
    EXPECT_EQ(source.Read(out.data(), 16384), 1u) << "the range's last byte";
    EXPECT_EQ(source.Read(out.data(), 16384), 0u);

    SoundStreamStreamedDataSource noReader;
    EXPECT_EQ(noReader.Read(out.data(), 100), 0u);
}
