// ctest-labels: thread
// Compound templates: the element record, resolution and bounding box at load and on edits,
// template references, flag and dependency forwarding, debug drawing and its cycle guard.
#include "scene/kinds/CompoundTemplate.h"

#include "core/filesystem/FileSystem.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/kinds/CompoundEntity.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/CompoundTestSupport.h"
#include "support/TempFolder.h"
#include "tools/datakit/CompoundTemplateWriter.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/TemplateWriter.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <string>
#include <vector>

namespace
{
// A template that records what the compound asks of it.
class RecordingTemplate : public EntityTemplate
{
public:
    bool DrawDebugShape(const Matrix& matrix, const HDRColor&, uint32_t flags, uint32_t) override
    {
        shapeMatrices.push_back(matrix);
        shapeFlags = flags;
        return answer;
    }
    bool DrawDebug(const Matrix& matrix, uint32_t) override
    {
        debugMatrices.push_back(matrix);
        return false;
    }
    void PrepareDependencies() override { ++prepared; }

    std::vector<Matrix> shapeMatrices;
    std::vector<Matrix> debugMatrices;
    uint32_t shapeFlags = 0;
    bool answer = false;
    int prepared = 0;
};

class CompoundTemplateTest : public CompoundSceneTest
{
protected:
    CompoundTemplate* Compound(const char* path, const std::vector<CompoundElementSpec>& elements)
    {
        CompoundTemplate* compound = Bind(path, new CompoundTemplate);
        CompoundTemplateWriter::AddElements(*compound, elements);
        return compound;
    }
    static void ExpectBox(const BoundingBox4& box, Vector min, Vector max)
    {
        EXPECT_FLOAT_EQ(box.min.x, min.x);
        EXPECT_FLOAT_EQ(box.min.y, min.y);
        EXPECT_FLOAT_EQ(box.min.z, min.z);
        EXPECT_FLOAT_EQ(box.max.x, max.x);
        EXPECT_FLOAT_EQ(box.max.y, max.y);
        EXPECT_FLOAT_EQ(box.max.z, max.z);
    }
};

// Hand-written pieces of a record.
void Name(std::vector<uint8_t>& out, const char* text)
{
    if (text[0] == 0)
    {
        out.push_back(0);
        return;
    }
    out.push_back(1);
    out.insert(out.end(), text, text + std::strlen(text) + 1);
}

void U32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void MatrixBytes(std::vector<uint8_t>& out, const Matrix& m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
        {
            uint32_t bits;
            const float value = m.At(r, c);
            std::memcpy(&bits, &value, 4);
            U32(out, bits);
        }
}
} // namespace

