// The sound package seen from scripts: the parameter block class with its shared defaults, the
// start-flag and class constants, gSoundEngine driving real playback, and the sound entries added
// and queried through gSoundEntriesContainer.
#include "support/SoundTestBase.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundInstanceBase.h"
#include "engine/scripting/LuaWrapper.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"

#include <gtest/gtest.h>
#include <lua.hpp>

using SoundAnalysis::Rms;

namespace
{
class SoundPackageTest : public SoundTestBase
{
protected:
    void SetUp() override
    {
        // Each case leaves the engine as it found it, so the cases pass in one run as alone.
        ASSERT_EQ(gSoundEntriesContainer.GetEntryCount(), 0) << "an earlier case left sound entries behind";
        Start(m_sound);
        ASSERT_TRUE(gLua.Init());
    }
    void TearDown() override
    {
        gSoundEntriesContainer.RemoveAllSoundEntries();
        gSoundEntriesContainer.SetSoundEntriesNameSuffix(nullptr);
        gLua.Close();
    }

    void Run(const char* chunk) { ASSERT_TRUE(gLua.LoadAndCall(chunk, 0)) << chunk; }
    double Number(const char* expression)
    {
        const std::string chunk = std::string("return ") + expression;
        if (!gLua.LoadAndCall(chunk.c_str(), 1))
            return -12345.0;
        const double value = lua_tonumber(gLua.GetState(), -1);
        lua_pop(gLua.GetState(), 1);
        return value;
    }

    SoundTestHarness m_sound;
};
} // namespace

TEST_F(SoundPackageTest, ParameterBlocksStartFromTheSharedDefaults)
{
    EXPECT_EQ(Number("SoundParamWrapper.DEFAULT.LoopCount"), 1.0);
    EXPECT_EQ(Number("SoundParamWrapper.DEFAULT.FullVolumeRange"), 3.0);
    EXPECT_EQ(Number("SoundParamWrapper.DEFAULT.StreamingBufferSize"), 65536.0);
    Run("gParams = SoundParamWrapper:Instance() gParams.Volume = 0.25 gParams.Channel = 7 gParams.Flags = 3");
    EXPECT_EQ(Number("gParams.Volume"), 0.25);
    EXPECT_EQ(Number("gParams.Channel"), 7.0);
    EXPECT_EQ(Number("SoundParamWrapper.DEFAULT.Volume"), 1.0) << "a block is a copy, not the defaults";
    Run("gParams:LoadDefaults()");
    EXPECT_EQ(Number("gParams.Volume"), 1.0);
    EXPECT_EQ(Number("gParams.Channel"), 0.0);
    EXPECT_EQ(Number("gParams.Flags"), 0.0);
    EXPECT_EQ(Number("gParams.ZeroVolumeRange"), 0.0);
    EXPECT_EQ(Number("gParams.StereoSoundChannelDistance"), 1.0);
}

TEST_F(SoundPackageTest, ConstantsCarryTheirValuesAndOnlyTheScriptVisibleFlagsExist)
{
    const std::pair<const char*, double> constants[] = {
        {"SOUNDSTARTFLAG_STREAMED", 1},     {"SOUNDSTARTFLAG_ABSOULUTEPATH", 2}, {"SOUNDSTARTFLAG_MUSIC", 4},
        {"SOUNDSTARTFLAG_JUSTLOAD", 8},     {"SOUNDSTARTFLAG_IPHONEMP3", 16},    {"SOUNDSTARTFLAG_NOATTENUATION", 32},
        {"SOUNDSTARTFLAG_IMPORTANT", 64},   {"SOUNDCLASS_SFX", 0},               {"SOUNDCLASS_MUSIC", 1},
        {"SOUNDCLASS_VOICE", 2},
    };
    for (const auto& [name, value] : constants)
        EXPECT_EQ(Number(name), value) << name;
    EXPECT_EQ(Number("SOUNDSTARTFLAG_TRUE3D == nil and 1 or 0"), 1.0);
    EXPECT_EQ(Number("SOUNDSTARTFLAG_FIRSTFILEFIRST == nil and 1 or 0"), 1.0);
}

