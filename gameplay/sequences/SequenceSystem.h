// SequenceSystem: the one runner of sequences (script global gSequenceSystem). It owns the loaded
// sequences, kept sorted by name without regard to case so that lookups are a binary search, the
// list of active sequences in start order, and the global and counting semaphores. Updated once per
// frame from the engine update; a scene's record replaces the loaded sequences. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

#include <cstdint>

class Sequence;

// One global counting semaphore.
struct SequenceCountingSemaphore
{
    NameString name;
    int32_t value = 0;
};

// The sequence runner.
class SequenceSystem : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SequenceSystem, RTTIPolyBaseClass)

public:
    SequenceSystem() = default;
    ~SequenceSystem() override;
    SequenceSystem(const SequenceSystem&) = delete;
    SequenceSystem& operator=(const SequenceSystem&) = delete;

    Sequence* StartSequence(const char* name, bool gameplayTime, bool reportMissing);
    void StopAllSequences(bool clearGlobalSemaphores);
    void Enable(bool enabled) { m_enabled = enabled; }
    bool IsEnabled() const { return m_enabled; }
    void EnableAndReset(bool enabled);
    void Update();
    void Reset();
    void Log(uint32_t kind, uint8_t channel) const;
    Sequence* FindSequence(const char* name) const;
    // Takes a sequence built at run time; false (and the sequence deleted) when one of its name is
    // loaded already. Inserted where the name order puts it, so lookups still find every one.
    bool AddSequence(Sequence* sequence);

    void RaiseGlobalSemaphore(const NameString& name);
    void ClearGlobalSemaphore(const NameString& name);
    bool IsGlobalSemaphoreRaised(const NameString& name) const;
    void IncreaseGlobalCountingSemaphore(const NameString& name, int32_t amount);
    int32_t GetGlobalCountingSemaphoreValue(const NameString& name) const;

    // The script and editor queries; out-of-range indices give neutral answers with a warning.
    int32_t GetSequenceCount() const { return m_sequences.Count(); }
    int32_t GetSequenceIndex(const char* name) const;
    const char* GetSequenceName(int32_t sequence) const;
    bool IsSequenceRepeatingAllowed(int32_t sequence) const;
    bool IsSequenceDisabled(int32_t sequence) const;
    int32_t GetTracksCount(int32_t sequence) const;
    const char* GetTrackName(int32_t sequence, int32_t track) const;
    int32_t GetActionsCount(int32_t sequence, int32_t track) const;
    const char* GetActionName(int32_t sequence, int32_t track, int32_t action) const;
    bool IsActionDisabled(int32_t sequence, int32_t track, int32_t action) const;
    int32_t GetParamCount(int32_t sequence, int32_t track, int32_t action) const;
    const char* GetParamName(int32_t sequence, int32_t track, int32_t action, int32_t param) const;
    int32_t GetParamType(int32_t sequence, int32_t track, int32_t action, int32_t param) const;
    bool GetBoolParamValue(int32_t sequence, int32_t track, int32_t action, int32_t param) const;
    float GetFloatParamValue(int32_t sequence, int32_t track, int32_t action, int32_t param) const;
    int32_t GetIntParamValue(int32_t sequence, int32_t track, int32_t action, int32_t param) const;
    const char* GetStringParamValue(int32_t sequence, int32_t track, int32_t action, int32_t param) const;

    const Dynarray<Sequence*>& GetSequences() const { return m_sequences; }
    const Dynarray<Sequence*>& GetActiveSequences() const { return m_active; }
    const DynarraySafe<NameString>& GetGlobalSemaphores() const { return m_globalSemaphores; }

    void OnPreLoad(uint32_t flags) override;
    void OnPostLoad(uint32_t flags) override;

private:
    class SequenceAction* FindAction(int32_t sequence, int32_t track, int32_t action) const;
    const class RTTIProperty* FindParam(int32_t sequence, int32_t track, int32_t action, int32_t param,
                                        const class SequenceAction** owner) const;
    void DeleteSequences();

    Dynarray<Sequence*> m_sequences;
    Dynarray<Sequence*> m_active;
    DynarraySafe<NameString> m_globalSemaphores;
    DynarraySafe<SequenceCountingSemaphore> m_countingSemaphores;
    bool m_enabled = false;
    bool m_resetOnEnable = true;
};

extern SequenceSystem gSequenceSystem;
