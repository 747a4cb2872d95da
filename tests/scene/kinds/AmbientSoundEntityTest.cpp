// Ambient sounds on the real sound engine over the audio stand-in: when they start, how the seeded
// random delay schedules each next play on the game timer, what a looping entry, an unknown entry
// and a stop do, their compound elements, and the record order of the template and the entity
// through a scene file.
#include "scene/kinds/AmbientSoundEntity.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "audio/sound/SoundInstanceBase.h"
#include "core/math/RandomGenerator.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RecordStream.h"
#include "engine/Game.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "platform/os/Clock.h"
#include "scene/kinds/AmbientSoundTemplate.h"
#include "scene/kinds/CompoundEntity.h"
#include "scene/kinds/CompoundTemplate.h"
#include "scene/templates/BinarySceneReader.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateBodyReader.h"
#include "scene/templates/TemplateManager.h"
#include "support/RecordingGameDelegate.h"
#include "support/SceneTestSupport.h"
#include "support/SoundTestHarness.h"
#include "support/TemplateTestSupport.h"
#include "tools/datakit/CompoundTemplateWriter.h"
#include "tools/datakit/RecordText.h"
#include "tools/datakit/SceneWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kSeed = 0x12345678u;

// The delays the entity should draw from a generator seeded with kSeed: entry delay plus the
// draw's share of the variance, the draw being bits 16-31 of the linear state before each step.
std::vector<float> ExpectedDelays(float delay, float variance, size_t count)
{
    std::vector<float> delays;
    uint32_t state = kSeed;
    for (size_t i = 0; i < count; ++i)
    {
        delays.push_back(delay + float(state >> 16) / 65536.0f * variance);
        state = state * 214013u + 2531011u;
    }
    return delays;
}

// The record of `object` as the table's class (and that class's bases) would write it.
std::vector<uint8_t> ThroughTable(const RTTIPropertiesBase& table, const RTTIPolyBaseClass& object)
{
    RecordOutput size(nullptr, 0, false);
    table.SerializeObject(size, &object, 0);
    std::vector<uint8_t> bytes(size.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    table.SerializeObject(out, &object, 0);
    return bytes;
}

int64_t Ticks(float seconds)
{
    return int64_t(double(seconds) * double(os::kCounterFrequency));
}

class AmbientSoundEntityTest : public SceneTest
{
protected:
    void SetUp() override
    {
        // Frozen clock: after its first cycle the sound thread never updates (or ends) an instance.
        os::EnableManualCounter(1000 * os::kCounterFrequency);
        SceneTest::SetUp();
        ASSERT_TRUE(m_sound.Start());
        for (int i = 0; i < 5000 && m_sound.Engine().GetCycleCount() == 0; ++i)
            os::Sleep(1);
        ASSERT_NE(m_sound.Engine().GetCycleCount(), 0u);
        gGame.Init(&m_delegate);
        AddEntry("Birds", false, 2.0f, 4.0f, "birds.ogg");
        AddEntry("Wind", true, 3.0f, 1.0f, "wind.ogg");
        const uint32_t seed[5] = {kSeed, 1, 2, 3, 4};
        gRandomGenerators[0].Seed(seed);
        m_log.Clear();
    }
    void TearDown() override
    {
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        gEntityManager.NewScene();
        gGame.Close();
        gSoundEntriesContainer.RemoveAllSoundEntries();
        SceneTest::TearDown();
        gTemplateManager.Clear();
        m_sound.Engine().Flush();
        os::DisableManualCounter();
    }

    static void AddEntry(const char* name, bool loop, float delay, float variance, const char* file)
    {
        SoundEntryParams params;
        params.AddSound(file);
        params.Loop = loop;
        params.RandomDelay = delay;
        params.RandomVar = variance;
        ASSERT_TRUE(gSoundEntriesContainer.AddSoundEntry(name, params));
    }

    AmbientSoundTemplate* MakeAmbient(const char* entry)
    {
        auto* made = new AmbientSoundTemplate;
        made->SetSoundEntry(entry);
        m_templates.emplace_back(made);
        return made;
    }

    AmbientSoundEntity* Create(AmbientSoundTemplate* ambient, float x = 0.0f)
    {
        Entity* entity = gEntityManager.CreateEntity(ambient, nullptr, Translation(x, 0.0f, 0.0f),
                                                     ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr);
        return dynamic_cast<AmbientSoundEntity*>(entity);
    }

    static bool SetActiveAtStart(AmbientSoundEntity& entity, const char* value)
    {
        std::string error;
        return RecordFromText(entity, std::string("ActiveAtStart = ") + value, error);
    }

    static ScriptSchedulerHelper& Scheduler() { return *gGame.GetGameScheduler(); }

    // The due time of the entity's pending play, or -1 when none is pending.
    static int64_t PendingPlay(const Entity* owner)
    {
        int64_t due = -1;
        for (const ScheduledScriptCall& call : Scheduler().GetCalls())
            if (call.owner.Get() == owner && (call.flags & ScheduledScriptCall::FLAG_NAMED) == 0 &&
                call.id == AmbientSoundEntity::kPlayCallback)
            {
                EXPECT_EQ(due, -1) << "one pending play at a time";
                due = call.dueTicks;
            }
        return due;
    }

    // Moves the game timer to `ticks` and runs what came due.
    static void RunGameUntil(int64_t ticks)
    {
        gGame.GetGameTimer().ResetTime(uint64_t(ticks));
        gGame.UpdateSchedulers();
    }

    std::vector<SoundTestHarness::InstanceSnapshot> InstancesOf(const Entity* entity)
    {
        std::vector<SoundTestHarness::InstanceSnapshot> mine;
        for (const auto& instance : m_sound.Instances())
            if (instance.emitter != nullptr && instance.emitter == entity->FindSoundEmitter())
                mine.push_back(instance);
        return mine;
    }

    RecordingGameDelegate m_delegate;
    SoundTestHarness m_sound;
};
} // namespace

