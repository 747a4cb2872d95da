// Layout assets: bodies written from trees built in code read back to the same bytes, one small tree
// as a hand-written byte sequence (the root inside the template's record, and after it as bodies
// were written before), bodies without a root, re-reads into the same root, and bodies that fail whole.
#include "core/reflection/RecordStream.h"
#include "engine/ClassRegistration.h"
#include "scene/templates/TemplateBodyReader.h"
#include "support/ConsoleCapture.h"
#include "tools/datakit/UIRecipeTemplateWriter.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIScreenRecipe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace
{
std::vector<uint8_t> Record(UIRecipeTemplate& recipeTemplate)
{
    std::vector<uint8_t> bytes(recipeTemplate.SerializeToMemory(nullptr, 0, 0));
    bytes.resize(recipeTemplate.SerializeToMemory(bytes.data(), bytes.size(), 0));
    return bytes;
}

bool ReadRecord(UIRecipeTemplate& recipeTemplate, const std::vector<uint8_t>& bytes)
{
    return recipeTemplate.DeserializeFromMemory(bytes.data(), bytes.size(), RTTI_NO_ENTITY_RESOLVE);
}

// Every kind of this folder, values off their defaults, a preset and grandchildren.
std::unique_ptr<UIRecipeTemplate> MakeLayout()
{
    std::string error;
    std::unique_ptr<UIScreenRecipe> root = UIRecipeTemplateWriter::ParseTree(
        "UIScreenRecipe\nName = Main\n"
        "  UIPictureRecipe\n  Texture = UI/back.dds\n  Tile count X = 4\n  CornerColor2 = 1 2 3 4 1.5\n"
        "    UITextRecipe\n    Text = Hello\n    Auto property = Score\n    Pixel perfect = 2\n"
        "  UIClipboardRecipe\n"
        "    UIUniTextInputRecipe\n    Max input length = 12\n"
        "    UIRoundedRectRecipe\n    Corner radius = 3.5\n"
        "    UIBlurRecipe\n    Pass count = 3\n"
        "    UITemplateViewRecipe\n    Template name = fx/Glow\n",
        error);
    EXPECT_NE(root, nullptr) << error;
    root->m_horizontalGuideLines.Add(12);
    auto* preset = new UIElementPreset;
    preset->SetId("ENABLED");
    root->GetChildren()[0]->AddPreset(preset);
    std::unique_ptr<UIRecipeTemplate> layout = UIRecipeTemplateWriter::MakeTemplate(std::move(root));
    layout->m_layoutMarginSnapValue = -3;
    return layout;
}

class UIRecipeTemplateTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterAllClasses(); }
};

TEST_F(UIRecipeTemplateTest, BodiesWrittenFromTreesReadBackToTheSameBytes)
{
    SimpleGUID guid;
    guid.bytes[0] = 0x5A;
    const std::vector<uint8_t> body = UIRecipeTemplateWriter::BuildBody(*MakeLayout(), guid);
    // GUID, type, an unused word and the record's size: the tree is inside the record.
    ASSERT_GT(body.size(), 28u);
    EXPECT_EQ(body[24] | body[25] << 8 | body[26] << 16 | body[27] << 24, int(body.size() - 28));
    UIRecipeTemplate read;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(read, body.data(), body.size()));
    EXPECT_EQ(UIRecipeTemplateWriter::BuildBody(read, guid), body);
    EXPECT_EQ(read.m_layoutMarginSnapValue, -3);
    EXPECT_STREQ(read.GetRootRecipe()->GetClassName(), "UIScreenRecipe");
    EXPECT_STREQ(read.GetRootRecipe()->GetChildren()[1]->GetChildren()[3]->GetClassName(), "UITemplateViewRecipe");
    // A byte after a record that held its root is not taken for the marker of an earlier body.
    std::vector<uint8_t> padded = body;
    padded.push_back(0);
    UIRecipeTemplate kept;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(kept, padded.data(), padded.size()));
    EXPECT_TRUE(kept.HasRootRecipe());
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
            U8(uint8_t(v >> (8 * i)));
        return *this;
    }
    Bytes& F(float f)
    {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return U32(bits);
    }
    Bytes& Vec(float x, float y, float z, float w) { return F(x).F(y).F(z).F(w); }
    // The template's rows at their defaults but the margin snap: no script class, no passes, no
    // triggers, no facing, the wireframe colour, the empty box, sort offset, quality, the three
    // visibility bytes, then the two view locations and the two snap values.
    Bytes& TemplateRows(int32_t marginSnap)
    {
        const float big = std::numeric_limits<float>::max();
        U8(0).U32(0).U8(0).U32(0).F(0.0f).U8(0).U8(0).U8(0).U8(0).F(1.0f);
        Vec(big, big, big, big).Vec(-big, -big, -big, -big).F(0.0f).U8(0).U8(1).U8(0).U8(0);
        return Vec(0, 0, 0, 0).Vec(0, 0, 0, 0).U32(0).U32(uint32_t(marginSnap));
    }
    Bytes& Text(const char* text)
    {
        data.insert(data.end(), text, text + std::strlen(text) + 1);
        return *this;
    }
    // The base recipe's rows up to "Presets": name, position, rotation, size, scale, colour, colour
    // mode, blend mode, anchor, anchor by, aspect awareness and scaling, no presets.
    Bytes& Head(const char* name, float x, float y, float size)
    {
        U8(1).Text(name).Vec(x, y, 0, 1).Vec(0, 0, 0, 0).Vec(size, size, 0, 0).Vec(1, 1, 1, 0);
        return U32(0xFFFFFFFFu).F(1.0f).U32(1).U32(1).Vec(0, 0, 0, 0).U32(1).U32(0).U32(0).U32(0);
    }
    // The rows after "Children": disabled, hidden, freezed, modal, selection frame, outline, no
    // prefab, the six flags (hierarchical anchor on), eighteen empty behaviours, no event sounds.
    Bytes& Tail()
    {
        U32(0).U8(0).U8(0).U32(0).Vec(0, 0, 0, 0).U32(0).U8(0).U8(0).U8(1).U8(0).U8(0).U8(0).U8(0);
        for (int i = 0; i < 18; ++i)
            U8(0);
        return U32(0);
    }
};

