// The sequence spawner: pauses folded into minimal start times, tracks split after actions of no
// length, refused classes and calls out of turn, and spawned sequences that lookups still find.
#include "gameplay/sequences/SequenceSpawner.h"

#include "engine/Game.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceAction.h"
#include "gameplay/sequences/SequenceClassRegistration.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// A pause of the spawner's own kind, and a plain action, both defined here.
class SequenceActionWait : public SequenceAction
{
    RTTI_DECLARE_CLASS(SequenceActionWait, SequenceAction)
};
RTTI_DEFINE_CLASS(SequenceActionWait, SequenceAction)
void SequenceActionWait::BuildClassProperties(RTTIPropertiesBase&) {}

class SequenceSpawnerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSequenceClasses();
        SequenceActionWait::RegisterRTTIClass();
        gSequenceSystem.Reset();
        m_log.Clear();
    }
    void TearDown() override { gSequenceSystem.Reset(); }

    // Appends an action of `className` lasting `time` seconds.
    void Action(const char* className, const char* time)
    {
        ASSERT_TRUE(gSequenceSpawner.AppendAction(className));
        gSequenceSpawner.AppendActionParam("Time", time);
    }
    static std::string Describe(const Sequence& sequence)
    {
        std::string text;
        for (const SequenceTrack* track : sequence.GetTracks())
        {
            text += std::string(track->GetName().CStr()) + ":";
            for (const SequenceAction* action : track->GetActions())
                text += " " + std::to_string(int(action->GetTime())) + "@" +
                        std::to_string(int(action->GetMinimalStartTime()));
            text += ";";
        }
        return text;
    }

    ConsoleCapture m_log;
};
} // namespace

TEST_F(SequenceSpawnerTest, PausesFoldIntoStartTimesAndActionsAfterAZeroLengthOneSplitOff)
{
    gSequenceSpawner.BeginSequenceSpawn("Folded");
    gSequenceSpawner.AppendTrack("Main");
    Action("SequenceActionRaiseSemaphore", "2");
    Action("SequenceActionWait", "3");
    Action("SequenceActionRaiseSemaphore", "1");
    gSequenceSpawner.AppendTrack("Other");
    Action("SequenceActionRaiseSemaphore", "3");
    Action("SequenceActionRaiseSemaphore", "0");
    Action("SequenceActionRaiseSemaphore", "2");
    Action("SequenceActionRaiseSemaphore", "0");
    Action("SequenceActionRaiseSemaphore", "1");
    gSequenceSpawner.EndSequenceSpawn();
    EXPECT_EQ(gSequenceSpawner.GetSequenceBeingBuilt(), nullptr);
    const Sequence* spawned = gSequenceSystem.FindSequence("folded");
    ASSERT_NE(spawned, nullptr);
    // The pass goes on in each new track, so a second zero-length action splits again.
    EXPECT_EQ(Describe(*spawned), "Main: 2@0 1@5;Other: 3@0 0@3;Track002: 2@3 0@5;Track003: 1@5;");
    EXPECT_FLOAT_EQ(spawned->GetTracks()[2]->GetStartDelay(), 3.0f);
    EXPECT_FLOAT_EQ(spawned->GetTracks()[3]->GetStartDelay(), 5.0f);

    // Run: a split-off track starts its first action when the one it followed would have ended.
    gGame.GetGameTimer().Reset();
    gSequenceSystem.Enable(true);
    ASSERT_NE(gSequenceSystem.StartSequence("Folded", false, true), nullptr);
    const SequenceTrack* split = spawned->GetTracks()[2];
    float startedAt = -1.0f;
    for (int frame = 1; frame <= 50 && startedAt < 0.0f; ++frame)
    {
        gGame.GetGameTimer().Tick(0.1f);
        gSequenceSystem.Update();
        if (split->GetCurrentIndex() >= 0)
            startedAt = float(frame) * 0.1f;
    }
    EXPECT_NEAR(startedAt, 3.0f, 0.11f);
    gSequenceSystem.Enable(false);
}

TEST_F(SequenceSpawnerTest, SpawnedSequencesKeepLookupsWholeAndNamesUnique)
{
    for (const char* name : {"Mike", "alpha", "Zulu", "kilo", "Bravo"})
    {
        gSequenceSpawner.BeginSequenceSpawn(name);
        gSequenceSpawner.AppendTrack("T");
        gSequenceSpawner.EndSequenceSpawn();
    }
    for (const char* name : {"MIKE", "Alpha", "zulu", "KILO", "bravo"})
        EXPECT_NE(gSequenceSystem.FindSequence(name), nullptr) << name;
    gSequenceSpawner.BeginSequenceSpawn("ZULU");
    gSequenceSpawner.EndSequenceSpawn();
    EXPECT_EQ(gSequenceSystem.GetSequenceCount(), 5);
    // A new spawn discards an unfinished one.
    gSequenceSpawner.BeginSequenceSpawn("Dropped");
    gSequenceSpawner.BeginSequenceSpawn("Kept");
    gSequenceSpawner.EndSequenceSpawn();
    EXPECT_EQ(gSequenceSystem.FindSequence("Dropped"), nullptr);
    EXPECT_NE(gSequenceSystem.FindSequence("Kept"), nullptr);
}

TEST_F(SequenceSpawnerTest, UnknownClassesAndCallsOutOfTurnAreRefusedWithAWord)
{
    gSequenceSpawner.AppendTrack("Early");
    EXPECT_FALSE(gSequenceSpawner.AppendAction("SequenceActionRaiseSemaphore"));
    gSequenceSpawner.AppendActionParam("Time", "1");
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_WARNING), 3u);
    gSequenceSpawner.BeginSequenceSpawn("Typo");
    gSequenceSpawner.AppendTrack("T");
    ASSERT_TRUE(gSequenceSpawner.AppendAction("SequenceActionRaiseSemaphore"));
    m_log.Clear();
    EXPECT_FALSE(gSequenceSpawner.AppendAction("SequenceActionRaiseSemafore"));
    EXPECT_TRUE(m_log.Contains("Action SequenceActionRaiseSemafore not found in class factory! Ommiting...",
                               CONSOLE_WARNING));
    // The parameter goes to the action before the misspelt one.
    gSequenceSpawner.AppendActionParam("Time", "4");
    gSequenceSpawner.AppendActionParam("NoSuchProperty", "4");
    EXPECT_TRUE(m_log.Contains("NoSuchProperty of SequenceActionRaiseSemaphore was not set", CONSOLE_WARNING));
    gSequenceSpawner.EndSequenceSpawn();
    const Sequence* typo = gSequenceSystem.FindSequence("Typo");
    ASSERT_NE(typo, nullptr);
    ASSERT_EQ(typo->GetTracks()[0]->GetActions().Count(), 1);
    EXPECT_FLOAT_EQ(typo->GetTracks()[0]->GetActions()[0]->GetTime(), 4.0f);
}