TEST_F(CompoundTemplateTest, ElementRecordsHaveTheirFieldsInTheStoredOrder)
{
    std::vector<uint8_t> knob;
    Name(knob, "Knob");
    Name(knob, "props/Knob");
    MatrixBytes(knob, Matrix::ZERO);
    Name(knob, "");
    Name(knob, "Turn");
    U32(knob, 0);
    knob.push_back(0);
    knob.push_back(1);
    std::vector<uint8_t> door;
    Name(door, "Door");
    Name(door, "props/Door");
    MatrixBytes(door, Translation(1, 2, 3));
    Name(door, "Snow");
    Name(door, "");
    U32(door, 1);
    door.insert(door.end(), knob.begin(), knob.end());
    door.push_back(1);
    door.push_back(0);

    CompoundTemplateElement read;
    ASSERT_TRUE(read.DeserializeFromMemory(door.data(), door.size(), 0));
    EXPECT_STREQ(read.m_name.CStr(), "Door");
    EXPECT_STREQ(read.m_templateName.CStr(), "props/Door");
    EXPECT_STREQ(read.m_shaderPreset.CStr(), "Snow");
    EXPECT_FLOAT_EQ(read.m_locationMatrix.At(3, 1), 2.0f);
    EXPECT_TRUE(read.m_hidden);
    EXPECT_FALSE(read.m_hiddenInGame);
    ASSERT_EQ(read.m_children.Count(), 1);
    EXPECT_STREQ(read.m_children[0].m_animation.CStr(), "Turn");
    EXPECT_TRUE(read.m_children[0].m_hiddenInGame);
    EXPECT_EQ(SceneWriter::Payload(read, 0), door);

    // A new element is all empty, with a zero matrix.
    const CompoundTemplateElement fresh;
    EXPECT_TRUE(fresh.m_locationMatrix.Equals(Matrix::ZERO));
    EXPECT_EQ(fresh.GetTemplate(), nullptr);

    // The compound's own properties come before the base template's in its record.
    CompoundTemplate compound;
    compound.EditElements().Add(read);
    const std::vector<uint8_t> own = SceneWriter::Payload(compound, RTTI_OWN_CLASS_ONLY);
    const std::vector<uint8_t> whole = SceneWriter::Payload(compound, 0);
    ASSERT_GT(whole.size(), own.size());
    EXPECT_TRUE(std::equal(own.begin(), own.end(), whole.begin()));
    CompoundTemplate copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(whole.data(), whole.size(), 0));
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&copy, &compound));
    EXPECT_EQ(copy.GetDefinition(), compound.GetDefinition());
    EXPECT_EQ(copy.GetTypeId(), uint32_t(ENTITY_COMPOUND));
    EXPECT_TRUE(std::strcmp(CompoundTemplate::kDefaultDefinition, copy.GetDefinition().c_str()) == 0);

    // Children nested past the record limit are refused, not followed down the stack.
    std::vector<uint8_t> deep;
    for (int i = 0; i < 80; ++i)
    {
        Name(deep, "");
        Name(deep, "");
        MatrixBytes(deep, Matrix::ONE);
        Name(deep, "");
        Name(deep, "");
        U32(deep, i + 1 < 80 ? 1 : 0);
    }
    for (int i = 0; i < 80; ++i)
    {
        deep.push_back(0);
        deep.push_back(0);
    }
    CompoundTemplateElement tooDeep;
    EXPECT_FALSE(tooDeep.DeserializeFromMemory(deep.data(), deep.size(), 0));
    EXPECT_TRUE(m_log.Contains("Record of class CompoundTemplateElement nests objects deeper than 64", CONSOLE_ERROR));
}

TEST_F(CompoundTemplateTest, ElementCopiesAndMovesKeepTemplateReferencesBalanced)
{
    EntityTemplate* rock = Boxed("props/Rock", 1.0f);
    const int32_t before = rock->GetReferenceCount();
    {
        CompoundTemplateElement element;
        rock->Resource::AddRef();
        element.AdoptTemplate(rock);
        element.m_name = NameString("Base");
        element.m_templateName = NameString("props/Rock");
        element.m_animation = NameString("Sway");
        element.m_locationMatrix = Translation(0, 3, 0);
        element.m_children.Add(element);
        EXPECT_EQ(rock->GetReferenceCount(), before + 2);
        CompoundTemplateElement copy(element);
        EXPECT_EQ(rock->GetReferenceCount(), before + 4);
        CompoundTemplateElement moved(std::move(copy));
        EXPECT_EQ(copy.GetTemplate(), nullptr);
        EXPECT_EQ(rock->GetReferenceCount(), before + 4);
        CompoundTemplateElement assigned;
        EXPECT_EQ(&(assigned = moved), &assigned);
        EXPECT_EQ(rock->GetReferenceCount(), before + 6);
        EXPECT_TRUE(CompoundTemplateElement::StaticClassProperties()->AreObjectsEqual(&assigned, &element));
        assigned = std::move(moved);
        EXPECT_EQ(rock->GetReferenceCount(), before + 4);
        CompoundTemplateElement target;
        target = std::move(assigned);
        EXPECT_TRUE(CompoundTemplateElement::StaticClassProperties()->AreObjectsEqual(&target, &element));
        // Growth of an element array moves the elements to their new block.
        DynarraySafe<CompoundTemplateElement> grown;
        for (int i = 0; i < 5; ++i)
            grown.Add(element);
        EXPECT_EQ(rock->GetReferenceCount(), before + 14);
    }
    EXPECT_EQ(rock->GetReferenceCount(), before);
}