TEST_F(AmbientSoundEntityTest, ActiveAtStartPlaysAfterEachSeededDelayAndSchedulesTheNextPlay)
{
    AmbientSoundEntity* birds = Create(MakeAmbient("Birds"), 7.0f);
    ASSERT_NE(birds, nullptr);
    EXPECT_TRUE(birds->IsActiveAtStart());
    EXPECT_FALSE(birds->IsPlaying());
    const std::vector<float> delays = ExpectedDelays(2.0f, 4.0f, 3);

    RunGameUntil(Ticks(1.0f));
    birds->PostCreateInit();
    EXPECT_TRUE(birds->IsPlaying());
    EXPECT_TRUE(InstancesOf(birds).empty()) << "the first play waits for the delay";
    EXPECT_EQ(gGame.GetGameplayScheduler()->GetCount(), 0) << "the game timer, not the gameplay one";
    int64_t due = PendingPlay(birds);
    EXPECT_EQ(due, Ticks(1.0f) + Ticks(delays[0]));

    RunGameUntil(due - 1);
    EXPECT_TRUE(InstancesOf(birds).empty());
    for (size_t play = 1; play <= 2; ++play)
    {
        RunGameUntil(due);
        const auto instances = InstancesOf(birds);
        ASSERT_EQ(instances.size(), play);
        EXPECT_EQ(instances.back().name, "birds.ogg");
        const int64_t next = PendingPlay(birds);
        EXPECT_EQ(next, due + Ticks(delays[play])) << "play " << play;
        due = next;
    }
    // A second post-create initialisation of a playing entity starts nothing more.
    birds->PostCreateInit();
    EXPECT_EQ(Scheduler().GetCount(), 1);
}

