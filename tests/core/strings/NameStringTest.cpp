#include "core/strings/NameString.h"

#include "core/containers/Dynarray.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
// Feeds SetFromStream from a byte string, as a file reader would; fails when the data runs out.
struct StreamSource
{
    std::string data;
    size_t offset = 0;
    int reads = 0;

    bool operator()(char* buffer, uint32_t length)
    {
        ++reads;
        if (length > data.size() - offset)
            return false;
        std::memcpy(buffer, data.data() + offset, length);
        offset += length;
        return true;
    }
};
} // namespace

TEST(NameStringTest, EqualTextsShareOneCountedBlock)
{
    NameString first("Tower");
    NameString second(std::string("Tow").append("er").c_str());
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.CStr(), second.CStr());
    EXPECT_EQ(first.GetReferenceCount(), 2u);
    {
        NameString copy(first);
        NameString assigned;
        assigned = second;
        EXPECT_EQ(first.GetReferenceCount(), 4u);
        assigned = assigned;
        EXPECT_EQ(first.GetReferenceCount(), 4u);
    }
    EXPECT_EQ(first.GetReferenceCount(), 2u);
    NameString moved(std::move(second));
    EXPECT_TRUE(second.IsEmpty());
    EXPECT_EQ(first.GetReferenceCount(), 2u);
    EXPECT_EQ(first.Length(), 5u);
}

TEST(NameStringTest, EmptyTextsGiveTheNullHandle)
{
    const int32_t blocks = NameString::GetPoolBlockCount();
    NameString fromNull(nullptr);
    NameString fromEmpty("");
    NameString name("x");
    name.Set("");
    EXPECT_TRUE(fromNull.IsEmpty());
    EXPECT_TRUE(fromEmpty.IsEmpty());
    EXPECT_TRUE(name.IsEmpty());
    EXPECT_STREQ(name.CStr(), "");
    EXPECT_EQ(name.Length(), 0u);
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks);
    EXPECT_TRUE(name.Equals(nullptr));
    EXPECT_TRUE(name.Equals(""));
    EXPECT_FALSE(name.Equals("x"));
}

TEST(NameStringTest, ByteTotalCountsEachLiveBlockOnce)
{
    const uint32_t before = NameString::GetPoolByteTotal();
    {
        NameString first("abc");
        EXPECT_EQ(NameString::GetPoolByteTotal(), before + 12);
        NameString second("abc");
        EXPECT_EQ(NameString::GetPoolByteTotal(), before + 12);
    }
    EXPECT_EQ(NameString::GetPoolByteTotal(), before);
}

TEST(NameStringTest, CaseRulesFoldAsciiOnly)
{
    NameString lower("tower");
    NameString upper("Tower");
    EXPECT_NE(lower, upper);
    EXPECT_TRUE(lower.EqualsNoCase(upper));
    EXPECT_LT(NameString::Compare(upper, lower), 0);
    EXPECT_GT(NameString::Compare(lower, upper), 0);
    EXPECT_LT(NameString::Compare(NameString(), upper), 0);
    EXPECT_EQ(NameString::Compare(NameString(), NameString()), 0);
    EXPECT_TRUE(NameString().EqualsNoCase(NameString()));
    EXPECT_FALSE(NameString().EqualsNoCase(lower));
    EXPECT_FALSE(lower.EqualsNoCase(NameString("towers")));
    EXPECT_FALSE(upper.EqualsNoCase(NameString("tOWEX")));
    EXPECT_TRUE(NameString("AZ").EqualsNoCase(NameString("az")));
    // Windows-1252 letters are not folded: \xC4 and \xE4 are the two cases of one letter there.
    EXPECT_FALSE(NameString("\xC4").EqualsNoCase(NameString("\xE4")));
    // Bytes above 127 sort after ASCII, as unsigned bytes.
    EXPECT_GT(NameString::Compare(NameString("\xE4"), NameString("z")), 0);
    EXPECT_TRUE(upper.Equals("Tower"));
    EXPECT_FALSE(upper.Equals("tower"));
}

TEST(NameStringTest, SetMayTakeItsOwnCharacters)
{
    NameString name("only holder");
    name.Set(name.CStr());
    EXPECT_TRUE(name.Equals("only holder"));
    EXPECT_EQ(name.GetReferenceCount(), 1u);
}

TEST(NameStringTest, ManyNamesStayFindableInAnyInsertionOrder)
{
    const int32_t blocks = NameString::GetPoolBlockCount();
    DynarraySafe<NameString> names;
    for (int i = 0; i < 300; ++i)
        names.Add(NameString(std::to_string((i * 7919) % 300).c_str()));
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks + 300);
    for (int i = 0; i < 300; ++i)
    {
        const NameString again(std::to_string(i).c_str());
        EXPECT_EQ(again.GetReferenceCount(), 2u) << i;
    }
    names.RemoveValue(NameString("17"));
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks + 299);
    names.FreeStorage();
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks);
}

