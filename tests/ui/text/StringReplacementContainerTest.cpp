// Text variables: setting, replacing and clearing them, expanding texts with them, and the
// reference counts that text elements and containers share.
#include "ui/text/StringReplacementContainer.h"

#include "ui/text/StringManager.h"

#include <gtest/gtest.h>

namespace
{
TEST(StringReplacementContainerTest, TextsExpandWithTheContainersVariables)
{
    StringReplacementContainer container;
    container.Add("Name", "Ann");
    container.AddInteger("Score", -5);
    container.Add("name", "lower");
    container.Add("Skipped", nullptr);
    const struct
    {
        const char16_t* text;
        const char16_t* expected;
    } cases[] = {
        {u"Hello ^Name^!", u"Hello Ann!"},
        {u"Hello ^Nobody^!", u"Hello !"},
        {u"^name^/^Name^", u"lower/Ann"},
        {u"Score ^Score^", u"Score -5"},
        {u"a^^b", u"ab"},
        {u"lone ^ rest", u"lone "},
        {u"^Skipped^", u""},
        {u"no variables", u"no variables"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandTextVariables(c.text, container.GetInternals()), std::u16string(c.expected));
    EXPECT_EQ(ExpandTextVariables(u"Hi ^Name^", nullptr), u"Hi ");
}

TEST(StringReplacementContainerTest, SettingAgainReplacesInPlaceAndLocalizedValuesWin)
{
    StringManager strings(nullptr);
    strings.GetRootGroup().AddGroup("T").AddString("Hero").SetText(kTextLanguageEnglish, u"Hero\u00e9");
    strings.MarkTreeChanged();
    gStringManager = &strings;
    StringReplacementContainer container;
    container.Add("A", "1");
    container.Add("B", "2");
    container.Add("A", "3");
    container.AddLocalized("B", "T/Hero");
    container.AddLocalized("C", "T/Missing");
    gStringManager = nullptr;
    const TextReplacementTable& variables = container.GetInternals()->GetVariables();
    ASSERT_EQ(variables.Count(), 2);
    EXPECT_STREQ(variables[0].key.CStr(), "A");
    EXPECT_EQ(variables[0].narrowText, "3");
    EXPECT_EQ(ExpandTextVariables(u"^A^^B^", container.GetInternals()), u"3Hero\u00e9");
    container.Add("B", "plain");
    EXPECT_EQ(ExpandTextVariables(u"^B^", container.GetInternals()), u"plain");
}

TEST(StringReplacementContainerTest, ClearKeepsOrDropsTheSharedInternals)
{
    StringReplacementContainer container;
    container.Add("A", "1");
    StringReplacementContainerInternals* internals = container.GetInternals();
    internals->AddRef(); // a text element holding them
    EXPECT_EQ(internals->GetReferenceCount(), 2u);
    container.Clear(false);
    EXPECT_EQ(container.PeekInternals(), internals);
    EXPECT_EQ(internals->GetVariables().Count(), 0);
    container.Clear(true);
    EXPECT_EQ(container.PeekInternals(), nullptr);
    EXPECT_EQ(internals->GetReferenceCount(), 1u);
    internals->Release(); // the element lets go: the internals die (checked by the leak sanitizer)
}
} // namespace