TEST_F(CompoundTemplateTest, LoadResolutionBoxesElementsByTheirOwnMatricesOnly)
{
    EntityTemplate* rock = Boxed("props/Rock", 1.0f);
    Boxed("props/Tree", 2.0f);
    CompoundElementSpec base = Element("Base", "props/Rock", Translation(10, 0, 0));
    // The child sits at 0,5,0 by its own matrix; its parent's matrix is not applied.
    base.children.push_back(Element("Top", "props/Tree", Translation(0, 5, 0)));
    base.children.push_back(Element("Ghost", "props/Missing"));
    Bind("props/Marker", new EntityTemplate);
    base.children.push_back(Element("Marker", "props/Marker", Translation(0, 50, 0)));
    CompoundTemplate* compound = Compound("kit/House", {base, Element("", "")});
    compound->SetStaticBoundingBox(CenteredBox(100.0f));
    const int32_t rockReferences = rock->GetReferenceCount();
    compound->ResolveElementsAfterLoad();
    ExpectBox(compound->GetStaticBoundingBox(), Vector(-2, -1, -2, 1), Vector(11, 7, 2, 1));
    EXPECT_EQ(compound->GetElements()[0].GetTemplate(), rock);
    EXPECT_NE(compound->GetElements()[0].m_children[0].GetTemplate(), nullptr);
    EXPECT_EQ(compound->GetElements()[0].m_children[1].GetTemplate(), nullptr);
    EXPECT_EQ(rock->GetReferenceCount(), rockReferences + 1);

    // Without elements, or with unknown templates only, the loaded box stays.
    CompoundTemplate* empty = Compound("kit/Empty", {});
    empty->SetStaticBoundingBox(CenteredBox(3.0f));
    empty->ResolveElementsAfterLoad();
    ExpectBox(empty->GetStaticBoundingBox(), Vector(-3, -3, -3, 1), Vector(3, 3, 3, 1));
    CompoundTemplate* unknown = Compound("kit/Unknown", {Element("A", "props/Nothing"), Element("B", "nowhere/x")});
    unknown->SetStaticBoundingBox(CenteredBox(4.0f));
    unknown->ResolveElementsAfterLoad();
    ExpectBox(unknown->GetStaticBoundingBox(), Vector(-4, -4, -4, 1), Vector(4, 4, 4, 1));

    // Destroying the elements gives every reference back.
    compound->EditElements().FreeStorage();
    EXPECT_EQ(rock->GetReferenceCount(), rockReferences);
}

TEST_F(CompoundTemplateTest, EditsResolveAgainAndRebuildTheLiveCompounds)
{
    Boxed("props/Rock", 1.0f);
    EntityTemplate* tree = Boxed("props/Tree", 2.0f);
    CompoundTemplate* compound = Compound("kit/House", {Element("Base", "props/Rock", Translation(3, 0, 0))});
    compound->ResolveElementsAfterLoad();
    Entity* first = gEntityManager.CreateEntity(compound, nullptr, Matrix::ONE, 0, nullptr);
    Entity* second = gEntityManager.CreateEntity(compound, nullptr, Matrix::ONE, 0, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->GetChildren().Count(), 1);
    Entity* oldElement = first->GetChildren()[0];
    EXPECT_STREQ(oldElement->GetName(), "~Base");
    const uint32_t liveBefore = gEntityManager.GetLiveEntityCount();

    // A tool adds an element and names its template: it lands at the origin.
    CompoundTemplateElement& added = compound->EditElements()[compound->EditElements().Add(CompoundTemplateElement())];
    added.m_name = NameString("Shade");
    added.m_templateName = NameString("props/Tree");
    const int32_t treeReferences = tree->GetReferenceCount();
    compound->OnPropertyChanged(Property(added, "Template name"));
    EXPECT_TRUE(compound->GetElements()[1].m_locationMatrix.Equals(Matrix::ONE));
    EXPECT_TRUE(compound->GetElements()[0].m_locationMatrix.Equals(Translation(3, 0, 0)));
    EXPECT_EQ(compound->GetElements()[1].GetTemplate(), tree);
    EXPECT_EQ(tree->GetReferenceCount(), treeReferences + 1);
    ExpectBox(compound->GetStaticBoundingBox(), Vector(-2, -2, -2, 1), Vector(4, 2, 2, 1));
    for (Entity* compoundEntity : {first, second})
    {
        ASSERT_EQ(compoundEntity->GetChildren().Count(), 2);
        EXPECT_STREQ(compoundEntity->GetChildren()[1]->GetName(), "~Shade");
        EXPECT_EQ(compoundEntity->GetChildren()[1]->GetTemplate(), tree);
    }
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), liveBefore + 2);

    // A new definition empties the elements and keeps its text.
    const RTTIProperty* definition = Property(*compound, "Definition");
    ASSERT_TRUE(definition->SetFromText(compound, "<Component Name=\"A\" />"));
    compound->OnPropertyChanged(definition);
    EXPECT_EQ(compound->GetDefinition(), "<Component Name=\"A\" />");
    EXPECT_TRUE(compound->GetElements().IsEmpty());
    EXPECT_EQ(compound->GetElements().Capacity(), 0);
    EXPECT_EQ(tree->GetReferenceCount(), treeReferences);
    EXPECT_TRUE(first->GetChildren().IsEmpty());
    EXPECT_TRUE(second->GetChildren().IsEmpty());
}

