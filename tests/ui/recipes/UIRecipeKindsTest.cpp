// The recipe kinds against a running renderer with kit-made data: the widget each kind makes and the
// values it writes into it (checked on the render side), the picture kind's held resources, the
// text kind's font, flags, spacing and property binding, and the defaults kinds start with.
#include "engine/ClassRegistration.h"
#include "engine/config/ProjectConfig.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/Resource.h"
#include "support/RenderDataHarness.h"
#include "tools/datakit/FontWriter.h"
#include "tools/datakit/TextureFileWriter.h"
#include "tools/datakit/UIRecipeTemplateWriter.h"
#include "scene/templates/TemplateBodyReader.h"
#include "ui/elements/UIBlur.h"
#include "ui/elements/UIPicture.h"
#include "ui/elements/UIRoundedRect.h"
#include "ui/elements/UITemplateView.h"
#include "ui/elements/UIText.h"
#include "ui/elements/UITextBox.h"
#include "ui/elements/UIUniTextInput.h"
#include "ui/recipes/UIBlurRecipe.h"
#include "ui/recipes/UIClipboardRecipe.h"
#include "ui/recipes/UIPictureRecipe.h"
#include "ui/recipes/UIProperties.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIRecipeBuild.h"
#include "ui/recipes/UIRoundedRectRecipe.h"
#include "ui/recipes/UIScreenRecipe.h"
#include "ui/recipes/UITemplateViewRecipe.h"
#include "ui/recipes/UITextRecipe.h"
#include "ui/recipes/UIUniTextInputRecipe.h"
#include "ui/screens/UIScreen.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>