TEST_F(AmbientSoundEntityTest, StartingALoopingEntryPlaysItOnceAndSchedulesNothing)
{
    AmbientSoundEntity* wind = Create(MakeAmbient("Wind"));
    ASSERT_NE(wind, nullptr);
    wind->Start(true);
    EXPECT_TRUE(wind->IsPlaying());
    auto instances = InstancesOf(wind);
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].name, "wind.ogg");
    EXPECT_EQ(Scheduler().GetCount(), 0);

    // Already playing: nothing happens.
    wind->Start(true);
    wind->Start(false);
    EXPECT_EQ(InstancesOf(wind).size(), 1u);
    EXPECT_EQ(Scheduler().GetCount(), 0);

    // Without "play now" the looping entry waits for its delay, then plays once more and stops there.
    AmbientSoundEntity* later = Create(MakeAmbient("Wind"));
    later->Start(false);
    EXPECT_TRUE(InstancesOf(later).empty());
    const int64_t due = PendingPlay(later);
    EXPECT_EQ(due, Ticks(ExpectedDelays(3.0f, 1.0f, 1)[0]));
    RunGameUntil(due);
    EXPECT_EQ(InstancesOf(later).size(), 1u);
    EXPECT_EQ(Scheduler().GetCount(), 0);
}

TEST_F(AmbientSoundEntityTest, StartingAPlainEntryNowPlaysAtOnceAndSchedulesTheNext)
{
    AmbientSoundEntity* birds = Create(MakeAmbient("Birds"));
    birds->Start(true);
    const auto instances = InstancesOf(birds);
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].emitter, birds->FindSoundEmitter()) << "played at the entity";
    EXPECT_EQ(PendingPlay(birds), Ticks(ExpectedDelays(2.0f, 4.0f, 1)[0]));
}

TEST_F(AmbientSoundEntityTest, StopFadesEverySoundOfTheEntityAndCancelsThePendingPlay)
{
    AmbientSoundEntity* birds = Create(MakeAmbient("Birds"));
    AmbientSoundEntity* other = Create(MakeAmbient("Birds"), 5.0f);
    birds->Start(true);
    birds->PlaySound("extra.wav", nullptr);
    other->Start(true);
    const int64_t due = PendingPlay(birds);
    ASSERT_GT(due, 0);

    birds->Stop();
    EXPECT_FALSE(birds->IsPlaying());
    EXPECT_EQ(PendingPlay(birds), -1);
    const auto instances = InstancesOf(birds);
    ASSERT_EQ(instances.size(), 2u);
    for (const auto& instance : instances)
    {
        EXPECT_NE(instance.stateBits & SOUND_STATE_STOPPING, 0u) << instance.name;
        TimedFloatTransition fade = instance.volume;
        ASSERT_TRUE(fade.IsActive()) << instance.name;
        EXPECT_FLOAT_EQ(fade.GetTarget(), 0.0f);
        fade.Update(instance.cycleTime + Time(os::kCounterFrequency * 15 / 100));
        EXPECT_NEAR(fade.GetCurrent(), 0.5f, 0.01f) << "half way through 0.3 s";
        fade.Update(instance.cycleTime + Time(os::kCounterFrequency * 31 / 100));
        EXPECT_FALSE(fade.IsActive());
    }
    for (const auto& instance : InstancesOf(other))
        EXPECT_EQ(instance.stateBits & SOUND_STATE_STOPPING, 0u) << "another ambient sound plays on";

    // The cancelled play never comes; the other entity's does.
    RunGameUntil(due + Ticks(60.0f));
    EXPECT_EQ(InstancesOf(birds).size(), 2u);
    EXPECT_EQ(InstancesOf(other).size(), 2u);

    // Stopped twice is stopped once; a new start plays again.
    birds->Stop();
    EXPECT_EQ(PendingPlay(other) > 0, true);
    birds->Start(true);
    EXPECT_TRUE(birds->IsPlaying());
    EXPECT_EQ(InstancesOf(birds).size(), 3u);
    EXPECT_GT(PendingPlay(birds), 0);
}

