// The history of entered lines: newest first, an equal entry moved to the front, the oldest dropped
// past the maximum size, and its record read in either order of its two properties, in the form of
// names and in the older form of plain texts, which is converted with a warning rather than misread.
#include "core/reflection/ObjectRecord.h"
#include "support/ConsoleCapture.h"
#include "ui/StringHistoryContainer.h"
#include "ui/UIClassRegistration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> Entries(const StringHistoryContainer& history)
{
    std::vector<std::string> entries;
    for (int32_t i = 0; i < history.GetCount(); ++i)
        entries.push_back(history.GetAt(i).CStr());
    return entries;
}

TEST(StringHistoryContainerTest, AddKeepsNewestFirstMovesEqualEntriesAndDropsTheOldest)
{
    struct Case
    {
        uint32_t maximum;
        std::vector<const char*> added;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {32, {"a", "b", "a"}, {"a", "b"}},
        {32, {"a", "b", "b"}, {"b", "a"}},
        {3, {"a", "b", "c", "a"}, {"a", "c", "b"}},
        {3, {"a", "b", "c", "d"}, {"d", "c", "b"}},
        {3, {"a", nullptr, "", "b"}, {"b", "a"}},
        {0, {"a"}, {}},
    };
    for (const Case& c : cases)
    {
        StringHistoryContainer history(c.maximum);
        for (const char* text : c.added)
            history.Add(text);
        EXPECT_EQ(Entries(history), c.expected) << "maximum " << c.maximum;
        EXPECT_TRUE(history.GetAt(history.GetCount()).IsEmpty()) << "past the oldest, maximum " << c.maximum;
    }
    StringHistoryContainer full(32);
    for (int i = 0; i < 33; ++i)
        full.Add(("entry " + std::to_string(i)).c_str());
    ASSERT_EQ(full.GetCount(), 32);
    EXPECT_STREQ(full.GetAt(0).CStr(), "entry 32");
    EXPECT_STREQ(full.GetAt(31).CStr(), "entry 1") << "the oldest went";
    EXPECT_TRUE(full.GetAt(32).IsEmpty());
    EXPECT_TRUE(full.GetAt(-1).IsEmpty());
}

TEST(StringHistoryContainerTest, RecordsOfNamesRoundTripAndOldTextRecordsAreConverted)
{
    RegisterUIClasses();
    StringHistoryContainer written(4);
    written.Add("x = 1");
    written.Add("Foo()");
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(written, 0, record));
    // u32 size, u32 count, each name as a presence byte and its text, then u32 maximum size.
    const std::vector<uint8_t> names = {2, 0, 0, 0, 1, 'F', 'o', 'o', '(', ')', 0,
                                        1, 'x', ' ', '=', ' ', '1', 0, 4, 0, 0, 0};
    const std::vector<uint8_t> bytes(record.Data() + 4, record.Data() + record.Count());
    EXPECT_EQ(bytes, names);

    ConsoleCapture log;
    StringHistoryContainer read(0);
    ASSERT_TRUE(ReadObjectRecord(read, record.Data(), size_t(record.Count()), 0));
    EXPECT_EQ(Entries(read), (std::vector<std::string>{"Foo()", "x = 1"}));
    EXPECT_EQ(read.GetMaximumSize(), 4u);
    // The same history in both orders: the maximum size last, and first as configurations had it;
    // then four entries over a maximum of 0, kept as read in the order they read whole in (the next
    // Add drops them). What is read
    // reads back the same after a save.
    struct Case
    {
        std::vector<uint8_t> bytes;
        std::vector<std::string> entries;
        uint32_t maximum;
    };
    const Case cases[] = {
        {{12, 0, 0, 0, 2, 0, 0, 0, 0, 1, 'a', 0, 3, 0, 0, 0}, {"", "a"}, 3},
        {{12, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 0, 1, 'a', 0}, {"", "a"}, 3},
        {{20, 0, 0, 0, 4, 0, 0, 0, 1, 'a', 0, 1, 'b', 0, 1, 'c', 0, 1, 'd', 0, 0, 0, 0, 0}, {"a", "b", "c", "d"}, 0},
        // Read maximum first it would be an empty history of maximum 4 with bytes left over.
        {{12, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {"", "", "", ""}, 0},
    };
    for (const Case& c : cases)
    {
        const std::vector<uint8_t>& bytes = c.bytes;
        StringHistoryContainer withGap(0);
        ASSERT_TRUE(ReadObjectRecord(withGap, bytes.data(), bytes.size(), 0)) << int(bytes[4]);
        EXPECT_EQ(Entries(withGap), c.entries) << "an absent name is an empty entry, " << int(bytes[4]);
        EXPECT_EQ(withGap.GetMaximumSize(), c.maximum) << int(bytes[4]);
        Dynarray<uint8_t> saved;
        StringHistoryContainer reread(7);
        ASSERT_TRUE(BuildObjectRecord(withGap, 0, saved) &&
                    ReadObjectRecord(reread, saved.Data(), size_t(saved.Count()), 0));
        EXPECT_EQ(Entries(reread), c.entries) << int(bytes[4]);
        EXPECT_EQ(reread.GetMaximumSize(), c.maximum) << int(bytes[4]);
    }
    StringHistoryContainer overfull(0);
    ASSERT_TRUE(ReadObjectRecord(overfull, cases[2].bytes.data(), cases[2].bytes.size(), 0));
    overfull.Add("a");
    EXPECT_EQ(overfull.GetCount(), 4) << "the newest again changes nothing";
    overfull.Add("e");
    EXPECT_EQ(overfull.GetCount(), 0) << "a new entry drops those past the maximum";
    EXPECT_FALSE(log.Contains("old form"));

    // The older form: plain zero-terminated texts.
    std::vector<uint8_t> old = {0, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 'a', 'b', 0, 'q', 0};
    old[0] = uint8_t(old.size() - 4);
    StringHistoryContainer converted(0);
    ASSERT_TRUE(ReadObjectRecord(converted, old.data(), old.size(), 0));
    EXPECT_EQ(converted.GetMaximumSize(), 3u);
    EXPECT_EQ(Entries(converted), (std::vector<std::string>{"ab", "q"}));
    EXPECT_TRUE(log.Contains("The console history was saved in the old form and is converted"));

    // A text that does not end inside the record is refused, not read past.
    const std::vector<uint8_t> cut = {9, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1};
    StringHistoryContainer refused(7);
    EXPECT_FALSE(ReadObjectRecord(refused, cut.data(), cut.size(), 0));
    EXPECT_EQ(refused.GetMaximumSize(), 7u);
    // So is a count of more entries than the record has bytes, before the maximum size is taken.
    const std::vector<uint8_t> overcounted = {9, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 0};
    EXPECT_FALSE(ReadObjectRecord(refused, overcounted.data(), overcounted.size(), 0));
    EXPECT_EQ(refused.GetMaximumSize(), 7u);
}
} // namespace