TEST_F(SoundPackageTest, ScriptsPlayStopAndChangeSoundsThroughTheGlobal)
{
    Run("local p = SoundParamWrapper:Instance() p.LoopCount = 0 p.Channel = 3 gId = gSoundEngine:PlaySystemSound('tone.ogg', p)");
    EXPECT_EQ(Number("gId"), 1.0);
    ASSERT_TRUE(m_sound.WaitForVoices(1));
    Run("gSoundEngine:SetVolume(gId, 0.5, 0, 0)");
    m_sound.WaitCycles(3);
    m_sound.Render(200);
    EXPECT_NEAR(Rms(m_sound.Take()[0], 0, 9600), 0.177, 0.01);

    Run("gSoundEngine:PauseSound(gId, 0)");
    m_sound.WaitCycles(3);
    m_sound.Render(100);
    EXPECT_EQ(Rms(m_sound.Take()[0], 0, 4800), 0.0);
    Run("gSoundEngine:ResumeSound(gId, 0)");
    m_sound.WaitCycles(3);
    m_sound.Render(100);
    EXPECT_GT(Rms(m_sound.Take()[0], 0, 4800), 0.1);
    Run("gSoundEngine:SetFrequencyRatio(gId, 0.5, 0, 0)");
    m_sound.WaitCycles(3);
    EXPECT_FLOAT_EQ(m_sound.Instances()[0].lastVoiceRatio, 0.5f);

    // Without arguments StopSound ends every sound at once.
    Run("gSoundEngine:PlaySystemSound('tone.ogg')");
    ASSERT_TRUE(m_sound.WaitForVoices(2));
    Run("gSoundEngine:StopSound()");
    EXPECT_EQ(m_sound.InstanceCount(), 0u);
    EXPECT_FALSE(gLua.LoadAndCall("gSoundEngine:SetChannelVolume(16, 1, 0, 0) error('x')", 0));
    EXPECT_TRUE(m_log.Contains("SetChannelVolume - channel 16 out of range", CONSOLE_ERROR));
}