TEST_F(AmbientSoundEntityTest, AnUnknownEntryNeverPlaysAndSchedulesNothing)
{
    AmbientSoundEntity* lost = Create(MakeAmbient("Thunder"));
    lost->PostCreateInit();
    EXPECT_TRUE(lost->IsPlaying());
    EXPECT_EQ(Scheduler().GetCount(), 0);
    lost->Stop();
    lost->Start(true);
    EXPECT_EQ(Scheduler().GetCount(), 0);
    EXPECT_TRUE(InstancesOf(lost).empty());
    EXPECT_TRUE(m_log.Contains("Attempt to play nonexistent sound entry Thunder", CONSOLE_ERROR));
    EXPECT_EQ(gRandomGenerators[0].GetState()[0], kSeed) << "no delay was drawn";

    AmbientSoundEntity* unnamed = Create(MakeAmbient(nullptr));
    unnamed->PostCreateInit();
    EXPECT_EQ(Scheduler().GetCount(), 0);
}

TEST_F(AmbientSoundEntityTest, WithoutActiveAtStartNothingPlaysUntilStarted)
{
    AmbientSoundEntity* birds = Create(MakeAmbient("Birds"));
    ASSERT_TRUE(SetActiveAtStart(*birds, "0"));
    birds->PostCreateInit();
    EXPECT_FALSE(birds->IsPlaying());
    EXPECT_EQ(Scheduler().GetCount(), 0);
    birds->Start(false);
    EXPECT_TRUE(birds->IsPlaying());
    EXPECT_TRUE(InstancesOf(birds).empty());
    EXPECT_EQ(Scheduler().GetCount(), 1);
}

// Callback 6 is the play, whichever road it comes by; other codes keep the Entity's meaning.
TEST_F(AmbientSoundEntityTest, CodeSixPlaysAndOtherCodesAreTheEntitys)
{
    AmbientSoundEntity* birds = Create(MakeAmbient("Birds"));
    birds->RequestDelete(AmbientSoundEntity::kPlayCallback);
    EXPECT_EQ(InstancesOf(birds).size(), 1u);
    EXPECT_GT(PendingPlay(birds), 0);
    birds->OnScheduledCallback(5);
    EXPECT_EQ(InstancesOf(birds).size(), 1u);
    EXPECT_EQ(Scheduler().GetCount(), 1);

    const uint32_t live = gEntityManager.GetLiveEntityCount();
    birds->RequestDelete(0);
    EXPECT_EQ(gEntityManager.GetLiveEntityCount(), live - 1) << "code 0 still deletes";
    RunGameUntil(Ticks(60.0f));
    EXPECT_EQ(Scheduler().GetCount(), 0) << "a dead entity's play is dropped";
}

