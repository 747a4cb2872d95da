// Layout assets: bodies written from trees built in code read back to the same bytes, one small tree
// as a hand-written byte sequence, bodies without a root, and bodies that fail whole.
#include "core/reflection/RecordStream.h"
#include "engine/ClassRegistration.h"
#include "scene/templates/TemplateBodyReader.h"
#include "support/ConsoleCapture.h"
#include "tools/datakit/UIRecipeTemplateWriter.h"
#include "ui/recipes/UIBlurRecipe.h"
#include "ui/recipes/UIClipboardRecipe.h"
#include "ui/recipes/UIPictureRecipe.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIRoundedRectRecipe.h"
#include "ui/recipes/UIScreenRecipe.h"
#include "ui/recipes/UITextRecipe.h"
#include "ui/recipes/UIUniTextInputRecipe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
std::vector<uint8_t> Blocks(const UIRecipeTemplate& recipeTemplate)
{
    RecordOutput count(nullptr, 0, false);
    recipeTemplate.WriteBodyBlocks(count);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    recipeTemplate.WriteBodyBlocks(out);
    return bytes;
}

bool ReadBlocks(UIRecipeTemplate& recipeTemplate, const std::vector<uint8_t>& bytes)
{
    RecordInput in(bytes.data(), bytes.size());
    return recipeTemplate.ReadBodyBlocks(in, EntityTemplate::kCurrentFileVersion);
}

// Every kind of this folder once, with values off their defaults, a preset and grandchildren.
std::unique_ptr<UIScreenRecipe> MakeTree()
{
    auto root = std::make_unique<UIScreenRecipe>();
    root->m_name = NameString("Main");
    root->m_horizontalGuideLines.Add(12);
    root->m_verticalGuideLines.Add(-7);
    auto* picture = new UIPictureRecipe;
    picture->m_name = NameString("Backdrop");
    picture->SetTexture(NameString("UI/back.dds"));
    picture->m_tileCountX = 4;
    picture->m_cornerColor2 = HDRColor(1, 2, 3, 4, 1.5f);
    auto* preset = new UIElementPreset;
    preset->SetId("ENABLED");
    picture->AddPreset(preset);
    auto* text = new UITextRecipe;
    text->m_name = NameString("Title");
    text->m_text = NameString("Hello");
    text->SetAutoProperty(NameString("Score"));
    text->m_pixelPerfect = UITextRecipe::PIXEL_PERFECT_VERTICAL;
    picture->AddChild(text);
    root->AddChild(picture);
    auto* shelf = new UIClipboardRecipe;
    auto* input = new UIUniTextInputRecipe;
    input->m_maxInputLength = 12;
    shelf->AddChild(input);
    auto* rounded = new UIRoundedRectRecipe;
    rounded->m_cornerRadius = 3.5f;
    shelf->AddChild(rounded);
    auto* blur = new UIBlurRecipe;
    blur->m_passCount = 3;
    shelf->AddChild(blur);
    root->AddChild(shelf);
    return root;
}

class UIRecipeTemplateTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterAllClasses(); }
};

TEST_F(UIRecipeTemplateTest, BodiesWrittenFromTreesReadBackToTheSameBytes)
{
    std::unique_ptr<UIRecipeTemplate> written = UIRecipeTemplateWriter::MakeTemplate(MakeTree());
    written->m_layoutViewLoc = Vector(1.0f, 2.0f, 3.0f, 4.0f);
    written->m_layoutMarginSnapValue = -3;
    SimpleGUID guid;
    guid.bytes[0] = 0x5A;
    const std::vector<uint8_t> body = UIRecipeTemplateWriter::BuildBody(*written, guid);
    UIRecipeTemplate read;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(read, body.data(), body.size()));
    EXPECT_EQ(UIRecipeTemplateWriter::BuildBody(read, guid), body);
    EXPECT_EQ(read.m_layoutMarginSnapValue, -3);
    EXPECT_EQ(read.m_layoutViewLoc.z, 3.0f);

    UIElementRecipe* const root = read.GetRootRecipe();
    EXPECT_STREQ(root->GetClassName(), "UIScreenRecipe");
    ASSERT_EQ(root->GetChildren().Count(), 2);
    auto* picture = dynamic_cast<UIPictureRecipe*>(root->GetChildren()[0]);
    ASSERT_NE(picture, nullptr);
    EXPECT_STREQ(picture->GetTextureAddress()->CStr(), "UI/back.dds");
    EXPECT_EQ(picture->m_cornerColor2.b, 3);
    EXPECT_NE(picture->FindPreset("ENABLED"), nullptr);
    auto* text = dynamic_cast<UITextRecipe*>(picture->GetChildren()[0]);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text->GetAutoPropertyAddress()->CStr(), "Score");
    const Dynarray<UIElementRecipe*>& shelf = root->GetChildren()[1]->GetChildren();
    ASSERT_EQ(shelf.Count(), 3);
    EXPECT_STREQ(shelf[0]->GetClassName(), "UIUniTextInputRecipe");
    EXPECT_EQ(static_cast<UIUniTextInputRecipe*>(shelf[0])->m_maxInputLength, 12u);
    EXPECT_STREQ(shelf[2]->GetClassName(), "UIBlurRecipe");
}