namespace
{
void ExpectKindVector(const Vector& actual, const Vector& expected, const char* what)
{
    EXPECT_FLOAT_EQ(actual.x, expected.x) << what;
    EXPECT_FLOAT_EQ(actual.y, expected.y) << what;
    EXPECT_FLOAT_EQ(actual.z, expected.z) << what;
    EXPECT_FLOAT_EQ(actual.w, expected.w) << what;
}

TEST(UIRecipeKindsDefaultsTest, KindsNameTheirWidgetsAndStartWithTheirDefaults)
{
    RegisterAllClasses();
    const struct
    {
        const char* recipe;
        const char* widget;
        bool (*isWidget)(UIElement*);
    } kinds[] = {
        {"UIPictureRecipe", "UIPicture", [](UIElement* e) { return dynamic_cast<UIPicture*>(e) != nullptr; }},
        {"UITextRecipe", "UIText", [](UIElement* e) { return e->IsUIText(); }},
        {"UIUniTextInputRecipe", "UIUniTextInput", [](UIElement* e) { return e->IsUIUniTextInput(); }},
        {"UIRoundedRectRecipe", "UIRoundedRect", [](UIElement* e) { return dynamic_cast<UIRoundedRect*>(e) != nullptr; }},
        {"UIScreenRecipe", "UIScreen", [](UIElement* e) { return e->IsUIScreen(); }},
        {"UIBlurRecipe", "UIBlur", [](UIElement* e) { return dynamic_cast<UIBlur*>(e) != nullptr; }},
        {"UIClipboardRecipe", "Undefined", [](UIElement* e) { return e == nullptr; }},
        {"UITemplateViewRecipe", "UITemplateView", [](UIElement* e) { return e->IsUITemplateView(); }},
    };
    for (const auto& kind : kinds)
    {
        std::unique_ptr<UIElementRecipe> recipe(rtti::CreateKindOf<UIElementRecipe>(kind.recipe));
        ASSERT_NE(recipe, nullptr) << kind.recipe;
        EXPECT_STREQ(recipe->GetWidgetClassName(), kind.widget);
        const std::unique_ptr<UIElementRecipe> again(recipe->CreateRecipe());
        EXPECT_STREQ(again->GetClassName(), kind.recipe);
        UIElement* const widget = recipe->CreateWidget();
        EXPECT_TRUE(kind.isWidget(widget)) << kind.recipe;
        EXPECT_STREQ(widget != nullptr ? widget->GetScriptClassName() : "Undefined", kind.widget) << "scripts see it so";
        if (widget != nullptr)
            widget->Release();
    }
    // A screen is always built, also after an edit.
    UIScreenRecipe screen;
    EXPECT_EQ(screen.m_size.x, 500.0f);
    screen.m_disabled = UIElementRecipe::DISABLED_IN_GAME;
    screen.CycleDisabledMode();
    EXPECT_EQ(screen.m_disabled, uint32_t(UIElementRecipe::DISABLED_NO));
    screen.m_disabled = UIElementRecipe::DISABLED_YES;
    screen.OnPropertyChanged(nullptr);
    EXPECT_EQ(screen.m_disabled, uint32_t(UIElementRecipe::DISABLED_NO));
    UIUniTextInputRecipe input;
    // Without stored values a text spaces its lines singly and outlines in opaque magenta.
    const UITextRecipe text;
    EXPECT_EQ(text.m_lineSpacing, 1.0f);
    const HDRColor& outline = text.m_outlineColor;
    EXPECT_EQ((std::array<int, 4>{outline.r, outline.g, outline.b, outline.a}), (std::array<int, 4>{255, 0, 255, 255}));

    // A shader is named without its file extension: only the part from the last dot goes.
    const char* const shaders[][2] = {{"Common/UI/Glow.fx", "Common/UI/Glow"}, {"a.b.c", "a.b"}, {"Plain", "Plain"}};
    UIPictureRecipe picture;
    EXPECT_STREQ(picture.GetShaderAddress()->CStr(), "iPhoneUI");
    for (const auto& s : shaders)
    {
        picture.SetShader(NameString(s[0]));
        EXPECT_STREQ(picture.GetShaderAddress()->CStr(), s[1]);
    }

    // The text kinds offer "!None" and then the project's property names for "Auto property" only.
    gProjectConfig.m_uiPropertyNames.Add(NameString("Score"));
    gProjectConfig.m_uiPropertyNames.Add(NameString("Lives"));
    DynarraySafe<NameString> choices;
    input.GetPropertyChoices("Auto property", choices);
    input.GetPropertyChoices("Text", choices);
    ASSERT_EQ(choices.Count(), 3);
    EXPECT_STREQ(choices[0].CStr(), "!None");
    EXPECT_STREQ(choices[2].CStr(), "Lives");
    gProjectConfig.m_uiPropertyNames.FreeStorage();
}

TEST(UIRecipeKindsDefaultsTest, TemplateViewsTakeTheirLocalMatrixAndProjection)
{
    UITemplateViewRecipe recipe;
    recipe.m_localPosition = Vector(1.0f, 2.0f, 3.0f, 1.0f);
    recipe.m_localRotation = Vector(0.0f, 0.0f, 90.0f, 0.0f);
    recipe.m_localScale = Vector(2.0f, 2.0f, 2.0f, 1.0f);
    recipe.m_orthoProjection = true;
    auto* view = static_cast<UITemplateView*>(UIElementRecipe::CreateElement(&recipe, nullptr, 0, nullptr));
    ASSERT_NE(view, nullptr);
    EXPECT_NE(view->GetUserFlags() & UITemplateView::kOrthoProjectionFlag, 0u);
    Matrix expected;
    expected.LoadComplexTransformation(recipe.m_localPosition, recipe.m_localRotation, recipe.m_localScale);
    for (int row = 0; row < 4; ++row)
        ExpectKindVector(view->GetRenderLocalMatrix().rows[row], expected.rows[row], "local matrix row");
    view->Release();
}

TEST(UIRecipeKindsDefaultsTest, CharacterSpacingAddsTheLowResolutionOffsetAndStaysInRange)
{
    UITextRecipe text;
    const struct
    {
        int32_t spacing, offset;
        uint32_t width, height;
        int32_t expected;
    } cases[] = {
        {5, 3, 1280, 720, 5},   {5, 3, 640, 720, 8},        {5, 3, 1280, 480, 8},       {5, 3, 641, 481, 5},
        {900, 200, 640, 480, 1000}, {-900, -200, 320, 200, -1000}, {INT32_MAX, INT32_MAX, 1, 1, 1000},
    };
    for (const auto& c : cases)
    {
        text.m_characterSpacing = c.spacing;
        text.m_lowResolutionSpacingOffset = c.offset;
        EXPECT_EQ(text.CharacterSpacingFor(c.width, c.height), c.expected) << c.width << "x" << c.height;
    }
}

class UIRecipeKindsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterAllClasses();
        DataRoot data;
        TextureFileSpec spec;
        spec.width = 4;
        spec.height = 4;
        spec.texel = [](uint32_t, uint32_t, uint32_t, uint32_t) { return 0xFFFFFFFFu; };
        std::string white;
        ASSERT_TRUE(BuildTextureFile(spec, white));
        data.AddFile("textures", "UI/white.texture", white);
        SyntheticFontMetrics metrics;
        metrics.lineHeight = 14;
        const std::vector<uint8_t> font = FontWriter::EncodeBinaryFont(FontWriter::MakeSyntheticFont(u"AB", metrics));
        data.AddFile("common", "Fonts/body.ttf~024.BinFont", std::string(font.begin(), font.end()));
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        ASSERT_TRUE(gShaderManager.Init(true));
        UIScreen::OnResolutionChanged(1280, 720, false, false);
    }
    void TearDown() override
    {
        UIScreen::OnResolutionChanged(0, 0, false, false);
        m_harness.Stop();
    }
    // Builds the recipe's widget with its values and runs the render side's commands.
    UIElement* Build(UIElementRecipe& recipe, uint32_t buildFlags = 0)
    {
        UIElement* const element = UIElementRecipe::CreateElement(&recipe, nullptr, buildFlags, &gUIProperties);
        m_harness.GetRenderer().SubmitCommands(true);
        return element;
    }
    void Finish(UIElement* element)
    {
        element->Release();
        m_harness.GetRenderer().SubmitCommands(true);
    }

    RenderDataHarness m_harness;
};

