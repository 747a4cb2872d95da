// Trigger shapes and modes, the scaled bounds, the flag kept after loads, the inside list and the
// debug drawing of trigger entities.
#include "renderer/RenderCommands.h"
#include "support/RenderStreamCapture.h"
#include "support/TriggerTestSupport.h"

#include <cmath>

namespace
{
class TriggerEntityTest : public TriggerTest
{
protected:
    Entity* UnitWithBox(float x, float z, float h)
    {
        EntityTemplate* t = MakeTemplate(CenteredBox(h));
        EXPECT_TRUE(SetProperty(t, "Activates triggers", "1"));
        Entity* unit = gEntityManager.CreateEntity(t, nullptr, Translation(x, 0.0f, z), 0, nullptr);
        unit->PostCreateInit();
        return unit;
    }
};
} // namespace

TEST_F(TriggerEntityTest, TheLocalBoxIsTheTemplateBoxScaled)
{
    TriggerTemplate* t = MakeTriggerTemplate(1.0f);
    t->SetStaticBoundingBox(BoundingBox4(Vector(-1, 0, -2, 1), Vector(1, 3, 2, 1)));
    ASSERT_TRUE(SetProperty(t, "Scale", "-2 -1 -0.5 1"));
    TriggerEntity* trigger = MakeTrigger("t", t, 100, 100);
    const BoundingBox4& box = trigger->GetLocalBoundingBox();
    EXPECT_FLOAT_EQ(box.min.x, -2.0f);
    EXPECT_FLOAT_EQ(box.max.x, 2.0f);
    EXPECT_FLOAT_EQ(box.min.y, -3.0f);
    // A negative scale mirrors: the corners swap instead of leaving an empty box.
    EXPECT_FLOAT_EQ(box.min.z, -1.0f);
    EXPECT_FLOAT_EQ(box.max.z, 1.0f);
    EXPECT_TRUE(trigger->GetWorldBoundingBox().IsValid3());
    // A template edit resets the bounds through the same scaling.
    ASSERT_TRUE(SetProperty(t, "Scale", "1 1 1 1"));
    t->OnPropertyChanged(t->GetClassProperties()->FindPropertyInClassChain("Scale"));
    EXPECT_FLOAT_EQ(trigger->GetLocalBoundingBox().max.z, 2.0f);
}

TEST_F(TriggerEntityTest, ABoxTestsPositionsInTheTriggersSpace)
{
    TriggerEntity* trigger = MakeTrigger("t", MakeTriggerTemplate(2.0f), 100, 100);
    Matrix turned;
    turned.LoadComplexTransformation(Vector(100, 0, 100, 1), Vector(0, 45, 0, 0), Vector(1, 1, 1, 1));
    trigger->SetGlobalLocationMatrix(turned);
    EXPECT_TRUE(trigger->IsPositionInside(Vector(100, 0, 100, 1)));
    // 2.5 along x is outside the unturned box but inside along the diagonal of the turned one.
    EXPECT_TRUE(trigger->IsPositionInside(Vector(102.5f, 0, 100, 1)));
    EXPECT_FALSE(trigger->IsPositionInside(Vector(103, 0, 100, 1)));
    Vector closest;
    trigger->GetClosestPoint(Vector(100, 10, 100, 1), closest);
    EXPECT_NEAR(closest.y, 2.0f, 1e-4f);
    EXPECT_NEAR(closest.x, 100.0f, 1e-4f);
}

TEST_F(TriggerEntityTest, ASphereIsTheUnitSphereScaled)
{
    TriggerEntity* trigger = MakeTrigger("t", MakeTriggerTemplate(3.0f, 0, TriggerTemplate::SHAPE_SPHERE), 100, 100);
    EXPECT_TRUE(trigger->IsPositionInside(Vector(103.0f, 0, 100, 1))) << "the surface is inside";
    EXPECT_FALSE(trigger->IsPositionInside(Vector(102.2f, 0, 102.2f, 1))) << "inside the box, outside the sphere";
    Vector closest;
    trigger->GetClosestPoint(Vector(102, 4, 104, 1), closest);
    EXPECT_NEAR(closest.x, 101.0f, 1e-4f);
    EXPECT_NEAR(closest.y, 2.0f, 1e-4f);
    EXPECT_NEAR(closest.z, 102.0f, 1e-4f);
    trigger->GetClosestPoint(Vector(101, 0, 100, 1), closest);
    EXPECT_NEAR(closest.x, 101.0f, 1e-4f) << "a point inside is its own closest point";
    ASSERT_TRUE(SetProperty(trigger->GetTemplate(), "Scale", "0 1 1 1"));
    trigger->GetClosestPoint(Vector(101, 0, 100, 1), closest);
    EXPECT_NEAR(closest.x, 100.0f, 1e-4f) << "a flat sphere has only its centre";
}

