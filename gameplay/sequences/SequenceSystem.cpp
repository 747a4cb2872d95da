#include "gameplay/sequences/SequenceSystem.h"

#include "core/console/GameConsole.h"
#include "core/strings/StringUtils.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceAction.h"

#include <algorithm>
#include <cstdlib>
#include <string>

SequenceSystem gSequenceSystem;

RTTI_DEFINE_CLASS(SequenceSystem, RTTIPolyBaseClass)

void SequenceSystem::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectPointersProperty<SequenceSystem, Sequence>("Sequences", &SequenceSystem::m_sequences));
}

SequenceSystem::~SequenceSystem()
{
    DeleteSequences();
}

void SequenceSystem::DeleteSequences()
{
    for (Sequence* sequence : m_sequences)
        delete sequence;
    m_sequences.Clear();
}

Sequence* SequenceSystem::FindSequence(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    int32_t low = 0;
    int32_t high = m_sequences.Count();
    while (low < high)
    {
        const int32_t mid = (low + high) / 2;
        if (StrICmp(name, m_sequences[mid]->GetName().CStr()) <= 0)
            high = mid;
        else
            low = mid + 1;
    }
    if (low < m_sequences.Count() && StrICmp(name, m_sequences[low]->GetName().CStr()) == 0)
        return m_sequences[low];
    return nullptr;
}

bool SequenceSystem::AddSequence(Sequence* sequence)
{
    if (sequence == nullptr)
        return false;
    // A name equal but for case would shadow the loaded one in the case-blind lookup: refused too.
    if (FindSequence(sequence->GetName().CStr()) != nullptr)
    {
        delete sequence;
        return false;
    }
    int32_t at = 0;
    while (at < m_sequences.Count() && StrICmp(m_sequences[at]->GetName().CStr(), sequence->GetName().CStr()) < 0)
        ++at;
    m_sequences.Insert(sequence, at);
    return true;
}

Sequence* SequenceSystem::StartSequence(const char* name, bool gameplayTime, bool reportMissing)
{
    if (name == nullptr)
        return nullptr;
    Sequence* const sequence = FindSequence(name);
    if (sequence == nullptr)
    {
        if (reportMissing)
            gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Sequence %s cannot be found!", name);
        return nullptr;
    }
    if (sequence->IsDisabledInEditor())
    {
        gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_SCRIPT, "Skipping sequence %s (disabled in editor).", name);
        return nullptr;
    }
    if (sequence->IsActive())
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Sequence %s already started!", name);
        return nullptr;
    }
    m_active.Add(sequence);
    sequence->Begin(gameplayTime);
    return sequence;
}

void SequenceSystem::Update()
{
    if (!m_enabled)
        return;
    bool removed = false;
    // Sequences started during the walk are appended and run in this same frame.
    for (int32_t i = 0; i < m_active.Count(); ++i)
    {
        Sequence* const sequence = m_active[i];
        if (sequence != nullptr && !sequence->Update())
        {
            sequence->Stop();
            m_active[i] = nullptr;
            removed = true;
        }
    }
    if (removed)
        m_active.RemoveValue(nullptr);
}

void SequenceSystem::StopAllSequences(bool clearGlobalSemaphores)
{
    for (Sequence* sequence : m_active)
        if (sequence != nullptr)
            sequence->Stop();
    m_active.Clear();
    if (clearGlobalSemaphores)
    {
        m_globalSemaphores.FreeStorage();
        m_countingSemaphores.FreeStorage();
    }
}

void SequenceSystem::EnableAndReset(bool enabled)
{
    m_enabled = enabled;
    if (m_resetOnEnable)
        Reset();
}

void SequenceSystem::Reset()
{
    StopAllSequences(true);
    m_active.FreeStorage();
    DeleteSequences();
    m_sequences.FreeStorage();
}

void SequenceSystem::OnPreLoad(uint32_t)
{
    // The loaded sequences go with the "Sequences" read; the running ones are stopped first so
    // that their current actions hear of it before they are deleted.
    StopAllSequences(true);
    m_active.FreeStorage();
}

void SequenceSystem::OnPostLoad(uint32_t)
{
    // Empty slots in the stored lists are passed over at run time; say where they are.
    for (const Sequence* sequence : m_sequences)
    {
        if (sequence == nullptr)
            continue;
        for (int32_t t = 0; t < sequence->GetTracks().Count(); ++t)
        {
            const SequenceTrack* const track = sequence->GetTracks()[t];
            if (track == nullptr)
            {
                gConsole.Warning(CONSOLE_CHANNEL_SCRIPT, "Sequence %s: track %d is empty and is skipped",
                                 sequence->GetName().CStr(), t);
                continue;
            }
            for (int32_t a = 0; a < track->GetActions().Count(); ++a)
                if (track->GetActions()[a] == nullptr)
                    gConsole.Warning(CONSOLE_CHANNEL_SCRIPT, "Sequence %s: action %d of track %d is empty and is skipped",
                                     sequence->GetName().CStr(), a, t);
        }
    }
    // A null sequence cannot be looked up or started: it leaves the list. Lookups are a binary search,
    // so a list stored out of order is put in order rather than trusted.
    m_sequences.RemoveValue(nullptr);
    std::stable_sort(m_sequences.begin(), m_sequences.end(), [](const Sequence* a, const Sequence* b) {
        return StrICmp(a->GetName().CStr(), b->GetName().CStr()) < 0;
    });
}