// Each class's own properties come before its base's (the chain sorted by class name), so the
// ambient sound's come first in both records, and the scene file gives them back.
TEST_F(AmbientSoundEntityTest, OwnPropertiesLeadTheRecordsAndSurviveASceneFile)
{
    AmbientSoundTemplate* named = MakeAmbient("Birds");
    std::vector<uint8_t> expected = {1, 'B', 'i', 'r', 'd', 's', 0};
    const std::vector<uint8_t> compoundPart = ThroughTable(*CompoundTemplate::StaticClassProperties(), *named);
    expected.insert(expected.end(), compoundPart.begin(), compoundPart.end());
    EXPECT_EQ(SceneWriter::Payload(*named, 0), expected);
    EXPECT_EQ(SceneWriter::Payload(*MakeAmbient(nullptr), 0)[0], 0) << "no entry: one byte 0";

    // The template body reads back into a fresh template.
    SimpleGUID guid;
    guid.bytes[0] = 0xA7;
    const std::vector<uint8_t> body = SceneWriter::BuildTemplateBody(*named, guid, AmbientSoundTemplate::kTypeId);
    AmbientSoundTemplate readBack;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(readBack, body.data(), body.size()));
    EXPECT_STREQ(readBack.GetSoundEntry().CStr(), "Birds");
    EXPECT_EQ(readBack.GetTypeId(), AmbientSoundTemplate::kTypeId);

    EntityTemplateStub* stub = RegisterStubAtPath("ambient/Birds", guid, nullptr);
    ASSERT_NE(stub, nullptr);
    AmbientSoundTemplate* registered = new AmbientSoundTemplate;
    registered->SetSoundEntry("Birds");
    stub->SetTemplate(registered);

    AmbientSoundEntity* quiet = Create(registered, 12.0f);
    quiet->SetName("Quiet");
    ASSERT_TRUE(SetActiveAtStart(*quiet, "0"));
    const std::vector<uint8_t> off = SceneWriter::Payload(*quiet, 0);
    std::vector<uint8_t> expectedEntity = {0};
    const std::vector<uint8_t> compoundEntityPart = ThroughTable(*CompoundEntity::StaticClassProperties(), *quiet);
    expectedEntity.insert(expectedEntity.end(), compoundEntityPart.begin(), compoundEntityPart.end());
    EXPECT_EQ(off, expectedEntity) << "\"ActiveAtStart\", then the compound entity's record";
    ASSERT_TRUE(SetActiveAtStart(*quiet, "1"));
    EXPECT_EQ(SceneWriter::Payload(*quiet, 0)[0], 1);
    ASSERT_TRUE(SetActiveAtStart(*quiet, "0"));

    SceneFileContents contents;
    contents.entities = {{quiet, guid, 0xFFFFFFFFu}};
    const std::vector<uint8_t> scene = SceneWriter::BuildBinaryScene(contents);
    gEntityManager.NewScene();
    ASSERT_TRUE(BinarySceneReader::LoadBinaryScene(scene.data(), scene.size(), 1, 0, 255));
    auto* loaded = dynamic_cast<AmbientSoundEntity*>(gEntityManager.FindEntityByName("Quiet"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_FALSE(loaded->IsActiveAtStart());
    EXPECT_FLOAT_EQ(loaded->GetLocalPosition().x, 12.0f);
    EXPECT_EQ(SceneWriter::Payload(*loaded, 0), off);
    loaded->PostCreateInit();
    EXPECT_FALSE(loaded->IsPlaying());
}

// An ambient sound is a compound: it builds its elements, and its post-create initialisation hides
// the "HiddenInGame" ones as a compound's does before playing starts.
TEST_F(AmbientSoundEntityTest, ElementsAreBuiltAndHiddenInGameAsACompoundsAre)
{
    SimpleGUID guid;
    guid.bytes[0] = 0x4E;
    EntityTemplateStub* stub = RegisterStubAtPath("props/Horn", guid, nullptr);
    ASSERT_NE(stub, nullptr);
    EntityTemplate* horn = new EntityTemplate;
    horn->SetStaticBoundingBox(CenteredBox(0.5f));
    stub->SetTemplate(horn);
    AmbientSoundTemplate* ambient = MakeAmbient("Birds");
    CompoundElementSpec speaker;
    speaker.name = "Speaker";
    speaker.templateName = "props/Horn";
    speaker.location = Translation(0.0f, 2.0f, 0.0f);
    speaker.hiddenInGame = true;
    CompoundTemplateWriter::AddElements(*ambient, {speaker});
    ambient->ResolveElementsAfterLoad();

    AmbientSoundEntity* birds = Create(ambient, 3.0f);
    ASSERT_EQ(birds->GetChildren().Count(), 1);
    Entity* element = birds->GetChildren()[0];
    EXPECT_STREQ(element->GetName(), "~Speaker");
    EXPECT_FLOAT_EQ(element->GetGlobalPosition().y, 2.0f);
    EXPECT_FALSE(element->HasFlag(ENTITYFLAG_HIDDEN));
    birds->PostCreateInit();
    EXPECT_TRUE(element->HasFlag(ENTITYFLAG_HIDDEN));
    EXPECT_TRUE(birds->IsPlaying());
    EXPECT_GT(PendingPlay(birds), 0);
}
