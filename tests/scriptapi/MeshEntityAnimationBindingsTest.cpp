// Scripts reach a mesh's animation calls: parameters built in Lua, starts that report an unknown
// animation, progress on a tree node, mounting on a bone and the rest pose of a bone.
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/ScriptedSceneTest.h"
#include "support/TemplateTestSupport.h"
#include "tools/datakit/MeshTemplateWriter.h"

namespace
{
class MeshEntityAnimationBindingsTest : public ScriptedSceneTest
{
protected:
    void SetUp() override
    {
        ScriptedSceneTest::SetUp();
        MeshTemplateSpec spec;
        spec.withMeshData = false;
        spec.bones = {"Hips", "Hand"};
        SimpleGUID guid;
        guid.bytes[0] = 0xAC;
        EntityTemplateStub* stub = RegisterStubAtPath("units/Knight", guid, nullptr);
        ASSERT_NE(stub, nullptr);
        stub->SetTemplate(MeshTemplateWriter::MakeTemplate(spec).release());
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gTemplateManager.Clear();
        ScriptedSceneTest::TearDown();
    }
    void Run(const char* chunk) { EXPECT_TRUE(gLua.LoadAndCall(chunk, 0)) << chunk; }
    static MeshEntity* Find(const char* name)
    {
        for (Entity* entity : gEntityManager.GetNameIndex())
            if (std::string(entity->GetName()) == name)
                return dynamic_cast<MeshEntity*>(entity);
        return nullptr;
    }
};
} // namespace

TEST_F(MeshEntityAnimationBindingsTest, ScriptsStartStopAndMountThroughTheMeshEntity)
{
    Run("knight = tolua.cast(gEntityManager:CreateEntityInGame('units/Knight', nil, Matrix:new_local(), 0), 'MeshEntity')"
        " knight:SetName('Knight')"
        " sword = gEntityManager:CreateEntityInGame('units/Knight', knight, Matrix:new_local(), 0)"
        " sword:SetName('Sword')"
        " params = AnimationParams:new_local()"
        " params.Flags = ANIMFLAG_LOOP + ANIMFLAG_POSITIONDRIVE"
        " params.AttackTime = 0.5"
        " started = knight:StartAnimation('root', 'Jump', params)"
        " progressed = knight:SetAnimationProgress('root', -1, 0.5)"
        " unknownNode = knight:SetAnimationProgress('legs', -1, 0.5)"
        " mounted = knight:MountEntity('Hand', sword, Matrix:new_local(), 0)"
        " rest = knight:GetTemplateHierarchyPosition('Hand')");
    MeshEntity* knight = Find("Knight");
    MeshEntity* sword = Find("Sword");
    ASSERT_NE(knight, nullptr);
    ASSERT_NE(sword, nullptr);
    EXPECT_TRUE(m_log.Contains("Animation Jump not found in", 4));
    Run("assert(started == false and progressed == true and unknownNode == false and mounted == true)"
        " assert(params.Flags == 0x801 and params.AttackTime > 0.499 and params.AttackTime < 0.501)"
        " assert(rest:At(3, 1) == 1)"
        " params:LoadDefaults() assert(params.OverrideProgress == -1 and params.Flags == ANIMFLAG_SOUNDS)"
        " assert(AnimationParams:new_local().AnimationIndex == -1)");
    EXPECT_EQ(knight->GetAnimator()->GetMountedBone(sword), 1);
    Run("knight:UnmountEntity(nil)");
    EXPECT_EQ(knight->GetAnimator()->GetMountedBone(sword), -1);
}

TEST_F(MeshEntityAnimationBindingsTest, ScriptsAimABoneProcedurally)
{
    Run("knight = tolua.cast(gEntityManager:CreateEntityInGame('units/Knight', nil, Matrix:new_local(), 0), 'MeshEntity')"
        " aim = knight:StartProceduralTargetingAnimation('root', ANIMFLAG_PROCCALLBACKS)"
        " missing = knight:StartProceduralTargetingAnimation('tail', 0)"
        " aim:SetRotationLimits2(-45, 45, -90, 90)"
        " aim:SetRotationSpeed(30, 60)"
        " aim:SetRotationVector(Vector:new_local(350, 10, 0, 0), true)"
        " had = aim:GetTargetPoint(Vector:new_local())"
        " aim:SetTargetPoint(Vector:new_local(1, 2, 3, 1), true)"
        " point = Vector:new_local()"
        " has = aim:GetTargetPoint(point)");
    EXPECT_TRUE(m_log.Contains("Cannot start animation because the node tail cannot be found", 3));
    Run("assert(missing == nil and had == false and has == true and point.z == 3)"
        " assert(aim:GetRotationVector().x == 350)");
}
