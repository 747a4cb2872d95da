// ctest-labels: thread
// Text element operations: pixel-size quantizing, atlas frame sizes, texts set directly and by
// path, variables, the live list's refreshes, and font resolution against the font table and the
// project's replacements, with a real font measured at the size it is drawn.
#include "ui/elements/UITextBase.h"

#include "engine/config/EngineConfig.h"
#include "engine/config/GameConfig.h"
#include "engine/config/ProjectConfig.h"
#include "renderer/resources/ResourceFont.h"
#include "support/RenderDataHarness.h"
#include "tools/datakit/FontWriter.h"
#include "ui/elements/UIPicture.h"
#include "ui/elements/UIText.h"
#include "ui/screens/UIScreen.h"
#include "ui/text/StringManager.h"
#include "ui/text/StringReplacementContainer.h"
#include "ui/text/UICreditsHelper.h"
#include "ui/text/UIFontTable.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
TEST(UITextBaseTest, PixelSizesQuantizeInCoarserStepsAsTheyGrow)
{
    const uint32_t cases[][2] = {{300, 255}, {129, 120}, {128, 120}, {65, 60}, {33, 30}, {17, 16},
                                 {32, 32},   {15, 14},   {9, 8},     {8, 8},   {0, 0},   {255, 240}};
    for (const auto& c : cases)
        EXPECT_EQ(QuantizeFontPixelSize(c[0]), c[1]) << c[0];
    const uint32_t frames[][3] = {{0, 2, 24}, {1, 2, 16}, {2, 3, 48}, {3, 1, 16}, {5, 7, 0}};
    for (const auto& f : frames)
        EXPECT_EQ(PictureAtlasFrameSize(f[0], f[1]), f[2]) << f[0];
}

TEST(UITextBaseTest, TextsByPathAreLookedUpAgainOnRefreshAndDirectTextsForgetThePath)
{
    StringManager strings(nullptr);
    GameString& title = strings.GetRootGroup().AddGroup("UI").AddString("Title");
    title.SetText(kTextLanguageEnglish, u"Hello {ms|sir}{fs|madam}, ^Name^");
    strings.MarkTreeChanged();
    gStringManager = &strings;
    UIText* text = new UIText("Body.TTF", 12);
    UIText* other = new UIText("body.ttf", 12);
    EXPECT_EQ(text->GetFontName(), "body.ttf");
    text->SetGenders(1, 2);
    text->SetLocalizedText("UI/Title");
    other->SetLocalizedText("UI/Title");
    EXPECT_EQ(text->GetMainText(), u"Hello madam, ^Name^");
    EXPECT_EQ(other->GetMainText(), u"Hello {ms|sir}{fs|madam}, ^Name^");

    gDefaultReplacementContainer.Add("Name", "Ann");
    EXPECT_EQ(text->GetExpandedText(), u"Hello madam, Ann");
    StringReplacementContainer own;
    own.Add("Name", "Bo");
    other->SetReplacementContainer(&own);
    EXPECT_EQ(own.GetInternals()->GetReferenceCount(), 2u);
    EXPECT_EQ(other->GetExpandedText(), u"Hello {ms|sir}{fs|madam}, Bo");
    other->SetReplacementContainer(nullptr);
    EXPECT_EQ(own.GetInternals()->GetReferenceCount(), 1u);
    EXPECT_EQ(other->GetExpandedText(), u"Hello {ms|sir}{fs|madam}, ");

    // A language without its own text falls back to English.
    EngineConfig user;
    user.m_textLanguage = 3;
    StringManager french(&user);
    french.GetRootGroup().AddString("Only").SetText(kTextLanguageEnglish, u"English");
    french.MarkTreeChanged();
    gStringManager = &french;
    UIText fallback("f", 1);
    fallback.SetLocalizedText("Only");
    EXPECT_EQ(fallback.GetMainText(), u"English");
    gStringManager = &strings;

    title.SetText(kTextLanguageEnglish, u"Changed");
    other->SetText("direct");
    EXPECT_TRUE(other->GetStringPath().IsEmpty());
    UITextBase::RefreshAllLocalizedTexts();
    EXPECT_EQ(text->GetMainText(), u"Changed");
    title.SetText(kTextLanguageEnglish, u"Hi ^Name^");
    EXPECT_EQ(text->RefreshLocalizedText(), 6u) << "the length shown, variables expanded";
    EXPECT_EQ(text->GetMainText(), u"Hi ^Name^");
    const std::pair<std::function<void(UIText&)>, const char16_t*> leavePath[] = {
        {[](UIText& t) { t.AppendText("!"); }, u"Hi Ann!"}, {[](UIText& t) { t.AppendTextWide(u"!"); }, u"Hi Ann!"},
        {[](UIText& t) { t.AppendLocalizedText("UI/Title"); }, u"Hi AnnHi Ann"},
        {[](UIText& t) { t.SetLocalizedTextSmooth(1.0f, "UI/Title", 0, 0); }, u"Hi Ann"}};
    for (const auto& [leave, shown] : leavePath)
    {
        text->SetLocalizedText("UI/Title");
        leave(*text);
        EXPECT_EQ(text->RefreshLocalizedText(), 0u) << "appended or cross-faded, the text is not the path's";
        EXPECT_EQ(text->GetRenderText(), shown);
    }
    EXPECT_EQ(other->RefreshLocalizedText(), 0u) << "a direct text has no path";
    EXPECT_EQ(other->GetMainText(), u"direct");
    EXPECT_EQ(other->GetText(), "direct");
    other->SetTextUnicharPtr(u"wide ^Name^ \u00e9");
    EXPECT_EQ(other->GetText(), "wide ^Name^ \xe9");
    EXPECT_EQ(other->GetRenderText(), u"wide ^Name^ \u00e9") << "a direct text shows its variables as typed";

    // A dead element leaves the live list: refreshing afterwards touches only the living.
    text->SetLocalizedText("UI/Title");
    other->Release();
    title.SetText(kTextLanguageEnglish, u"Again");
    UITextBase::RefreshAllLocalizedTexts();
    EXPECT_EQ(text->GetMainText(), u"Again") << "the living stay in the list";
    text->Release();
    gDefaultReplacementContainer.Clear(false);
    gStringManager = nullptr;
    EXPECT_EQ(UIText("x", 1).GetFontHeight(), 0.0f);
}

class UITextBaseFontTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        SyntheticFontMetrics metrics;
        metrics.advance = 10;
        metrics.drawnWidth = 8;
        metrics.lineHeight = 14;
        const std::vector<uint8_t> font = FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"AB", metrics));
        data.AddFile("common", "Fonts/body.ttf~024.BinFont", std::string(font.begin(), font.end()));
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        m_table.AddDefinition({NameString("body.ttf"), 0, {12, 16, 24}});
        m_table.AddDefinition({NameString("body.ttf"), 2, {20}});
        m_table.AddDefinition({NameString("wide.ttf"), 0, {20}});
        gUIFontTable = &m_table;
        m_savedReplacements = gProjectConfig.m_fontReplacements;
        gProjectConfig.m_uiScreenWidth = 1280.0f;
        gProjectConfig.m_uiScreenHeight = 720.0f;
    }
    void TearDown() override
    {
        gUIFontTable = nullptr;
        gProjectConfig.m_fontReplacements = m_savedReplacements;
        UIScreen::OnResolutionChanged(0, 0, false, false);
        m_harness.Stop();
    }
    void AddReplacement(uint32_t language, const char* original, const char* replacement, float scale, uint32_t maxSize)
    {
        FontReplacement row;
        row.m_language = language;
        row.m_original = NameString(original);
        row.m_replacement = NameString(replacement);
        row.m_scale = scale;
        row.m_maxSize = maxSize;
        gProjectConfig.m_fontReplacements.Add(row);
    }

    RenderDataHarness m_harness;
    UIFontTable m_table;
    DynarraySafe<FontReplacement> m_savedReplacements;
};

