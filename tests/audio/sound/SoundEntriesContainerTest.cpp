// ctest-labels: thread
// Sound entries: lookup with the name suffix, sorted unique names, what a play sends to the sound
// engine (read back from the instances the sound thread made), ranges and the listener altitude,
// tag lists, disabled sounds, the script parameter block and loading the container as a record.
#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "core/reflection/ObjectRecord.h"
#include "platform/os/Clock.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityConstants.h"
#include "scene/entities/EntityGameplayDelegate.h"
#include "scene/entities/EntityManager.h"
#include "scene/templates/EntityTemplate.h"
#include "support/ConsoleCapture.h"
#include "support/SoundTestHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <string>
#include <thread>

namespace
{
float gAltitude = 0.0f;
float TestAltitude()
{
    return gAltitude;
}

SoundEntryParams Params(std::initializer_list<const char*> sounds, bool attenuate = false)
{
    SoundEntryParams params;
    for (const char* sound : sounds)
        params.AddSound(sound);
    params.Attenuate = attenuate;
    return params;
}

class SoundEntriesContainerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A frozen clock: after its first cycle the sound thread never updates (or ends) an instance.
        os::EnableManualCounter(1000 * os::kCounterFrequency);
        gAltitude = 0.0f;
        SoundEntriesContainer::SetListenerAltitudeHook(&TestAltitude);
        ASSERT_TRUE(m_sound.Start());
        // Only once the first cycle has run is the clock's freeze certain to keep a sound that
        // is still loading where the tests read it.
        for (int i = 0; i < 5000 && m_sound.Engine().GetCycleCount() == 0; ++i)
            os::Sleep(1);
        ASSERT_NE(m_sound.Engine().GetCycleCount(), 0u);
    }
    void TearDown() override
    {
        SoundEntriesContainer::SetListenerAltitudeHook(nullptr);
        m_emitter->PostDestroy();
        m_sound.Engine().Flush();
        os::DisableManualCounter();
    }

    // Plays and returns what the sound thread made of it (the newest instance).
    SoundTestHarness::InstanceSnapshot PlayAndRead(const char* name, EntitySoundEmitter* emitter = nullptr,
                                                   float volume = 1.0f, const DynarraySafe<NameString>* tags = nullptr,
                                                   uint32_t flags = 0, float* outVolume = nullptr)
    {
        const uint32_t id = m_entries.PlaySoundEntryInternal(name, emitter, 3, 0.25f, volume, tags, flags, outVolume);
        EXPECT_NE(id, 0u) << name;
        const auto instances = m_sound.Instances();
        for (const auto& instance : instances)
            if (instance.id == id)
                return instance;
        ADD_FAILURE() << "no instance for " << name;
        return {};
    }

    ConsoleCapture m_log;
    SoundTestHarness m_sound;
    SoundEntriesContainer m_entries;
    EntitySoundEmitter* m_emitter = new EntitySoundEmitter();
};

TEST_F(SoundEntriesContainerTest, NamesAreSortedUniqueAndFoundWithTheSuffixFirst)
{
    ASSERT_TRUE(m_entries.AddSoundEntry("Click", Params({"click.wav"})));
    ASSERT_TRUE(m_entries.AddSoundEntry("beep", Params({"beep.wav"})));
    ASSERT_TRUE(m_entries.AddSoundEntry("click_night", Params({"night.wav"})));
    EXPECT_FALSE(m_entries.AddSoundEntry(nullptr, Params({"x.wav"})));
    EXPECT_FALSE(m_entries.AddSoundEntry("BEEP", Params({"other.wav"})));
    EXPECT_TRUE(m_log.Contains("Attempt to add sound entry with already existing name BEEP !!!", CONSOLE_ERROR));
    ASSERT_EQ(m_entries.GetEntryCount(), 3);
    EXPECT_STREQ(m_entries.m_entries[0]->m_name.CStr(), "beep");
    EXPECT_STREQ(m_entries.m_entries[1]->m_name.CStr(), "Click");
    EXPECT_STREQ(m_entries.m_entries[2]->m_name.CStr(), "click_night");

    EXPECT_EQ(PlayAndRead("CLICK").name, "click.wav");
    m_entries.SetSoundEntriesNameSuffix("_NIGHT");
    EXPECT_EQ(m_entries.GetSoundEntriesNameSuffix(), "_NIGHT");
    EXPECT_EQ(PlayAndRead("click").name, "night.wav") << "the suffixed entry first";
    EXPECT_EQ(PlayAndRead("Beep").name, "beep.wav") << "then the plain name";
    m_entries.SetSoundEntriesNameSuffix("EP");
    EXPECT_EQ(PlayAndRead("be").name, "beep.wav") << "a name known only with the suffix, first of all";
    m_entries.SetSoundEntriesNameSuffix(nullptr);
    EXPECT_EQ(PlayAndRead("click").name, "click.wav");

    EXPECT_EQ(m_entries.PlaySoundEntryInternal("nothing", nullptr, 0, 0.0f, 1.0f, nullptr, 0, nullptr), 0u);
    EXPECT_TRUE(m_log.Contains("SoundEntriesContainer: Attempt to play nonexistent sound entry nothing !!!",
                               CONSOLE_ERROR));
    m_entries.RemoveAllSoundEntries();
    EXPECT_EQ(m_entries.GetEntryCount(), 0);
}

