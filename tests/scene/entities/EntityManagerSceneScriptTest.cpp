// A scene of one entity of every kind a template makes, plus a small hierarchy, taken through a fixed
// script of moves, turns, scales, re-parentings, flag changes and deletions. After each step every
// live entity's parent, flags, matrices, decompositions, world box and grid cells, and what the
// spatial queries return, are compared whole with the stored copy.
#include "core/reflection/RTTIClassRegistry.h"
#include "scene/entities/NearEntitiesGatherer.h"
#include "support/GoldenText.h"
#include "support/SceneTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>

namespace
{
// Steps of 1/1024, -0 as 0; vectors as x y z.
std::string Q(float value) { return QuantisedDecimal(value); }
std::string Q(const Vector& v) { return Q(v.x) + " " + Q(v.y) + " " + Q(v.z); }
std::string Q(const Matrix& m) { return Q(m.rows[0]) + " | " + Q(m.rows[1]) + " | " + Q(m.rows[2]) + " | " + Q(m.rows[3]); }

class EntityManagerSceneScriptTest : public SceneTest
{
protected:
    Entity* Add(const std::string& label, EntityTemplate* entityTemplate, Entity* parent, const Matrix& local)
    {
        Entity* const entity = gEntityManager.CreateEntity(entityTemplate, parent, local, 0, nullptr);
        EXPECT_NE(entity, nullptr) << label;
        if (entity == nullptr)
            return nullptr;
        // Type bits 1, 2 and 4 in turn: the queries ask for 1 and 2.
        entity->SetTypeBits(1u << (m_labels.size() % 3));
        m_labels[entity] = label;
        return entity;
    }

    std::string Label(const Entity* entity) const { return entity == Root() ? "root" : m_labels.at(entity); }

    // Labels sorted: walk order follows entity indexes, which earlier cases of the process reorder.
    template <class Each>
    std::string Sorted(int32_t count, Each&& each) const
    {
        std::vector<std::string> labels;
        for (int32_t i = 0; i < count; ++i)
            labels.push_back(each(i));
        std::sort(labels.begin(), labels.end());
        std::string text;
        for (const std::string& label : labels)
            text += " " + label;
        return text + "\n";
    }

    void Describe(const std::string& step)
    {
        m_text += step + "\n";
        std::map<std::string, Entity*> live;
        for (const auto& [entity, label] : m_labels)
            live[label] = const_cast<Entity*>(entity);
        const Vector probe(500.0f, 10.0f, 500.0f, 1.0f);
        for (const auto& [label, entity] : live)
        {
            const Entity::CellRange& cells = entity->GetEnteredCells();
            char head[160];
            std::snprintf(head, sizeof(head), "  %s %s type %u bits %x parent %s flags %x render %x children %d\n",
                          label.c_str(), entity->GetClassProperties()->GetClassName(), entity->GetTemplateTypeId(),
                          entity->GetTypeBits(), Label(entity->GetParent()).c_str(), entity->GetFlags(),
                          entity->GetRenderFlags(), entity->GetChildren().Count());
            m_text += head + ("    world " + Q(entity->GetGlobalLocationMatrix())) + "\n    inverse " +
                      Q(entity->GetInversedGlobalLocationMatrix()) + "\n    local rot " + Q(entity->GetLocalRotation()) +
                      " scale " + Q(entity->GetLocalScale()) + " global rot " + Q(entity->GetGlobalRotation()) +
                      " scale " + Q(entity->GetGlobalScale()) + "\n    box " + Q(entity->GetWorldBoundingBox().min) +
                      " / " + Q(entity->GetWorldBoundingBox().max) + " distance " +
                      Q(entity->GetDistanceToBoundingBox(probe)) + "\n    cells " + std::to_string(cells.x0) + " " +
                      std::to_string(cells.z0) + " " + std::to_string(cells.x1) + " " + std::to_string(cells.z1) +
                      " lists " + std::to_string(entity->GetEnteredLists()) + "\n";
        }
        NearEntitiesGatherer near;
        const auto gathered = [&] { return Sorted(near.GetEntitiesCount(), [&](int32_t i) { return Label(near.GetEntity(i)); }); };
        near.Init(3, probe, 60.0f);
        m_text += "  near 60:" + gathered();
        near.Init(3, Vector(300.0f, 0.0f, 260.0f, 1.0f), 45.0f);
        m_text += "  near the row 45:" + gathered();
        near.InitWithEntitiesWhoesOBBIsWithinRange(3, probe, 25.0f);
        m_text += "  box within 25:" + gathered();
        near.InitWithAllEntitiesWhoesOBBIsWithinRange3D(probe, 25.0f);
        m_text += "  box within 25 in 3D:" + gathered();
        near.Init(3, Vector(90.0f, -10.0f, 90.0f, 1.0f), Vector(300.0f, 40.0f, 200.0f, 1.0f));
        m_text += "  inside box:" + gathered();
        PathGridSegmentHit hits[64];
        const int32_t count = gEntityManager.GetPathGrid().CheckLineOfSight(Vector(58.0f, 1.0f, 66.0f, 1.0f),
                                                                            Vector(583.0f, 1.0f, 491.0f, 1.0f), hits, 64);
        m_text += "  segment:" + Sorted(count, [&](int32_t i) { return Q(hits[i].fraction) + "=" + Label(hits[i].entity); });
        // The inward planes of the box 80..400 x, -20..60 y, 80..540 z.
        const Vector planes[6] = {{1, 0, 0, -80}, {-1, 0, 0, 400}, {0, 1, 0, 20}, {0, -1, 0, 60}, {0, 0, 1, -80}, {0, 0, -1, 540}};
        VisibleEntityGatherOptions options;
        options.frustumPlanes = planes;
        options.frustumBox = BoundingBox4(Vector(80.0f, -20.0f, 80.0f, 1.0f), Vector(400.0f, 60.0f, 540.0f, 1.0f));
        gEntityManager.GatherVisibleEntities(options);
        const Dynarray<Entity*>& visible = gEntityManager.GetVisibleList();
        m_text += "  visible:" + Sorted(visible.Count(), [&](int32_t i) { return Label(visible[i]); });
        gEntityManager.ClearVisibleLists();
    }

