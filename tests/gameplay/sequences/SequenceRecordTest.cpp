// Sequences stored in a binary scene: a hand-written record (one sequence, one track, one action)
// read through the scene loader, started by name in any case, also after run-time spawns, and the
// data kit's writer round-tripping a system built in code, and an action's stored progress.
#include "gameplay/sequences/Sequence.h"

#include "core/reflection/RecordStream.h"
#include "gameplay/sequences/SequenceActions.h"
#include "gameplay/sequences/SequenceClassRegistration.h"
#include "gameplay/sequences/SequenceSpawner.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "scene/templates/BinarySceneReader.h"
#include "support/RecordBytes.h"
#include "support/SceneTestSupport.h"
#include "tools/datakit/SceneWriter.h"

#include <cstring>

namespace
{
bool SetProperty(RTTIPolyBaseClass& object, const char* name, const char* text)
{
    const RTTIProperty* property = object.GetClassProperties()->FindPropertyInClassChain(name);
    return property != nullptr && property->SetFromText(&object, text);
}

void Bytes(std::vector<uint8_t>& out, std::initializer_list<uint8_t> values)
{
    out.insert(out.end(), values);
}

void Text(std::vector<uint8_t>& out, const char* text)
{
    out.insert(out.end(), text, text + std::strlen(text) + 1);
}

void Name(std::vector<uint8_t>& out, const char* text)
{
    Bytes(out, {1});
    Text(out, text);
}

// "Sequences": the skippable sequence "Opening" with track "Camera" holding a RaiseGlobalSemaphore
// of "Lights" that lasts 0.5 s (0x3F000000).
std::vector<uint8_t> HandWrittenSequences()
{
    std::vector<uint8_t> out;
    Bytes(out, {1, 0, 0, 0, 1});
    Name(out, "Opening");
    Bytes(out, {1, 0, 0, 0, 1});                     // "Tracks": one, present
    Name(out, "Camera");                             // "Name"
    Bytes(out, {0, 0, 0});                           // "GroupName", "InGroupFlag", "GroupLabelFlag"
    Bytes(out, {1, 0, 0, 0, 1});                     // "Actions": one, present
    Text(out, "SequenceActionRaiseGlobalSemaphore"); // its class
    Bytes(out, {0, 0, 0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0}); // "Time", "Minimal start time", "EditorHelperTime"
    Bytes(out, {0, 0, 0, 0, 0});                     // "Designer comment", "Editor flags"
    Name(out, "Lights");                             // "Semaphore"
    // "Skippable" (set), "EditorPath", "UnusedEditorFlag", "AfterSkip", "RepeatingAllowedFlag"
    Bytes(out, {1, 0, 0, 0, 0});
    return out;
}

class SequenceRecordTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        RegisterSequenceClasses();
        gSequenceSystem.EnableAndReset(true);
    }
    void TearDown() override
    {
        gSequenceSystem.Reset();
        gSequenceSystem.Enable(false);
        SceneTest::TearDown();
    }
    // A scene of no entities whose sequence word is followed by `sequences`.
    static std::vector<uint8_t> Scene(const std::vector<uint8_t>& sequences)
    {
        SceneFileContents contents;
        std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
        bytes.resize(bytes.size() - 4);
        bytes.insert(bytes.end(), {1, 0, 0, 0});
        bytes.insert(bytes.end(), sequences.begin(), sequences.end());
        return bytes;
    }
};
} // namespace

TEST_F(SequenceRecordTest, AHandWrittenRecordLoadsFromASceneAndStartsByNameInAnyCase)
{
    const std::vector<uint8_t> bytes = Scene(HandWrittenSequences());
    // Read only when asked for, whatever else the load applies.
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), BinarySceneReader::kApplyNavigationGrid, 0, 255));
    EXPECT_EQ(gSequenceSystem.GetSequenceCount(), 0);
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), BinarySceneReader::kReadSequences, 0, 255));
    ASSERT_EQ(gSequenceSystem.GetSequenceCount(), 1);
    EXPECT_FALSE(m_log.Contains("follow the scene")) << "the record ends the file";
    const Sequence* opening = gSequenceSystem.FindSequence("OPENING");
    ASSERT_NE(opening, nullptr);
    ASSERT_EQ(opening->GetTracks().Count(), 1);
    const SequenceTrack* camera = opening->GetTracks()[0];
    EXPECT_STREQ(camera->GetName().CStr(), "Camera");
    ASSERT_EQ(camera->GetActions().Count(), 1);
    EXPECT_FLOAT_EQ(camera->GetActions()[0]->GetTime(), 0.5f);
    // Written back, the system gives the same bytes.
    EXPECT_EQ(SerializeToBytes(gSequenceSystem), HandWrittenSequences());

    // Spawned sequences that sort before and after it leave it findable.
    for (const char* name : {"Zeta", "Act", "Nadir"})
    {
        gSequenceSpawner.BeginSequenceSpawn(name);
        gSequenceSpawner.EndSequenceSpawn();
    }
    Sequence* const started = gSequenceSystem.StartSequence("opening", false, true);
    ASSERT_NE(started, nullptr);
    EXPECT_TRUE(started->CanSkip());
    gSequenceSystem.Update();
    EXPECT_TRUE(gSequenceSystem.IsGlobalSemaphoreRaised(NameString("Lights")));

    // Without the load flag the record is left alone; a damaged one is reported and loads nothing.
    gSequenceSystem.Reset();
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), 0, 0, 255));
    EXPECT_EQ(gSequenceSystem.GetSequenceCount(), 0);
    std::vector<uint8_t> cut = HandWrittenSequences();
    cut.resize(cut.size() - 12);
    const std::vector<uint8_t> damaged = Scene(cut);
    m_log.Clear();
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(damaged.data(), damaged.size(), BinarySceneReader::kReadSequences, 0, 255));
    EXPECT_TRUE(m_log.Contains("the sequence record is not valid", CONSOLE_ERROR));
    EXPECT_EQ(gSequenceSystem.GetSequenceCount(), 0);
    // Bytes after a whole record leave it loaded, with a word on what was left over.
    std::vector<uint8_t> padded = HandWrittenSequences();
    padded.insert(padded.end(), 200, 0xFF);
    const std::vector<uint8_t> longer = Scene(padded);
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(longer.data(), longer.size(), BinarySceneReader::kReadSequences, 0, 255));
    EXPECT_EQ(gSequenceSystem.GetSequenceCount(), 1);
    EXPECT_TRUE(m_log.Contains("Binary scene: 200 bytes follow the scene; they are ignored", CONSOLE_WARNING));
}

