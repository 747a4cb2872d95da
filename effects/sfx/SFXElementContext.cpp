#include "effects/sfx/SFXElementContext.h"

#include "effects/TEnvelope.h"

void SFXElementContext::LoadLocalMatrix(const SFXElementDefinition& definition)
{
    Vector position;
    Vector rotation;
    Vector scale;
    definition.GetPosition().Evaluate(m_states[SFXElementDefinition::STATE_POSITION], position);
    definition.GetRotation().Evaluate(m_states[SFXElementDefinition::STATE_ROTATION], rotation);
    definition.GetScale().Evaluate(m_states[SFXElementDefinition::STATE_SCALE], scale);
    m_localMatrix.LoadComplexTransformation(position, rotation, scale);
}

void SFXElementContext::Init(const SFXElementDefinition& definition, const Matrix& parent, uint32_t renderingFlags,
                             uint32_t initFlags)
{
    (void)parent, (void)renderingFlags, (void)initFlags;
    LoadLocalMatrix(definition);
}

void SFXElementContext::Update(double clockSeconds, float delta, const SFXElementDefinition& definition,
                               const Matrix& parent)
{
    (void)clockSeconds, (void)parent;
    // The envelopes only: a kind's own AdvanceTime adds time its parts also take from the frame
    // (an emitter would run twice as fast); it runs for explicit advances alone.
    SFXElementContext::AdvanceTime(definition, delta);
    LoadLocalMatrix(definition);
    Vector pivot;
    definition.GetPivot().Evaluate(m_states[SFXElementDefinition::STATE_PIVOT], pivot);
    Matrix pivotTranslation;
    pivotTranslation.LoadTranslation(pivot);
    // Mul applies its second operand first: the pivot moves the element in its own space.
    const Matrix placed = m_localMatrix;
    m_localMatrix.Mul(placed, pivotTranslation);
}

void SFXElementContext::AdvanceTime(const SFXElementDefinition& definition, float delta)
{
    m_running = 0;
    m_loopsDone = 1;
    if (IsBusy())
    {
        m_running = 1;
        m_loopsDone = 0;
        return;
    }
    for (const SFXEnvelopeBinding& binding : definition.GetEnvelopeBindings())
    {
        EnvelopePlayState& state = m_states[binding.state];
        if (!binding.envelope->Advance(state, delta))
            m_running = 1;
        if (state.loop < uint32_t(binding.envelope->GetLoops().Count()))
            m_loopsDone = 0;
    }
}

void SFXElementContext::Reset(const SFXElementDefinition& definition)
{
    for (const SFXEnvelopeBinding& binding : definition.GetEnvelopeBindings())
        Envelope::ResetPlayback(m_states[binding.state]);
    LoadLocalMatrix(definition);
}

Matrix SFXElementContext::GetWorldMatrix(const Matrix& parent) const
{
    Matrix world;
    world.Mul(parent, m_localMatrix);
    return world;
}
