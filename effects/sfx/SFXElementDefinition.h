// SFXElementDefinition: the reflected base of the element kinds of an effect (quads, particles,
// meshes, lights, sounds, physical effects, nested effects). Every element is placed, scaled,
// coloured and timed by keyed envelopes; a binding table tells the playing element contexts which
// envelope drives which of their playback states. Edited, loaded and resolved on the game thread;
// the render thread reads elements while effects play, and the game thread drains the render
// stream before it changes one.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/BoundingBox4.h"
#include "core/math/HDRColor.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIClass.h"
#include "effects/TEnvelope.h"

#include <cstdint>
#include <string>

class EntityTemplate;
class SFXDefinition;
class SFXElementContext;

// Which envelope of an element drives which playback state of its element contexts.
struct SFXEnvelopeBinding
{
    const Envelope* envelope;
    uint32_t state; // index of the playback state inside the element context
};

// What an element's draws read of its resolution: its passes, and a mesh's box and preset.
struct SFXElementDrawData
{
    uint32_t passBits = 0x11; // SFXElementDefinition::kDefaultPassBits
    uint8_t depthPass = 0;
    uint8_t flag32 = 0;
    BoundingBox4 box = BoundingBox4::INVALID;
    uint32_t presetIndex = 0;
};

// Base element: the shared properties, their envelopes and the kinds' virtual operations.
class SFXElementDefinition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SFXElementDefinition, RTTIPolyBaseClass)