TEST_F(SoundEntriesContainerTest, TwoDimensionalEntriesPlayWithoutRangesAndPositionedOnesNeedAnEmitter)
{
    SoundEntryParams flat = Params({"flat.wav"}, false);
    flat.Volume = 0.5f;
    flat.Pitch = 1.25f;
    flat.Important = true;
    ASSERT_TRUE(m_entries.AddSoundEntry("flat", flat));
    ASSERT_TRUE(m_entries.AddSoundEntry("placed", Params({"placed.wav"}, true)));
    EXPECT_TRUE(m_entries.m_entries[0]->m_2D) << "not attenuated: 2D";
    EXPECT_FALSE(m_entries.m_entries[1]->m_2D) << "attenuated: positioned";

    float outVolume = 0.0f;
    const auto played = PlayAndRead("flat", nullptr, 0.5f, nullptr, 0, &outVolume);
    EXPECT_EQ(played.emitter, nullptr);
    EXPECT_FLOAT_EQ(played.params.Volume, 0.25f);
    EXPECT_FLOAT_EQ(outVolume, 0.5f) << "the entry's volume, not the product";
    EXPECT_FLOAT_EQ(played.params.FrequencyRatio, 1.25f);
    EXPECT_EQ(played.params.Channel, 3u);
    EXPECT_FLOAT_EQ(played.params.StartDelay, 0.25f);
    EXPECT_EQ(played.params.LoopCount, 1u);
    EXPECT_EQ(played.params.Flags, uint32_t(SOUNDSTARTFLAG_NOATTENUATION | SOUNDSTARTFLAG_IMPORTANT));
    EXPECT_EQ(played.params.FullVolumeRange, 0.0f);
    EXPECT_EQ(played.params.ZeroVolumeRange, 0.0f);

    EXPECT_EQ(m_entries.PlaySoundEntryInternal("placed", nullptr, 0, 0.0f, 1.0f, nullptr, 0, nullptr), 0u);
    EXPECT_TRUE(m_log.Contains(
        "SoundEntriesContainer: Attempt to play 3d sound entry placed without entity specified!!!", CONSOLE_ERROR));
    const auto placed = PlayAndRead("placed", m_emitter);
    EXPECT_EQ(placed.emitter, m_emitter);
    EXPECT_EQ(placed.name, "placed.wav");
    // The caller's extra flags count as well: no attenuation asked for means no ranges.
    EXPECT_EQ(PlayAndRead("placed", m_emitter, 1.0f, nullptr, SOUNDSTARTFLAG_NOATTENUATION).params.ZeroVolumeRange,
              0.0f);
}