TEST_F(UIRecipeKindsTest, PicturesTakeTexturesShaderTileAndCornerColours)
{
    UIPictureRecipe recipe;
    recipe.SetTexture(NameString("UI/white.dds"));
    recipe.SetTexture2(NameString("UI/white.dds"));
    recipe.m_clampV = false;
    recipe.m_tileIndexX = 1;
    recipe.m_tileCountX = 2;
    recipe.m_tileIndexY = 3;
    recipe.m_tileCountY = 4;
    recipe.m_mappingScaleX = 0.5f;
    recipe.m_mappingOffsetY = 0.125f;
    recipe.m_renderGatheringChannel = 2;
    recipe.m_cornerColor0 = HDRColor(255, 0, 0, 51);
    recipe.m_cornerColor3 = HDRColor(0, 255, 255, 255, 2.0f);
    auto* picture = static_cast<UIPicture*>(Build(recipe));
    ASSERT_NE(picture->GetTextureResource(0), nullptr);
    ASSERT_NE(picture->GetTextureResource(1), nullptr);
    EXPECT_EQ(picture->GetSamplerPreset(0), 3u) << "always 1, clamped in U, not in V";
    EXPECT_EQ(picture->GetSamplerPreset(1), 3u);
    EXPECT_EQ(picture->GetBatchIndex(), 2);
    EXPECT_NE(picture->GetVertexShader(), nullptr);
    ExpectKindVector(picture->GetUVSize(), Vector(0.25f, 0.25f, 0, 0), "tile size");
    ExpectKindVector(picture->GetUVOrigin(), Vector(0.5f, 0.875f, 0, 0), "tile origin");
    ExpectKindVector(picture->GetCornerColor(0), Vector(1, 0, 0, 0.2f), "corner 0");
    ExpectKindVector(picture->GetCornerColor(1), Vector(1, 1, 1, 1), "corner 1");
    const float lifted = std::pow(2.0f, 2.2f);
    ExpectKindVector(picture->GetCornerColor(3), Vector(0, lifted, lifted, 1), "corner 3: multiplier, then gamma");
    EXPECT_EQ(picture->GetUserFlags() & UIFLAG_DRAWPENDINGUIELEMENTSBEFORE, 0u) << "pictures draw in order";
    // Names picked from a folder carry the file-picker flag, which the records' layout magic covers.
    for (const char* name : {"Texture", "Texture 2", "Shader"})
        EXPECT_EQ(recipe.GetClassProperties()->FindPropertyInClassChain(name)->GetFlags(), 2048u) << name;
    Finish(picture);
}