TEST_F(UIRecipeTemplateTest, ASmallTreeMatchesItsHandWrittenBytes)
{
    // Screen "Menu" at (10, 20) with one plain child "Ok"; the screen's two guide line counts come
    // after the base rows (records walk the class chain by name).
    Bytes tree;
    tree.U8(1).Head("Menu", 10.0f, 20.0f, 500.0f).U32(1).U8(1).Text("UIElementRecipe");
    tree.Head("Ok", 0.0f, 0.0f, 64.0f).U32(0).Tail();
    tree.Tail().U32(0).U32(0);
    Bytes record;
    record.TemplateRows(-7).data.insert(record.data.end(), tree.data.begin(), tree.data.end());

    auto root = std::make_unique<UIScreenRecipe>();
    root->m_name = NameString("Menu");
    root->m_position = Vector(10.0f, 20.0f, 0.0f, 1.0f);
    auto* child = new UIElementRecipe;
    child->m_name = NameString("Ok");
    root->AddChild(child);
    std::unique_ptr<UIRecipeTemplate> written = UIRecipeTemplateWriter::MakeTemplate(std::move(root));
    written->m_layoutMarginSnapValue = -7;
    EXPECT_EQ(Record(*written), record.data);

    // The body of today's form, and of the earlier one with the marker and the root after the
    // record of the properties alone, or after an empty record (the properties keep their defaults).
    Bytes body;
    body.U32(0x11).U32(0).U32(0).U32(0).U32(UIRecipeTemplate::kTypeId).U32(0);
    Bytes earlier = body;
    Bytes earlierEmpty = body;
    body.U32(uint32_t(record.data.size())).data.insert(body.data.end(), record.data.begin(), record.data.end());
    EXPECT_EQ(UIRecipeTemplateWriter::BuildBody(*written, SimpleGUID{{0x11}}), body.data);
    Bytes rows;
    rows.TemplateRows(-7);
    earlier.U32(uint32_t(rows.data.size())).data.insert(earlier.data.end(), rows.data.begin(), rows.data.end());
    earlier.data.insert(earlier.data.end(), tree.data.begin(), tree.data.end());
    earlierEmpty.U32(0).data.insert(earlierEmpty.data.end(), tree.data.begin(), tree.data.end());
    const std::pair<const std::vector<uint8_t>*, int32_t> bodies[] = {
        {&body.data, -7}, {&earlier.data, -7}, {&earlierEmpty.data, 0}};
    for (const auto& [bytes, margin] : bodies)
    {
        UIRecipeTemplate read;
        ASSERT_TRUE(TemplateBodyReader::ReadBody(read, bytes->data(), bytes->size())) << bytes->size();
        ASSERT_TRUE(read.HasRootRecipe()) << bytes->size();
        EXPECT_EQ(read.m_layoutMarginSnapValue, margin);
        EXPECT_EQ(read.GetRootRecipe()->m_position.y, 20.0f);
        ASSERT_EQ(read.GetRootRecipe()->GetChildren().Count(), 1);
        EXPECT_STREQ(read.GetRootRecipe()->GetChildren()[0]->m_name.CStr(), "Ok");
    }
}

