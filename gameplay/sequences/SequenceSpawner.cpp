#include "gameplay/sequences/SequenceSpawner.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTIProperty.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceAction.h"
#include "gameplay/sequences/SequenceSystem.h"

#include <cstdio>
#include <cstring>

SequenceSpawner gSequenceSpawner;

SequenceSpawner::~SequenceSpawner()
{
    delete m_sequence;
}

void SequenceSpawner::BeginSequenceSpawn(const char* name)
{
    delete m_sequence;
    m_sequence = new Sequence;
    m_sequence->SetName(name);
    m_track = nullptr;
    m_action = nullptr;
}

void SequenceSpawner::AppendTrack(const char* name)
{
    if (m_sequence == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_SCRIPT, "SequenceSpawner: AppendTrack without a spawn in progress is ignored");
        return;
    }
    m_track = new SequenceTrack;
    m_track->SetName(name);
    m_sequence->GetTracks().Add(m_track);
    m_action = nullptr;
}

bool SequenceSpawner::AppendAction(const char* className)
{
    if (m_track == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_SCRIPT, "SequenceSpawner: AppendAction without a track in progress is ignored");
        return false;
    }
    RTTIPolyBaseClass* const object = className != nullptr ? RTTIClassRegistry::CreateObject(className) : nullptr;
    auto* const action = dynamic_cast<SequenceAction*>(object);
    if (action == nullptr)
    {
        delete object;
        gConsole.Printf(CONSOLE_WARNING, CONSOLE_CHANNEL_ENGINE, "Action %s not found in class factory! Ommiting...",
                        className != nullptr ? className : "");
        return false;
    }
    m_track->GetActions().Add(action);
    m_action = action;
    return true;
}

void SequenceSpawner::AppendActionParam(const char* propertyName, const char* value)
{
    if (m_action == nullptr)
    {
        gConsole.Warning(CONSOLE_CHANNEL_SCRIPT,
                         "SequenceSpawner: AppendActionParam without an action in progress is ignored");
        return;
    }
    const RTTIPropertiesBase* const table = m_action->GetClassProperties();
    const RTTIProperty* const property =
        table != nullptr && propertyName != nullptr ? table->FindPropertyInClassChain(propertyName) : nullptr;
    if (property == nullptr || !property->SetFromText(m_action, value != nullptr ? value : ""))
        gConsole.Warning(CONSOLE_CHANNEL_SCRIPT, "SequenceSpawner: %s of %s was not set from \"%s\"",
                         propertyName != nullptr ? propertyName : "", m_action->GetActionClassName(),
                         value != nullptr ? value : "");
}

namespace
{
bool IsPause(const SequenceAction& action)
{
    const char* const name = action.GetActionClassName();
    return std::strcmp(name, "LuaSequenceActionWait") == 0 || std::strcmp(name, "SequenceActionWait") == 0;
}
} // namespace

void SequenceSpawner::FoldWaitsAndSplitTracks(Sequence& sequence)
{
    Dynarray<SequenceTrack*>& tracks = sequence.GetTracks();
    float running = 0.0f;
    const SequenceAction* previous = nullptr;
    int32_t first = 0;
    bool carried = false;
    for (int32_t t = 0; t < tracks.Count(); ++t)
    {
        if (!carried)
        {
            running = 0.0f;
            previous = nullptr;
            first = 0;
        }
        carried = false;
        if (tracks[t] == nullptr)
            continue;
        Dynarray<SequenceAction*>& actions = tracks[t]->GetActions();
        for (int32_t a = first; a < actions.Count(); ++a)
        {
            SequenceAction* const action = actions[a];
            if (action == nullptr)
                continue;
            if (IsPause(*action))
            {
                running += action->GetTime();
                actions.RemoveAt(a--);
                delete action;
                continue;
            }
            action->SetMinimalStartTime(running);
            running += action->GetTime();
            if (previous != nullptr && previous->GetTime() == 0.0f)
            {
                // Everything after an action of no length starts with it: a track of its own, where
                // the pass goes on with the following action (running is not reset).
                auto* const split = new SequenceTrack;
                char name[24]; // "Track" and any int
                std::snprintf(name, sizeof(name), "Track%.3d", t + 1);
                split->SetName(name);
                // The moved actions followed the ones left behind: they wait for their time to come
                // rather than starting with the sequence.
                split->SetStartDelay(action->GetMinimalStartTime());
                for (int32_t moved = a; moved < actions.Count(); ++moved)
                    split->GetActions().Add(actions[moved]);
                actions.RemoveRange(a, actions.Count() - 1);
                tracks.Insert(split, t + 1);
                previous = action;
                first = 1;
                carried = true;
                break;
            }
            previous = action;
        }
    }
}

void SequenceSpawner::EndSequenceSpawn()
{
    if (m_sequence != nullptr)
    {
        FoldWaitsAndSplitTracks(*m_sequence);
        gSequenceSystem.AddSequence(m_sequence);
    }
    m_sequence = nullptr;
    m_track = nullptr;
    m_action = nullptr;
}