TEST_F(UIRecipeKindsTest, TextsTakeFontAlignmentTextFlagsColoursAndTheirUIProperty)
{
    UITextRecipe recipe;
    recipe.m_font = NameString("Body.TTF");
    recipe.m_fontSize = 24;
    recipe.m_text = NameString("ab");
    recipe.m_horizontalAlignment = TEXTALIGNMENT_CENTER;
    recipe.m_verticalAlignment = TEXTVERTICALALIGNMENT_BOTTOM;
    recipe.m_upperCase = recipe.m_debugBox = recipe.m_inputIcons = true;
    recipe.m_characterSpacing = 4;
    recipe.m_shadowPosition = Vector(2, 3, 0, 0);
    recipe.m_shadowColor = HDRColor(255, 0, 0, 102);
    recipe.m_outlineColor = HDRColor(0, 0, 255, 255, 2.0f);
    recipe.m_bottomColor = HDRColor(0, 255, 0, 51);
    recipe.SetAutoProperty(NameString("RecipeKindsScore"));
    auto* text = static_cast<UIText*>(Build(recipe));
    ASSERT_TRUE(text->IsUIText());
    EXPECT_EQ(text->GetFontResourceName(), "body.ttf~024") << "lower-cased, UI scaling at the UI's own size";
    EXPECT_EQ(text->GetHorizontalAlignment(), TEXTALIGNMENT_CENTER);
    EXPECT_EQ(text->GetVerticalAlignment(), TEXTVERTICALALIGNMENT_BOTTOM);
    EXPECT_EQ(text->GetTextConversion(), UITEXTCONVERSION_UPPERCASE);
    EXPECT_EQ(text->GetCharacterSpacing(), 4);
    EXPECT_EQ(text->GetInputIconsMode(), 1u) << "icons while a pad is in use";
    ExpectKindVector(text->GetShadowOffset(), Vector(2, 3, 0, 0), "shadow position");
    ExpectKindVector(text->GetShadowColor(), Vector(1, 0, 0, 0.4f), "shadow colour");
    ExpectKindVector(text->GetSecondColor(), Vector(0, 0, 2, 1), "outline colour, raw");
    ExpectKindVector(text->GetTintColor(), Vector(0, 1, 0, 0.2f), "bottom colour, raw");
    EXPECT_EQ(text->GetUserFlags() & (UIFLAG_DRAWDEBUGBOX | UIFLAG_PIXELPERFECTFONT | UITextRecipe::kRecipeTextBoxFlag),
              UIFLAG_DRAWDEBUGBOX | UIFLAG_PIXELPERFECTFONT)
        << "debug box, and pixel snapping on both axes by default";
    EXPECT_EQ(text->GetText(), "ab");
    gUIProperties.SetText("RecipeKindsScore", "42");
    EXPECT_EQ(text->GetText(), "42") << "bound to its auto property";
    Finish(text);

    // In-game builds always show icons; a localized text is a path; each pixel-snapping value raises
    // its own bits; a wrapping text is a box with its line spacing, aligned within its own edges.
    recipe.m_localized = recipe.m_wrapText = true;
    recipe.m_text = NameString("UI/Title");
    recipe.SetAutoProperty(NameString(UITextRecipe::kNoAutoProperty));
    recipe.m_lineSpacing = 1.5f;
    const uint32_t snapping[][2] = {{0, 0}, {1, 0x60}, {2, 0x40}, {3, 0x20}, {9, 0}};
    for (const auto& s : snapping)
    {
        recipe.m_pixelPerfect = uint8_t(s[0]);
        auto* box = dynamic_cast<UITextBox*>(Build(recipe, UIBUILDFLAG_INGAME));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->GetUserFlags() & (UIFLAG_PIXELPERFECTFONT | UITEXTBOXFLAG_ALIGNWITHINBOX),
                  s[1] | UITEXTBOXFLAG_ALIGNWITHINBOX)
            << s[0];
        EXPECT_EQ(box->GetLineSpacingScale(), 1.5f);
        EXPECT_EQ(box->GetInputIconsMode(), 2u);
        EXPECT_STREQ(box->GetStringPath().CStr(), "UI/Title");
        Finish(box);
    }
}