void SequenceSystem::RaiseGlobalSemaphore(const NameString& name)
{
    SemaphoreSet::Raise(m_globalSemaphores, name);
}

void SequenceSystem::ClearGlobalSemaphore(const NameString& name)
{
    SemaphoreSet::Clear(m_globalSemaphores, name);
}

bool SequenceSystem::IsGlobalSemaphoreRaised(const NameString& name) const
{
    return SemaphoreSet::Contains(m_globalSemaphores, name);
}

void SequenceSystem::IncreaseGlobalCountingSemaphore(const NameString& name, int32_t amount)
{
    for (SequenceCountingSemaphore& counter : m_countingSemaphores)
        if (counter.name == name)
        {
            counter.value += amount;
            return;
        }
    SequenceCountingSemaphore counter;
    counter.name = name;
    counter.value = amount;
    m_countingSemaphores.Add(counter);
}

int32_t SequenceSystem::GetGlobalCountingSemaphoreValue(const NameString& name) const
{
    for (const SequenceCountingSemaphore& counter : m_countingSemaphores)
        if (counter.name == name)
            return counter.value;
    return 0;
}

void SequenceSystem::Log(uint32_t kind, uint8_t channel) const
{
    gConsole.Printf(kind, channel, "//===== Active Sequences Begin ======//");
    for (const Sequence* sequence : m_active)
    {
        if (sequence == nullptr)
            continue;
        gConsole.Printf(kind, channel, "\t\t//===== Sequence: %s Begin", sequence->GetName().CStr());
        gConsole.Printf(kind, channel, "\t\t\t//===== Active Semaphores Begin");
        for (const NameString& semaphore : sequence->GetLocalSemaphores())
            gConsole.Printf(kind, channel, "\t\t\tSemaphore: %s", semaphore.CStr());
        gConsole.Printf(kind, channel, "\t\t\t//===== Active Semaphores End");
        for (const SequenceTrack* track : sequence->GetTracks())
        {
            if (track == nullptr)
                continue;
            gConsole.Printf(kind, channel, "\t\t\t\t//===== Track Begin");
            gConsole.Printf(kind, channel, "\t\t\t\t\t\tActiveSequenceIndex: %d", track->GetCurrentIndex());
            for (int32_t i = 0; i < track->GetActions().Count(); ++i)
                if (const SequenceAction* action = track->GetActions()[i])
                    action->Dump(kind, channel, i);
            gConsole.Printf(kind, channel, "\t\t\t\t//===== Track End");
        }
        gConsole.Printf(kind, channel, "\t\t//===== Sequence: %s End", sequence->GetName().CStr());
    }
    gConsole.Printf(kind, channel, "//===== Active Sequences End ======//");
    gConsole.Printf(kind, channel, "//===== Raised Global Semaphores Begin ======//");
    for (const NameString& semaphore : m_globalSemaphores)
        gConsole.Printf(kind, channel, "Semaphore: %s", semaphore.CStr());
    gConsole.Printf(kind, channel, "//===== Raised Global Semaphores End ======//");
    gConsole.Printf(kind, channel, "//=====================================//");
}

int32_t SequenceSystem::GetSequenceIndex(const char* name) const
{
    for (int32_t i = 0; i < m_sequences.Count(); ++i)
        if (m_sequences[i]->GetName().Equals(name))
            return i;
    return -1;
}

namespace
{
// Scripts pass indices: each is checked, and a wrong one answers neutrally with a warning.
bool InRange(int32_t index, int32_t count, const char* what)
{
    if (index >= 0 && index < count)
        return true;
    gConsole.Warning(CONSOLE_CHANNEL_SCRIPT, "SequenceSystem: %s index %d is out of range (count %d)", what, index, count);
    return false;
}
} // namespace

const char* SequenceSystem::GetSequenceName(int32_t sequence) const
{
    return InRange(sequence, m_sequences.Count(), "sequence") ? m_sequences[sequence]->GetName().CStr() : "";
}

bool SequenceSystem::IsSequenceRepeatingAllowed(int32_t sequence) const
{
    return InRange(sequence, m_sequences.Count(), "sequence") && m_sequences[sequence]->IsRepeatingAllowed();
}

bool SequenceSystem::IsSequenceDisabled(int32_t sequence) const
{
    return InRange(sequence, m_sequences.Count(), "sequence") && m_sequences[sequence]->IsDisabledInEditor();
}

int32_t SequenceSystem::GetTracksCount(int32_t sequence) const
{
    return InRange(sequence, m_sequences.Count(), "sequence") ? m_sequences[sequence]->GetTracks().Count() : 0;
}