TEST_F(UITextBaseFontTest, FontsResolveToPreparedSizesAndReplacements)
{
    AddReplacement(kTextLanguageEnglish, "title.ttf", "wide.ttf", 1.0f, 20);
    AddReplacement(kTextLanguageEnglish, "small.ttf", "body.ttf", 0.5f, 0);
    UIScreen::OnResolutionChanged(0, 0, false, false);
    UIText* early = new UIText("body.ttf", 0);
    early->SetFont("body.ttf", 12, true, 0);
    EXPECT_EQ(early->GetFontResourceName(), "body.ttf~012") << "before any screen a scaled font keeps its own size";
    EXPECT_FLOAT_EQ(early->GetFontPixelSize().x, 1.0f);
    early->Release();
    UIScreen::OnResolutionChanged(2560, 1600, false, false);
    const struct
    {
        const char* font;
        uint32_t size;
        bool uiScaling;
        uint32_t outline;
        const char* resource;
        float pixelSize;
        uint8_t wrap;
    } cases[] = {
        {"body.ttf", 30, false, 0, "body.ttf~024", 1.0f, 0},          // 30 -> 28 -> 24, once: floor(28 / 24)
        {"body.ttf", 48, false, 0, "body.ttf~024", 2.0f, 0},
        {"body.ttf", 10, false, 0, "body.ttf~010", 1.0f, 0},          // below the smallest
        {"body.ttf", 18, false, 0, "body.ttf~016", 1.0f, 0},
        {"body.ttf", 12, true, 0, "body.ttf~024", 0.5f, 0},           // the smaller of 2 and 2.2 times
        {"body.ttf", 22, false, 2, "body.ttf#2~020", 1.0f, 0},
        {"other.ttf", 22, false, 0, "other.ttf~020", 1.0f, 0},        // no definition: the wanted size
        {"title.ttf", 30, false, 3, "wide.ttf~020_English", 1.5f, 0}, // maximum 20: 30 is drawn at 1.5
        {"small.ttf", 15, false, 0, "body.ttf~008_English", 1.0f, 0}, // 15 * 0.5 = 7.5, rounded to 8
    };
    for (const auto& c : cases)
    {
        // Elements live until the render side has run their commands: made with new, ended by Release.
        UIText* text = new UIText(c.font, 0);
        text->SetFont(c.font, c.size, c.uiScaling, c.outline);
        EXPECT_EQ(text->GetFontResourceName(), c.resource) << c.font << " " << c.size;
        EXPECT_FLOAT_EQ(text->GetFontPixelSize().x, c.pixelSize) << c.font << " " << c.size;
        EXPECT_EQ(text->GetCharacterWrap(), c.wrap) << c.font << " " << c.size;
        text->Release();
    }
    // Replacement fonts of Japanese, Chinese and Korean wrap at any character; another language's not.
    const uint32_t savedLanguage = gProjectConfig.m_defaultLanguage;
    for (const uint32_t language : {6u, 7u, 9u, 10u})
    {
        gProjectConfig.m_defaultLanguage = language;
        StringManager strings(nullptr);
        gStringManager = &strings;
        AddReplacement(language, "small.ttf", "body.ttf", 1.0f, 0);
        UIText* text = new UIText("small.ttf", 0);
        text->SetFont("small.ttf", 16, false, 0);
        EXPECT_EQ(text->GetCharacterWrap(), language != 9u) << language;
        text->SetFont("other.ttf", 16, false, 0);
        EXPECT_EQ(text->GetCharacterWrap(), 0) << language << ": a font without replacement wraps at spaces";
        text->Release();
    }
    gStringManager = nullptr;
    gProjectConfig.m_defaultLanguage = savedLanguage;
    m_harness.GetRenderer().SubmitCommands(true);
}

TEST_F(UITextBaseFontTest, TextSizesDivideByTheScaleAndLocalizedSizesMultiplyByIt)
{
    StringManager strings(nullptr);
    strings.GetRootGroup().AddString("AB").SetText(kTextLanguageEnglish, u"AB");
    strings.MarkTreeChanged();
    gStringManager = &strings;
    UIText* text = new UIText("body.ttf", 24);
    text->ResolveFont();
    ASSERT_NE(text->GetFont(), nullptr);
    ASSERT_TRUE(text->GetFont()->IsLoaded());
    ASSERT_EQ(text->GetFont()->GetFlags() & RESOURCE_FLAG_KEEP_DATA, 0u);
    text->SetResourceFlagsRecursive(RESOURCE_FLAG_KEEP_DATA);
    EXPECT_NE(text->GetFont()->GetFlags() & RESOURCE_FLAG_KEEP_DATA, 0u) << "the flags reach the font";
    text->SetCharacterSpacing(1);
    text->SetTextScale(Vector(2.0f, 2.0f, 1.0f, 1.0f));
    // "AB": 10 + 1, then B's drawn 8 = 19 font pixels by 14; the text size halves them, the
    // localized size doubles them.
    EXPECT_EQ(text->GetTextWidth(u"AB"), 9.5f);
    EXPECT_EQ(text->GetTextHeight(u"AB"), 7.0f);
    EXPECT_EQ(text->GetLocalizedTextWidth("AB"), 38.0f);
    EXPECT_EQ(text->GetLocalizedTextHeight("AB"), 28.0f);
    EXPECT_EQ(text->GetFontHeight(), 28.0f);
    m_harness.GetRenderer().SubmitCommands(true);
    EXPECT_EQ(std::make_pair(text->GetRenderFont(), text->GetRenderCharacterSpacing()),
              std::make_pair(text->GetFont(), 1)) << "the render side draws with the resolved font";
    // Credits text measures as the font's extent at the element's scale.
    text->SetTextScale(Vector(2.0f, 3.0f, 1.0f, 1.0f));
    UICreditsHelper credits;
    credits.OpenText(u"AB");
    Vector measured;
    credits.TransferText(text, &measured);
    EXPECT_EQ(measured.x, 36.0f);
    EXPECT_EQ(measured.y, 42.0f);
    // After a change of language every element takes its font again.
    UITextBase::ReloadAllFonts();
    ASSERT_NE(text->GetFont(), nullptr);
    EXPECT_EQ(text->GetFont()->GetFlags() & RESOURCE_FLAG_KEEP_DATA, 0u) << "the unused font was evicted and loaded anew";
    EXPECT_EQ(text->GetTextWidth(u"A"), 4.0f);
    ResourceFont* const font = text->GetFont();
    text->ClearFont();
    m_harness.GetRenderer().SubmitCommands(true);
    EXPECT_EQ(font->GetReferenceCount(), 0) << "the game side and the render side let the font go";
    EXPECT_EQ(text->GetTextSize(u"AB").x, 0.0f);
    text->Release();
    UITextBase::RefreshAllFonts(); // the released text has left the live list: no command follows its deletion
    m_harness.GetRenderer().SubmitCommands(true);
    gStringManager = nullptr;
}

