// The script API's wide string: its count includes the terminator, grows exactly and shrinks by
// zero-filling.
#include "scriptapi/LuaUnicodeString.h"

#include <gtest/gtest.h>

namespace
{
TEST(LuaUnicodeStringTest, CharactersAreAppendedAndRemovedBeforeTheTerminator)
{
    LuaUnicodeString text;
    EXPECT_EQ(text.GetCount(), 0u);
    text.AppendChar(u'a');
    EXPECT_EQ(text.GetCount(), 2u); // the character and its terminator
    EXPECT_EQ(std::u16string(text.GetUnicharPtr()), u"a");
    text.AppendChar(u'b');
    EXPECT_EQ(std::u16string(text.GetUnicharPtr()), u"ab");
    text.RemoveLastChar();
    text.RemoveLastChar();
    EXPECT_EQ(text.GetCount(), 1u); // "a" without its character is the empty string
    EXPECT_EQ(text.GetLength(), 0u);
    text.RemoveLastChar();
    EXPECT_EQ(text.GetCount(), 1u);

    text.Assign(u"xyz");
    text.Resize(2);
    EXPECT_EQ(text.GetCount(), 2u);
    text.Resize(5);
    EXPECT_EQ(std::u16string(text.GetUnicharPtr(), 5), std::u16string(u"xy\0\0\0", 5)); // dropped units were zeroed
    text.Clear();
    EXPECT_EQ(text.GetCount(), 0u);
    EXPECT_EQ(std::u16string(text.GetUnicharPtr()), u"");
}
} // namespace