const char* SequenceSystem::GetTrackName(int32_t sequence, int32_t track) const
{
    if (!InRange(sequence, m_sequences.Count(), "sequence"))
        return "";
    const Dynarray<SequenceTrack*>& tracks = m_sequences[sequence]->GetTracks();
    return InRange(track, tracks.Count(), "track") && tracks[track] != nullptr ? tracks[track]->GetName().CStr() : "";
}

int32_t SequenceSystem::GetActionsCount(int32_t sequence, int32_t track) const
{
    if (!InRange(sequence, m_sequences.Count(), "sequence"))
        return 0;
    const Dynarray<SequenceTrack*>& tracks = m_sequences[sequence]->GetTracks();
    return InRange(track, tracks.Count(), "track") && tracks[track] != nullptr ? tracks[track]->GetActions().Count() : 0;
}

SequenceAction* SequenceSystem::FindAction(int32_t sequence, int32_t track, int32_t action) const
{
    if (!InRange(sequence, m_sequences.Count(), "sequence"))
        return nullptr;
    const Dynarray<SequenceTrack*>& tracks = m_sequences[sequence]->GetTracks();
    if (!InRange(track, tracks.Count(), "track") || tracks[track] == nullptr)
        return nullptr;
    const Dynarray<SequenceAction*>& actions = tracks[track]->GetActions();
    return InRange(action, actions.Count(), "action") ? actions[action] : nullptr;
}

const char* SequenceSystem::GetActionName(int32_t sequence, int32_t track, int32_t action) const
{
    const SequenceAction* const found = FindAction(sequence, track, action);
    return found != nullptr ? found->GetActionClassName() : "";
}

bool SequenceSystem::IsActionDisabled(int32_t sequence, int32_t track, int32_t action) const
{
    const SequenceAction* const found = FindAction(sequence, track, action);
    return found != nullptr && found->IsDisabled();
}

namespace
{
// The value properties of an action, its own class first, then each base up to SequenceAction.
void CollectParams(const SequenceAction& action, Dynarray<const RTTIProperty*>& out)
{
    const RTTIPropertiesBase* const last = SequenceAction::StaticClassProperties();
    for (const RTTIPropertiesBase* table = action.GetClassProperties(); table != nullptr; table = table->GetBaseTable())
    {
        for (const RTTIProperty* property : table->GetProperties())
            if (property->HasTextForm() && !property->GetName().empty() && property->GetType() != 0)
                out.Add(property);
        if (table == last)
            break;
    }
}
} // namespace

int32_t SequenceSystem::GetParamCount(int32_t sequence, int32_t track, int32_t action) const
{
    const SequenceAction* const found = FindAction(sequence, track, action);
    if (found == nullptr)
        return 0;
    Dynarray<const RTTIProperty*> params;
    CollectParams(*found, params);
    return params.Count();
}

const RTTIProperty* SequenceSystem::FindParam(int32_t sequence, int32_t track, int32_t action, int32_t param,
                                              const SequenceAction** owner) const
{
    const SequenceAction* const found = FindAction(sequence, track, action);
    if (found == nullptr)
        return nullptr;
    Dynarray<const RTTIProperty*> params;
    CollectParams(*found, params);
    if (!InRange(param, params.Count(), "parameter"))
        return nullptr;
    *owner = found;
    return params[param];
}

const char* SequenceSystem::GetParamName(int32_t sequence, int32_t track, int32_t action, int32_t param) const
{
    const SequenceAction* owner = nullptr;
    const RTTIProperty* const property = FindParam(sequence, track, action, param, &owner);
    return property != nullptr ? property->GetName().c_str() : "";
}

int32_t SequenceSystem::GetParamType(int32_t sequence, int32_t track, int32_t action, int32_t param) const
{
    const SequenceAction* owner = nullptr;
    const RTTIProperty* const property = FindParam(sequence, track, action, param, &owner);
    return property != nullptr ? int32_t(property->GetType()) : -1;
}

const char* SequenceSystem::GetStringParamValue(int32_t sequence, int32_t track, int32_t action, int32_t param) const
{
    static std::string text;
    const SequenceAction* owner = nullptr;
    const RTTIProperty* const property = FindParam(sequence, track, action, param, &owner);
    char buffer[1024] = {};
    text = property != nullptr && property->ToText(owner, buffer, sizeof(buffer)) ? buffer : "";
    return text.c_str();
}

bool SequenceSystem::GetBoolParamValue(int32_t sequence, int32_t track, int32_t action, int32_t param) const
{
    const std::string text = GetStringParamValue(sequence, track, action, param);
    return text == "1" || StrICmp(text.c_str(), "true") == 0;
}

float SequenceSystem::GetFloatParamValue(int32_t sequence, int32_t track, int32_t action, int32_t param) const
{
    return std::strtof(GetStringParamValue(sequence, track, action, param), nullptr);
}

int32_t SequenceSystem::GetIntParamValue(int32_t sequence, int32_t track, int32_t action, int32_t param) const
{
    return int32_t(std::strtol(GetStringParamValue(sequence, track, action, param), nullptr, 10));
}
