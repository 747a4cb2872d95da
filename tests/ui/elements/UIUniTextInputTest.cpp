// The UTF-16 text input: the keys it handles, pasting up to the maximum, reset, the pointer
// notifications, and its caret and selection elements placed where the font measures the text.
#include "engine/config/ProjectConfig.h"
#include "support/ConsoleCapture.h"
#include "support/RenderDataHarness.h"
#include "tools/datakit/FontWriter.h"
#include "ui/elements/UITextInput.h"
#include "ui/elements/UIUniTextInput.h"
#include "ui/text/UIFontTable.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::u16string Text(const UIUniTextInput& input)
{
    return input.GetInputStringUnicharPtr();
}

TEST(UIUniTextInputTest, KeysEditAndMoveTheCaretAndOtherCodesAreIgnored)
{
    struct Step
    {
        uint32_t key;
        std::u16string text;
        uint32_t cursor;
    };
    UIUniTextInput input("body.ttf", 12, 8);
    input.PasteString(u"h\u00e9llo");
    const Step steps[] = {
        {36, u"h\u00e9llo", 0}, // home
        {8, u"h\u00e9llo", 0},  // backspace at the start
        {39, u"h\u00e9llo", 1}, // right
        {46, u"hllo", 1},       // delete
        {35, u"hllo", 4},       // end
        {39, u"hllo", 4},       // right at the end
        {37, u"hllo", 3},       // left
        {8, u"hlo", 2},         // backspace
        {38, u"hlo", 2},        // up: not handled
        {13, u"hlo", 2},        // enter: not handled
        {47, u"hlo", 2},
    };
    for (const Step& step : steps)
    {
        input.ProcessKeyPressEvent(step.key);
        EXPECT_EQ(Text(input), step.text) << "key " << step.key;
        EXPECT_EQ(input.GetCursor(), step.cursor) << "key " << step.key;
        EXPECT_EQ(input.GetMainText(), step.text) << "key " << step.key << ": shown";
    }
    input.SetSelection(0, 2);
    input.ProcessKeyPressEvent(39);
    EXPECT_EQ(input.GetSelectionLength(), 0u) << "a caret key clears the selection";
    EXPECT_EQ(input.GetAnchor(), -1);
    input.SetSelection(1, 1);
    input.ProcessKeyPressEvent(8);
    EXPECT_EQ(Text(input), u"ho") << "backspace with a selection deletes only the selection";
    EXPECT_EQ(input.GetCursor(), 2u) << "the caret after the run moves back by its length";
}

TEST(UIUniTextInputTest, PastingFillsUpToTheMaximumAfterTheCaretAndResetEmpties)
{
    UIUniTextInput input("body.ttf", 12, 8);
    EXPECT_EQ(input.GetMaxLength(), 8u);
    EXPECT_EQ(UIUniTextInput("body.ttf", 12).GetMaxLength(), 32u);
    input.PasteString(u"abcd");
    input.PlaceCursor(2);
    input.ProcessKeyCharEvent(u'\u4e2d');
    input.PlaceCursor(5);
    input.PasteString(u"0123456789");
    EXPECT_EQ(Text(input), u"ab\u4e2dcd012") << "ten characters with three places up to the maximum";
    EXPECT_EQ(input.GetCursor(), 8u);
    input.PasteString(nullptr);
    input.PasteString(u"");
    EXPECT_EQ(input.GetLength(), 8u);
    input.PlaceCursor(1);
    input.PasteString(u"XY");
    EXPECT_EQ(Text(input), u"aXYb\u4e2dcd0") << "the tail makes room for what fits";
    EXPECT_EQ(input.GetCursor(), 3u);
    input.SetSelection(1, 3);
    input.PasteString(u"Z");
    EXPECT_EQ(Text(input), u"aZ\u4e2dcd0") << "pasting replaces the selection";
    input.ResetInput();
    EXPECT_EQ(Text(input), u"");
    EXPECT_EQ(input.GetMainText(), u"");
    EXPECT_EQ(input.GetCursor(), 0u);
    EXPECT_STREQ(input.GetScriptClassName(), "UIUniTextInput");
    EXPECT_TRUE(input.IsUIUniTextInput());
    EXPECT_FALSE(input.IsUITextInput());
    EXPECT_FALSE(UITextInput("body.ttf", 12).IsUIUniTextInput());

    ConsoleCapture log;
    EXPECT_TRUE(input.OnMouseClick());
    EXPECT_TRUE(input.OnMouseDown());
    EXPECT_TRUE(input.OnMouseUp());
    const std::string id = std::to_string(input.GetId());
    EXPECT_TRUE(log.Contains("Mouse click " + id));
    EXPECT_TRUE(log.Contains("Mouse down " + id));
    EXPECT_TRUE(log.Contains("Mouse up " + id));
}

// A font of the glyphs "AB": 10 font pixels apart, 8 drawn wide, lines 14 high.
class UIUniTextInputFontTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        SyntheticFontMetrics metrics;
        const std::vector<uint8_t> font = FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"AB", metrics));
        data.AddFile("common", "Fonts/body.ttf~024.BinFont", std::string(font.begin(), font.end()));
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        m_table.AddDefinition({NameString("body.ttf"), 0, {24}});
        gUIFontTable = &m_table;
    }
    void TearDown() override
    {
        gUIFontTable = nullptr;
        m_harness.Stop();
    }

    RenderDataHarness m_harness;
    UIFontTable m_table;
};

TEST_F(UIUniTextInputFontTest, CaretAndHighlightFollowTheMeasuredText)
{
    UIUniTextInput* input = new UIUniTextInput("body.ttf", 24, 16);
    input->ResolveFont();
    ASSERT_NE(input->GetFont(), nullptr);
    UIElement* caret = new UIElement;
    input->SetCursorElement(caret);
    input->SetTextScale(Vector(2.0f, 2.0f, 1.0f, 1.0f));
    input->PasteString(u"ABAB");
    input->ProcessKeyPressEvent(UIUniTextInput::kKeyLeft);
    m_harness.GetRenderer().SubmitCommands(true);
    // Three glyphs before the caret: two advances and one drawn width, drawn twice as large.
    EXPECT_FLOAT_EQ(caret->GetRenderPosition().x, 56.0f);
    EXPECT_FLOAT_EQ(caret->GetRenderPosition().y, 28.0f);

    UITextInput* narrow = new UITextInput("body.ttf", 24, 16);
    narrow->ResolveFont();
    UIElement* highlight = new UIElement;
    narrow->SetSelectionElement(highlight);
    narrow->SetText("ABxAB");
    narrow->SetCursorPosition(-3, true);
    m_harness.GetRenderer().SubmitCommands(true);
    EXPECT_FLOAT_EQ(highlight->GetRenderPosition().x, 18.0f) << "the text before the run";
    EXPECT_FLOAT_EQ(highlight->GetRenderPosition().y, 0.0f);
    EXPECT_FLOAT_EQ(highlight->GetRenderSize().x, 18.0f) << "the run itself, where x has no glyph";
    input->Release();
    narrow->Release();
    m_harness.GetRenderer().SubmitCommands(true);
}
} // namespace
