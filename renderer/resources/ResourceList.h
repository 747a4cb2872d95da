// A scene's resource list ("ResList"): the resources to load before the scene runs, by kind.
// Read on the resource thread; its class tables are built on first use.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

// One listed resource: its name, creation parameter and flags.
class ResourceEntry : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ResourceEntry, RTTIPolyBaseClass)

public:
    NameString m_name;
    uint32_t m_parameter = 0;
    uint32_t m_flags = 0;
};

// The reflected resource list of a scene, one array per kind.
class ResourceList : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ResourceList, RTTIPolyBaseClass)

public:
    DynarraySafe<ResourceEntry> m_textures;
    DynarraySafe<ResourceEntry> m_shaders;
    DynarraySafe<ResourceEntry> m_templates;
    DynarraySafe<ResourceEntry> m_fonts;
    DynarraySafe<ResourceEntry> m_sounds;
    DynarraySafe<ResourceEntry> m_streamableSounds;
    DynarraySafe<ResourceEntry> m_animations;
    DynarraySafe<ResourceEntry> m_voices;
    DynarraySafe<ResourceEntry> m_videos;
};