    void Forget(Entity* entity)
    {
        for (Entity* child : entity->GetChildren())
            Forget(child);
        m_labels.erase(entity);
    }

    std::map<const Entity*, std::string> m_labels;
    std::string m_text;
};

TEST_F(EntityManagerSceneScriptTest, EveryKindFollowsTheScriptAsStored)
{
    // One entity of every kind a registered template makes, in a row across the grid, by class name.
    std::set<std::string> names;
    for (int id = 0; id < RTTIClassRegistry::GetClassCount(); ++id)
        names.insert(RTTIClassRegistry::GetClassName(id));
    std::vector<Entity*> kinds;
    for (const std::string& name : names)
    {
        std::unique_ptr<RTTIPolyBaseClass> probe{RTTIClassRegistry::CreateObject(name.c_str())};
        if (dynamic_cast<EntityTemplate*>(probe.get()) == nullptr)
            continue;
        EntityTemplate* const maker = m_templates.emplace_back(static_cast<EntityTemplate*>(probe.release())).get();
        maker->SetStaticBoundingBox(BoundingBox4(Vector(-2.0f, 0.0f, -1.0f, 1.0f), Vector(2.0f, 3.0f, 1.0f, 1.0f)));
        const float at = float(kinds.size());
        kinds.push_back(Add("k" + std::to_string(kinds.size() + 10) + "." + name, maker, nullptr,
                            Translation(100.0f + 21.0f * at, 0.0f, 100.0f + 17.0f * at)));
    }
    ASSERT_GT(kinds.size(), 10u);
    EntityTemplate* const wide = MakeTemplate(BoundingBox4(Vector(-12.0f, -1.0f, -4.0f, 1.0f), Vector(12.0f, 1.0f, 4.0f, 1.0f)));
    Entity* const hub = Add("h", m_template, nullptr, Translation(500.0f, 0.0f, 500.0f));
    Entity* const arm = Add("h.a", wide, hub, Translation(15.0f, 2.0f, 0.0f));
    Entity* const hand = Add("h.a.b", m_template, arm, Translation(0.0f, 0.0f, 9.0f));
    Entity* const side = Add("h.c", m_template, hub, Translation(-6.0f, 0.0f, 3.0f));
    side->RaiseFlag(ENTITYFLAG_PARENTNOSCALE, false);
    Describe("placed");

    hub->SetLocalRotation(Vector(0.0f, 90.0f, 0.0f, 0.0f));
    hub->SetLocalScale(Vector(2.0f, 1.0f, 2.0f, 0.0f));
    Describe("hub turned a quarter and stretched");

    hand->SetParentInPlace(kinds[0]);
    side->SetParent(kinds[1]);
    Describe("hand moved keeping its place, side moved keeping its local matrix");

    side->SetLocalScale(Vector(-1.0f, 1.0f, 1.0f, 0.0f));
    hand->SetGlobalRotation(Vector(30.0f, 45.0f, 0.0f, 0.0f));
    hand->SetGlobalScale(Vector(1.5f, 1.5f, 1.5f, 0.0f));
    arm->SetGlobalPosition(Vector(505.0f, 4.0f, 530.0f, 1.0f));
    kinds[2]->CopyGlobalLocation(arm);
    kinds[3]->CopyLocalLocation(hand);
    Describe("mirrored, turned and copied in world space");

    hub->RaiseFlag(ENTITYFLAG_NO_SPATIAL_QUERIES | ENTITYFLAG_SELECTED, true);
    kinds[4]->RaiseFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    kinds[5]->RaiseFlag(ENTITYFLAG_NO_RENDERING_CONTEXT | ENTITYFLAG_HIDDEN, false);
    kinds[0]->RaiseFlag(ENTITYFLAG_HIDDEN, true);
    Describe("flags raised");

    hub->ClearFlag(ENTITYFLAG_NO_SPATIAL_QUERIES, true);
    kinds[4]->ClearFlag(ENTITYFLAG_DISABLE_UPDATE, false);
    kinds[5]->ClearFlag(ENTITYFLAG_NO_RENDERING_CONTEXT, false);
    hand->SetParent(nullptr);
    arm->SetParentInPlace(nullptr);
    kinds[6]->SetLocalPosition(Vector(-30.0f, 0.0f, 995.0f, 1.0f));
    kinds[7]->SetLocalScale(Vector(12.0f, 1.0f, 9.0f, 0.0f));
    Describe("flags cleared, detached, moved to the edge and grown");

    for (Entity* dying : {kinds[1], hub})
    {
        Forget(dying);
        dying->Destroy();
    }
    Describe("a kind with a child and the hub deleted");
    ExpectTextMatchesStoredCopy(m_text, "tests/scene/entities/golden/SceneScript.txt");
}
} // namespace