// Scripts play entries at an entity and drive the entity's own sounds; its methods reach only its
// sounds, whatever else plays.
TEST_F(SoundPackageTest, ScriptsPlayAtEntitiesAndDriveTheirSounds)
{
    RegisterSceneClasses();
    gEntityManager.Init(BoundingBox4(Vector(-50, -50, -50, 1), Vector(50, 50, 50, 1)), 10.0f);
    EntityTemplate entityTemplate;
    Entity* hero = gEntityManager.CreateEntity(&entityTemplate, nullptr, Matrix::ONE,
                                               ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr);
    ASSERT_NE(hero, nullptr);
    hero->SetName("Hero");
    Run("local p = SoundEntryParams:Instance() p:AddSound('tone.ogg') p.Attenuate = true p.Loop = true "
        "gSoundEntriesContainer:AddSoundEntry('Step', p) "
        "gHero = gEntityManager:FindEntityByName('Hero') "
        "gEntry = gSoundEntriesContainer:PlaySoundEntry('Step', gHero, 1) "
        "local loop = SoundParamWrapper:Instance() loop.LoopCount = 0 "
        "gOwn = gHero:PlaySound('tone.ogg', loop) "
        "gOther = gSoundEngine:PlaySystemSound('tone.ogg', loop)");
    EXPECT_GT(Number("gEntry"), 0.0);
    EXPECT_GT(Number("gOwn"), Number("gEntry"));
    ASSERT_NE(hero->FindSoundEmitter(), nullptr);
    ASSERT_TRUE(m_sound.WaitForVoices(3));

    Run("gHero:PauseSound(gOwn) gHero:SetVolume(0.5) gHero:SetSoundAltitudeOverride(4) gHero:ExitLoop(gEntry)");
    auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 3u);
    EXPECT_NE(instances[1].stateBits & SOUND_STATE_PAUSED, 0u);
    EXPECT_EQ(instances[0].stateBits & SOUND_STATE_PAUSED, 0u);
    EXPECT_FLOAT_EQ(instances[0].volume.GetCurrent(), 0.5f);
    EXPECT_FLOAT_EQ(instances[2].volume.GetCurrent(), 1.0f);
    // The engine's pause and resume may name an owner: only that entity's sounds (none for an owner
    // that never sounded, the scene root here).
    Run("gHero:ResumeSound(gOwn) gSoundEngine:PauseSound(0xFFFFFFFF, 0, gHero) "
        "gSoundEngine:PauseSound(0xFFFFFFFF, 0, gEntityManager:GetSceneRoot())");
    instances = m_sound.Instances();
    EXPECT_EQ(instances[0].stateBits & instances[1].stateBits & ~instances[2].stateBits & SOUND_STATE_PAUSED,
              uint32_t(SOUND_STATE_PAUSED));
    Run("gSoundEngine:ResumeSound(0xFFFFFFFF, 0, gHero)");
    EXPECT_EQ((m_sound.Instances()[0].stateBits | m_sound.Instances()[1].stateBits) & SOUND_STATE_PAUSED, 0u);
    Run("gHero:ResumeSound(gOwn) gHero:StopSound(gEntry) gHero:StopAllSounds()");
    instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].id, uint32_t(Number("gOther")));
    Run("gSoundEngine:StopSound()");
    gEntityManager.DestroyScene();
}

TEST_F(SoundPackageTest, ScriptsAddAndQuerySoundEntries)
{
    Run("local p = SoundEntryParams:Instance()\n"
        "p:AddSound('wind.ogg') p:AddSound('rain.ogg')\n"
        "p.Loop = true p.Volume = 0.5 p.RandomDelay = 2 p.RandomVar = 0.25 p.Attenuate = false\n"
        "gAdded = gSoundEntriesContainer:AddSoundEntry('Ambience', p)\n"
        "gAgain = gSoundEntriesContainer:AddSoundEntry('AMBIENCE', p)\n"
        "gFound, gDelay, gVariance = gSoundEntriesContainer:GetSoundEntryRandomTimeValues('Ambience', 0, 0)\n"
        "gMissing = gSoundEntriesContainer:GetSoundEntryRandomTimeValues('none', 0, 0)\n"
        "gSoundEntriesContainer:SetSoundEntriesNameSuffix('_night')\n");
    EXPECT_EQ(Number("gAdded and 1 or 0"), 1.0);
    EXPECT_EQ(Number("gAgain and 1 or 0"), 0.0);
    EXPECT_EQ(Number("gSoundEntriesContainer:IsSoundEntryLooped('ambience') and 1 or 0"), 1.0);
    EXPECT_EQ(Number("gFound and 1 or 0"), 1.0);
    EXPECT_EQ(Number("gDelay"), 2.0);
    EXPECT_EQ(Number("gVariance"), 0.25);
    EXPECT_EQ(Number("gMissing and 1 or 0"), 0.0);
    EXPECT_EQ(Number("gSoundEntriesContainer:GetSoundEntriesNameSuffix() == '_night' and 1 or 0"), 1.0);

    ASSERT_EQ(gSoundEntriesContainer.GetEntryCount(), 1);
    const SoundEntry& entry = *gSoundEntriesContainer.m_entries[0];
    EXPECT_FLOAT_EQ(entry.m_volume, 0.5f);
    EXPECT_TRUE(entry.m_2D) << "a sound that does not attenuate is 2D";
    ASSERT_EQ(entry.m_lists.Count(), 1);
    EXPECT_EQ(entry.m_lists[0].m_sounds.Count(), 2);
}