TEST_F(UITextBaseFontTest, AResolutionChangeDropsFontsThenResolvesThemForTheNewSize)
{
    UIScreen::OnResolutionChanged(1280, 720, false, false);
    // Made with new and ended by Release: its commands run on the render thread after the test's.
    UIText* scaled = new UIText("body.ttf", 0);
    scaled->SetFont("body.ttf", 12, true, 0);
    EXPECT_EQ(scaled->GetFontResourceName(), "body.ttf~012");
    ASSERT_NE(scaled->GetFont(), nullptr);
    UIScreen::OnResolutionChanged(2560, 1440, true, false);
    EXPECT_EQ(scaled->GetFont(), nullptr) << "refreshing drops every live text's font";
    EXPECT_EQ(UIScreen::GetUIWidth(), 2560u);
    EXPECT_EQ(UIScreen::GetUIHeight(), 1440u);
    UIScreen::OnResolutionChanged(2560, 1440, false, true);
    EXPECT_EQ(scaled->GetFontResourceName(), "body.ttf~024") << "laid out again at twice the size";
    EXPECT_NE(scaled->GetFont(), nullptr);
    scaled->Release();
    m_harness.GetRenderer().SubmitCommands(true);
}

TEST_F(UITextBaseFontTest, InputIconsFollowTheirModeAndTheInputMode)
{
    const uint32_t savedInputMode = gGameConfig.m_inputMode;
    UIText* text = new UIText("body.ttf", 0);
    text->SetFont("body.ttf", 24, false, 0);
    const auto children = [&] {
        std::vector<UIElement*> list;
        for (UIElement* child = text->GetFirstChild(); child != nullptr; child = child->GetNextSibling())
            list.push_back(child);
        return list;
    };
    // A tag child of the text's own is left alone while the text shows no icons.
    UIElement* inlined = new UIElement;
    inlined->RaiseFlag(UIFLAG_TEXTTAG);
    text->AddChild(inlined);
    text->RefreshForInputMode();
    ASSERT_EQ(children().size(), 1u);

    text->SetInputIcons(2);
    const std::vector<UIElement*> icons = children();
    ASSERT_EQ(icons.size(), 12u) << "the text's own tag child goes with the mode change";
    m_harness.GetRenderer().SubmitCommands(true);
    const char* const tags[] = {"XPadStart",      "XPadBack",        "XPadLeftBumper", "XPadRightBumper",
                                "XPadA",          "XPadB",           "XPadX",          "XPadY",
                                "XPadLeftTrigger", "XPadRightTrigger", "LeftStick",     "RightStick"};
    for (size_t i = 0; i < icons.size(); ++i)
    {
        EXPECT_STREQ(icons[i]->GetRenderTag().CStr(), tags[i]);
        EXPECT_EQ(icons[i]->GetUserFlags(), UIFLAG_TEXTTAG);
        EXPECT_EQ(icons[i]->GetRenderSize().x, 14.0f) << "a square of the font height";
        EXPECT_EQ(icons[i]->GetRenderSize().y, 14.0f);
        EXPECT_FLOAT_EQ(icons[i]->GetRenderAnchor().y, -14.0f * 0.8f) << "raised to sit on the line";
    }
    const Resource* texture = static_cast<UIPicture*>(icons[4])->GetTextureResource(0);
    ASSERT_NE(texture, nullptr);
    EXPECT_STREQ(texture->GetName(), "System/InputIcons/XBox/button_a.dds");
    text->SetInputIcons(2);
    EXPECT_EQ(children(), icons) << "the same mode rebuilds nothing";

    // Mode 1 shows icons only while the input mode is 0.
    gGameConfig.m_inputMode = 1;
    text->SetInputIcons(1);
    EXPECT_TRUE(children().empty());
    gGameConfig.m_inputMode = 0;
    text->RefreshForInputMode();
    EXPECT_EQ(children().size(), 12u);
    text->SetInputIcons(0);
    EXPECT_TRUE(children().empty());
    gGameConfig.m_inputMode = savedInputMode;
    text->Release();
    m_harness.GetRenderer().SubmitCommands(true);
}
} // namespace
