// The built-in sequence actions: starting, stopping and branching to sequences, and raising,
// clearing and waiting for local, global and counting semaphores. Instant actions work in Start
// and then last their "Time"; wait actions finish in the frame their condition holds. Main thread.
#pragma once

#include "gameplay/sequences/SequenceAction.h"

class SequenceActionStartSequence : public SequenceAction
{
    RTTI_DECLARE_CLASS(SequenceActionStartSequence, SequenceAction)

public:
    void Start(Sequence& sequence, bool skip) override;

private:
    NameString m_sequence;
    bool m_gameplayTime = false;
};

class SequenceActionStopSequence : public SequenceAction
{
    RTTI_DECLARE_CLASS(SequenceActionStopSequence, SequenceAction)

public:
    void Start(Sequence& sequence, bool skip) override;

private:
    NameString m_sequence;
};

class SequenceActionConditionalSequence : public SequenceAction
{
    RTTI_DECLARE_CLASS(SequenceActionConditionalSequence, SequenceAction)

public:
    void Start(Sequence& sequence, bool skip) override;
    virtual bool Condition() const { return true; }

private:
    NameString m_ifYes;
    NameString m_ifNo;
    bool m_gameplayTime = false;
};

class SequenceActionCheckGlobalSemaphore : public SequenceActionConditionalSequence
{
    RTTI_DECLARE_CLASS(SequenceActionCheckGlobalSemaphore, SequenceActionConditionalSequence)

public:
    bool Condition() const override;

private:
    NameString m_semaphore;
};

// Base of the semaphore actions: the semaphore's name.
class SequenceActionSemaphore : public SequenceAction
{
    RTTI_DECLARE_CLASS(SequenceActionSemaphore, SequenceAction)

protected:
    NameString m_semaphore;
};

class SequenceActionRaiseSemaphore : public SequenceActionSemaphore
{
    RTTI_DECLARE_CLASS(SequenceActionRaiseSemaphore, SequenceActionSemaphore)

public:
    void Start(Sequence& sequence, bool skip) override;
};

class SequenceActionClearSemaphore : public SequenceActionSemaphore
{
    RTTI_DECLARE_CLASS(SequenceActionClearSemaphore, SequenceActionSemaphore)

public:
    void Start(Sequence& sequence, bool skip) override;
};

class SequenceActionWaitForSemaphore : public SequenceActionSemaphore
{
    RTTI_DECLARE_CLASS(SequenceActionWaitForSemaphore, SequenceActionSemaphore)

public:
    bool IsSkippable() const override { return m_skippable; }
    uint32_t Update(Sequence& sequence, float elapsed, float fraction, bool skip) override;

private:
    bool m_skippable = false;
};

class SequenceActionRaiseGlobalSemaphore : public SequenceActionSemaphore
{
    RTTI_DECLARE_CLASS(SequenceActionRaiseGlobalSemaphore, SequenceActionSemaphore)

public:
    void Start(Sequence& sequence, bool skip) override;
};

class SequenceActionClearGlobalSemaphore : public SequenceActionSemaphore
{
    RTTI_DECLARE_CLASS(SequenceActionClearGlobalSemaphore, SequenceActionSemaphore)

public:
    void Start(Sequence& sequence, bool skip) override;
};

class SequenceActionWaitForGlobalSemaphore : public SequenceActionSemaphore
{
    RTTI_DECLARE_CLASS(SequenceActionWaitForGlobalSemaphore, SequenceActionSemaphore)

public:
    bool IsSkippable() const override { return m_skippable; }
    uint32_t Update(Sequence& sequence, float elapsed, float fraction, bool skip) override;

private:
    bool m_skippable = false;
};

class SequenceActionIncreaseGlobalCountingSemaphore : public SequenceActionSemaphore
{
    RTTI_DECLARE_CLASS(SequenceActionIncreaseGlobalCountingSemaphore, SequenceActionSemaphore)

public:
    void Start(Sequence& sequence, bool skip) override;

private:
    int32_t m_value = 1;
};

class SequenceActionWaitForGlobalCountingSemaphoreToReach : public SequenceActionSemaphore
{
    RTTI_DECLARE_CLASS(SequenceActionWaitForGlobalCountingSemaphoreToReach, SequenceActionSemaphore)

public:
    bool IsSkippable() const override { return m_skippable; }
    uint32_t Update(Sequence& sequence, float elapsed, float fraction, bool skip) override;

private:
    int32_t m_value = 1;
    bool m_skippable = false;
};
