// SFXElementContext: the run-time state of one element of a playing effect, the part of an
// SFXContext that belongs to element definition i. The base keeps what every kind shares: the
// element's local box and matrix, a colour multiplier, the playback states of the envelopes the
// definition binds (the five base ones first, then the kind's), and whether the element still runs.
// Each kind derives its own context (SFXElementDefinition::CreateContext) and overrides the
// operations below that concern it. Created and initialised on the game thread by SFXContext::Init,
// then used and deleted only on the render thread.
#pragma once

#include "core/math/BoundingBox4.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "effects/Envelope.h"
#include "effects/sfx/SFXElementDefinition.h"

#include <cstdint>

class EntityTemplate;
class ParticleSpawner;
class SFXContext;

// One element of a playing effect; kinds extend it.
class SFXElementContext
{
public:
    SFXElementContext() = default;
    virtual ~SFXElementContext() = default;
    SFXElementContext(const SFXElementContext&) = delete;
    SFXElementContext& operator=(const SFXElementContext&) = delete;

    // Game thread, before the context reaches the render thread: the local matrix from the current
    // position, rotation and scale. `parent` is the matrix the element is placed in.
    virtual void Init(const SFXElementDefinition& definition, const Matrix& parent, uint32_t renderingFlags,
                      uint32_t initFlags);
    // Game thread, right after Init: hands the owning effect the game-side template reference the
    // kind holds (a mesh particle system's mesh), null when none. The effect gives it back once it
    // has posted the deletion of this context: the reference count belongs to the game thread, the
    // deletion runs on the render thread.
    virtual EntityTemplate* TakeTemplateReference() { return nullptr; }
    // Render thread from here on.
    virtual void SetSpeedMultiplier(float multiplier) { (void)multiplier; }
    virtual void SetLifeMultiplier(float multiplier) { (void)multiplier; }
    // Callers pass a multiplier that is never negative.
    virtual void SetSpawnRateMultiplier(float multiplier) { (void)multiplier; }
    // The spawner stays owned by whoever set it (the effect's entity).
    virtual void SetSpawner(ParticleSpawner* spawner) { (void)spawner; }
    // `skip` set: the element starts without replaying what already played (a sound counts as heard).
    virtual void Start(uint8_t skip) { (void)skip; }
    virtual void FadeOutSound(float seconds) { (void)seconds; }
    virtual void SetSoundMuted(uint8_t muted) { (void)muted; }
    virtual void Stop() {}
    // Advances the bound envelopes by `delta` seconds and rebuilds the local matrix: the pivot
    // translation applies first, then scale, rotation and position. `clockSeconds` is the chosen
    // clock's accumulated time; `parent` the matrix the element is placed in this frame.
    virtual void Update(double clockSeconds, float delta, const SFXElementDefinition& definition, const Matrix& parent);
    // Moves every bound state on by `delta` seconds and sets the running and loops-done bytes; a busy
    // element runs and counts as looping whatever its envelopes say.
    virtual void AdvanceTime(const SFXElementDefinition& definition, float delta);
    // Takes over what must outlive a re-initialisation from the context this one replaces.
    virtual void TakeOver(SFXElementContext& old) { (void)old; }
    virtual void OnMeshTemplateChanged(const SFXElementDefinition& definition) { (void)definition; }
    // True while the kind has work of its own left (particles alive, a restarting nested effect).
    virtual bool IsBusy() const { return false; }
    // The effect an embedded element plays, if any.
    virtual SFXContext* GetNestedContext() const { return nullptr; }
    // Every bound state back to its start, and the local matrix at those states.
    virtual void Reset(const SFXElementDefinition& definition);

    // Playback state `index` (SFXElementDefinition::BaseState first, then the kind's); indices at or
    // past kMaxEnvelopeStates are never bound.
    EnvelopePlayState& GetState(uint32_t index) { return m_states[index]; }
    const EnvelopePlayState& GetState(uint32_t index) const { return m_states[index]; }
    // The element's matrix in its parent's space: the local matrix applies first, then the parent.
    Matrix GetWorldMatrix(const Matrix& parent) const;

    const BoundingBox4& GetLocalBounds() const { return m_localBounds; }
    void SetLocalBounds(const BoundingBox4& bounds) { m_localBounds = bounds; }
    const Matrix& GetLocalMatrix() const { return m_localMatrix; }
    const Vector& GetColor() const { return m_color; }
    void SetColor(const Vector& color) { m_color = color; }
    bool IsRunning() const { return m_running != 0; }
    bool AreLoopsDone() const { return m_loopsDone != 0; }

protected:
    // Rebuilds the local matrix from the position, rotation and scale at their current states.
    void LoadLocalMatrix(const SFXElementDefinition& definition);

    BoundingBox4 m_localBounds =
        BoundingBox4(Vector(-1.0f, -1.0f, -1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f));
    Matrix m_localMatrix = Matrix::ONE;
    Vector m_color = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    EnvelopePlayState m_states[SFXElementDefinition::kMaxEnvelopeStates] = {};
    uint8_t m_running = 0;
    uint8_t m_loopsDone = 0;
};
