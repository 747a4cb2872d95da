// The sound package from scripts: sound entries added with SoundEntryParams, their queries and the
// name suffix through gSoundEntriesContainer.
#include "audio/sound/SoundEntriesContainer.h"
#include "engine/scripting/ScriptTestSupport.h"

#include <gtest/gtest.h>

namespace
{
class SoundPackageTest : public ScriptTest
{
protected:
    void TearDown() override
    {
        gSoundEntriesContainer.RemoveAllSoundEntries();
        gSoundEntriesContainer.SetSoundEntriesNameSuffix(nullptr);
        ScriptTest::TearDown();
    }
};

TEST_F(SoundPackageTest, ScriptsAddAndQuerySoundEntries)
{
    Run("local p = SoundEntryParams:Instance()\n"
        "p:AddSound('wind.ogg')\n"
        "p:AddSound('rain.ogg')\n"
        "p.Loop = true\n"
        "p.Volume = 0.5\n"
        "p.RandomDelay = 2\n"
        "p.RandomVar = 0.25\n"
        "p.Attenuate = false\n"
        "added = gSoundEntriesContainer:AddSoundEntry('Ambience', p)\n"
        "again = gSoundEntriesContainer:AddSoundEntry('AMBIENCE', p)\n"
        "looped = gSoundEntriesContainer:IsSoundEntryLooped('ambience')\n"
        "found, delay, variance = gSoundEntriesContainer:GetSoundEntryRandomTimeValues('Ambience', 0, 0)\n"
        "missing = gSoundEntriesContainer:GetSoundEntryRandomTimeValues('none', 0, 0)\n"
        "gSoundEntriesContainer:SetSoundEntriesNameSuffix('_night')\n"
        "suffix = gSoundEntriesContainer:GetSoundEntriesNameSuffix()\n"
        "added, again, looped, found, missing = tostring(added), tostring(again), tostring(looped), "
        "tostring(found), tostring(missing)\n");
    EXPECT_EQ(GlobalString("added"), "true");
    EXPECT_EQ(GlobalString("again"), "false");
    EXPECT_EQ(GlobalString("looped"), "true");
    EXPECT_EQ(GlobalString("found"), "true");
    EXPECT_DOUBLE_EQ(GlobalNumber("delay"), 2.0);
    EXPECT_DOUBLE_EQ(GlobalNumber("variance"), 0.25);
    EXPECT_EQ(GlobalString("missing"), "false");
    EXPECT_EQ(GlobalString("suffix"), "_night");

    ASSERT_EQ(gSoundEntriesContainer.GetEntryCount(), 1);
    const SoundEntry& entry = *gSoundEntriesContainer.m_entries[0];
    EXPECT_FLOAT_EQ(entry.m_volume, 0.5f);
    EXPECT_TRUE(entry.m_2D) << "a sound that does not attenuate is 2D";
    ASSERT_EQ(entry.m_lists.Count(), 1);
    EXPECT_EQ(entry.m_lists[0].m_sounds.Count(), 2);
}
} // namespace
