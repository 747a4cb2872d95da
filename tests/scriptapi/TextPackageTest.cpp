// The text bindings as scripts use them: the string manager global, text variables, the credits
// tokenizer and wide strings built a character at a time.
#include "engine/scripting/ScriptTestSupport.h"

#include "ui/text/StringManager.h"
#include "ui/text/StringReplacementContainer.h"

namespace
{
class TextPackageTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        GameStringGroup& demo = m_strings.GetRootGroup().AddGroup("Demo");
        GameString& credits = demo.AddString("Credits");
        credits.SetText(kTextLanguageEnglish, u"<title>\nThe team");
        credits.SetSpeaker(19);
        m_strings.MarkTreeChanged();
        gStringManager = &m_strings;
        ScriptTest::SetUp();
    }
    void TearDown() override
    {
        ScriptTest::TearDown();
        gDefaultReplacementContainer.Clear(false);
        gStringManager = nullptr;
    }

    StringManager m_strings{nullptr};
};

TEST_F(TextPackageTest, ScriptsReachStringsVariablesAndCredits)
{
    Run("gSpeaker = gStringManager:FindStringByPath('Demo/Credits'):GetSpeaker() "
        "gMissing = gStringManager:FindStringByPath('Demo/None') == nil and 'none' or 'found'");
    EXPECT_EQ(GlobalNumber("gSpeaker"), 19.0);
    EXPECT_EQ(GlobalString("gMissing"), "none");

    Run("gDefaultReplacementContainer:Add('Name', 'Ann') gDefaultReplacementContainer:Add('Score', 7) "
        "local own = StringReplacementContainer:new() own:Add('Name', 'Bo') own:Clear() own:delete()");
    EXPECT_EQ(ExpandTextVariables(u"^Name^ ^Score^", gDefaultReplacementContainer.GetInternals()), u"Ann 7");

    Run("local h = UICreditsHelper:new() h:Open('Demo/Credits') gTag = h:GetTag() h:SkipToken() "
        "gText = h:IsString() and 'text' or 'other' h:SkipToken() gEnd = h:IsEof() and 'end' or 'more' h:delete()");
    EXPECT_EQ(GlobalString("gTag"), "title");
    EXPECT_EQ(GlobalString("gText"), "text");
    EXPECT_EQ(GlobalString("gEnd"), "end");

    Run("local u = LuaUnicodeString:new() u:AppendChar(65) u:AppendChar(66) u:RemoveLastChar() gOne = u:GetLength() "
        "u:Clear() gNone = u:GetLength() u:delete()");
    EXPECT_EQ(GlobalNumber("gOne"), 1.0);
    EXPECT_EQ(GlobalNumber("gNone"), 0.0);
}

TEST_F(TextPackageTest, InstancesAreEmptyObjectsTheCollectorFrees)
{
    // Objects left to the collector: a leak here is one the sanitizer reports.
    Run("local own = StringReplacementContainer:Instance() own:Add('Name', 'Bo') gOwned = tolua.type(own) "
        "local h = UICreditsHelper:Instance() gEmpty = h:IsEof() and 'empty' or 'tokens' "
        "own = nil h = nil collectgarbage('collect')");
    EXPECT_EQ(GlobalString("gEmpty"), "empty");
    EXPECT_EQ(GlobalString("gOwned"), "StringReplacementContainer");
}
} // namespace