TEST_F(CompoundTemplateTest, FlagsAndDependenciesReachEveryElementTemplate)
{
    RecordingTemplate* outer = Bind("props/Outer", new RecordingTemplate);
    RecordingTemplate* inner = Bind("props/Inner", new RecordingTemplate);
    EntityTemplate* other = Boxed("props/Other", 1.0f);
    CompoundElementSpec top = Element("Top", "props/Outer");
    top.children.push_back(Element("Deep", "props/Inner"));
    CompoundTemplate* compound = Compound("kit/Tower", {top, Element("Lost", "props/Nowhere")});
    compound->ResolveElementsAfterLoad();
    compound->SetResourceFlags(0x200);
    EXPECT_EQ(compound->GetResourceFlags() & 0x200u, 0x200u);
    EXPECT_EQ(outer->GetResourceFlags() & 0x200u, 0x200u);
    EXPECT_EQ(inner->GetResourceFlags() & 0x200u, 0x200u);
    EXPECT_EQ(other->GetResourceFlags() & 0x200u, 0u);
    compound->PrepareDependencies();
    EXPECT_EQ(outer->prepared, 1);
    EXPECT_EQ(inner->prepared, 1);
}

TEST_F(CompoundTemplateTest, DebugDrawingPlacesElementsAndDrawsASelfListingCompoundOnce)
{
    RecordingTemplate* shape = Bind("props/Shape", new RecordingTemplate);
    CompoundElementSpec hidden = Element("Hidden", "props/Shape", Translation(0, 9, 0));
    hidden.hidden = true;
    CompoundElementSpec top = Element("Top", "props/Shape", Translation(1, 0, 0));
    top.children.push_back(Element("Child", "props/Shape", Translation(0, 0, 2)));
    CompoundTemplate* compound = Compound("kit/Shapes", {hidden, top, Element("Self", "kit/Shapes")});
    compound->ResolveElementsAfterLoad();

    // The compound meets itself last: drawn once, and that counts as drawn.
    EXPECT_TRUE(compound->DrawDebugShape(Translation(100, 0, 0), HDRColor(), 6, 0));
    ASSERT_EQ(shape->shapeMatrices.size(), 2u);
    EXPECT_TRUE(shape->shapeMatrices[0].Equals(Translation(101, 0, 0)));
    EXPECT_TRUE(shape->shapeMatrices[1].Equals(Translation(101, 0, 2)));
    EXPECT_EQ(shape->shapeFlags, 6u);
    CompoundTemplate* plain = Compound("kit/Plain", {top});
    plain->ResolveElementsAfterLoad();
    EXPECT_FALSE(plain->DrawDebugShape(Matrix::ONE, HDRColor(), 0, 0));
    EXPECT_EQ(shape->shapeMatrices.size(), 4u);

    // Hidden elements are drawn by the plain debug walk.
    EXPECT_TRUE(compound->DrawDebug(Matrix::ONE, 0));
    ASSERT_EQ(shape->debugMatrices.size(), 3u);
    EXPECT_TRUE(shape->debugMatrices[0].Equals(Translation(0, 9, 0)));
    EXPECT_TRUE(shape->debugMatrices[2].Equals(Translation(1, 0, 2)));

    // The first element template that draws ends the walk.
    shape->shapeMatrices.clear();
    shape->answer = true;
    EXPECT_TRUE(plain->DrawDebugShape(Matrix::ONE, HDRColor(), 0, 0));
    EXPECT_EQ(shape->shapeMatrices.size(), 1u);
    // The walk leaves the shared stack empty.
    EXPECT_FALSE(CompoundStack::Contains(compound));
}

