#include "gameplay/sequences/SequenceActions.h"

#include "engine/Game.h"
#include "engine/scripting/GameDelegate.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceSystem.h"

RTTI_DEFINE_CLASS(SequenceActionStartSequence, SequenceAction)
RTTI_DEFINE_CLASS(SequenceActionStopSequence, SequenceAction)
RTTI_DEFINE_CLASS(SequenceActionConditionalSequence, SequenceAction)
RTTI_DEFINE_CLASS(SequenceActionCheckGlobalSemaphore, SequenceActionConditionalSequence)
RTTI_DEFINE_CLASS(SequenceActionSemaphore, SequenceAction)
RTTI_DEFINE_CLASS(SequenceActionRaiseSemaphore, SequenceActionSemaphore)
RTTI_DEFINE_CLASS(SequenceActionClearSemaphore, SequenceActionSemaphore)
RTTI_DEFINE_CLASS(SequenceActionWaitForSemaphore, SequenceActionSemaphore)
RTTI_DEFINE_CLASS(SequenceActionRaiseGlobalSemaphore, SequenceActionSemaphore)
RTTI_DEFINE_CLASS(SequenceActionClearGlobalSemaphore, SequenceActionSemaphore)
RTTI_DEFINE_CLASS(SequenceActionWaitForGlobalSemaphore, SequenceActionSemaphore)
RTTI_DEFINE_CLASS(SequenceActionIncreaseGlobalCountingSemaphore, SequenceActionSemaphore)
RTTI_DEFINE_CLASS(SequenceActionWaitForGlobalCountingSemaphoreToReach, SequenceActionSemaphore)

namespace
{
template <class C>
void AddName(RTTIPropertiesBase& table, const char* key, NameString C::*field)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>(key, field));
}

template <class C>
void AddBool(RTTIPropertiesBase& table, const char* key, bool C::*field)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>(key, field));
}

// An empty name starts nothing and says nothing; the game delegate may take the start over.
void StartNamed(const NameString& name, bool gameplayTime)
{
    if (name.IsEmpty())
        return;
    GameDelegate* const delegate = gGame.GetDelegate();
    if (delegate != nullptr && delegate->StartSequenceOverride(name.CStr(), gameplayTime) != 0)
        return;
    gSequenceSystem.StartSequence(name.CStr(), gameplayTime, true);
}
} // namespace

void SequenceActionStartSequence::BuildClassProperties(RTTIPropertiesBase& table)
{
    AddName(table, "Sequence", &SequenceActionStartSequence::m_sequence);
    AddBool(table, "GameplayTime", &SequenceActionStartSequence::m_gameplayTime);
}

void SequenceActionStartSequence::Start(Sequence&, bool)
{
    StartNamed(m_sequence, m_gameplayTime);
}

void SequenceActionStopSequence::BuildClassProperties(RTTIPropertiesBase& table)
{
    AddName(table, "Sequence", &SequenceActionStopSequence::m_sequence);
}

void SequenceActionStopSequence::Start(Sequence&, bool)
{
    Sequence* const target = gSequenceSystem.FindSequence(m_sequence.CStr());
    if (target != nullptr && target->IsActive())
        target->RequestStop();
}

void SequenceActionConditionalSequence::BuildClassProperties(RTTIPropertiesBase& table)
{
    AddName(table, "IfYes", &SequenceActionConditionalSequence::m_ifYes);
    AddName(table, "IfNo", &SequenceActionConditionalSequence::m_ifNo);
    AddBool(table, "GameplayTime", &SequenceActionConditionalSequence::m_gameplayTime);
}

void SequenceActionConditionalSequence::Start(Sequence&, bool)
{
    const NameString& name = Condition() ? m_ifYes : m_ifNo;
    if (name.IsEmpty())
        return;
    GameDelegate* const delegate = gGame.GetDelegate();
    if (delegate != nullptr && delegate->StartSequenceOverride(name.CStr(), false) != 0)
        return;
    gSequenceSystem.StartSequence(name.CStr(), m_gameplayTime, true);
}

void SequenceActionCheckGlobalSemaphore::BuildClassProperties(RTTIPropertiesBase& table)
{
    AddName(table, "Semaphore", &SequenceActionCheckGlobalSemaphore::m_semaphore);
}

bool SequenceActionCheckGlobalSemaphore::Condition() const
{
    return gSequenceSystem.IsGlobalSemaphoreRaised(m_semaphore);
}

void SequenceActionSemaphore::BuildClassProperties(RTTIPropertiesBase& table)
{
    AddName(table, "Semaphore", &SequenceActionSemaphore::m_semaphore);
}

void SequenceActionRaiseSemaphore::BuildClassProperties(RTTIPropertiesBase&) {}

void SequenceActionRaiseSemaphore::Start(Sequence& sequence, bool)
{
    sequence.RaiseSemaphore(m_semaphore);
}

void SequenceActionClearSemaphore::BuildClassProperties(RTTIPropertiesBase&) {}

void SequenceActionClearSemaphore::Start(Sequence& sequence, bool)
{
    sequence.ClearSemaphore(m_semaphore);
}

void SequenceActionWaitForSemaphore::BuildClassProperties(RTTIPropertiesBase& table)
{
    AddBool(table, "Skippable", &SequenceActionWaitForSemaphore::m_skippable);
}

uint32_t SequenceActionWaitForSemaphore::Update(Sequence& sequence, float, float, bool skip)
{
    if ((m_skippable && skip) || sequence.IsSemaphoreRaised(m_semaphore))
        return kFinished;
    return kRunning;
}

void SequenceActionRaiseGlobalSemaphore::BuildClassProperties(RTTIPropertiesBase&) {}

void SequenceActionRaiseGlobalSemaphore::Start(Sequence&, bool)
{
    gSequenceSystem.RaiseGlobalSemaphore(m_semaphore);
}

void SequenceActionClearGlobalSemaphore::BuildClassProperties(RTTIPropertiesBase&) {}

void SequenceActionClearGlobalSemaphore::Start(Sequence&, bool)
{
    gSequenceSystem.ClearGlobalSemaphore(m_semaphore);
}

void SequenceActionWaitForGlobalSemaphore::BuildClassProperties(RTTIPropertiesBase& table)
{
    AddBool(table, "Skippable", &SequenceActionWaitForGlobalSemaphore::m_skippable);
}

uint32_t SequenceActionWaitForGlobalSemaphore::Update(Sequence&, float, float, bool skip)
{
    if ((m_skippable && skip) || gSequenceSystem.IsGlobalSemaphoreRaised(m_semaphore))
        return kFinished;
    return kRunning;
}

void SequenceActionIncreaseGlobalCountingSemaphore::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<SequenceActionIncreaseGlobalCountingSemaphore, int32_t>(
        "Value", &SequenceActionIncreaseGlobalCountingSemaphore::m_value));
}

void SequenceActionIncreaseGlobalCountingSemaphore::Start(Sequence&, bool)
{
    gSequenceSystem.IncreaseGlobalCountingSemaphore(m_semaphore, m_value);
}

void SequenceActionWaitForGlobalCountingSemaphoreToReach::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SequenceActionWaitForGlobalCountingSemaphoreToReach;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, int32_t>("Value", &C::m_value));
    AddBool(table, "Skippable", &C::m_skippable);
}

uint32_t SequenceActionWaitForGlobalCountingSemaphoreToReach::Update(Sequence&, float, float, bool skip)
{
    if (m_skippable && skip)
        return kFinished;
    return gSequenceSystem.GetGlobalCountingSemaphoreValue(m_semaphore) < m_value ? kRunning : kFinished;
}
