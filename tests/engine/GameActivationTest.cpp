// ctest-labels: thread
// App activation and deactivation over the whole engine: the sound commands they post, the pause
// switch, the taps and the delegate hooks.
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundPauseSwitch.h"
#include "engine/input/InputManager.h"
#include "support/GameEngineFixture.h"

namespace
{
class GameActivationTest : public GameEngineFixture
{
protected:
    void SetUp() override
    {
        GameEngineFixture::SetUp();
        ASSERT_NE(gSoundEngine, nullptr);
        ASSERT_TRUE(gSoundEngine->IsRunning());
        gSoundPauseSwitch = SoundPauseSwitch{true, false};
    }
    void TearDown() override
    {
        gSoundPauseSwitch = SoundPauseSwitch{};
        GameEngineFixture::TearDown();
    }
    uint32_t Handled(uint32_t command)
    {
        gSoundEngine->Flush();
        return gSoundEngine->GetHandledCount(command);
    }
};
} // namespace

TEST_F(GameActivationTest, DeactivationAndActivationPostTheirSoundCommandsOnceEach)
{
    const uint32_t fades = Handled(SOUND_COMMAND_FADE_MASTER);
    gGame.Activate(false);
    EXPECT_EQ(Handled(SOUND_COMMAND_RESUME_AFTER_ACTIVATION), 0u) << "an active app is not activated again";

    gGame.Deactivate(false);
    gGame.Deactivate(false);
    EXPECT_TRUE(gGame.IsDeactivated());
    EXPECT_EQ(Handled(SOUND_COMMAND_PAUSE_FOR_DEACTIVATION), 1u);
    EXPECT_EQ(Handled(SOUND_COMMAND_FADE_MASTER), fades + 1);
    EXPECT_TRUE(gSoundPauseSwitch.paused);
    EXPECT_EQ(Count(m_log.Messages(), "Deactivating the app"), 1u);
    EXPECT_EQ(m_delegate.Joined(), "OnAppDeactivate:0;");

    gGame.Activate(false);
    gGame.Activate(false);
    EXPECT_FALSE(gGame.IsDeactivated());
    EXPECT_EQ(Handled(SOUND_COMMAND_RESUME_AFTER_ACTIVATION), 1u);
    EXPECT_EQ(Handled(SOUND_COMMAND_FADE_MASTER), fades + 2);
    EXPECT_FALSE(gSoundPauseSwitch.paused);
    EXPECT_EQ(Count(m_log.Messages(), "Activating the app"), 1u);
    EXPECT_EQ(m_delegate.Joined(), "OnAppDeactivate:0;OnAppActivate:0;");
}

TEST_F(GameActivationTest, SuspensionIsASecondFlagThatLeavesTheSoundAlone)
{
    gGame.GetInputManager().BeginTap(5, 0.5f, 0.5f);
    gGame.Deactivate(true);
    gGame.Deactivate(true);
    EXPECT_TRUE(gGame.IsSuspended());
    EXPECT_FALSE(gGame.IsDeactivated());
    EXPECT_EQ(Handled(SOUND_COMMAND_PAUSE_FOR_DEACTIVATION), 0u);
    ASSERT_GE(gGame.GetInputManager().GetTaps().Count(), 1);
    EXPECT_EQ(gGame.GetInputManager().GetTaps()[0].source, InputManager::kNoTapSource) << "every tap ended";
    gGame.Activate(true);
    gGame.Activate(true);
    EXPECT_FALSE(gGame.IsSuspended());
    EXPECT_EQ(m_delegate.Joined(), "OnAppDeactivate:1;OnAppActivate:1;");
    EXPECT_FALSE(m_log.Contains("Activating the app"));
}

TEST_F(GameActivationTest, ResourcesUnloadOnceASuspensionAndReloadOnTheReturn)
{
    m_delegate.unloadsResources = true;
    gGame.Deactivate(true);
    gGame.Activate(true);
    EXPECT_FALSE(m_log.Contains("Unloading resources on deactivation")) << "only once the game asks for it";
    gGame.SetUnloadOnDeactivation(true);
    gGame.Deactivate(true);
    gGame.Deactivate(true);
    EXPECT_EQ(Count(m_log.Messages(), "Unloading resources on deactivation"), 1u);
    EXPECT_EQ(Count(m_log.Messages(), "NorvexRenderer::SetLoadingScreen NULL"), 1u) << "no screen to show, one hide";
    gGame.Activate(true);
    EXPECT_EQ(Count(m_log.Messages(), "Loading unloaded resources"), 1u);
    gGame.Deactivate(true);
    EXPECT_EQ(Count(m_log.Messages(), "Unloading resources on deactivation"), 2u) << "reloaded, so unloaded again";
    gGame.Activate(true);
    gGame.SetUnloadOnDeactivation(false);
}
