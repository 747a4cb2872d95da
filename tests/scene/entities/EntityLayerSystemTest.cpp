#include "scene/entities/EntityLayerSystem.h"

#include "scene/SceneClassRegistration.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class EntityLayerSystemTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterSceneClasses(); }

    EntityLayer* AddLayer(EntityLayerGroup& group, const char* name, uint8_t id)
    {
        EntityLayer* layer = new EntityLayer;
        layer->SetName(name);
        layer->SetId(id);
        group.GetLayers().Add(layer);
        return layer;
    }
    EntityLayerGroup* AddGroup(EntityLayerGroup& parent, const char* name)
    {
        EntityLayerGroup* group = new EntityLayerGroup;
        group->SetName(name);
        parent.GetChildren().Add(group);
        return group;
    }

    EntityLayerSystem m_system;
};

TEST_F(EntityLayerSystemTest, ResetLeavesOnlyThePersistentDefaultLayer)
{
    EXPECT_STREQ(m_system.GetRoot().GetName(), "LAYERS");
    ASSERT_EQ(m_system.GetRoot().GetLayers().Count(), 1);
    EntityLayer* layer = m_system.GetRoot().GetLayers()[0];
    EXPECT_STREQ(layer->GetName(), "Default");
    EXPECT_EQ(layer->GetId(), 1);
    EXPECT_TRUE(layer->m_persistent);
    EXPECT_FALSE(layer->GetGUID().IsNull());
    EXPECT_EQ(EntityLayer::FindById(1), layer);
    EXPECT_EQ(m_system.GetActiveLayerId(), 1);

    EntityLayerMask scene, visible, frozen;
    m_system.GetSceneLayerMask(scene);
    m_system.GetVisibleLayerMask(visible);
    m_system.GetFrozenLayerMask(frozen);
    for (uint32_t id = 0; id < 256; ++id)
    {
        EXPECT_TRUE(scene.Test(id));
        EXPECT_TRUE(visible.Test(id));
        EXPECT_FALSE(frozen.Test(id));
    }
}

TEST_F(EntityLayerSystemTest, MasksFollowTheLayerSwitches)
{
    EntityLayer* props = AddLayer(m_system.GetRoot(), "Props", 5);
    props->m_visible = false;
    props->m_frozen = true;
    EntityLayer* fx = AddLayer(m_system.GetRoot(), "Effects", 6);
    fx->m_visibleInGame = false;
    AddLayer(m_system.GetRoot(), "Ground", 0)->m_frozen = true;
    EntityLayerMask scene, visible, frozen;
    m_system.GetSceneLayerMask(scene);
    m_system.GetVisibleLayerMask(visible);
    m_system.GetFrozenLayerMask(frozen);
    EXPECT_FALSE(scene.Test(5));
    EXPECT_TRUE(visible.Test(5));
    EXPECT_TRUE(frozen.Test(5));
    EXPECT_TRUE(scene.Test(6));
    EXPECT_FALSE(visible.Test(6));
    EXPECT_FALSE(frozen.Test(6));
    EXPECT_TRUE(scene.Test(0));
    EXPECT_TRUE(frozen.Test(0));
    fx->SetId(7);
    EXPECT_EQ(EntityLayer::FindById(6), nullptr) << "a renumbered layer leaves its old id";
    EXPECT_EQ(EntityLayer::FindById(7), fx);
}

