// GraphTemplate: the template of graph entities (type 3), textured networks of paths whose nodes
// are flags made from "Node template". It holds the strip width, texture, blend mode and mapping
// size, and the texture and "Graph" shader variants the graph's rendering contexts draw with,
// fetched again whenever a property changes. Main thread (loads on the resource thread).
#pragma once

#include "core/strings/NameString.h"
#include "renderer/ShaderPair.h"
#include "scene/templates/EntityTemplate.h"

#include <cstdint>

class ResourceTexture;

// Template of graph entities and owner of their draw resources.
class GraphTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(GraphTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 3;
    enum ShaderSlot : uint32_t
    {
        SHADER_STRIPS = 0,
        SHADER_CURVES = 1,
        SHADER_ARROWS = 2,
        SHADER_COUNT = 3,
    };

    GraphTemplate();
    ~GraphTemplate() override;

    const char* GetTemplateClassName() const override { return "GraphTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "GraphEntity"; }
    // The texture and shaders are fetched without waiting, then every entity re-applies.
    void OnPropertyChanged(const RTTIProperty* property) override;
    void OnUnload() override;
    // The body load also fetches the texture and shaders, waiting for the texture.
    bool DoLoad() override;

    const NameString& GetNodeTemplate() const { return m_nodeTemplate; }
    void SetNodeTemplate(const char* name) { m_nodeTemplate = NameString(name); }
    float GetWidth() const { return m_width; }
    const NameString& GetTextureName() const { return m_textureName; }
    uint32_t GetBlendMode() const { return m_blendMode; }
    float GetMappingSize() const { return m_mappingSize; }
    bool CutsOffNastyEnds() const { return m_cutOffNastyEnds; }
    void SetCutsOffNastyEnds(bool cut) { m_cutOffNastyEnds = cut; }
    // Null while "Texture" is empty or its resource is not there.
    ResourceTexture* GetTexture() const { return m_texture; }
    const ShaderPair& GetShaders(uint32_t slot) const { return m_shaders[slot]; }

private:
    void FetchResources(bool load);
    void ReleaseResources();

    NameString m_nodeTemplate = NameString("Graph/GraphNode");
    float m_width = 1.0f;
    NameString m_textureName;
    uint32_t m_blendMode = 0;
    float m_mappingSize = 10.0f;
    bool m_cutOffNastyEnds = false;
    ResourceTexture* m_texture = nullptr;
    ShaderPair m_shaders[SHADER_COUNT];
};
