// Sequence and SequenceTrack: a named set of parallel tracks, each running its actions one after
// the other against the game or gameplay clock, with the sequence's local semaphores. Owned by the
// sequence system; main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"
#include "core/time/Time.h"

#include <cstdint>

class SequenceAction;
class Sequence;

// One track: its actions in order and the index of the current one.
class SequenceTrack : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SequenceTrack, RTTIPolyBaseClass)

public:
    SequenceTrack() = default;
    ~SequenceTrack() override;
    SequenceTrack(const SequenceTrack&) = delete;
    SequenceTrack& operator=(const SequenceTrack&) = delete;

    // True while the current action runs; instant actions are passed in the same call.
    bool Update(const Time& now, Sequence& sequence, bool skip);

    const NameString& GetName() const { return m_name; }
    void SetName(const char* name) { m_name.Set(name); }
    Dynarray<SequenceAction*>& GetActions() { return m_actions; }
    const Dynarray<SequenceAction*>& GetActions() const { return m_actions; }
    int32_t GetCurrentIndex() const { return m_current; }
    void SetCurrentIndex(int32_t index) { m_current = index; }
    // The current action, or null before the first and after the last.
    SequenceAction* GetCurrentAction() const;
    // Seconds after the sequence's start before the first action starts (tracks the spawner split
    // off wait for the actions they followed); not stored.
    void SetStartDelay(float seconds) { m_startDelay = seconds; }
    float GetStartDelay() const { return m_startDelay; }

private:
    Dynarray<SequenceAction*> m_actions;
    int32_t m_current = -1;
    float m_startDelay = 0.0f;
    NameString m_name;
    NameString m_groupName;
    bool m_inGroup = false;
    bool m_groupLabel = false;
};

// A named sequence of parallel tracks.
class Sequence : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(Sequence, RTTIPolyBaseClass)

public:
    Sequence() = default;
    ~Sequence() override;
    Sequence(const Sequence&) = delete;
    Sequence& operator=(const Sequence&) = delete;

    void Begin(bool gameplayTime);
    // True while any track runs.
    bool Update();
    // Stops the current actions (Stop, not End) and clears the run flags.
    void Stop();
    bool CanSkip() const;

    void RaiseSemaphore(const NameString& name);
    void ClearSemaphore(const NameString& name);
    bool IsSemaphoreRaised(const NameString& name) const;

    const NameString& GetName() const { return m_name; }
    void SetName(const char* name) { m_name.Set(name); }
    bool IsActive() const { return m_active; }
    // The clock's time at the last start.
    const Time& GetStartTime() const { return m_startTime; }
    bool IsOnGameplayClock() const { return m_gameplayClock; }
    void RequestStop() { m_stopRequested = true; }
    bool IsStopRequested() const { return m_stopRequested; }
    void RequestSkip() { m_skipRequested = true; }
    bool IsSkipRequested() const { return m_skipRequested; }
    void SetSkippable(bool skippable) { m_skippable = skippable; }
    const NameString& GetAfterSkip() const { return m_afterSkip; }
    void SetAfterSkip(const char* name) { m_afterSkip.Set(name); }
    bool IsDisabledInEditor() const { return m_unusedEditorFlag; }
    void SetDisabledInEditor(bool disabled) { m_unusedEditorFlag = disabled; }
    bool IsRepeatingAllowed() const { return m_repeatingAllowed; }
    Dynarray<SequenceTrack*>& GetTracks() { return m_tracks; }
    const Dynarray<SequenceTrack*>& GetTracks() const { return m_tracks; }
    const DynarraySafe<NameString>& GetLocalSemaphores() const { return m_localSemaphores; }

private:
    NameString m_name;
    Time m_startTime;
    bool m_active = false;
    bool m_gameplayClock = false;
    bool m_stopRequested = false;
    bool m_skippable = false;
    bool m_skippableNow = false;
    bool m_skipRequested = false;
    Dynarray<SequenceTrack*> m_tracks;
    DynarraySafe<NameString> m_localSemaphores;
    NameString m_afterSkip;
    NameString m_editorPath;
    bool m_unusedEditorFlag = false;
    bool m_repeatingAllowed = false;
};

namespace SemaphoreSet
{
// Names compared by handle: raise appends once, clear removes every copy.
void Raise(DynarraySafe<NameString>& set, const NameString& name);
void Clear(DynarraySafe<NameString>& set, const NameString& name);
bool Contains(const DynarraySafe<NameString>& set, const NameString& name);
} // namespace SemaphoreSet