// Played at an entity: its gameplay delegate hears the entry first and may change the volume, and
// the sound plays at the entity's own emitter, made for it on the spot.
TEST_F(SoundEntriesContainerTest, PlayingAtAnEntityAsksItsDelegateAndPlaysAtItsEmitter)
{
    struct QuieterDelegate : EntityGameplayDelegate
    {
        void OnSoundEntryPlay(const char* entryName, float* volume) override
        {
            heard += std::string(entryName) + ";";
            *volume *= 0.5f;
        }
        std::string heard;
    } delegate;
    RegisterSceneClasses();
    gEntityManager.Init(BoundingBox4(Vector(-50, -50, -50, 1), Vector(50, 50, 50, 1)), 10.0f);
    EntityTemplate entityTemplate;
    Entity* entity = gEntityManager.CreateEntity(&entityTemplate, nullptr, Matrix::ONE,
                                                 ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr);
    ASSERT_NE(entity, nullptr);
    entity->SetGameplayDelegate(&delegate, false);
    SoundEntryParams params = Params({"step.wav"}, true);
    params.Volume = 0.8f;
    ASSERT_TRUE(m_entries.AddSoundEntry("Step", params));

    float entryVolume = 0.0f;
    const uint32_t id = m_entries.PlaySoundEntry("Step", entity, 2, 0.0f, 0.5f, nullptr, 0, &entryVolume);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(delegate.heard, "Step;");
    EXPECT_FLOAT_EQ(entryVolume, 0.8f);
    ASSERT_NE(entity->FindSoundEmitter(), nullptr);
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].id, id);
    EXPECT_EQ(instances[0].emitter, entity->FindSoundEmitter());
    EXPECT_FLOAT_EQ(instances[0].params.Volume, 0.8f * 0.5f * 0.5f);
    EXPECT_EQ(instances[0].params.Channel, 2u);

    // Without an entity the positioned entry has nowhere to play.
    EXPECT_EQ(m_entries.PlaySoundEntry("Step", nullptr, 0), 0u);
    EXPECT_EQ(delegate.heard, "Step;");
    m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
    gEntityManager.DestroyScene();
}

TEST_F(SoundEntriesContainerTest, RangesComeFromTheEntryOrTheDefaultsAndWidenWithTheListenerAltitude)
{
    SoundEntryParams ranged = Params({"r.wav"}, true);
    ranged.RangeMin = 0.0f; // a range of 0 is the entry's own, not the default
    ranged.RangeMax = 40.0f;
    ASSERT_TRUE(m_entries.AddSoundEntry("ranged", ranged));
    SoundEntryParams defaults = Params({"d.wav"}, true);
    defaults.RangeMin = -1.0f;
    defaults.RangeMax = -1.0f;
    ASSERT_TRUE(m_entries.AddSoundEntry("defaults", defaults));
    SoundEntryParams screen = ranged;
    screen.True3D = true;
    ASSERT_TRUE(m_entries.AddSoundEntry("screen", screen));

    gAltitude = 30.0f;
    auto played = PlayAndRead("ranged", m_emitter);
    EXPECT_FLOAT_EQ(played.params.FullVolumeRange, 30.0f);
    EXPECT_NEAR(played.params.ZeroVolumeRange, 50.0f, 0.01f);

    played = PlayAndRead("screen", m_emitter);
    EXPECT_FLOAT_EQ(played.params.FullVolumeRange, 0.0f);
    EXPECT_FLOAT_EQ(played.params.ZeroVolumeRange, 40.0f);
    EXPECT_NE(played.params.Flags & SOUNDSTARTFLAG_TRUE3D, 0u);

    gAltitude = 0.0f;
    played = PlayAndRead("defaults", m_emitter);
    EXPECT_FLOAT_EQ(played.params.FullVolumeRange, 50.0f);
    EXPECT_FLOAT_EQ(played.params.ZeroVolumeRange, 0.0f);
    gAltitude = 20.0f;
    played = PlayAndRead("defaults", m_emitter);
    EXPECT_NEAR(played.params.FullVolumeRange, std::sqrt(2500.0f + 400.0f), 0.01f);
    EXPECT_NEAR(played.params.ZeroVolumeRange, 20.0f, 0.01f);
    m_entries.SetSoundEntriesDefaultRanges(5.0f, 15.0f);
    gAltitude = 0.0f;
    played = PlayAndRead("defaults", m_emitter);
    EXPECT_FLOAT_EQ(played.params.FullVolumeRange, 5.0f);
    EXPECT_FLOAT_EQ(played.params.ZeroVolumeRange, 15.0f);
}

TEST_F(SoundEntriesContainerTest, LoopingEntriesPlayForeverAndReportTheirRandomTimes)
{
    SoundEntryParams loop = Params({"loop.ogg"});
    loop.Loop = true;
    loop.RandomDelay = 2.0f;
    loop.RandomVar = 0.5f;
    ASSERT_TRUE(m_entries.AddSoundEntry("loop", loop));
    EXPECT_TRUE(m_entries.IsSoundEntryLooped("LOOP"));
    EXPECT_FALSE(m_entries.IsSoundEntryLooped("none"));
    float delay = 0.0f, variance = 0.0f;
    EXPECT_TRUE(m_entries.GetSoundEntryRandomTimeValues("loop", &delay, &variance));
    EXPECT_FLOAT_EQ(delay, 2.0f);
    EXPECT_FLOAT_EQ(variance, 0.5f);
    EXPECT_FALSE(m_entries.GetSoundEntryRandomTimeValues("none", &delay, &variance));
    EXPECT_EQ(PlayAndRead("loop").params.LoopCount, 0u);
}

