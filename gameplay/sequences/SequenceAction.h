// SequenceAction: one step of a sequence track. The track sets its start time, calls Start, ticks
// it each frame until it reports finished, then calls End (or Stop when the whole sequence stops).
// The base lasts its "Time"; subclasses do their work in Start or decide in Update. Main thread only.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"
#include "core/time/Time.h"

#include <cstdint>

class Sequence;
class RecordInput;
class RecordOutput;

// Base of every sequence action.
class SequenceAction : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SequenceAction, RTTIPolyBaseClass)

public:
    // Update answers.
    static constexpr uint32_t kLastsItsTime = 0;
    static constexpr uint32_t kRunning = 1;
    static constexpr uint32_t kFinished = 2;
    // "Editor flags" bit: the track passes the action over.
    static constexpr uint32_t kDisabledFlag = 2;

    ~SequenceAction() override = default;

    virtual const char* GetActionClassName() const;
    // Elapsed seconds as one float; the load sets the start time so the action resumes there.
    virtual void SaveProgress(RecordOutput& out, const Time& now) const;
    virtual bool LoadProgress(RecordInput& in, const Time& now);
    virtual void Dump(uint32_t kind, uint8_t channel, int32_t index) const;
    virtual bool IsSkippable() const { return true; }
    virtual void Start(Sequence& sequence, bool skip) { (void)sequence, (void)skip; }
    virtual void End(Sequence& sequence, bool skip) { (void)sequence, (void)skip; }
    virtual void Stop(Sequence& sequence) { (void)sequence; }
    virtual uint32_t Update(Sequence& sequence, float elapsed, float fraction, bool skip)
    {
        (void)sequence, (void)elapsed, (void)fraction, (void)skip;
        return kLastsItsTime;
    }

    // True while the action runs: elapsed time against "Time" and the Update answer.
    bool Tick(const Time& now, Sequence& sequence, bool skip);
    bool IsDisabled() const { return (m_editorFlags & kDisabledFlag) != 0; }

    const Time& GetStartTime() const { return m_startTime; }
    void SetStartTime(const Time& time) { m_startTime = time; }
    float GetTime() const { return m_time; }
    void SetTime(float seconds) { m_time = seconds; }
    float GetMinimalStartTime() const { return m_minimalStartTime; }
    void SetMinimalStartTime(float seconds) { m_minimalStartTime = seconds; }
    uint32_t GetEditorFlags() const { return m_editorFlags; }
    void SetEditorFlags(uint32_t flags) { m_editorFlags = flags; }

protected:
    Time m_startTime;
    float m_time = 0.0f;
    float m_minimalStartTime = 0.0f;
    float m_editorHelperTime = 0.0f;
    NameString m_designerComment;
    uint32_t m_editorFlags = 0;
};