// Enough names to grow the index several times; releasing every third one in a scattered order
// shifts probe chains, after which every survivor must still be found and every released text must
// come back as a fresh block.
TEST(NameStringTest, IndexFindsSurvivorsAfterScatteredReleasesAndReinterns)
{
    constexpr int kNames = 6000;
    const int32_t blocks = NameString::GetPoolBlockCount();
    const uint32_t bytes = NameString::GetPoolByteTotal();
    std::vector<std::string> texts;
    uint32_t textBytes = 0;
    for (int i = 0; i < kNames; ++i)
    {
        // Shared prefixes and texts that differ only past the first eight bytes or in length.
        texts.push_back("units/tower_" + std::to_string(i) + (i % 2 == 0 ? "" : "x"));
        textBytes += uint32_t(texts.back().size()) + 9;
    }
    std::vector<NameString> names;
    for (const std::string& text : texts)
        names.emplace_back(text.c_str());
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks + kNames);
    EXPECT_EQ(NameString::GetPoolByteTotal(), bytes + textBytes);
    for (int i = 0; i < kNames; ++i)
    {
        const int index = (i * 4999) % kNames;
        if (index % 3 == 0)
            names[size_t(index)] = NameString();
    }
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks + kNames - kNames / 3);
    for (int i = 0; i < kNames; ++i)
    {
        const NameString again(texts[size_t(i)].c_str());
        EXPECT_STREQ(again.CStr(), texts[size_t(i)].c_str());
        EXPECT_EQ(again.Length(), texts[size_t(i)].size());
        EXPECT_EQ(again.GetReferenceCount(), i % 3 == 0 ? 1u : 2u) << texts[size_t(i)];
        if (i % 3 != 0)
        {
            EXPECT_TRUE(again == names[size_t(i)]);
        }
    }
    names.clear();
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks);
    EXPECT_EQ(NameString::GetPoolByteTotal(), bytes);
}

TEST(NameStringFromStreamTest, ReadsLongNamesThroughTheHeapBuffer)
{
    StreamSource source{std::string(600, 'q')};
    NameString name;
    EXPECT_TRUE(name.SetFromStream(600, source));
    EXPECT_EQ(name.Length(), 600u);
    EXPECT_TRUE(name.Equals(std::string(600, 'q').c_str()));
    EXPECT_EQ(source.offset, 600u);
}

TEST(NameStringFromStreamTest, EmptyStoredNameClearsTheHandle)
{
    StreamSource source;
    NameString name("previous");
    EXPECT_TRUE(name.SetFromStream(0, source));
    EXPECT_TRUE(name.IsEmpty());
    EXPECT_EQ(source.reads, 0);
}

TEST(NameStringFromStreamTest, FailedOrCorruptReadsKeepTheOldName)
{
    ConsoleCapture capture;
    NameString name("previous");
    StreamSource shortSource{"abc"};
    EXPECT_FALSE(name.SetFromStream(10, shortSource));
    EXPECT_FALSE(name.SetFromStream(700, shortSource));
    EXPECT_TRUE(name.Equals("previous"));

    StreamSource source;
    EXPECT_FALSE(name.SetFromStream(0xFFFFFFF0u, source));
    EXPECT_EQ(source.reads, 0);
    EXPECT_TRUE(name.Equals("previous"));
    EXPECT_TRUE(capture.Contains("Corrupt name length 4294967280", CONSOLE_ERROR));
}

TEST(NameStringFromStreamTest, StoredTextEndsAtItsFirstZeroByte)
{
    StreamSource source{std::string("ab\0cd", 5)};
    NameString name;
    EXPECT_TRUE(name.SetFromStream(5, source));
    EXPECT_EQ(name, NameString("ab"));
    EXPECT_EQ(name.Length(), 2u);
    StreamSource one{"x"};
    EXPECT_TRUE(name.SetFromStream(1, one) && name.Equals("x"));

    StreamSource zeroes{std::string(4, '\0')};
    EXPECT_TRUE(name.SetFromStream(4, zeroes));
    EXPECT_TRUE(name.IsEmpty());
}

namespace
{
struct Entry
{
    NameString name;
    int order;
    const NameString& GetName() const { return name; }
};
} // namespace

TEST(NameStringTest, SortsObjectsByNameInsideADynarray)
{
    Entry entries[] = {{"b", 0}, {"", 1}, {"B", 2}, {"b", 3}};
    Dynarray<Entry*> sorted;
    for (Entry& entry : entries)
        sorted.InsertSortedByName(&entry);
    std::vector<int> order;
    for (const Entry* entry : sorted)
        order.push_back(entry->order);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 0, 3}));
}