public:
    // Playback states of the base part of every element context, in their order there.
    enum BaseState : uint32_t
    {
        STATE_POSITION = 0,
        STATE_ROTATION = 1,
        STATE_SCALE = 2,
        STATE_PIVOT = 3,
        STATE_COLOR = 4,
        BASE_STATE_COUNT = 5,
    };
    // View mask bits.
    enum View : uint32_t
    {
        VIEW_COMBAT = 1,
        VIEW_TACTICAL = 2,
        VIEW_TACTICAL_EXTENDED = 4,
    };
    // "Visible in tactical extended".
    enum TacticalExtended : uint8_t
    {
        TACTICAL_EXTENDED_SAME_AS_VR = 0,
        TACTICAL_EXTENDED_TRUE = 1,
        TACTICAL_EXTENDED_FALSE = 2,
    };
    static constexpr uint32_t kDefaultPassBits = 0x11;
    // Playback states an element context holds: the base five and at most three of a kind.
    static constexpr uint32_t kMaxEnvelopeStates = 8;

    SFXElementDefinition();
    SFXElementDefinition(const SFXElementDefinition&) = delete;
    SFXElementDefinition& operator=(const SFXElementDefinition&) = delete;

    // Drains the render stream when the element belongs to a definition, so that no queued
    // command reads the old values.
    void OnBeforePropertiesChanged();
    // Resolves the element again and re-initialises every context of its definition.
    void OnPropertyChanged(const RTTIProperty* property) override;
    // Moves a legacy pivot into the pivot envelope.
    void OnPostLoad(uint32_t flags) override;

    // The kinds' operations; the base has nothing to load, draw or play.
    virtual void ReleaseResources(uint32_t flag) { (void)flag; }
    virtual void PreloadResources() {}
    virtual void SetResourceFlags(uint32_t flags) { (void)flags; }
    // Consulted when the pass flags contain 16.
    virtual bool IsDrawnInFilteredPass() const { return false; }
    // The template the element plays (the mesh kind's mesh template), if any.
    virtual EntityTemplate* GetResource() const { return nullptr; }
    // Called before contexts are told that the element's template changed.
    virtual void RefreshResource() {}
    virtual void Draw(const Matrix& matrix, const Vector& color, SFXElementContext* context, uint32_t passMask,
                      uint32_t extra, uint32_t passFlags) const
    {
        (void)matrix, (void)color, (void)context, (void)passMask, (void)extra, (void)passFlags;
    }
    virtual void DrawDepth(const Matrix& matrix, SFXElementContext* context) const { (void)matrix, (void)context; }
    virtual uint32_t GetChannelMask(const SFXElementContext* context) const
    {
        (void)context;
        return 0;
    }
    // True when the kind drew anything.
    virtual bool DrawChannel(const Matrix& matrix, SFXElementContext* context) const
    {
        (void)matrix, (void)context;
        return false;
    }
    // A new element context of the kind; the base has none.
    virtual SFXElementContext* CreateContext() const { return nullptr; }
    // Rebuilds the envelope bindings and the view mask; kinds first call this, then bind their own
    // envelopes and load their resources (now when `load`).
    virtual void ResolveResources(bool load);
    // Game thread. An element resolved while its template's body was not in yet (an effect read from
    // its file takes its templates without waiting) took its pass bits, bytes and box from the
    // template's defaults; before the element plays, TakeLoadedTemplate waits for the body and takes
    // them again. Callers drain the render stream first when effects already draw the element.
    virtual bool IsTemplatePending() const { return m_templatePending; }
    virtual void TakeLoadedTemplate() {}
    // Kinds that take their templates as they come in (the others take them when the effect next
    // plays). Game thread, without waiting: HasTemplateArrived is true when every template body
    // TakeArrivedTemplate reads has come in.
    virtual bool TakesArrivedTemplates() const { return false; }
    virtual bool HasTemplateArrived() const { return false; }
    // Takes the arrived templates: what draws read goes into `drawn` (SFXDefinition hands it to the
    // render side), the rest into the element. The element may stay pending for a further body.
    virtual void TakeArrivedTemplate(SFXElementDrawData& drawn) { (void)drawn; }
    // Where no draw of the element runs meanwhile (the render thread in stream order, or with no
    // render thread): `drawn` becomes what the element draws with.
    virtual void InstallDrawData(const SFXElementDrawData& drawn);
    virtual bool IsNestedSfx() const { return false; }

    SFXDefinition* GetOwner() const { return m_owner; }
    void SetOwner(SFXDefinition* owner) { m_owner = owner; }
    const Dynarray<SFXEnvelopeBinding>& GetEnvelopeBindings() const { return m_bindings; }
    uint32_t GetPassBits() const { return m_passBits; }
    uint32_t GetViewMask() const { return m_viewMask; }
    uint8_t GetDepthPassByte() const { return m_depthPass; }
    uint8_t GetFlag32Byte() const { return m_flag32; }

    const TEnvelope<Vector>& GetPosition() const { return m_position; }
    const TEnvelope<Vector>& GetRotation() const { return m_rotation; }
    const TEnvelope<Vector>& GetScale() const { return m_scale; }
    const TEnvelope<Vector>& GetPivot() const { return m_pivot; }
    const TEnvelope<HDRColor>& GetColor() const { return m_color; }
    TEnvelope<Vector>& GetPivot() { return m_pivot; }
    const Vector& GetLegacyPivot() const { return m_legacyPivot; }
    void SetLegacyPivot(const Vector& pivot) { m_legacyPivot = pivot; }
    const std::string& GetDescription() const { return m_description; }
    void SetDescription(const char* description) { m_description = description; }
    uint32_t GetFaceCameraMode() const { return m_faceCameraMode; }
    float GetFaceCameraOffset() const { return m_faceCameraOffset; }
    bool ScalesWithParent() const { return m_scaleWithParent; }
    bool IsEnabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    bool ExpandsBoundingBox() const { return m_expandsBoundingBox; }
    bool UsesSceneColorMultiplier() const { return m_useSceneColorMultiplier; }

protected:
    // A state past the element context's states is refused (logged), so no context is written past
    // its end.
    void Bind(const Envelope& envelope, uint32_t state);

    // Kinds set these from their data.
    uint32_t m_passBits = kDefaultPassBits;
    uint8_t m_depthPass = 0;
    uint8_t m_flag32 = 0;
    // Set by kinds whose data came from a template whose body was not in yet.
    bool m_templatePending = false;

private:
    TEnvelope<Vector> m_position;
    TEnvelope<Vector> m_rotation; // degrees
    TEnvelope<Vector> m_scale;
    Vector m_legacyPivot;
    TEnvelope<Vector> m_pivot;
    TEnvelope<HDRColor> m_color;
    uint32_t m_faceCameraMode = 0;
    float m_faceCameraOffset = 0.0f;
    std::string m_description;
    bool m_scaleWithParent = true;
    bool m_visibleInCombatView = true;
    bool m_visibleInTacticalView = true;
    uint8_t m_visibleInTacticalExtended = TACTICAL_EXTENDED_FALSE;
    bool m_enabled = true;
    bool m_expandsBoundingBox = true;
    bool m_useSceneColorMultiplier = true;

    SFXDefinition* m_owner = nullptr;
    uint32_t m_viewMask = 0xFFFFFFFFu;
    Dynarray<SFXEnvelopeBinding> m_bindings;
};
