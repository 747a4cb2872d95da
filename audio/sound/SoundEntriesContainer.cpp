#include "audio/sound/SoundEntriesContainer.h"

#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundEntryParams.h"
#include "core/console/GameConsole.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/StringUtils.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityGameplayDelegate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

RTTI_DEFINE_CLASS(SoundEntriesContainer, RTTIPolyBaseClass)

SoundEntriesContainer gSoundEntriesContainer;
std::atomic<SoundEntriesContainer::ListenerAltitudeHook> SoundEntriesContainer::sListenerAltitudeHook{nullptr};

namespace
{
// Every tag of the list is among the caller's tags (a list without tags always matches).
bool ListMatches(const SoundEntrySoundList& list, const DynarraySafe<NameString>* tags)
{
    if (tags == nullptr)
        return true;
    for (const NameString& tag : list.m_tags)
        if (std::find(tags->begin(), tags->end(), tag) == tags->end())
            return false;
    return true;
}

float WidenByAltitude(float range, float altitude)
{
    return std::sqrt(range * range + altitude * altitude);
}
} // namespace

void SoundEntriesContainer::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SoundEntriesContainer;
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectPointersProperty<C, SoundEntry>("Sound entries", &C::m_entries));
}

SoundEntriesContainer::~SoundEntriesContainer()
{
    m_entries.DeleteAllPointers();
}