TEST_F(TriggerEntityTest, EachModeTestsWhatItSays)
{
    // A 4-wide box around (100, 100); a unit whose centre is outside but whose box reaches in.
    TriggerEntity* position = MakeTrigger("position", MakeTriggerTemplate(2.0f, 0), 100, 100);
    TriggerEntity* whole = MakeTrigger("whole", MakeTriggerTemplate(2.0f, 1), 100, 100);
    TriggerEntity* touch = MakeTrigger("touch", MakeTriggerTemplate(2.0f, 2), 100, 100);
    TriggerEntity* radius = MakeTrigger("radius", MakeTriggerTemplate(2.0f, 3), 100, 100);
    TriggerEntity* beyond = MakeTrigger("beyond", MakeTriggerTemplate(2.0f, 4), 100, 100);
    Entity* reaching = UnitWithBox(102.5f, 100, 1.0f);
    EXPECT_FALSE(position->IsInside(reaching));
    EXPECT_FALSE(whole->IsInside(reaching));
    EXPECT_TRUE(touch->IsInside(reaching));
    EXPECT_FALSE(radius->IsInside(reaching)) << "radius 0: the position alone";
    reaching->GetOccupancyTracker()->SetRadiusForTrigger(0.6f);
    EXPECT_TRUE(radius->IsInside(reaching));
    Entity* small = UnitWithBox(100.5f, 100, 1.0f);
    EXPECT_TRUE(position->IsInside(small));
    EXPECT_TRUE(whole->IsInside(small));
    Entity* big = UnitWithBox(100, 100, 3.0f);
    EXPECT_TRUE(position->IsInside(big));
    EXPECT_FALSE(whole->IsInside(big)) << "the box sticks out";
    EXPECT_FALSE(whole->IsInside(UnitWithBox(100, 101.5f, 1.0f))) << "out at the far z side only";
    EXPECT_FALSE(beyond->IsInside(small)) << "modes above 3 never contain anything";
}

TEST_F(TriggerEntityTest, ASphereTouchesABoxThatReachesIn)
{
    TriggerEntity* sphere = MakeTrigger("s", MakeTriggerTemplate(2.0f, 2, TriggerTemplate::SHAPE_SPHERE), 100, 100);
    EXPECT_TRUE(sphere->IsInside(UnitWithBox(102.5f, 100, 1.0f)));
    EXPECT_TRUE(sphere->IsInside(UnitWithBox(103.0f, 100, 1.0f))) << "a face on the sphere touches it";
    EXPECT_FALSE(sphere->IsInside(UnitWithBox(102.5f, 102.5f, 1.0f))) << "the box's corner stays out of the sphere";
}

TEST_F(TriggerEntityTest, PositionWithRadiusFindsEntitiesBeyondItsBox)
{
    TriggerEntity* zone = MakeTrigger("zone", MakeTriggerTemplate(2.0f, 3), 100, 100);
    // The unit's box is far from the trigger's cells, its radius reaches it.
    Entity* unit = UnitWithBox(125, 100, 0.5f);
    unit->GetOccupancyTracker()->SetRadiusForTrigger(24.0f);
    unit->SetName("unit");
    EXPECT_EQ(Update(), Events{"enter zone unit"});
    zone->Activate(false);
    zone->Activate(true);
    EXPECT_EQ(Update(), Events{"enter zone unit"}) << "the trigger's own check looks as far as the radius";
}

TEST_F(TriggerEntityTest, TriggersKeepThePostFlagAfterLoads)
{
    TriggerEntity* trigger = MakeTrigger("t", MakeTriggerTemplate(1.0f), 0, 0);
    EXPECT_TRUE(trigger->HasFlag(ENTITYFLAG_POSTFSE));
    trigger->ClearFlag(ENTITYFLAG_POSTFSE, false);
    trigger->OnPostLoad(0);
    EXPECT_TRUE(trigger->HasFlag(ENTITYFLAG_POSTFSE));
}

TEST_F(TriggerEntityTest, TheInsideListIsSortedAndCounted)
{
    TriggerEntity* trigger = MakeTrigger("t", MakeTriggerTemplate(1.0f), 0, 0);
    Entity* units[4] = {Create(), Create(), Create(), Create()};
    for (Entity* unit : {units[2], units[0], units[3], units[1], units[0]})
        trigger->AddToInsideList(unit);
    const DynarraySafe<TriggerEntity::Occupant>& list = trigger->GetInsideList();
    ASSERT_EQ(list.Count(), 4);
    for (int32_t i = 1; i < list.Count(); ++i)
        EXPECT_LT(list[i - 1].key, list[i].key);
    EXPECT_EQ(trigger->GetCount(units[0]), 2u);
    EXPECT_TRUE(trigger->RemoveFromInsideList(units[0]));
    EXPECT_FALSE(trigger->RemoveFromInsideList(units[0]));
    EXPECT_EQ(list.Count(), 3);
    EXPECT_FALSE(trigger->IsListed(units[0]));
    EXPECT_TRUE(trigger->IsListed(units[3]));
}

TEST_F(TriggerEntityTest, DebugDrawingGoesThroughTheTemplate)
{
    RenderStreamCapture capture;
    TriggerTemplate* t = MakeTriggerTemplate(2.0f);
    ASSERT_TRUE(SetProperty(t, "Scale", "2 1 1 1"));
    TriggerEntity* trigger = MakeTrigger("t", t, 10, 20);
    capture.Drain();
    trigger->DrawDebug(0);
    trigger->DrawDebug(1 | 2);
    capture.Take();
    ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
    const BoundingBox4 box = capture.Read<BoundingBox4>();
    const Matrix shape = capture.Read<Matrix>();
    const Vector color = capture.Read<Vector>();
    EXPECT_FLOAT_EQ(box.max.x, 2.0f) << "the template's box, scaled by the matrix";
    EXPECT_FLOAT_EQ(shape.rows[0].x, 2.0f);
    EXPECT_FLOAT_EQ(shape.rows[3].x, 10.0f);
    EXPECT_FLOAT_EQ(shape.rows[3].z, 20.0f);
    EXPECT_FLOAT_EQ(color.x, 0.0f);
    EXPECT_FLOAT_EQ(color.y, 1.0f) << "green";
    ASSERT_EQ(capture.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_BOX));
    capture.Skip(sizeof(BoundingBox4) + sizeof(Matrix));
    EXPECT_FLOAT_EQ(capture.Read<Vector>().x, 1.0f) << "flag 2 draws white";
    EXPECT_EQ(capture.NextOpcode(), RenderStreamCapture::kNone);
}