TEST_F(SoundEntriesContainerTest, TagListsChooseTheFirstListWhoseTagsTheCallerHas)
{
    SoundEntryParams params;
    SoundEntrySoundList wet, plain, night;
    wet.m_tags.Add(NameString("wet"));
    wet.m_tags.Add(NameString("night"));
    wet.m_sounds.Add(NameString("wet-night.wav"));
    night.m_tags.Add(NameString("night"));
    night.m_sounds.Add(NameString("night.wav"));
    plain.m_sounds.Add(NameString("plain.wav"));
    params.m_lists.Add(wet);
    params.m_lists.Add(night);
    params.m_lists.Add(plain);
    params.Attenuate = false;
    ASSERT_TRUE(m_entries.AddSoundEntry("steps", params));
    SoundEntryParams empty;
    empty.Attenuate = false;
    empty.m_lists.Add(SoundEntrySoundList());
    ASSERT_TRUE(m_entries.AddSoundEntry("emptylist", empty));
    ASSERT_TRUE(m_entries.AddSoundEntry("nolists", Params({})));

    DynarraySafe<NameString> tags;
    EXPECT_EQ(PlayAndRead("steps", nullptr, 1.0f, &tags).name, "plain.wav") << "no tags: only untagged lists";
    tags.Add(NameString("night"));
    EXPECT_EQ(PlayAndRead("steps", nullptr, 1.0f, &tags).name, "night.wav");
    tags.Add(NameString("wet"));
    EXPECT_EQ(PlayAndRead("steps", nullptr, 1.0f, &tags).name, "wet-night.wav");
    EXPECT_EQ(PlayAndRead("steps", nullptr, 1.0f, nullptr).name, "wet-night.wav") << "no tag list: all match";

    const size_t before = m_sound.Instances().size();
    EXPECT_EQ(m_entries.PlaySoundEntryInternal("emptylist", nullptr, 0, 0.0f, 1.0f, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(m_entries.PlaySoundEntryInternal("nolists", nullptr, 0, 0.0f, 1.0f, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(m_sound.Instances().size(), before);
}

TEST_F(SoundEntriesContainerTest, DisabledSoundsReturnZeroAndPostNothing)
{
    ASSERT_TRUE(m_entries.AddSoundEntry("flat", Params({"a.wav", "b.wav"})));
    m_entries.EnableSoundsPlay(false);
    m_log.Clear();
    EXPECT_EQ(m_entries.PlaySoundEntryInternal("flat", nullptr, 0, 0.0f, 1.0f, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(m_entries.PlaySoundEntryInternal("missing", nullptr, 0, 0.0f, 1.0f, nullptr, 0, nullptr), 0u);
    EXPECT_TRUE(m_sound.Instances().empty());
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u);
    m_entries.EnableSoundsPlay(true);
    const std::string name = PlayAndRead("flat").name;
    EXPECT_TRUE(name == "a.wav" || name == "b.wav") << name;
}

TEST_F(SoundEntriesContainerTest, LoadEntrySoundsAsksForEveryFileWithoutPlaying)
{
    SoundEntryParams params = Params({"one.wav", "two.wav"});
    ASSERT_TRUE(m_entries.AddSoundEntry("pair", params));
    m_entries.LoadEntrySounds("pair");
    m_entries.LoadEntrySounds("none");
    const auto instances = m_sound.Instances();
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_EQ(instances[0].name, "one.wav");
    EXPECT_EQ(instances[1].name, "two.wav");
    for (const auto& instance : instances)
        EXPECT_EQ(instance.params.Flags, uint32_t(SOUNDSTARTFLAG_JUSTLOAD));
}

TEST_F(SoundEntriesContainerTest, ParamsAddSoundsToTheFirstListAndCopyIntoTheEntry)
{
    SoundEntryParams params = SoundEntryParams::Instance();
    EXPECT_EQ(std::vector<float>({params.Volume, params.RangeMin, params.RangeMax, params.Pitch, params.RandomDelay,
                                  params.RandomVar}),
              std::vector<float>({1.0f, 100.0f, 100.0f, 1.0f, 5.0f, 5.0f}));
    EXPECT_TRUE(params.Attenuate);
    params.AddSound("a.wav");
    params.AddSound(nullptr);
    params.AddSound("b.wav");
    ASSERT_EQ(params.m_lists.Count(), 1);
    EXPECT_EQ(params.m_lists[0].m_sounds.Count(), 2);
    params.RemoveAllSounds();
    EXPECT_EQ(params.m_lists.Count(), 0);
}

// The serialized container, written by hand: one entry "Hit" with one untagged list of one sound.
std::vector<uint8_t> HandWrittenRecord()
{
    std::vector<uint8_t> payload = {1, 0, 0, 0, 1}; // one entry, present
    const auto name = [&](const char* text) {
        payload.push_back(1);
        payload.insert(payload.end(), text, text + std::strlen(text) + 1);
    };
    const auto u32 = [&](uint32_t value) {
        for (int i = 0; i < 4; ++i)
            payload.push_back(uint8_t(value >> (8 * i)));
    };
    const auto f32 = [&](float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        u32(bits);
    };
    name("Hit");
    u32(1); // lists
    u32(0); // tags
    u32(1); // sounds
    name("hit.wav");
    for (float value : {0.75f, 3.0f, 9.0f, 1.0f, 5.0f, 5.0f})
        f32(value);
    for (uint8_t flag : {1, 0, 0, 0})
        payload.push_back(flag); // _2D, Loop, Important, True3D
    return payload;
}

TEST_F(SoundEntriesContainerTest, LoadingARecordRunsUnderTheLockAndAlwaysReleasesIt)
{
    const std::vector<uint8_t> record = HandWrittenRecord();
    ASSERT_TRUE(m_entries.DeserializeFromMemory(record.data(), record.size(), 0));
    ASSERT_EQ(m_entries.GetEntryCount(), 1);
    const SoundEntry& hit = *m_entries.m_entries[0];
    EXPECT_STREQ(hit.m_name.CStr(), "Hit");
    EXPECT_FLOAT_EQ(hit.m_volume, 0.75f);
    EXPECT_FLOAT_EQ(hit.m_rangeMax, 9.0f);
    EXPECT_TRUE(hit.m_2D);
    EXPECT_EQ(PlayAndRead("hit").name, "hit.wav");

    // A cut record is refused whole, and the lock is free for other threads afterwards.
    for (size_t size : {record.size() - 1, size_t(9), size_t(0)})
    {
        EXPECT_FALSE(m_entries.DeserializeFromMemory(record.data(), size, 0));
        std::future<int32_t> other = std::async(std::launch::async, [this] { return m_entries.GetEntryCount(); });
        ASSERT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready) << "lock left held";
        EXPECT_EQ(other.get(), 1);
    }
    // A post-load without a pre-load leaves the lock as it is.
    m_entries.OnPostLoad(0);
    std::future<int32_t> other = std::async(std::launch::async, [this] { return m_entries.GetEntryCount(); });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

TEST_F(SoundEntriesContainerTest, LoadedEntriesAreSortedAndCaseDuplicatesDropped)
{
    SoundEntriesContainer source;
    for (const char* name : {"b", "A", "c", "a"})
    {
        SoundEntry* entry = new SoundEntry;
        entry->m_name.Set(name);
        source.m_entries.Add(entry);
    }
    SoundEntry* duplicate = new SoundEntry;
    duplicate->m_name.Set("B");
    source.m_entries.Add(duplicate);
    source.m_entries.Add(nullptr);
    Dynarray<uint8_t> record;
    ASSERT_TRUE(BuildObjectRecord(source, 0, record));
    ASSERT_TRUE(m_entries.DeserializeFromMemory(record.Data() + 4, size_t(record.Count() - 4), 0));
    ASSERT_EQ(m_entries.GetEntryCount(), 3);
    EXPECT_STREQ(m_entries.m_entries[0]->m_name.CStr(), "A");
    EXPECT_STREQ(m_entries.m_entries[1]->m_name.CStr(), "b");
    EXPECT_STREQ(m_entries.m_entries[2]->m_name.CStr(), "c");
    EXPECT_TRUE(m_log.Contains("Attempt to add sound entry with already existing name B !!!", CONSOLE_ERROR));
}
} // namespace
