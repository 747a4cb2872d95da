#include "gameplay/sequences/SequenceAction.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"

RTTI_DEFINE_CLASS(SequenceAction, RTTIPolyBaseClass)

void SequenceAction::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SequenceAction;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Time", &C::m_time));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Minimal start time", &C::m_minimalStartTime));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("EditorHelperTime", &C::m_editorHelperTime));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Designer comment", &C::m_designerComment));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Editor flags", &C::m_editorFlags));
}

const char* SequenceAction::GetActionClassName() const
{
    const RTTIPropertiesBase* const table = GetClassProperties();
    return table != nullptr ? table->GetClassName() : "SequenceAction";
}

void SequenceAction::SaveProgress(RecordOutput& out, const Time& now) const
{
    out.WriteFloat(float((now - m_startTime).ToSeconds()));
}

bool SequenceAction::LoadProgress(RecordInput& in, const Time& now)
{
    float seconds = 0.0f;
    if (!in.ReadFloat(seconds))
        return false;
    m_startTime = now - Time(int64_t(double(seconds) * double(Time::GetFrequency())));
    return true;
}

void SequenceAction::Dump(uint32_t kind, uint8_t channel, int32_t index) const
{
    gConsole.Printf(kind, channel, "\t\t\t\t\t\t%d.) Action: %s, skippable: %s", index, GetActionClassName(),
                    IsSkippable() ? "true" : "false");
}

bool SequenceAction::Tick(const Time& now, Sequence& sequence, bool skip)
{
    if (IsDisabled())
        return false;
    float elapsed = float((now - m_startTime).ToSeconds());
    bool running = true;
    if (elapsed >= m_time || skip)
    {
        running = false;
        elapsed = m_time;
    }
    // An action of no length is done the moment it starts: 0/0 would give a NaN fraction.
    const float fraction = m_time > 0.0f ? elapsed / m_time : 1.0f;
    switch (Update(sequence, elapsed, fraction, skip))
    {
    case kLastsItsTime:
        return running;
    case kFinished:
        return false;
    default:
        return true;
    }
}