// Little-endian fields, written by hand.
struct Bytes
{
    std::vector<uint8_t> data;
    Bytes& U8(uint8_t v)
    {
        data.push_back(v);
        return *this;
    }
    Bytes& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            data.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& F(float f)
    {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return U32(bits);
    }
    Bytes& Vec(float x, float y, float z, float w) { return F(x).F(y).F(z).F(w); }
    Bytes& Text(const char* text)
    {
        data.insert(data.end(), text, text + std::strlen(text) + 1);
        return *this;
    }
    Bytes& Name(const char* text) { return text[0] == 0 ? U8(0) : U8(1).Text(text); }
    // The base recipe's rows up to "Presets": name, position, rotation, size, scale, colour, colour
    // mode, blend mode, anchor, anchor by, aspect awareness and scaling, no presets.
    Bytes& Head(const char* name, float x, float y, float size)
    {
        Name(name).Vec(x, y, 0, 1).Vec(0, 0, 0, 0).Vec(size, size, 0, 0).Vec(1, 1, 1, 0);
        U32(0xFFFFFFFFu).F(1.0f).U32(1).U32(1).Vec(0, 0, 0, 0).U32(1).U32(0).U32(0);
        return U32(0);
    }
    // The rows after "Children": disabled, hidden, freezed, modal, selection frame, outline, prefab,
    // the six flags (hierarchical anchor on), eighteen empty behaviours and no event sounds.
    Bytes& Tail()
    {
        U32(0).U8(0).U8(0).U32(0).Vec(0, 0, 0, 0).U32(0).Name("");
        U8(0).U8(1).U8(0).U8(0).U8(0).U8(0);
        for (int i = 0; i < 18; ++i)
            U8(0);
        return U32(0);
    }
};

TEST_F(UIRecipeTemplateTest, ASmallTreeMatchesItsHandWrittenBytes)
{
    // Screen "Menu" at (10, 20) with one plain child "Ok"; the screen's guide lines come after the
    // base rows (records walk the class chain by name).
    Bytes expected;
    expected.U8(1).Head("Menu", 10.0f, 20.0f, 500.0f).U32(1).U8(1).Text("UIElementRecipe");
    expected.Head("Ok", 0.0f, 0.0f, 64.0f).U32(0).Tail();
    expected.Tail().U32(0).U32(0);

    auto root = std::make_unique<UIScreenRecipe>();
    root->m_name = NameString("Menu");
    root->m_position = Vector(10.0f, 20.0f, 0.0f, 1.0f);
    auto* child = new UIElementRecipe;
    child->m_name = NameString("Ok");
    root->AddChild(child);
    const std::unique_ptr<UIRecipeTemplate> written = UIRecipeTemplateWriter::MakeTemplate(std::move(root));
    EXPECT_EQ(Blocks(*written), expected.data);

    UIRecipeTemplate read;
    ASSERT_TRUE(ReadBlocks(read, expected.data));
    UIElementRecipe* const menu = read.GetRootRecipe();
    EXPECT_STREQ(menu->m_name.CStr(), "Menu");
    EXPECT_EQ(menu->m_position.y, 20.0f);
    ASSERT_EQ(menu->GetChildren().Count(), 1);
    EXPECT_STREQ(menu->GetChildren()[0]->m_name.CStr(), "Ok");
}

TEST_F(UIRecipeTemplateTest, ABodyWithoutARootIsAnEmptyLayoutAndClearsAnEarlierTree)
{
    UIRecipeTemplate empty;
    const std::vector<uint8_t> none = Blocks(empty);
    EXPECT_EQ(none, std::vector<uint8_t>{0});
    EXPECT_FALSE(empty.HasRootRecipe()) << "writing does not make a root";

    const std::unique_ptr<UIRecipeTemplate> full = UIRecipeTemplateWriter::MakeTemplate(MakeTree());
    UIRecipeTemplate reloaded;
    ASSERT_TRUE(ReadBlocks(reloaded, Blocks(*full)));
    ASSERT_EQ(reloaded.GetRootRecipe()->GetChildren().Count(), 2);
    ASSERT_TRUE(ReadBlocks(reloaded, none));
    EXPECT_FALSE(reloaded.HasRootRecipe()) << "the old tree went with the reload";
    UIElementRecipe* const made = reloaded.GetRootRecipe();
    EXPECT_STREQ(made->GetClassName(), "UIScreenRecipe");
    EXPECT_EQ(made->GetChildren().Count(), 0);
}

TEST_F(UIRecipeTemplateTest, BodiesThatDoNotReadWholeFailAndKeepTheOldTree)
{
    const std::unique_ptr<UIRecipeTemplate> full = UIRecipeTemplateWriter::MakeTemplate(MakeTree());
    const std::vector<uint8_t> good = Blocks(*full);
    // An unknown child class: the same bytes with one letter of "UIBlurRecipe" changed.
    std::vector<uint8_t> unknown = good;
    const char* const blur = "UIBlurRecipe";
    const auto at = std::search(unknown.begin(), unknown.end(), blur, blur + std::strlen(blur));
    ASSERT_NE(at, unknown.end());
    *(at + 2) = 'X';
    // A root marker other than 0 or 1 before a whole root.
    std::vector<uint8_t> marker = good;
    marker[0] = 2;
    const std::vector<std::vector<uint8_t>> bad = {
        {},
        marker,
        std::vector<uint8_t>(good.begin(), good.end() - 1),
        std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2),
        unknown,
    };
    UIRecipeTemplate kept;
    ASSERT_TRUE(ReadBlocks(kept, good));
    UIElementRecipe* const before = kept.GetRootRecipe();
    ConsoleCapture log;
    for (size_t i = 0; i < bad.size(); ++i)
    {
        log.Clear();
        EXPECT_FALSE(ReadBlocks(kept, bad[i])) << i;
        EXPECT_EQ(kept.GetRootRecipe(), before) << i;
        EXPECT_EQ(before->GetChildren().Count(), 2) << i;
        EXPECT_TRUE(log.Contains("UI recipe template", CONSOLE_ERROR)) << i;
    }
    EXPECT_TRUE(log.Contains("UIXlurRecipe")) << "the unknown class is named";
}
} // namespace
