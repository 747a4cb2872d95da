// Scripts start and stop ambient sounds.
#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "scene/kinds/AmbientSoundEntity.h"
#include "scene/kinds/AmbientSoundTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/ScriptedSceneTest.h"
#include "support/TemplateTestSupport.h"

namespace
{
class AmbientSoundBindingsTest : public ScriptedSceneTest
{
protected:
    void SetUp() override
    {
        ScriptedSceneTest::SetUp();
        SoundEntryParams params;
        params.AddSound("birds.ogg");
        ASSERT_TRUE(gSoundEntriesContainer.AddSoundEntry("Birds", params));
        AmbientSoundTemplate* ambient = new AmbientSoundTemplate;
        ambient->SetSoundEntry("Birds");
        SimpleGUID guid;
        guid.bytes[0] = 0xAB;
        EntityTemplateStub* stub = RegisterStubAtPath("ambient/Birds", guid, nullptr);
        ASSERT_NE(stub, nullptr);
        stub->SetTemplate(ambient);
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gTemplateManager.Clear();
        gSoundEntriesContainer.RemoveAllSoundEntries();
        ScriptedSceneTest::TearDown();
    }
    void Run(const char* chunk) { EXPECT_TRUE(gLua.LoadAndCall(chunk, 0)) << chunk; }
};
} // namespace

TEST_F(AmbientSoundBindingsTest, ScriptsStopAndStartAnAmbientSound)
{
    Run("birds = tolua.cast(gEntityManager:CreateEntityInGame('ambient/Birds', nil, Matrix:new_local(), 0), "
        "'AmbientSoundEntity')");
    AmbientSoundEntity* birds = nullptr;
    for (Entity* entity : gEntityManager.GetNameIndex())
        if (auto* ambient = dynamic_cast<AmbientSoundEntity*>(entity))
            birds = ambient;
    ASSERT_NE(birds, nullptr);
    EXPECT_TRUE(birds->IsPlaying()) << "active at start";
    EXPECT_GT(birds->GetCallbackTimeLeft(AmbientSoundEntity::kPlayCallback, 0), 0.0f);

    Run("birds:Stop()");
    EXPECT_FALSE(birds->IsPlaying());
    EXPECT_EQ(birds->GetCallbackTimeLeft(AmbientSoundEntity::kPlayCallback, 0), -1.0f);
    Run("birds:Start(false)");
    EXPECT_TRUE(birds->IsPlaying());
    EXPECT_GT(birds->GetCallbackTimeLeft(AmbientSoundEntity::kPlayCallback, 0), 0.0f);
}
