// SFXDefinition: a composite effect made of element definitions, owned by an SFXTemplate. The
// element kinds (sprites, meshes, lights, sounds...) and how they load and play belong to the
// effects work, which is not built: the base element keeps only its keep flag and resource flags.
// Main thread; the render thread reads definitions while effects play.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIClass.h"

// One element of an effect; element kinds derive from it.
class SFXElementDefinition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SFXElementDefinition, RTTIPolyBaseClass)

public:
    // Drops the element's textures, shaders and templates.
    virtual void ReleaseResources(uint32_t flag) { (void)flag; }
    // Requests what the element needs to play.
    virtual void RequestResources() {}
    // ORs the flags into the element's resources.
    virtual void SetResourceFlags(uint32_t flags) { m_resourceFlags |= flags; }
    uint32_t GetResourceFlags() const { return m_resourceFlags; }
    // Elements kept by the last sweep of DeleteUnflaggedElements.
    bool IsKept() const { return m_keep; }
    void SetKept(bool keep) { m_keep = keep; }

private:
    uint32_t m_resourceFlags = 0;
    bool m_keep = false;
};

// An effect: its element definitions and the values shared by all of them.
class SFXDefinition : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(SFXDefinition, RTTIPolyBaseClass)

public:
    SFXDefinition() = default;
    ~SFXDefinition() override;
    SFXDefinition(const SFXDefinition&) = delete;
    SFXDefinition& operator=(const SFXDefinition&) = delete;

    void ReleaseElementResources(uint32_t flag);
    // Waits for the render thread, then each element requests its resources.
    void PreloadElementResources();
    void SetElementResourceFlags(uint32_t flags);
    // Waits for the render thread, then deletes every element whose keep flag is clear.
    void DeleteUnflaggedElements();

    const Dynarray<SFXElementDefinition*>& GetElements() const { return m_elements; }
    // Takes ownership.
    void AddElement(SFXElementDefinition* element) { m_elements.Add(element); }
    float GetScale() const { return m_scale; }
    void SetScale(float scale) { m_scale = scale; }
    float GetDeleteTimeout() const { return m_deleteTimeout; }
    void SetDeleteTimeout(float seconds) { m_deleteTimeout = seconds; }

private:
    float m_scale = 1.0f;
    float m_deleteTimeout = 0.0f;
    Dynarray<SFXElementDefinition*> m_elements;
};