TEST_F(SequenceRecordTest, EmptySlotsAreSkippedWithAWordAndAnUnsortedListIsPutInOrder)
{
    std::vector<uint8_t> bytes;
    Bytes(bytes, {3, 0, 0, 0, 0, 1});          // three slots, the first empty
    Name(bytes, "Zed");
    Bytes(bytes, {1, 0, 0, 0, 1});             // one track
    Name(bytes, "T");
    Bytes(bytes, {0, 0, 0, 1, 0, 0, 0, 0});    // no group, one action slot, empty
    Bytes(bytes, {0, 0, 0, 0, 0, 1});          // the rest of "Zed"; then "Abe"
    Name(bytes, "Abe");
    Bytes(bytes, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}); // one track slot, empty
    SequenceSystem system;
    ASSERT_TRUE(system.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_TRUE(m_log.Contains("Sequence Zed: action 0 of track 0 is empty and is skipped", CONSOLE_WARNING));
    EXPECT_TRUE(m_log.Contains("Sequence Abe: track 0 is empty and is skipped", CONSOLE_WARNING));
    ASSERT_NE(system.FindSequence("abe"), nullptr);
    ASSERT_NE(system.FindSequence("zed"), nullptr);
    EXPECT_EQ(system.GetSequenceCount(), 2);
    EXPECT_STREQ(system.GetSequenceName(0), "Abe");
}

TEST_F(SequenceRecordTest, AnActionsProgressIsTheSecondsItHasRunAndRestoresItsStart)
{
    SequenceActionStopSequence action;
    action.SetStartTime(Time(20000000)); // 2 s at 10 MHz
    uint8_t bytes[4] = {};
    RecordOutput out(bytes, sizeof(bytes), false);
    action.SaveProgress(out, Time(45000000));
    float seconds = 0.0f;
    std::memcpy(&seconds, bytes, 4);
    EXPECT_FLOAT_EQ(seconds, 2.5f);
    RecordInput in(bytes, sizeof(bytes));
    ASSERT_TRUE(action.LoadProgress(in, Time(100000000)));
    EXPECT_EQ(action.GetStartTime().GetTicks(), 75000000);
    EXPECT_FALSE(action.LoadProgress(in, Time(0)));
}

TEST_F(SequenceRecordTest, TheDataKitWritesTheSystemThatTheSceneLoaderReadsBack)
{
    SequenceSystem written;
    auto* sequence = new Sequence;
    sequence->SetName("Patrol");
    auto* track = new SequenceTrack;
    track->SetName("Guard");
    auto* wait = new SequenceActionWaitForGlobalCountingSemaphoreToReach;
    ASSERT_TRUE(SetProperty(*wait, "Value", "3"));
    track->GetActions().Add(wait);
    track->GetActions().Add(new SequenceActionStopSequence);
    sequence->GetTracks().Add(track);
    ASSERT_TRUE(written.AddSequence(sequence));
    SceneFileContents contents;
    contents.sequences = &written;
    const std::vector<uint8_t> bytes = SceneWriter::BuildBinaryScene(contents);
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(bytes.data(), bytes.size(), BinarySceneReader::kReadSequences, 0, 255));
    EXPECT_EQ(SerializeToBytes(gSequenceSystem), SerializeToBytes(written));
    EXPECT_STREQ(gSequenceSystem.GetActionName(0, 0, 1), "SequenceActionStopSequence");
    EXPECT_EQ(gSequenceSystem.GetIntParamValue(0, 0, 0, 0), 3);
}