TEST_F(EntityLayerSystemTest, HidingByNameFindsLayersAndGroupsInTreeOrder)
{
    EntityLayerGroup* outdoor = AddGroup(m_system.GetRoot(), "Outdoor");
    EntityLayerGroup* trees = AddGroup(*outdoor, "Trees");
    EntityLayer* pines = AddLayer(*trees, "Pines", 10);
    EntityLayer* rocks = AddLayer(*outdoor, "Rocks", 11);
    EntityLayer* other = AddLayer(m_system.GetRoot(), "Other", 12);
    m_system.HideLayerInGame("pines", true);
    EXPECT_TRUE(pines->m_visibleInGame) << "names compare with case";
    m_system.HideLayerInGame("Pines", true);
    EXPECT_FALSE(pines->m_visibleInGame);
    m_system.HideLayerInGame("Pines", false);
    m_system.HideLayerGroupInGame("Outdoor", true);
    EXPECT_FALSE(pines->m_visibleInGame);
    EXPECT_FALSE(rocks->m_visibleInGame);
    EXPECT_TRUE(other->m_visibleInGame);
    m_system.HideLayerGroupInGame("LAYERS", true);
    EXPECT_TRUE(other->m_visibleInGame) << "the root group itself is not compared";
    // A group below another is found too, and only its own layers change.
    m_system.HideLayerGroupInGame("Outdoor", false);
    m_system.HideLayerGroupInGame("Trees", true);
    EXPECT_FALSE(pines->m_visibleInGame);
    EXPECT_TRUE(rocks->m_visibleInGame);
    m_system.HideLayerInGame("Rocks", true);
    EXPECT_FALSE(rocks->m_visibleInGame) << "a layer of a subgroup is found by name";
    EntityLayerMask visible;
    m_system.GetVisibleLayerMask(visible);
    EXPECT_FALSE(visible.Test(10));
    EXPECT_TRUE(visible.Test(12));
}

TEST_F(EntityLayerSystemTest, GroupColoursReachEveryMemberWithoutItsOwn)
{
    EntityLayerGroup* outdoor = AddGroup(m_system.GetRoot(), "Outdoor");
    EntityLayerGroup* own = AddGroup(*outdoor, "Own");
    own->SetProprietaryColor(true);
    EntityLayerGroup* inner = AddGroup(*outdoor, "Inner");
    EntityLayer* deep = AddLayer(*inner, "Deep", 20);
    EntityLayer* fixed = AddLayer(*outdoor, "Fixed", 21);
    fixed->m_proprietaryColorSet = true;
    // Through the reflected property, as a loaded record or the editor sets it.
    ASSERT_TRUE(outdoor->GetClassProperties()->FindProperty("Color")->SetFromText(outdoor, "255 0 0 255 1"));
    EXPECT_EQ(inner->GetColor().g, 0);
    EXPECT_EQ(deep->m_color.r, 255);
    EXPECT_EQ(deep->m_color.g, 0);
    EXPECT_EQ(own->GetColor().g, 255);
    EXPECT_EQ(fixed->m_color.g, 255);
}

TEST_F(EntityLayerSystemTest, IdSlotsBelongToTheirLayerOnly)
{
    EntityLayer* first = AddLayer(m_system.GetRoot(), "First", 30);
    EntityLayer* second = new EntityLayer;
    second->SetId(30);
    EXPECT_EQ(EntityLayer::FindById(30), second);
    // Moving or deleting the layer that lost the slot leaves the owner's slot alone.
    first->SetId(31);
    EXPECT_EQ(EntityLayer::FindById(30), second);
    EXPECT_EQ(EntityLayer::FindById(31), first);
    EntityLayer* third = new EntityLayer;
    third->SetId(31);
    delete first;
    m_system.GetRoot().GetLayers().RemoveValue(first);
    EXPECT_EQ(EntityLayer::FindById(31), third);
    delete third;
    EXPECT_EQ(EntityLayer::FindById(31), nullptr);
    delete second;
    EXPECT_EQ(EntityLayer::FindById(30), nullptr);
}

TEST_F(EntityLayerSystemTest, ARecordReadOverTheTreeKeepsTheNewLayersFindable)
{
    // Each switch travels in its own field.
    EntityLayer* props = AddLayer(m_system.GetRoot(), "Props", 5);
    props->m_visibleInGame = false;
    const size_t size = m_system.SerializeToMemory(nullptr, 0, 0);
    std::vector<uint8_t> record(size);
    ASSERT_EQ(m_system.SerializeToMemory(record.data(), record.size(), 0), size);
    // What the record holds wins over the live tree.
    props->m_visibleInGame = true;
    // The new layers take ids 1 and 5 before the old ones die.
    ASSERT_TRUE(m_system.DeserializeFromMemory(record.data(), record.size(), 0));
    ASSERT_NE(EntityLayer::FindById(5), nullptr);
    EXPECT_STREQ(EntityLayer::FindById(5)->GetName(), "Props");
    EXPECT_FALSE(EntityLayer::FindById(5)->m_visibleInGame);
    EXPECT_TRUE(EntityLayer::FindById(5)->m_visible);
    EXPECT_EQ(EntityLayer::FindById(1), m_system.GetRoot().GetLayers()[0]);
}
} // namespace
