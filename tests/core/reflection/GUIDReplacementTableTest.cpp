#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/ObjectRecord.h"
#include "core/reflection/RTTIPropertiesBase.h"

#include <gtest/gtest.h>

namespace
{
SimpleGUID WithTopByte(uint8_t top)
{
    SimpleGUID guid;
    guid.bytes[15] = top;
    return guid;
}
} // namespace

TEST(GUIDReplacementTableTest, LooksUpReplacementsKeptInGUIDOrder)
{
    GUIDReplacementTable table;
    table.AddReplacement(WithTopByte(9), WithTopByte(90));
    table.AddReplacement(WithTopByte(3), WithTopByte(30));
    table.AddReplacement(WithTopByte(6), WithTopByte(60));
    table.AddReplacement(WithTopByte(3), WithTopByte(33));
    EXPECT_EQ(table.GetEntryCount(), 3);
    EXPECT_EQ(table.Lookup(WithTopByte(3)), WithTopByte(33));
    EXPECT_EQ(table.Lookup(WithTopByte(9)), WithTopByte(90));
    EXPECT_EQ(table.Lookup(WithTopByte(7)), WithTopByte(7));

    // The table is itself a record: its entries survive a round trip and compare equal.
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(table, 0, record));
    EXPECT_EQ(record.Count(), 4 + 4 + 3 * 32);
    GUIDReplacementTable copy;
    ASSERT_TRUE(ReadObjectRecord(copy, record.Data(), size_t(record.Count()), 0));
    EXPECT_TRUE(GUIDReplacementTable::StaticClassProperties()->AreObjectsEqual(&table, &copy));
    EXPECT_EQ(copy.Lookup(WithTopByte(6)), WithTopByte(60));
}