TEST_F(UIRecipeTemplateTest, ABodyWithoutARootKeepsTheTreeAndARootIsReadIntoTheSameObject)
{
    UIRecipeTemplate reloaded;
    Bytes empty;
    empty.TemplateRows(0).U8(0);
    EXPECT_EQ(Record(reloaded), empty.data) << "writing makes no root";
    ASSERT_TRUE(ReadRecord(reloaded, empty.data));
    EXPECT_FALSE(reloaded.HasRootRecipe());
    EXPECT_EQ(reloaded.GetRootRecipe()->GetChildren().Count(), 0) << "made empty on first use";

    // Elements point at the root and its children; a re-read must leave every such pointer valid.
    UIElementRecipe* const root = reloaded.GetRootRecipe();
    ASSERT_TRUE(ReadRecord(reloaded, Record(*MakeLayout())));
    ASSERT_EQ(reloaded.GetRootRecipe(), root);
    ASSERT_EQ(root->GetChildren().Count(), 2);
    const UIElementRecipe* const picture = root->GetChildren()[0];
    Bytes marginOnly;
    marginOnly.TemplateRows(5).U8(0);
    ASSERT_TRUE(ReadRecord(reloaded, marginOnly.data));
    EXPECT_EQ(reloaded.m_layoutMarginSnapValue, 5);
    EXPECT_EQ(reloaded.GetRootRecipe(), root) << "no root: the tree stays";
    ASSERT_EQ(root->GetChildren().Count(), 2);
    EXPECT_EQ(root->GetChildren()[0], picture);

    auto other = std::make_unique<UIScreenRecipe>();
    other->m_name = NameString("Other");
    auto* ok = new UIElementRecipe;
    ok->m_name = NameString("Ok");
    other->AddChild(ok);
    ASSERT_TRUE(ReadRecord(reloaded, Record(*UIRecipeTemplateWriter::MakeTemplate(std::move(other)))));
    EXPECT_EQ(reloaded.GetRootRecipe(), root);
    EXPECT_STREQ(root->m_name.CStr(), "Other");
    ASSERT_EQ(root->GetChildren().Count(), 1);
    EXPECT_STREQ(root->GetChildren()[0]->m_name.CStr(), "Ok");
    // Earlier children outlive the re-read unchanged (the sanitizer sees a freed one read here).
    EXPECT_STREQ(picture->GetClassName(), "UIPictureRecipe");
    EXPECT_EQ(picture->GetChildren().Count(), 1);
}

TEST_F(UIRecipeTemplateTest, BodiesThatDoNotReadWholeFailAndKeepTheOldTree)
{
    const std::vector<uint8_t> good = Record(*MakeLayout());
    std::vector<uint8_t> marker = good;
    marker[Bytes().TemplateRows(0).data.size()] = 2;
    // An unknown child class: one letter of "UIBlurRecipe" changed.
    std::vector<uint8_t> unknown = good;
    const char* const blur = "UIBlurRecipe";
    const auto at = std::search(unknown.begin(), unknown.end(), blur, blur + std::strlen(blur));
    ASSERT_NE(at, unknown.end());
    *(at + 2) = 'X';
    const std::vector<std::vector<uint8_t>> bad = {
        {}, marker, std::vector<uint8_t>(good.begin(), good.end() - 1), unknown};
    UIRecipeTemplate kept;
    ASSERT_TRUE(ReadRecord(kept, good));
    UIElementRecipe* const before = kept.GetRootRecipe();
    UIElementRecipe* const child = before->GetChildren()[1];
    ConsoleCapture log;
    for (size_t i = 0; i < bad.size(); ++i)
    {
        log.Clear();
        EXPECT_FALSE(ReadRecord(kept, bad[i])) << i;
        EXPECT_EQ(kept.GetRootRecipe(), before) << i;
        ASSERT_EQ(before->GetChildren().Count(), 2) << i;
        EXPECT_EQ(before->GetChildren()[1], child) << i;
        EXPECT_TRUE(log.Contains("UI recipe template", CONSOLE_ERROR)) << i;
    }
    EXPECT_TRUE(log.Contains("UIXlurRecipe")) << "the unknown class is named";
}
} // namespace
