#include "gameplay/sequences/Sequence.h"

#include "engine/Game.h"
#include "gameplay/sequences/SequenceAction.h"
#include "gameplay/sequences/SequenceSystem.h"

RTTI_DEFINE_CLASS(SequenceTrack, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(Sequence, RTTIPolyBaseClass)

void SequenceTrack::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SequenceTrack;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("GroupName", &C::m_groupName));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("InGroupFlag", &C::m_inGroup));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("GroupLabelFlag", &C::m_groupLabel));
    table.AddProperty(new RTTIDynarrayOfPolyObjectPointersProperty<C, SequenceAction>("Actions", &C::m_actions));
}

void Sequence::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = Sequence;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectPointersProperty<C, SequenceTrack>("Tracks", &C::m_tracks));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Skippable", &C::m_skippable));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("EditorPath", &C::m_editorPath));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("UnusedEditorFlag", &C::m_unusedEditorFlag));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("AfterSkip", &C::m_afterSkip));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("RepeatingAllowedFlag", &C::m_repeatingAllowed));
}

SequenceTrack::~SequenceTrack()
{
    for (SequenceAction* action : m_actions)
        delete action;
}

SequenceAction* SequenceTrack::GetCurrentAction() const
{
    return m_current >= 0 && m_current < m_actions.Count() ? m_actions[m_current] : nullptr;
}

bool SequenceTrack::Update(const Time& now, Sequence& sequence, bool skip)
{
    if (m_current >= m_actions.Count())
        return false;
    if (m_current < 0 && m_startDelay > 0.0f && (now - sequence.GetStartTime()).ToSeconds() < double(m_startDelay))
        return !sequence.IsStopRequested();
    for (;;)
    {
        if (sequence.IsStopRequested())
            return false;
        if (m_current >= 0)
        {
            SequenceAction* const action = m_actions[m_current];
            // A null slot (an action whose class could not be made) is passed over like a disabled one.
            if (action != nullptr)
            {
                if (action->Tick(now, sequence, skip))
                    return true;
                if (!action->IsDisabled())
                    action->End(sequence, skip);
            }
        }
        ++m_current;
        if (m_current < m_actions.Count())
        {
            if (SequenceAction* const next = m_actions[m_current])
            {
                next->SetStartTime(now);
                if (!next->IsDisabled())
                    next->Start(sequence, skip);
            }
        }
        if (m_current >= m_actions.Count())
            return false;
    }
}

Sequence::~Sequence()
{
    for (SequenceTrack* track : m_tracks)
        delete track;
}

void Sequence::Begin(bool gameplayTime)
{
    m_startTime = gameplayTime ? gGame.GetGameplayTimer().GetTimeValue() : gGame.GetGameTimer().GetTimeValue();
    m_active = true;
    m_localSemaphores.Clear();
    m_skippableNow = m_skippable;
    m_gameplayClock = gameplayTime;
    for (SequenceTrack* track : m_tracks)
        if (track != nullptr)
            track->SetCurrentIndex(-1);
}

bool Sequence::Update()
{
    if (m_stopRequested)
        return false;
    const Time now =
        m_gameplayClock ? gGame.GetGameplayTimer().GetTimeValue() : gGame.GetGameTimer().GetTimeValue();
    bool running = false;
    for (SequenceTrack* track : m_tracks)
        if (track != nullptr && track->Update(now, *this, m_skipRequested))
            running = true;
    if (m_skipRequested)
    {
        if (!m_afterSkip.IsEmpty())
        {
            Sequence* const next = gSequenceSystem.StartSequence(m_afterSkip.CStr(), false, true);
            if (next != nullptr && next->CanSkip())
                next->RequestSkip();
        }
        m_skipRequested = false;
    }
    return running;
}

void Sequence::Stop()
{
    m_active = false;
    m_stopRequested = false;
    m_skipRequested = false;
    for (SequenceTrack* track : m_tracks)
    {
        SequenceAction* const action = track != nullptr ? track->GetCurrentAction() : nullptr;
        if (action != nullptr && !action->IsDisabled())
            action->Stop(*this);
    }
}

bool Sequence::CanSkip() const
{
    if (!m_skippableNow)
        return false;
    for (const SequenceTrack* track : m_tracks)
    {
        const SequenceAction* const action = track != nullptr ? track->GetCurrentAction() : nullptr;
        if (action != nullptr && !action->IsSkippable())
            return false;
    }
    return true;
}

void Sequence::RaiseSemaphore(const NameString& name)
{
    SemaphoreSet::Raise(m_localSemaphores, name);
}

void Sequence::ClearSemaphore(const NameString& name)
{
    SemaphoreSet::Clear(m_localSemaphores, name);
}

bool Sequence::IsSemaphoreRaised(const NameString& name) const
{
    return SemaphoreSet::Contains(m_localSemaphores, name);
}

namespace SemaphoreSet
{
void Raise(DynarraySafe<NameString>& set, const NameString& name)
{
    if (!Contains(set, name))
        set.Add(name);
}

void Clear(DynarraySafe<NameString>& set, const NameString& name)
{
    for (int32_t i = set.Count() - 1; i >= 0; --i)
        if (set[i] == name)
            set.RemoveAt(i);
}

bool Contains(const DynarraySafe<NameString>& set, const NameString& name)
{
    for (const NameString& raised : set)
        if (raised == name)
            return true;
    return false;
}
} // namespace SemaphoreSet