namespace
{
// The same compound loaded through the resource manager from its binary template file.
class CompoundTemplateFileTest : public CompoundTemplateTest
{
protected:
    void SetUp() override
    {
        CompoundTemplateTest::SetUp();
        m_folder.WriteFile("templates/.keep", "");
        ASSERT_TRUE(gFileSystem.MountDirectory("templates", (m_folder / "templates").c_str()));
        ASSERT_TRUE(m_manager.Init());
    }
    void TearDown() override
    {
        CompoundTemplateTest::TearDown();
        m_manager.Close();
        gFileSystem.UnmountAll();
    }
    TempFolder m_folder;
    ResourceManager m_manager;
};
} // namespace

TEST_F(CompoundTemplateFileTest, ALoadedCompoundIgnoresTheBoxesOfTemplatesNotLoadedYet)
{
    SimpleGUID guid;
    guid.bytes[0] = 0xF1;
    std::vector<TemplateStubEntry> stubs;
    for (const char* name : {"Late", "House", "LateOnly"})
    {
        ++guid.bytes[15];
        stubs.push_back({name == std::string("Late") ? "props" : "kit", name, guid,
                         name == std::string("Late") ? uint32_t(ENTITY_NULL) : uint32_t(ENTITY_COMPOUND)});
    }
    ASSERT_TRUE(TemplateWriter::WriteStubFiles(m_folder / "templates", stubs));
    const std::vector<uint8_t> house = CompoundTemplateWriter::BuildBody(
        {Element("Rock", "props/Rock", Translation(0, 1, 0)), Element("Late", "props/Late")}, SimpleGUID());
    m_folder.WriteFile("templates/kit/House.BinaryTemplate", std::string(house.begin(), house.end()));
    const std::vector<uint8_t> lateOnly = CompoundTemplateWriter::BuildBody({Element("Late", "props/Late")}, SimpleGUID());
    m_folder.WriteFile("templates/kit/LateOnly.BinaryTemplate", std::string(lateOnly.begin(), lateOnly.end()));
    gTemplateManager.LoadTemplateFolder();
    // Made in memory inside the scanned tree.
    Boxed("props/Rock", 1.0f);

    // Requested but not loaded: its box is not to be trusted yet.
    EntityTemplate* late = gTemplateManager.FindStubByPath("props/Late")->RequestTemplate();
    ASSERT_NE(late, nullptr);
    ASSERT_FALSE(late->IsLoaded());
    late->SetStaticBoundingBox(CenteredBox(50.0f));
    // Its entities name it by file alone and by the path it was loaded under.
    Entity* lateEntity = gEntityManager.CreateEntity(late, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_STREQ(lateEntity->GetTemplateName(), "Late");
    EXPECT_STREQ(lateEntity->GetTemplateFullName(), "templates/props/Late");
    late->SetResourceFlags(0x200);
    EXPECT_EQ(late->GetResourceFlags() & 0x200u, 0x200u) << "the manager holds a managed template's flags";

    auto* loaded = dynamic_cast<CompoundTemplate*>(gTemplateManager.GetTemplate("kit/House", true));
    ASSERT_NE(loaded, nullptr);
    m_compounds.push_back(loaded);
    ASSERT_EQ(loaded->GetElements().Count(), 2);
    EXPECT_EQ(loaded->GetElements()[1].GetTemplate(), late);
    ExpectBox(loaded->GetStaticBoundingBox(), Vector(-1, 0, -1, 1), Vector(1, 2, 1, 1));

    // With only a template not loaded yet, the stored box stays.
    auto* lateCompound = dynamic_cast<CompoundTemplate*>(gTemplateManager.GetTemplate("kit/LateOnly", true));
    ASSERT_NE(lateCompound, nullptr);
    m_compounds.push_back(lateCompound);
    EXPECT_EQ(lateCompound->GetElements()[0].GetTemplate(), late);
    EXPECT_FALSE(lateCompound->GetStaticBoundingBox().IsValid3());
}
