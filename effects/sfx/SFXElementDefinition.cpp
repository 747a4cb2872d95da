#include "effects/sfx/SFXElementDefinition.h"

#include "core/console/GameConsole.h"
#include "effects/sfx/SFXDefinition.h"
#include "engine/NorvexEngine.h"
#include "engine/config/EngineConfig.h"
#include "renderer/NorvexRenderer.h"

namespace
{
const char* const kFaceCameraModeNames[] = {"None",         "Screen-full",  "Camera-full",   "Fix-X",        "Fix-Y",
                                            "Screen fix-X", "Screen fix-Y", "Camera offset", "World-ground", nullptr};
const char* const kTacticalExtendedNames[] = {"Same as VR", "True", "False", nullptr};
constexpr uint32_t kLegacyPivotFlags = 0x4042;
} // namespace

RTTI_DEFINE_CLASS(SFXElementDefinition, RTTIPolyBaseClass)

void SFXElementDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXElementDefinition;
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Position", &C::m_position));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Rotation", &C::m_rotation));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Scale", &C::m_scale));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Pivot", &C::m_legacyPivot, kLegacyPivotFlags));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<Vector>>("Pivot ", &C::m_pivot));
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, TEnvelope<HDRColor>>("Color", &C::m_color));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Face camera mode", &C::m_faceCameraMode,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kFaceCameraModeNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Face camera offset", &C::m_faceCameraOffset));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("Description", &C::m_description));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Scale with parent", &C::m_scaleWithParent));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Visible in combat view", &C::m_visibleInCombatView));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Visible in tactical view", &C::m_visibleInTacticalView));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>(
                          "Visible in tactical extended", &C::m_visibleInTacticalExtended, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kTacticalExtendedNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Enabled", &C::m_enabled));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Expands bounding box", &C::m_expandsBoundingBox));
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, bool>("Use FSE SFX color mult", &C::m_useSceneColorMultiplier));
}

SFXElementDefinition::SFXElementDefinition()
    : m_position(Envelope::COMBINE_ADD, Vector(0.0f, 0.0f, 0.0f, 1.0f)),
      m_rotation(Envelope::COMBINE_ADD, Vector(0.0f, 0.0f, 0.0f, 0.0f)),
      m_scale(Envelope::COMBINE_MULTIPLY, Vector(1.0f, 1.0f, 1.0f, 0.0f)), m_legacyPivot(0.0f, 0.0f, 0.0f, 0.0f),
      m_pivot(Envelope::COMBINE_ADD, Vector(0.0f, 0.0f, 0.0f, 0.0f)),
      m_color(Envelope::COMBINE_MULTIPLY, HDRColor(255, 255, 255, 255, 1.0f))
{
}

void SFXElementDefinition::OnBeforePropertiesChanged()
{
    // Only the game thread writes the render stream (and so may drain it).
    if (m_owner != nullptr && gRenderer != nullptr && gRenderer->IsGameThread())
        gRenderer->SubmitCommands(true);
}

void SFXElementDefinition::OnPropertyChanged(const RTTIProperty* property)
{
    (void)property;
    ResolveResources(true);
    // The definition's aggregated pass bits are left as they were: only its own edits and loads
    // recompute them.
    if (m_owner != nullptr)
        m_owner->ReinitContexts(false);
}

void SFXElementDefinition::OnPostLoad(uint32_t flags)
{
    RTTIPolyBaseClass::OnPostLoad(flags);
    // Packed game data was written after the pivot moved into its envelope.
    if (const EngineConfig* config = gNorvexEngine.GetConfig(); config != nullptr && config->UsesContainerFiles())
        return;
    const Vector zero(0.0f, 0.0f, 0.0f, 0.0f);
    if (m_legacyPivot.Equal(zero))
        return;
    Vector constant;
    m_pivot.GetConstantValue(constant);
    if (!m_pivot.IsEnabled() && constant.Equal(zero))
        m_pivot.SetConstantValue(m_legacyPivot);
    m_legacyPivot = zero;
}

void SFXElementDefinition::Bind(const Envelope& envelope, uint32_t state)
{
    if (state >= kMaxEnvelopeStates)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "%s binds envelope state %u past the last (%u)", GetClassProperties()->GetClassName(), state,
                       kMaxEnvelopeStates - 1);
        return;
    }
    m_bindings.Add(SFXEnvelopeBinding{&envelope, state});
}

void SFXElementDefinition::ResolveResources(bool load)
{
    (void)load;
    m_bindings.Clear();
    Bind(m_position, STATE_POSITION);
    Bind(m_rotation, STATE_ROTATION);
    Bind(m_scale, STATE_SCALE);
    Bind(m_color, STATE_COLOR);
    Bind(m_pivot, STATE_PIVOT);
    m_viewMask = 0;
    if (m_visibleInCombatView)
        m_viewMask |= VIEW_COMBAT;
    if (m_visibleInTacticalView)
        m_viewMask |= VIEW_TACTICAL;
    if (m_visibleInTacticalExtended == TACTICAL_EXTENDED_TRUE ||
        (m_visibleInTacticalExtended == TACTICAL_EXTENDED_SAME_AS_VR && m_visibleInTacticalView))
        m_viewMask |= VIEW_TACTICAL_EXTENDED;
}

void SFXElementDefinition::InstallDrawData(const SFXElementDrawData& drawn)
{
    m_passBits = drawn.passBits;
    m_depthPass = drawn.depthPass;
    m_flag32 = drawn.flag32;
}
