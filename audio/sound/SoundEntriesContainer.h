// The sound entries container (script global gSoundEntriesContainer): named sound entries, sorted
// by name ignoring case, that game code plays by name. A play request picks a file from the list
// the caller's tags choose, builds the start parameters (volume, pitch, loop, 2D or positioned
// ranges widened by the listener's altitude) and posts them to the sound engine: directly for 2D
// entries, through the entity's sound emitter for positioned ones. An optional name suffix selects
// variants of a whole sound set.
//
// Threads: any. One lock guards the entries, the suffix, the default ranges and the enable flag;
// loading the container as a record runs under it (pre-load takes it, post-load leaves it). Posting
// to the sound engine happens after the lock is released, with a private copy of the file name.
#pragma once

#include "audio/sound/SoundEntry.h"
#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "platform/os/Sync.h"

#include <atomic>
#include <cstdint>
#include <string>

class Entity;
class EntitySoundEmitter;
class SoundEntryParams;

// Named sound entries and their play rules.
class SoundEntriesContainer : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SoundEntriesContainer, RTTIPolyBaseClass)

public:
    // The sound listener's altitude (the game camera installs it; 0 without one).
    using ListenerAltitudeHook = float (*)();
    // A name with its suffix must fit this buffer (terminator included) to be looked up with it.
    static constexpr size_t kSuffixedNameSize = 256;

    SoundEntriesContainer() = default;
    ~SoundEntriesContainer() override;
    SoundEntriesContainer(const SoundEntriesContainer&) = delete;
    SoundEntriesContainer& operator=(const SoundEntriesContainer&) = delete;

    // Adds a copy of the parameters under the name; false for a null name or one that exists
    // ignoring case (logged).
    bool AddSoundEntry(const char* name, const SoundEntryParams& params);
    void RemoveAllSoundEntries();
    // Null clears the suffix.
    void SetSoundEntriesNameSuffix(const char* suffix);
    std::string GetSoundEntriesNameSuffix();
    void EnableSoundsPlay(bool enable);
    void SetSoundEntriesDefaultRanges(float fullVolumeRange, float zeroVolumeRange);
    bool IsSoundEntryLooped(const char* name);
    bool GetSoundEntryRandomTimeValues(const char* name, float* delay, float* variance);
    // Asks the sound engine to load every file of the entry without playing it.
    void LoadEntrySounds(const char* name);

    // Plays the entry at the entity (its gameplay delegate may first change the volume; its emitter
    // is made when missing), or unpositioned without one. Returns the instance id, or 0.
    uint32_t PlaySoundEntry(const char* name, Entity* entity, uint32_t channel, float startDelay = 0.0f,
                            float volume = 1.0f, const DynarraySafe<NameString>* tags = nullptr,
                            uint32_t extraFlags = 0, float* outVolume = nullptr);
    // Plays the entry, positioned at the emitter when one is given; tags null: every list may be
    // chosen. Returns the instance id, or 0.
    uint32_t PlaySoundEntryInternal(const char* name, EntitySoundEmitter* emitter, uint32_t channel, float startDelay,
                                    float volume, const DynarraySafe<NameString>* tags, uint32_t extraFlags,
                                    float* outVolume);

    int32_t GetEntryCount();
    static void SetListenerAltitudeHook(ListenerAltitudeHook hook) { sListenerAltitudeHook.store(hook); }

    void OnPreLoad(uint32_t flags) override;
    void OnPostLoad(uint32_t flags) override;

    // Owned, sorted by name ignoring case, unique ignoring case (lock held).
    Dynarray<SoundEntry*> m_entries;

private:
    // Lock held by the caller.
    SoundEntry* FindEntry(const char* name, bool exact);
    // Index of the entry of that name ignoring case, or -1.
    int32_t FindEntryIndex(const char* name) const;
    // Where a new name goes: after every entry that does not sort after it ignoring case.
    int32_t UpperBound(const char* name) const;
    // Records may hold entries in any order and twice: sort them and keep the first of each name.
    void SortLoadedEntries();

    os::CriticalSection m_lock;
    uint32_t m_loadDepth = 0; // pre-loads not yet matched by a post-load
    std::string m_suffix;
    bool m_hasSuffix = false;
    float m_defaultFullVolumeRange = 50.0f;
    float m_defaultZeroVolumeRange = 0.0f;
    bool m_soundsEnabled = true;

    static std::atomic<ListenerAltitudeHook> sListenerAltitudeHook;
};

extern SoundEntriesContainer gSoundEntriesContainer;
