#include "scene/entities/Entity.h"

#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RTTITypedProperty.h"
#include "support/SceneTestSupport.h"

#include <cstdio>
#include <string>
#include <vector>

namespace
{
using EntityPropertiesTest = SceneTest;

TEST_F(EntityPropertiesTest, TheTableListsThePropertiesInRecordOrder)
{
    const char* const expected[] = {
        "Flags", "Name", "GUID", "Parent entity", "Rendering pass", "Sort offset", "Sort offset from Template",
        "Location", "Local location matrix", "Local position", "Local rotation", "Local scale", "Global position",
        "Global rotation", "Global scale", "Random id", "Enforced rendering flags", "Layer", "Mount to bone",
        "Mount to bone location", "Mount to bone position", "Mount to bone rotation", "Mount to bone scale",
        "Visibility", "Visible in combat view", "Visible in tactical view"};
    const Dynarray<RTTIProperty*>& properties = Entity::StaticClassProperties()->GetProperties();
    ASSERT_EQ(properties.Count(), int32_t(std::size(expected)));
    for (int32_t i = 0; i < properties.Count(); ++i)
        EXPECT_EQ(properties[i]->GetName(), expected[i]);
    EXPECT_EQ(Entity::StaticClassProperties()->FindProperty("GUID")->GetFlags(), 4u);
    EXPECT_EQ(Entity::StaticClassProperties()->FindProperty("Local rotation")->GetFlags(), 0x6440u);
    EXPECT_EQ(Entity::StaticClassProperties()->FindProperty("Mount to bone")->GetFlags(), 0x8080u);
    EXPECT_EQ(Entity::StaticClassProperties()->FindProperty("Random id")->GetFlags(), 5u);
    EXPECT_EQ(Entity::StaticClassProperties()->FindProperty("Parent entity")->GetType(), uint32_t(RTTI_TYPE_ENTITY_POINTER));
}

TEST_F(EntityPropertiesTest, ADefaultEntityRecordHasThePayloadTheListAddsUpTo)
{
    Entity* e = Create(nullptr, Matrix::ONE, ENTITYCREATION_NOGUIDGENERATION);
    // Flags 4, Name "" 1, GUID 16, Parent 16, Rendering pass 1, Sort offset 4, from Template 1,
    // Local location matrix 64, Random id 4, Enforced rendering flags 4, Layer 1, Mount to bone ""
    // 1, Mount to bone location 64, the two view settings 1 + 1. The derived vectors are not stored.
    const size_t expected = 4 + 1 + 16 + 16 + 1 + 4 + 1 + 64 + 4 + 4 + 1 + 1 + 64 + 1 + 1;
    EXPECT_EQ(e->SerializeToMemory(nullptr, 0, 0), expected);
    char text[8] = {};
    ASSERT_TRUE(Entity::StaticClassProperties()->FindProperty("Sort offset from Template")->ToText(e, text, sizeof(text)));
    EXPECT_STREQ(text, "1");
    EXPECT_EQ(e->GetSortOffset(), 0.0f);
}

TEST_F(EntityPropertiesTest, ARecordRoundTripsThroughAnotherEntity)
{
    Entity* parent = Create();
    parent->SetName("parent");
    Entity* source = Create(parent, Translation(1, 2, 3));
    source->SetName("Source");
    source->SetLayer(4);
    source->SetVisibleInTacticalView(1);
    ASSERT_TRUE(Entity::StaticClassProperties()->FindProperty("Sort offset")->SetFromText(source, "2.5"));
    const size_t size = source->SerializeToMemory(nullptr, 0, 0);
    std::vector<uint8_t> record(size);
    ASSERT_EQ(source->SerializeToMemory(record.data(), size, 0), size);

    Entity* copy = Create(nullptr, Matrix::ONE, ENTITYCREATION_NOGUIDGENERATION);
    source->SetGUID(SimpleGUID());
    record[2] |= 0x04; // stored flag bit 18: no rendering context
    record[0] |= 0x01; // and selected, which the render flags read after it must show
    ASSERT_TRUE(copy->DeserializeFromMemory(record.data(), size, 0));
    EXPECT_TRUE(copy->HasFlag(ENTITYFLAG_NO_RENDERING_CONTEXT));
    EXPECT_TRUE(copy->GetRenderFlags() & ENTITYRENDER_SELECTED);
    EXPECT_STREQ(copy->GetName(), "Source");
    EXPECT_EQ(gEntityManager.FindEntityByName("source"), source);
    EXPECT_EQ(copy->GetParent(), parent);
    EXPECT_FLOAT_EQ(copy->GetGlobalPosition().z, 3.0f);
    EXPECT_EQ(copy->GetLayer(), 4);
    EXPECT_FLOAT_EQ(copy->GetSortOffset(), 2.5f);
    EXPECT_TRUE(copy->IsVisibleInTacticalView());
    EXPECT_FALSE(copy->GetGUID().IsNull());
    EXPECT_EQ(gEntityManager.FindEntityByGUID(copy->GetGUID()), copy);
    // A truncated record leaves the entity as it was.
    Entity* untouched = Create();
    EXPECT_FALSE(untouched->DeserializeFromMemory(record.data(), size - 1, 0));
    EXPECT_STREQ(untouched->GetName(), "");
    // An edit of one property takes effect when it is reported.
    const RTTIProperty* combat = Entity::StaticClassProperties()->FindProperty("Visible in combat view");
    ASSERT_TRUE(combat->SetFromText(untouched, "2"));
    untouched->OnPropertyChanged(combat);
    EXPECT_FALSE(untouched->IsVisibleInCombatView());
}

TEST_F(EntityPropertiesTest, TheMountRecordIsMadeOnlyByANonDefaultWrite)
{
    Entity* e = Create();
    const RTTIPropertiesBase* table = Entity::StaticClassProperties();
    char text[256];
    ASSERT_TRUE(table->FindProperty("Mount to bone scale")->ToText(e, text, sizeof(text)));
    EXPECT_EQ(e->GetMountRecord(), nullptr);
    ASSERT_TRUE(table->FindProperty("Mount to bone scale")->SetFromText(e, text));
    ASSERT_TRUE(table->FindProperty("Mount to bone")->SetFromText(e, ""));
    EXPECT_EQ(e->GetMountRecord(), nullptr);
    ASSERT_TRUE(table->FindProperty("Mount to bone")->SetFromText(e, "hand_r"));
    ASSERT_NE(e->GetMountRecord(), nullptr);
    EXPECT_STREQ(e->GetMountRecord()->boneName.CStr(), "hand_r");
    EXPECT_TRUE(e->GetMountRecord()->location.Equals(Matrix::ONE));
    ASSERT_TRUE(table->FindProperty("Mount to bone position")->SetFromText(e, "1 2 3 1"));
    EXPECT_FLOAT_EQ(e->GetMountRecord()->location.rows[3].y, 2.0f);
}

// The mount vectors edit one part of the offset matrix and keep the others; a new matrix is read
// back through its decomposition.
TEST_F(EntityPropertiesTest, MountVectorsEditTheOffsetPartByPart)
{
    Entity* e = Create();
    const RTTIPropertiesBase* table = Entity::StaticClassProperties();
    auto set = [&](const char* name, const char* text) { return table->FindProperty(name)->SetFromText(e, text); };
    auto vector = [&](const char* name) {
        char text[128] = {};
        Vector v;
        EXPECT_TRUE(table->FindProperty(name)->ToText(e, text, sizeof(text)));
        EXPECT_EQ(std::sscanf(text, "%f %f %f %f", &v.x, &v.y, &v.z, &v.w), 4) << text;
        return v;
    };
    EXPECT_FLOAT_EQ(vector("Mount to bone scale").y, 1.0f) << "defaults without a record";
    ASSERT_TRUE(set("Mount to bone rotation", "0 0 0 0"));
    EXPECT_EQ(e->GetMountRecord(), nullptr) << "a default rotation makes no record";

    ASSERT_TRUE(set("Mount to bone position", "4 5 6 1"));
    ASSERT_TRUE(set("Mount to bone scale", "2 2 2 1"));
    ASSERT_TRUE(set("Mount to bone rotation", "0 90 0 0"));
    Matrix expected;
    expected.LoadComplexTransformation(Vector(4, 5, 6, 1), Vector(0, 90, 0, 0), Vector(2, 2, 2, 1));
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_NEAR(e->GetMountRecord()->location.At(row, column), expected.At(row, column), 1e-4f) << row << column;
    EXPECT_FLOAT_EQ(vector("Mount to bone rotation").y, 90.0f);
    EXPECT_FLOAT_EQ(vector("Mount to bone scale").z, 2.0f);
    EXPECT_FLOAT_EQ(vector("Mount to bone position").z, 6.0f);
    char turned[512];
    ASSERT_TRUE(table->FindProperty("Mount to bone location")->ToText(e, turned, sizeof(turned)));

    // A whole matrix drops the cached parts: they come back from it.
    Matrix scaled;
    scaled.LoadComplexTransformation(Vector(0, 0, 0, 1), Vector(0, 0, 0, 0), Vector(3, 3, 3, 1));
    char text[512];
    ASSERT_TRUE(table->FindProperty("Local location matrix")->ToText(e, text, sizeof(text)));
    e->SetLocalLocationMatrix(scaled);
    ASSERT_TRUE(table->FindProperty("Local location matrix")->ToText(e, text, sizeof(text)));
    ASSERT_TRUE(set("Mount to bone location", text));
    EXPECT_NEAR(vector("Mount to bone scale").x, 3.0f, 1e-4f);
    EXPECT_NEAR(vector("Mount to bone rotation").y, 0.0f, 1e-3f);
    EXPECT_FLOAT_EQ(vector("Mount to bone scale").w, 1.0f);
    ASSERT_TRUE(set("Mount to bone location", turned));
    EXPECT_NEAR(vector("Mount to bone rotation").y, 90.0f, 1e-3f) << "read before the scale";
    // A part written right after a whole matrix (directly: text writes read first) keeps the other part.
    auto write = [&](const char* name, const Vector& v) {
        static_cast<const RTTITypedProperty<Vector>*>(table->FindProperty(name))->SetValue(e, v);
    };
    ASSERT_TRUE(set("Mount to bone location", text));
    write("Mount to bone rotation", Vector(0, 90, 0, 0));
    EXPECT_NEAR(vector("Mount to bone scale").x, 3.0f, 1e-4f);
    ASSERT_TRUE(set("Mount to bone location", text));
    write("Mount to bone scale", Vector(2, 2, 2, 1));
    EXPECT_NEAR(vector("Mount to bone rotation").y, 0.0f, 1e-3f);
}

// The derived vectors are not stored but write through the transform: each is read back in the other
// frame, under a turned and scaled parent so that the two frames differ in every part.
TEST_F(EntityPropertiesTest, DerivedVectorsMoveTheEntity)
{
    Matrix parent;
    parent.LoadComplexTransformation(Vector(10, 0, 0, 1), Vector(0, 30, 0, 0), Vector(2, 2, 2, 1));
    Entity* e = Create(Create(nullptr, parent));
    const struct { const char* name; const char* text; const char* other; int axis; float expected; } rows[] = {
        {"Local position", "1 2 3 1", "Global position", 1, 4.0f},
        {"Global position", "4 6 0 1", "Local position", 1, 3.0f},
        {"Local scale", "2 2 2 1", "Global scale", 1, 4.0f},
        {"Global scale", "3 3 3 1", "Local scale", 2, 1.5f},
        {"Local rotation", "0 30 0 0", "Global rotation", 1, 60.0f},
        {"Global rotation", "0 45 0 0", "Local rotation", 1, 15.0f},
    };
    for (const auto& row : rows)
    {
        ASSERT_TRUE(Entity::StaticClassProperties()->FindProperty(row.name)->SetFromText(e, row.text)) << row.name;
        const RTTIProperty* other = Entity::StaticClassProperties()->FindProperty(row.other);
        EXPECT_NEAR((&static_cast<const RTTITypedProperty<Vector>*>(other)->GetValueAddress(e)->x)[row.axis],
                    row.expected, 1e-3f) << row.name;
    }
}

TEST_F(EntityPropertiesTest, TemplatePropertiesAreReadAndWrittenByName)
{
    Entity* e = Create();
    char text[96];
    ASSERT_TRUE(e->GetTemplatePropertyValueAsString("Face camera offset", text, sizeof(text)));
    EXPECT_FALSE(e->GetTemplatePropertyValueAsString("No such property", text, sizeof(text)));
    // A changed box reaches every entity of the template.
    ASSERT_TRUE(e->SetTemplatePropertyFromString("Static bounding box", "-2 -2 -2 1 2 2 2 1"));
    EXPECT_FLOAT_EQ(e->GetLocalBoundingBox().max.x, 2.0f);
    ASSERT_TRUE(e->GetTemplatePropertyValueAsString("Static bounding box", text, sizeof(text)));
    EXPECT_STREQ(text, "-2.000000 -2.000000 -2.000000 1.000000 2.000000 2.000000 2.000000 1.000000");
}
} // namespace
