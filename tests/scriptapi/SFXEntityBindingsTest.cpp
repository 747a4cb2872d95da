// Scripts reach an effect entity's methods: the loop break that waits for a delayed start, the
// skip ahead and the deletion switch.
#include "effects/SFXEntity.h"
#include "scene/kinds/SFXTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/ScriptedSceneTest.h"
#include "support/TemplateTestSupport.h"

namespace
{
class SFXEntityBindingsTest : public ScriptedSceneTest
{
protected:
    void SetUp() override
    {
        ScriptedSceneTest::SetUp();
        auto* effect = new SFXTemplate;
        ASSERT_TRUE(effect->GetClassProperties()->FindProperty("Activation at start delay")->SetFromText(effect, "4"));
        SimpleGUID guid;
        guid.bytes[0] = 0xEF;
        EntityTemplateStub* stub = RegisterStubAtPath("effects/Spark", guid, nullptr);
        ASSERT_NE(stub, nullptr);
        stub->SetTemplate(effect);
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gTemplateManager.Clear();
        ScriptedSceneTest::TearDown();
    }
    void Run(const char* chunk) { EXPECT_TRUE(gLua.LoadAndCall(chunk, 0)) << chunk; }
};
} // namespace

TEST_F(SFXEntityBindingsTest, ScriptsBreakLoopsSkipAheadAndSwitchDeletion)
{
    Run("spark = tolua.cast(gEntityManager:CreateEntityInGame('effects/Spark', nil, Matrix:new_local(), 0), "
        "'SFXEntity')");
    SFXEntity* spark = nullptr;
    for (Entity* entity : gEntityManager.GetNameIndex())
        if (auto* effect = dynamic_cast<SFXEntity*>(entity))
            spark = effect;
    ASSERT_NE(spark, nullptr);
    EXPECT_NEAR(spark->GetCallbackTimeLeft(SFXEntity::CALLBACK_START, 0), 4.0f, 1e-3f);
    Run("spark:AdvanceTime(1.5)");
    Run("spark:BreakLoop()");
    EXPECT_LT(spark->GetCallbackTimeLeft(SFXEntity::CALLBACK_START, 0), 0.0f);
    EXPECT_NEAR(spark->GetCallbackTimeLeft(SFXEntity::CALLBACK_START_ONCE, 0), 2.5f, 1e-3f);
    Run("spark:SetDeleteAtStop(false)");
    EXPECT_FALSE(spark->GetDeleteAtStop());
    Run("spark:SetElementLocalColor('Glow', 1, 0.5, 0.5, 1) spark:SetElementLocalColor('Glow', Vector:new_local(1, 1, 1, 1)) "
        "spark:SetSpeedMultiplier(2) spark:SetSpawnRateMultiplier(0.5) spark:ActivateLoop() spark:Restart()");
    EXPECT_GE(spark->GetCallbackTimeLeft(SFXEntity::CALLBACK_BOUNDS, 8), 0.0f) << "a restart fetches the bounds";
    EXPECT_LT(spark->GetCallbackTimeLeft(SFXEntity::CALLBACK_POLL_FINISHED, 0), 0.0f) << "nothing to delete";
}