int32_t SoundEntriesContainer::FindEntryIndex(const char* name) const
{
    int32_t low = 0;
    int32_t high = m_entries.Count() - 1;
    while (low <= high)
    {
        const int32_t middle = low + (high - low) / 2;
        const int order = StrICmp(m_entries[middle]->m_name.CStr(), name);
        if (order == 0)
            return middle;
        if (order < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

int32_t SoundEntriesContainer::UpperBound(const char* name) const
{
    int32_t low = 0;
    int32_t high = m_entries.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (StrICmp(m_entries[middle]->m_name.CStr(), name) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

SoundEntry* SoundEntriesContainer::FindEntry(const char* name, bool exact)
{
    if (name == nullptr)
        return nullptr;
    if (!exact && m_hasSuffix)
    {
        char suffixed[kSuffixedNameSize];
        const int length = std::snprintf(suffixed, sizeof(suffixed), "%s%s", name, m_suffix.c_str());
        if (length >= 0 && size_t(length) < sizeof(suffixed))
        {
            const int32_t index = FindEntryIndex(suffixed);
            if (index >= 0)
                return m_entries[index];
        }
    }
    const int32_t index = FindEntryIndex(name);
    return index >= 0 ? m_entries[index] : nullptr;
}

bool SoundEntriesContainer::AddSoundEntry(const char* name, const SoundEntryParams& params)
{
    if (name == nullptr)
        return false;
    os::ScopedLock lock(m_lock);
    if (FindEntry(name, true) != nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Attempt to add sound entry with already existing name %s !!!", name);
        return false;
    }
    SoundEntry* const entry = new SoundEntry;
    entry->m_name.Set(name);
    entry->m_lists = params.m_lists;
    entry->m_volume = params.Volume;
    entry->m_rangeMin = params.RangeMin;
    entry->m_rangeMax = params.RangeMax;
    entry->m_pitch = params.Pitch;
    entry->m_randomDelay = params.RandomDelay;
    entry->m_randomDelayVariance = params.RandomVar;
    // A sound asked to attenuate is positioned: it is the opposite of 2D.
    entry->m_2D = !params.Attenuate;
    entry->m_loop = params.Loop;
    entry->m_important = params.Important;
    entry->m_true3D = params.True3D;
    m_entries.Insert(entry, UpperBound(name));
    return true;
}

void SoundEntriesContainer::RemoveAllSoundEntries()
{
    os::ScopedLock lock(m_lock);
    m_entries.DeleteAllPointers();
}

void SoundEntriesContainer::SetSoundEntriesNameSuffix(const char* suffix)
{
    os::ScopedLock lock(m_lock);
    m_hasSuffix = suffix != nullptr;
    m_suffix = suffix != nullptr ? suffix : "";
}

std::string SoundEntriesContainer::GetSoundEntriesNameSuffix()
{
    os::ScopedLock lock(m_lock);
    return m_suffix;
}

void SoundEntriesContainer::EnableSoundsPlay(bool enable)
{
    os::ScopedLock lock(m_lock);
    m_soundsEnabled = enable;
}

void SoundEntriesContainer::SetSoundEntriesDefaultRanges(float fullVolumeRange, float zeroVolumeRange)
{
    os::ScopedLock lock(m_lock);
    m_defaultFullVolumeRange = fullVolumeRange;
    m_defaultZeroVolumeRange = zeroVolumeRange;
}

bool SoundEntriesContainer::IsSoundEntryLooped(const char* name)
{
    os::ScopedLock lock(m_lock);
    const SoundEntry* const entry = FindEntry(name, false);
    return entry != nullptr && entry->m_loop;
}

bool SoundEntriesContainer::GetSoundEntryRandomTimeValues(const char* name, float* delay, float* variance)
{
    os::ScopedLock lock(m_lock);
    const SoundEntry* const entry = FindEntry(name, false);
    if (entry == nullptr)
        return false;
    if (delay != nullptr)
        *delay = entry->m_randomDelay;
    if (variance != nullptr)
        *variance = entry->m_randomDelayVariance;
    return true;
}

int32_t SoundEntriesContainer::GetEntryCount()
{
    os::ScopedLock lock(m_lock);
    return m_entries.Count();
}

void SoundEntriesContainer::LoadEntrySounds(const char* name)
{
    std::vector<std::string> files;
    {
        os::ScopedLock lock(m_lock);
        const SoundEntry* const entry = FindEntry(name, false);
        if (entry == nullptr)
            return;
        for (const SoundEntrySoundList& list : entry->m_lists)
            for (const NameString& sound : list.m_sounds)
                files.emplace_back(sound.CStr());
    }
    SoundEngine* const engine = gSoundEngine;
    if (engine == nullptr)
        return;
    SoundParamWrapper params;
    params.Flags |= SOUNDSTARTFLAG_JUSTLOAD;
    for (const std::string& file : files)
        engine->PlaySystemSound(file.c_str(), &params);
}

uint32_t SoundEntriesContainer::PlaySoundEntry(const char* name, Entity* entity, uint32_t channel, float startDelay,
                                               float volume, const DynarraySafe<NameString>* tags, uint32_t extraFlags,
                                               float* outVolume)
{
    EntitySoundEmitter* emitter = nullptr;
    if (entity != nullptr)
    {
        if (EntityGameplayDelegate* owner = entity->GetGameplayDelegate())
            owner->OnSoundEntryPlay(name, &volume);
        emitter = entity->GetSoundEmitter();
    }
    return PlaySoundEntryInternal(name, emitter, channel, startDelay, volume, tags, extraFlags, outVolume);
}

uint32_t SoundEntriesContainer::PlaySoundEntryInternal(const char* name, EntitySoundEmitter* emitter, uint32_t channel,
                                                       float startDelay, float volume, const DynarraySafe<NameString>* tags,
                                                       uint32_t extraFlags, float* outVolume)
{
    if (name == nullptr)
        return 0;
    SoundParamWrapper params;
    std::string file;
    {
        os::ScopedLock lock(m_lock);
        if (!m_soundsEnabled)
            return 0;
        const SoundEntry* const entry = FindEntry(name, false);
        if (entry == nullptr)
        {
            gConsole.Error(CONSOLE_CHANNEL_SOUND, "SoundEntriesContainer: Attempt to play nonexistent sound entry %s !!!",
                           name);
            return 0;
        }
        if (!entry->m_2D && emitter == nullptr)
        {
            gConsole.Error(CONSOLE_CHANNEL_SOUND,
                           "SoundEntriesContainer: Attempt to play 3d sound entry %s without entity specified!!!", name);
            return 0;
        }
        const SoundEntrySoundList* list = nullptr;
        for (const SoundEntrySoundList& candidate : entry->m_lists)
            if (ListMatches(candidate, tags))
            {
                list = &candidate;
                break;
            }
        if (list == nullptr || list->m_sounds.IsEmpty())
            return 0;
        if (outVolume != nullptr)
            *outVolume = entry->m_volume;
        file = list->m_sounds[std::rand() % list->m_sounds.Count()].CStr();

        params.Volume = entry->m_volume * volume;
        params.FrequencyRatio = entry->m_pitch;
        params.Channel = channel;
        params.StartDelay = startDelay;
        params.LoopCount = entry->m_loop ? 0 : 1;
        if (entry->m_2D)
            params.Flags |= SOUNDSTARTFLAG_NOATTENUATION;
        if (entry->m_important)
            params.Flags |= SOUNDSTARTFLAG_IMPORTANT;
        if (entry->m_true3D)
            params.Flags |= SOUNDSTARTFLAG_TRUE3D;
        params.Flags |= extraFlags;
        if (params.Flags & SOUNDSTARTFLAG_NOATTENUATION)
            params.FullVolumeRange = params.ZeroVolumeRange = 0.0f;
        else
        {
            const ListenerAltitudeHook hook = sListenerAltitudeHook.load();
            const float altitude = hook != nullptr ? hook() : 0.0f;
            params.FullVolumeRange = entry->m_rangeMin < 0.0f ? m_defaultFullVolumeRange : entry->m_rangeMin;
            params.ZeroVolumeRange = entry->m_rangeMax < 0.0f ? m_defaultZeroVolumeRange : entry->m_rangeMax;
            if (!entry->m_true3D)
            {
                params.FullVolumeRange = WidenByAltitude(params.FullVolumeRange, altitude);
                params.ZeroVolumeRange = WidenByAltitude(params.ZeroVolumeRange, altitude);
            }
        }
    }
    if (emitter != nullptr)
        return emitter->PostPlay(file.c_str(), &params);
    SoundEngine* const engine = gSoundEngine;
    return engine != nullptr ? engine->PlaySystemSound(file.c_str(), &params) : 0;
}

void SoundEntriesContainer::OnPreLoad(uint32_t flags)
{
    (void)flags;
    m_lock.Enter();
    ++m_loadDepth;
}

void SoundEntriesContainer::OnPostLoad(uint32_t flags)
{
    (void)flags;
    // Only a load that took the lock leaves it: a post-load hook alone must not unbalance it.
    if (m_loadDepth == 0)
        return;
    SortLoadedEntries();
    --m_loadDepth;
    m_lock.Leave();
}

void SoundEntriesContainer::SortLoadedEntries()
{
    Dynarray<SoundEntry*> loaded = std::move(m_entries);
    m_entries.Clear();
    for (SoundEntry* entry : loaded)
    {
        if (entry == nullptr)
            continue;
        if (FindEntryIndex(entry->m_name.CStr()) >= 0)
        {
            gConsole.Error(CONSOLE_CHANNEL_SOUND, "Attempt to add sound entry with already existing name %s !!!",
                           entry->m_name.CStr());
            delete entry;
            continue;
        }
        m_entries.Insert(entry, UpperBound(entry->m_name.CStr()));
    }
}
