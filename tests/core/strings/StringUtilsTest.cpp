#include "core/strings/CaseTable.h"
#include "core/strings/StringUtils.h"
#include "platform/os/CodePage.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <string>
#include <wctype.h>

namespace
{
std::string Build(const char* path, const char* extension, const char* base, size_t size = 260)
{
    char out[260];
    BuildPath(out, size, path, extension, base);
    return out;
}
} // namespace

TEST(StringUtilsTest, BuildPathJoinsTrimsAndNormalises)
{
    struct Case
    {
        const char* path;
        const char* extension;
        const char* base;
        const char* expected;
    };
    const Case cases[] = {
        {"./scenes\\a", "bin", "data/", "data/scenes/a.bin"},
        {"../x", nullptr, nullptr, "/x"},
        {"a", ".", nullptr, "a"},
        {"a", "./", "b", "b/a"},
        {"scripts/main", "lua", "common", "common/scripts/main.lua"},
        {"\\\\..\\x\\", nullptr, "base\\dir\\.", "base/dir/x"},
        {nullptr, "cfg", "locals/", "locals.cfg"},
        {"a/b/", nullptr, nullptr, "a/b"},
        {nullptr, nullptr, nullptr, ""},
        {"...", "bin", nullptr, ".bin"},
        {"a", nullptr, "/", "a"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Build(c.path, c.extension, c.base), c.expected)
            << (c.path ? c.path : "(null)") << " | " << (c.extension ? c.extension : "(null)") << " | "
            << (c.base ? c.base : "(null)");
}

TEST(StringUtilsTest, BuildPathNeverPassesTheBuffer)
{
    EXPECT_EQ(Build("scripts/main", "lua", "common", 10), "common/sc");
    EXPECT_EQ(Build("a", "bin", nullptr, 1), "");
    const std::string longName(400, 'x');
    EXPECT_EQ(Build(longName.c_str(), "bin", "base").size(), 259u);
    char untouched[4] = "abc";
    BuildPath(untouched, 0, "a", "bin", nullptr);
    ExtractDirectory(untouched, 0, "a/b");
    EXPECT_STREQ(untouched, "abc") << "no room, not even for the terminator";
}

TEST(StringUtilsTest, PathComponentsAndKinds)
{
    char out[260];
    ExtractDirectory(out, sizeof(out), "common/scripts\\main.lua");
    EXPECT_STREQ(out, "common/scripts");
    ExtractDirectory(out, sizeof(out), "main.lua");
    EXPECT_STREQ(out, "");

    GetFirstPathComponent(out, sizeof(out), "Common/Scripts/Main.lua");
    EXPECT_STREQ(out, "Common");
    GetFirstPathComponent(out, sizeof(out), "locals");
    EXPECT_STREQ(out, "locals");
    GetFirstPathComponent(out, 4, "common/x");
    EXPECT_STREQ(out, "com");
    GetFirstPathComponent(out, 1, "common/x");
    EXPECT_STREQ(out, "");

    EXPECT_TRUE(IsAbsolutePath("//server/x.bin"));
    EXPECT_TRUE(IsAbsolutePath("C:/x.bin"));
    EXPECT_TRUE(IsAbsolutePath("d:"));
    EXPECT_TRUE(IsAbsolutePath("/tmp/x"));
    EXPECT_TRUE(IsAbsolutePath("\\\\server\\x.bin"));
    EXPECT_FALSE(IsAbsolutePath("common/x"));
    EXPECT_FALSE(IsAbsolutePath("1:/x"));
    EXPECT_FALSE(IsAbsolutePath(nullptr));
}

TEST(StringUtilsTest, CaseInsensitiveCompareFoldsAsciiOnly)
{
    EXPECT_EQ(StrICmp("Common", "cOMMON"), 0);
    EXPECT_LT(StrICmp("abc", "ABD"), 0);
    EXPECT_GT(StrICmp("b", "A"), 0);
    EXPECT_NE(StrICmp("\xC9", "\xE9"), 0);
    // No text sorts before any text.
    EXPECT_LT(StrICmp(nullptr, ""), 0);
    EXPECT_GT(StrICmp("", nullptr), 0);
    EXPECT_EQ(StrICmp(nullptr, nullptr), 0);
    char text[] = "a\\b\\c";
    StrReplaceChar(text, '\\', '/');
    EXPECT_STREQ(text, "a/b/c");
}

TEST(StringUtilsTest, TrimBlanksKeepsInnerBlanksAndOtherWhiteSpace)
{
    EXPECT_EQ(TrimBlanks(" \t key = a b \r"), "key = a b");
    EXPECT_EQ(TrimBlanks("x"), "x");
    EXPECT_EQ(TrimBlanks(" \t\r "), "");
    EXPECT_EQ(TrimBlanks(""), "");
    // Only space, tab and carriage return are blanks here.
    EXPECT_EQ(TrimBlanks("\nx\n"), "\nx\n");
}

TEST(StringUtilsTest, WideUpperCasing)
{
    char16_t text[] = u"ab|cd|ef";
    WideStringToUpper(text, true);
    EXPECT_EQ(std::u16string(text), u"AB|cd|EF");

    char16_t unclosed[] = u"ab|cd";
    WideStringToUpper(unclosed, true);
    EXPECT_EQ(std::u16string(unclosed), u"AB|cd");

    char16_t all[] = u"ab|cd \u00e9\u03b1\u0436\u0561\uff41";
    WideStringToUpper(all, false);
    EXPECT_EQ(std::u16string(all), u"AB|CD \u00c9\u0391\u0416\u0531\uff21");

    char16_t digit = u'7';
    WideCharToUpper(&digit);
    EXPECT_EQ(digit, 0);
    char16_t upper = u'A';
    WideCharToUpper(&upper);
    EXPECT_EQ(upper, 0);
    char16_t lower = u'z';
    WideCharToUpper(&lower);
    EXPECT_EQ(lower, u'Z');
    // Every pair of the table is found and agrees with the C library's own Unicode data.
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    ASSERT_NE(utf8, locale_t(0));
    for (size_t i = 0; i < kCaseTableSize; ++i)
    {
        char16_t c = kCaseTable[i].lower;
        WideCharToUpper(&c);
        EXPECT_EQ(wint_t(c), towupper_l(kCaseTable[i].lower, utf8)) << std::hex << int(kCaseTable[i].lower);
    }
    // The count reaches the table's last pair (full-width z).
    EXPECT_EQ(kCaseTable[kCaseTableSize - 1].lower, u'\uFF5A');
    freelocale(utf8);
}

TEST(StringUtilsTest, CodePageRoundTripsEveryByte)
{
    char narrow[256];
    for (int i = 1; i < 256; ++i)
        narrow[i - 1] = static_cast<char>(i);
    narrow[255] = '\0';
    char16_t wide[256];
    ASSERT_TRUE(MultiByteStringToWide(wide, 256, narrow, os::kCodePageSystem));
    // Bytes above 127 become their Windows-1252 characters, never sign-extended values.
    EXPECT_EQ(wide[0xE9 - 1], u'\u00e9');
    EXPECT_EQ(wide[0x80 - 1], u'\u20ac');
    EXPECT_EQ(wide[0x9F - 1], u'\u0178');
    EXPECT_EQ(wide[0x81 - 1], u'\u0081');
    for (int i = 0; i < 255; ++i)
        EXPECT_LT(wide[i], 0xFF80) << i;
    char back[256];
    ASSERT_TRUE(WideStringToMultiByte(back, sizeof(back), wide, os::kCodePageWindows1252));
    EXPECT_EQ(std::string(back), std::string(narrow));
}

TEST(StringUtilsTest, CodePageConventions)
{
    char out[8] = "x";
    EXPECT_TRUE(WideToMultiByte(out, sizeof(out), nullptr, 0, 0));
    EXPECT_STREQ(out, "");
    // Characters Windows-1252 cannot hold become '?'; a surrogate pair is one character.
    EXPECT_TRUE(WideStringToMultiByte(out, sizeof(out), u"a\u4e2d\U0001F600\U0010FFFFb", 0));
    EXPECT_STREQ(out, "a???b");
    EXPECT_TRUE(WideToMultiByte(out, sizeof(out), std::vector<char16_t>{u'a', 0xD800}.data(), 2, 0)); // no read past
    // Output that does not fit is refused rather than cut.
    EXPECT_FALSE(WideStringToMultiByte(out, 3, u"abc", 0));
    EXPECT_STREQ(out, "");
    char16_t wide[4];
    EXPECT_FALSE(MultiByteStringToWide(wide, 4, "abcd", 0));
    EXPECT_FALSE(MultiByteStringToWide(wide, 4, "ab", 65001));
    EXPECT_TRUE(MultiByteStringToWide(wide, 4, "abc", 1252));
    EXPECT_EQ(std::u16string(wide), u"abc");
}
