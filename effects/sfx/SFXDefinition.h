// SFXDefinition: the shared, edited and serialized description of one composite effect: its
// ordered element definitions (the index of an element is the index of its element context), the
// delete timeout of a finished effect's entity and a scale for every element. An SFXTemplate owns
// and serializes it. Every playing SFXContext is linked into its definition's context list, so an
// edit or a reload re-initialises every instance; every definition is linked into one global
// registry, guarded by its own lock, that other subsystems walk to re-initialise all effects.
// Game thread; the render thread reads definitions while contexts play, and every change first
// drains the render stream.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIClass.h"
#include "effects/sfx/SFXElementDefinition.h"

#include <atomic>
#include <cstdint>
#include <functional>

class CommandRingBuffer;
class NorvexRenderer;
class Resource;
class SFXContext;

// One effect: its elements and the values shared by all of them.
class SFXDefinition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SFXDefinition, RTTIPolyBaseClass)

public:
    SFXDefinition();
    ~SFXDefinition() override;
    SFXDefinition(const SFXDefinition&) = delete;
    SFXDefinition& operator=(const SFXDefinition&) = delete;

    void InvalidateSafePointers() override;
    // Drains the render stream, so that no queued command reads the old data.
    void OnBeforePropertiesChanged();
    // Resolves every element and re-initialises every context.
    void OnPropertyChanged(const RTTIProperty* property) override;
    // Drains the render stream unless the flags contain 4.
    void OnPreLoad(uint32_t flags) override;
    // Binds the elements to this definition and resolves them (loading unless the flags contain 4).
    void OnPostLoad(uint32_t flags) override;

    // Resolves every element and recomputes the aggregated pass bits and bytes.
    void ResolveElements(bool load);
    // True when an element was resolved before its template's body was in. A definition played
    // `nested` skips its embedded effects, which nested contexts never play (and which may name an
    // effect that embeds this one).
    bool HasPendingTemplates(bool nested) const;
    // Before a context plays this definition: such elements wait for their templates and take their
    // passes and boxes again, and the aggregates follow. The render thread draws from these values,
    // so when contexts play the definition already the render stream is drained first; otherwise no
    // context can read them before its install is handed over.
    void TakeLoadedTemplates(bool nested);
    // Before elements that contexts play re-read their templates in place (a mesh template was
    // edited): elements still waiting for their templates take them, so that nothing is read while
    // the resource thread writes a body, and the render stream is drained, since the render thread
    // draws from what the elements rewrite.
    void PrepareElementRefresh(bool nested);

    // Effects read from their files (SFXDefinitionArrivals.cpp). Their elements took templates whose
    // bodies were not in; a template that comes in later is taken on the game thread as soon as it is
    // in, not only when the effect next plays. What draws read is handed to the render side by a call
    // command, so a draw of an effect already playing the definition sees the old or the new values,
    // never half of each.
    // True when an element waits for a template it can take once in (HasTemplateArrived).
    bool WaitsForArrivals() const;
    // Any thread, as `owner` (the effect template holding this definition) reads its body: the
    // definition is looked at every frame until no element waits; `owner` is held meanwhile.
    void WaitForArrivals(Resource& owner);
    // Game thread: the elements whose templates came in take them, and the aggregates follow.
    void TakeArrivedTemplates();
    // Game thread, every frame: TakeArrivedTemplates of every waiting definition whose owner is in.
    static void TakeArrivedTemplatesOfAll();
    // Game thread, before templates unload (engine close): every waiting definition stops waiting
    // and gives its owner back, so that templates unload in their usual order.
    static void StopWaitingForAllArrivals();
    void ReleaseElementResources(uint32_t flag);
    // Drains the render stream, then each element preloads its resources.
    void PreloadElementResources();
    void SetElementResourceFlags(uint32_t flags);
    // Drains the render stream, deletes the disabled elements keeping the others' order, and
    // re-initialises every context.
    void DeleteUnflaggedElements();
    // `SFXContext::Init` of every context of this definition, at the identity matrix.
    void ReinitContexts(bool carryOver);

    // Contexts playing this definition; a context links itself at its first initialisation and
    // unlinks itself when released.
    void LinkContext(SFXContext& context);
    void UnlinkContext(SFXContext& context);
    SFXContext* GetFirstContext() const { return m_contextHead; }

    // Calls `visit` for every live definition while holding the registry lock.
    static void WalkRegistry(const std::function<void(SFXDefinition&)>& visit);
    static int32_t GetRegistryCount();

    const Dynarray<SFXElementDefinition*>& GetElements() const { return m_elements; }
    // Takes ownership.
    void AddElement(SFXElementDefinition* element) { m_elements.Add(element); }
    float GetDeleteTimeout() const { return m_deleteTimeout; }
    void SetDeleteTimeout(float seconds) { m_deleteTimeout = seconds; }
    const Vector& GetScaleForAllElements() const { return m_scaleForAll; }
    void SetScaleForAllElements(const Vector& scale) { m_scaleForAll = scale; }
    uint32_t GetPassBits() const { return m_passBits; }
    uint8_t GetDepthPassByte() const { return m_depthPass; }
    uint8_t GetFlag32Byte() const { return m_flag32; }

private:
    // The aggregated pass bits and bytes from the elements' own.
    void AggregateElementPasses();
    // `drawn` into the element: by a call command when the render thread runs beside the game thread.
    void HandOverDrawData(SFXElementDefinition& element, const SFXElementDrawData& drawn);
    static void InstallHandedOver(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);
    // Game thread: waits until every hand-over posted has been installed, so that the elements' draw
    // data can be read and written here.
    void SettleHandOvers();
    // Leaves the list of definitions waiting for arrivals (the destructor).
    void StopWaitingForArrivals();

    Dynarray<SFXElementDefinition*> m_elements;
    float m_deleteTimeout = 1.0f; // seconds
    Vector m_scaleForAll;

    uint32_t m_passBits = 0;
    uint8_t m_depthPass = 0;
    uint8_t m_flag32 = 0;
    SFXContext* m_contextHead = nullptr;
    SFXContext* m_contextTail = nullptr;
    SFXDefinition* m_registryPrevious = nullptr;
    SFXDefinition* m_registryNext = nullptr;
    uint32_t m_handOversPosted = 0;                  // game thread
    std::atomic<uint32_t> m_handOversInstalled{0};   // render thread, read by the game thread
};
