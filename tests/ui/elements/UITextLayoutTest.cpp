// Text layout on the render side with no render thread (commands run as they are written): single
// texts' offset and extent, inline tags, upper-casing, and text boxes breaking lines by words and by
// characters, their character positions and bottom alignment, measured with a synthetic font
// (advance 10, drawn width 8, line height 14).
#include "ui/elements/UIText.h"

#include "support/UITextTestFont.h"
#include "ui/elements/UITextBox.h"

#include <gtest/gtest.h>

namespace
{
class UITextLayoutTest : public ::testing::Test
{
protected:
    void GiveFont(UITextBase& text, float pixel, uint8_t wrap = 0) { m_font.Give(text, pixel, wrap); }
    std::vector<std::u16string> LineTexts(const UITextBox& box)
    {
        std::vector<std::u16string> lines;
        for (const UITextBox::Line& line : box.GetLines())
            lines.push_back(line.text);
        return lines;
    }

    UITextTestFont m_font;
};

TEST_F(UITextLayoutTest, SingleTextsAlignTheirOffsetByTheirExtent)
{
    const struct
    {
        uint32_t horizontal, vertical, flags;
        float offsetX, offsetY, extentX;
    } cases[] = {
        // "abc" measures 10 + 10 + 8 = 28 font pixels (30 with the append-space flag), line 14;
        // half a UI unit per font pixel.
        {TEXTALIGNMENT_LEFT, TEXTVERTICALALIGNMENT_TOP, 0, 0.0f, 0.0f, 14.0f},
        {TEXTALIGNMENT_RIGHT, TEXTVERTICALALIGNMENT_TOP, 0, -14.0f, 0.0f, 14.0f},
        {TEXTALIGNMENT_CENTER, TEXTVERTICALALIGNMENT_CENTER, 0, -7.0f, -3.5f, 14.0f},
        {TEXTALIGNMENT_RIGHT, TEXTVERTICALALIGNMENT_BOTTOM, 0, -14.0f, -7.0f, 14.0f},
        {TEXTALIGNMENT_LEFT, TEXTVERTICALALIGNMENT_BOTTOM, UIFLAG_APPENDSPACETOCOMPUTETEXTLENGTH, 0.0f, -7.0f, 15.0f},
        {TEXTALIGNMENT_RIGHT, TEXTVERTICALALIGNMENT_TOP, UIFLAG_APPENDSPACETOCOMPUTETEXTLENGTH, -15.0f, 0.0f, 15.0f},
    };
    for (const auto& c : cases)
    {
        UIText* text = new UIText("layout", 10);
        text->RaiseFlag(c.flags);
        GiveFont(*text, 0.5f);
        text->SetText("abc");
        text->SetAlignment(c.horizontal, c.vertical);
        EXPECT_FLOAT_EQ(text->GetTextOffset().x, c.offsetX) << c.horizontal << "/" << c.vertical;
        EXPECT_FLOAT_EQ(text->GetTextOffset().y, c.offsetY) << c.horizontal << "/" << c.vertical;
        EXPECT_FLOAT_EQ(text->GetTextExtent().x, c.extentX) << c.horizontal << "/" << c.vertical;
        EXPECT_FLOAT_EQ(text->GetTextExtent().y, 7.0f);
        // The screen rectangle runs from the offset across the extent, corners in drawing order.
        Vector corners[4];
        text->GetScreenRect(corners);
        const float xs[4] = {c.offsetX, c.offsetX + c.extentX, c.offsetX + c.extentX, c.offsetX};
        const float ys[4] = {c.offsetY, c.offsetY, c.offsetY + 7.0f, c.offsetY + 7.0f};
        for (int corner = 0; corner < 4; ++corner)
        {
            EXPECT_FLOAT_EQ(corners[corner].x, xs[corner]) << corner;
            EXPECT_FLOAT_EQ(corners[corner].y, ys[corner]) << corner;
            EXPECT_EQ(corners[corner].w, 1.0f);
        }
        text->Release();
    }
    // A frozen offset stays where it was while the text changes.
    UIText* frozen = new UIText("layout", 10);
    GiveFont(*frozen, 1.0f);
    frozen->SetAlignment(TEXTALIGNMENT_RIGHT, TEXTVERTICALALIGNMENT_TOP);
    frozen->SetText("ab");
    frozen->RaiseFlag(UIFLAG_FREEZEALIGNMENTOFFSET);
    frozen->SetText("abcdef");
    EXPECT_FLOAT_EQ(frozen->GetTextOffset().x, -18.0f);
    // Without a font nothing is laid out.
    frozen->ClearFlag(UIFLAG_FREEZEALIGNMENTOFFSET);
    frozen->ClearFont();
    frozen->SetText("abc");
    EXPECT_EQ(frozen->GetTextExtent().x, 0.0f);
    EXPECT_EQ(frozen->GetTextOffset().x, 0.0f);
    UIText* copy = new UIText("layout", 10);
    frozen->AddChild(copy);
    GiveFont(*copy, 0.5f);
    copy->SetScaleUniform(2.0f);
    copy->CopyText(frozen, false, true);
    copy->ResizeParentToMySize();
    EXPECT_EQ(frozen->GetRenderText() + u"|" + copy->GetRenderText() + u"|" + frozen->GetMainText() + u"|" +
                  copy->GetMainText(),
              u"|abc||abc")
        << "moved, not copied, on both sides";
    EXPECT_EQ(frozen->GetText() + "|" + copy->GetText(), "|abc");
    EXPECT_FLOAT_EQ(frozen->GetRenderSize().x, 28.0f) << "the parent takes the scaled extent";
    frozen->Release();
}

TEST_F(UITextLayoutTest, InlineTagsMeasureTheirChildrenAndSeparators)
{
    UIText* text = new UIText("layout", 10);
    GiveFont(*text, 0.5f); // children are measured in font pixels: twice their size in UI units
    UIElement* icon = new UIElement;
    icon->SetName("icon");
    icon->SetSizeXY(20.0f, 10.0f);
    text->AddChild(icon);
    const struct
    {
        const char* text;
        int32_t maximum;
        float width;
    } cases[] = {
        {"a|icon|b", -1, 8.0f + 40.0f + 8.0f},
        {"a|none|b", -1, 16.0f},            // no child of that name adds nothing
        {"ab|c", -1, 10.0f + 10.0f + 10.0f + 8.0f}, // an unclosed mark shows the rest as typed
        {"abc", 2, 18.0f},
        {"a|icon|bc", 2, 8.0f + 40.0f + 8.0f},  // the tag takes none of the two characters
        {"ab|icon|c", 1, 8.0f},                 // a budget spent inside a run ends the measure
    };
    for (const auto& c : cases)
    {
        const std::u16string wide(c.text, c.text + std::strlen(c.text));
        EXPECT_FLOAT_EQ(text->MeasureText(wide.c_str(), c.maximum, false).x, c.width) << c.text;
    }
    UIElement* second = new UIElement;
    second->SetName("icon");
    second->SetSizeXY(30.0f, 10.0f);
    second->SetScaleUniform(0.5f);
    text->AddChild(second);
    // The second child follows a separator "/": 8 + 40 + 8 + 30 + 8.
    EXPECT_FLOAT_EQ(text->MeasureText(u"a|icon|b", -1, false).x, 94.0f);
    text->RaiseFlag(UIFLAG_NOSPECIALTAGSUBSTITUTION);
    EXPECT_FLOAT_EQ(text->MeasureText(u"a|icon|b", -1, false).x, 78.0f);
    text->Release();
}

TEST_F(UITextLayoutTest, UpperCasingKeepsTagNamesAndAppendsFollowTheConversion)
{
    UIText* text = new UIText("layout", 10);
    GiveFont(*text, 1.0f);
    text->SetTextConversion(UITEXTCONVERSION_UPPERCASE);
    text->SetText("ab|icon|c");
    EXPECT_EQ(text->GetRenderText(), u"AB|icon|C");
    EXPECT_EQ(text->GetText(), "ab|icon|c") << "scripts read the text as set";
    text->AppendText("d|x|");
    text->AppendTextWide(u"e");
    EXPECT_EQ(text->GetRenderText(), u"AB|icon|CD|x|E");
    text->SetTextConversion(UITEXTCONVERSION_NONE);
    text->AppendText("f");
    EXPECT_EQ(text->GetRenderText(), u"AB|icon|CD|x|Ef");
    // Long texts arrive whole, cut at the text's limit.
    const std::string longText(5000, 'a');
    text->SetText(longText.c_str());
    EXPECT_EQ(text->GetRenderText().size(), UIText::kMaxTextLength);
    EXPECT_EQ(text->GetText().size(), UIText::kMaxTextLength);
    text->Release();
}

TEST_F(UITextLayoutTest, TextBoxesBreakAtWordEndsAndLineFeeds)
{
    const struct
    {
        const char16_t* text;
        float width;
        std::vector<std::u16string> lines;
        float pixel = 1.0f;
    } cases[] = {
        // "aa " is 30 wide: a second word would pass 50 and starts a line; the long word gets its
        // own line and is not split.
        {u"aa bb cc dddddddd e", 50.0f, {u"aa", u"bb", u"cc", u"dddddddd", u"e"}},
        {u"aa bb", 60.0f, {u"aa bb"}},
        {u"dddddddd e", 50.0f, {u"dddddddd", u"e"}}, // a first word too wide stays on the first line
        {u"a\n\nb", 100.0f, {u"a\n", u"\n", u"b"}}, // a line feed stays with its line
        {u"ab \t\ncd", 100.0f, {u"ab \t\n", u"cd"}},
        {u"aa\tbb cc", 40.0f, {u"aa", u"bb", u"cc"}}, // a tab ends a word as a blank does
        {u"", 100.0f, {u""}}, // an empty text keeps its one empty line
        {u"aa bb cc", 35.0f, {u"aa bb", u"cc"}, 0.5f}, // words measured in UI units: 15 + 15 fit, 45 does not
    };
    for (const auto& c : cases)
    {
        UITextBox* box = new UITextBox("layout", 10);
        box->SetSizeXY(c.width, 100.0f);
        GiveFont(*box, c.pixel);
        box->SetTextUnicharPtr(c.text);
        EXPECT_EQ(LineTexts(*box), c.lines) << std::string(c.text, c.text + 2);
        EXPECT_EQ(box->GetLineCount(), c.lines.size());
        box->Release();
    }
    UITextBox* box = new UITextBox("layout", 10);
    box->SetSizeXY(50.0f, 100.0f);
    GiveFont(*box, 1.0f);
    box->SetText("ab  ");
    ASSERT_EQ(box->GetLines().size(), 1u);
    EXPECT_FLOAT_EQ(box->GetLines()[0].width, 18.0f) << "trailing blanks do not count";
    EXPECT_EQ(box->GetLines()[0].characters, 2u);
    // A wider box breaks the whole text again.
    box->SetText("aa bb cc");
    EXPECT_EQ(LineTexts(*box), (std::vector<std::u16string>{u"aa", u"bb cc"})) << "30 + 20 does not pass 50";
    box->SetSizeXY(200.0f, 100.0f);
    EXPECT_EQ(LineTexts(*box), std::vector<std::u16string>{u"aa bb cc"});
    box->SetWideTextLimited(u"aa bb cc", 5);
    EXPECT_EQ(LineTexts(*box), std::vector<std::u16string>{u"aa bb"}) << "cut at the limit";
    UIText* text = new UIText("layout", 10);
    text->SetWideTextLimited(u"abcdef", 4);
    EXPECT_EQ(text->GetRenderText(), u"abcd");
    text->SetWideTextLimited(u"ab", 4);
    EXPECT_EQ(text->GetRenderText(), u"ab");
    text->Release();
    box->Clear();
    EXPECT_TRUE(box->IsEmpty());
    EXPECT_TRUE(box->GetFullText().empty());
    box->Release();
}

TEST_F(UITextLayoutTest, CharacterWrapTakesWhatFitsAndEndsALineAtEachLineFeed)
{
    const struct
    {
        const char16_t* text;
        float width;
        std::vector<std::u16string> lines;
    } cases[] = {
        {u"abcde", 25.0f, {u"ab", u"cd", u"e"}},    // 10 + 10 stays below 25, a third would not
        {u"abcd", 20.0f, {u"a", u"b", u"c", u"d"}}, // 20 is not below 20
        {u"abc", 20.5f, {u"ab", u"c"}},             // but below 20.5
        {u"abc", 5.0f, {u"a", u"b", u"c"}},         // narrower than a character: one each
        {u"a\nb\nc", 100.0f, {u"a", u"b", u"c"}},  // each line feed that fits ends its line
        {u"\n\nx", 100.0f, {u"", u"", u"x"}},       // one empty line per line feed
        {u"\nab", 100.0f, {u"", u"ab"}},            // a leading line feed swallows nothing
        {u"\nab", 0.0f, {u"", u"a", u"b"}},         // nor enters the line where nothing fits
        {u"ab\ncd", 10.0f, {u"a", u"b", u"c", u"d"}}, // the line feed right at the width ends "b"'s line
        {u"a|x|b", 15.0f, {u"a|x|", u"b"}},         // a tag is one piece (no child: 0 wide)
        {u"ab\n\n", 100.0f, {u"ab"}},              // trailing empty lines are dropped
        {u"", 100.0f, {u""}},                       // but never the first
    };
    for (const auto& c : cases)
    {
        UITextBox* box = new UITextBox("layout", 10);
        box->SetSizeXY(c.width, 100.0f);
        GiveFont(*box, 1.0f, 1);
        box->SetTextUnicharPtr(c.text);
        EXPECT_EQ(LineTexts(*box), c.lines) << std::string(c.text, c.text + 2) << " in " << c.width;
        box->Release();
    }
}

TEST_F(UITextLayoutTest, CharacterPositionsFollowTheLinesAndTheAlignment)
{
    const struct
    {
        uint32_t horizontal, vertical, flags, index;
        float x, y;
    } cases[] = {
        // Lines "aa" (18 wide) and "bbb" (28 wide), 14 high, in a 50 x 60 box.
        {TEXTALIGNMENT_LEFT, TEXTVERTICALALIGNMENT_TOP, 0, 0, 0.0f, 0.0f},
        {TEXTALIGNMENT_LEFT, TEXTVERTICALALIGNMENT_TOP, 0, 1, 10.0f, 0.0f},
        {TEXTALIGNMENT_LEFT, TEXTVERTICALALIGNMENT_TOP, 0, 3, 10.0f, 14.0f},
        {TEXTALIGNMENT_RIGHT, TEXTVERTICALALIGNMENT_TOP, 0, 2, -28.0f, 14.0f},
        {TEXTALIGNMENT_RIGHT, TEXTVERTICALALIGNMENT_TOP, UITEXTBOXFLAG_ALIGNWITHINBOX, 2, 22.0f, 14.0f},
        {TEXTALIGNMENT_CENTER, TEXTVERTICALALIGNMENT_BOTTOM, 0, 0, -9.0f, -28.0f},
        // Centred in the box: x 20 + (25 - 14), y 30 - floor(0.5 + 14 x 2.5 x 0.5) + 14.
        {TEXTALIGNMENT_CENTER, TEXTVERTICALALIGNMENT_CENTER, UITEXTBOXFLAG_ALIGNWITHINBOX, 4, 31.0f, 26.0f},
        {TEXTALIGNMENT_LEFT, TEXTVERTICALALIGNMENT_TOP, 0, 5, 0.0f, 0.0f}, // past the end
    };
    for (const auto& c : cases)
    {
        UITextBox* box = new UITextBox("layout", 10);
        box->SetSizeXY(50.0f, 60.0f);
        box->RaiseFlag(c.flags);
        GiveFont(*box, 1.0f);
        box->SetAlignment(c.horizontal, c.vertical);
        box->SetText("aa bbb");
        ASSERT_EQ(box->GetLaidOutCharacterCount(), 5u);
        Vector position;
        ASSERT_TRUE(box->GetCharacterPosition(c.index, position));
        EXPECT_FLOAT_EQ(position.x, c.x) << c.horizontal << "/" << c.vertical << " #" << c.index;
        EXPECT_FLOAT_EQ(position.y, c.y) << c.horizontal << "/" << c.vertical << " #" << c.index;
        EXPECT_EQ(position.w, 1.0f);
        box->Release();
    }
}

TEST_F(UITextLayoutTest, BottomAlignmentAndTheLineWindow)
{
    UITextBox* box = new UITextBox("layout", 10);
    UIElement* below = new UIElement;
    box->SetSizeXY(25.0f, 60.0f);
    box->SetPositionXYZ(0.0f, 100.0f, 0.0f);
    below->SetPositionXYZ(7.0f, 0.0f, 3.0f);
    box->AlignToBottom(below, 0.5f, 1.0f);
    EXPECT_FLOAT_EQ(below->GetRenderPosition().y, 0.0f) << "without a font the box knows no line height";
    GiveFont(*box, 0.5f, 1);
    box->SetLineSpacingScale(2.0f);
    box->SetText("abcdefgh");
    // 25 UI units are 50 font pixels: four characters a line, two lines of 7 units spaced twice.
    ASSERT_EQ(box->GetLines().size(), 2u);
    box->AlignToBottom(below, 0.5f, 1.0f);
    EXPECT_FLOAT_EQ(below->GetRenderPosition().x, 7.0f);
    EXPECT_FLOAT_EQ(below->GetRenderPosition().y, 2.0f * 7.0f * 2.0f * 0.5f + 100.0f + 1.0f);
    EXPECT_FLOAT_EQ(below->GetRenderPosition().z, 3.0f);
    box->SetLinesToRender(1, 5);
    box->SetText("abcdefghijkl");
    EXPECT_EQ(box->GetFirstLine(), 1u) << "a window set explicitly stays";
    EXPECT_EQ(box->GetLineCount(), 5u);
    box->AppendText("mn");
    EXPECT_EQ(box->GetLines().size(), 4u) << "\"ijkl\" has room for one more: \"ijklm\", then \"n\"";
    below->Release();
    box->Release();
}
} // namespace