TEST_F(UIRecipeKindsTest, InputsRoundedRectsAndBlursTakeTheirValues)
{
    UIUniTextInputRecipe input;
    input.m_maxInputLength = 3;
    auto* field = static_cast<UIUniTextInput*>(Build(input));
    EXPECT_EQ(field->GetMaxLength(), 3u);
    EXPECT_NE(field->GetUserFlags() & UIElementRecipe::kClipChildrenFlag, 0u) << "clipped by default";
    Finish(field);
    input.m_maxInputLength = 0xFFFFFFFFu;
    auto* huge = static_cast<UIUniTextInput*>(Build(input));
    EXPECT_EQ(huge->GetMaxLength(), UIUniTextInputRecipe::kMaxInputLengthLimit) << "a corrupt length is capped";
    Finish(huge);

    UIRoundedRectRecipe rounded;
    rounded.m_cornerTexture = NameString("UI/white.dds");
    rounded.m_cornerRadius = 7.0f;
    rounded.m_transparent = false;
    auto* rect = static_cast<UIRoundedRect*>(Build(rounded));
    EXPECT_EQ(rect->GetCornerRadius(), 7.0f);
    EXPECT_NE(rect->GetUserFlags() & UIFLAG_TRANSPARENT, 0u) << "raised after the base's flags";
    for (uint32_t part = 0; part < UIRoundedRect::kPartCount; ++part)
        EXPECT_NE(rect->GetPart(part)->GetTextureResource(0), nullptr) << part;
    Finish(rect);

    UIBlurRecipe blurRecipe;
    blurRecipe.m_softness = 6.0f;
    blurRecipe.m_passCount = 2;
    blurRecipe.m_saturation = 0.25f;
    auto* blur = static_cast<UIBlur*>(Build(blurRecipe));
    EXPECT_EQ(blur->GetBlurAmount(), 6.0f);
    EXPECT_EQ(blur->GetBlurMode(), 2u);
    EXPECT_EQ(blur->GetSaturation(), 0.25f);
    Finish(blur);
}
TEST_F(UIRecipeKindsTest, LayoutAssetsLoadTheirPicturesWhenReadAndPassFlagsOn)
{
    auto root = std::make_unique<UIScreenRecipe>();
    auto* picture = new UIPictureRecipe;
    picture->SetTexture2(NameString("UI/white.dds"));
    auto* never = new UIPictureRecipe;
    never->SetTexture(NameString("UI/white.dds"));
    never->m_disabled = UIElementRecipe::DISABLED_YES;
    picture->AddChild(never);
    root->AddChild(picture);
    const std::vector<uint8_t> body =
        UIRecipeTemplateWriter::BuildBody(*UIRecipeTemplateWriter::MakeTemplate(std::move(root)), SimpleGUID());

    UIRecipeTemplate layout;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(layout, body.data(), body.size()));
    auto* read = static_cast<UIPictureRecipe*>(layout.GetRootRecipe()->GetChildren()[0]);
    Resource* const texture = read->GetHeldResource(1);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(read->GetHeldResource(0), nullptr) << "no first texture named";
    ASSERT_NE(read->GetHeldResource(3), nullptr);
    EXPECT_TRUE(texture->IsLoaded()) << "loaded before the read returns";
    EXPECT_TRUE(read->GetHeldResource(3)->IsLoaded());
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(static_cast<UIPictureRecipe*>(read->GetChildren()[0])->GetHeldResource(i), nullptr)
            << "a recipe that is never built holds nothing";

    layout.SetResourceFlags(RESOURCE_FLAG_KEEP_DATA);
    EXPECT_NE(texture->GetFlags() & RESOURCE_FLAG_KEEP_DATA, 0u);
    EXPECT_NE(read->GetHeldResource(2)->GetFlags() & RESOURCE_FLAG_KEEP_DATA, 0u);
    EXPECT_NE(layout.GetResourceFlags() & RESOURCE_FLAG_KEEP_DATA, 0u);

    // The warm-up builds the whole tree once and lets it go.
    const uint32_t constructed = UIElement::GetConstructedCount();
    layout.PrepareDependencies();
    m_harness.GetRenderer().SubmitCommands(true);
    EXPECT_EQ(UIElement::GetConstructedCount(), constructed + 2) << "the plain element and the picture";
    EXPECT_EQ(layout.GetUserReferences(), 0u);

    // New names drop what they replace: one texture, or both shaders of the pair.
    const int32_t held = texture->GetReferenceCount();
    read->SetTexture2(NameString("UI/other.dds"));
    EXPECT_EQ(texture->GetReferenceCount(), held - 1);
    read->SetShader(NameString("iPhoneUI.fx"));
    EXPECT_EQ(read->GetHeldResource(2), nullptr);
    EXPECT_EQ(read->GetHeldResource(3), nullptr);
    ASSERT_TRUE(TemplateBodyReader::ReadBody(layout, body.data(), body.size()));
    read = static_cast<UIPictureRecipe*>(layout.GetRootRecipe()->GetChildren()[0]);
    layout.UnloadData();
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(read->GetHeldResource(i), nullptr) << i;
}
} // namespace
