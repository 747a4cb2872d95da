#include "renderer/resources/ResourceList.h"

RTTI_DEFINE_CLASS(ResourceEntry, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(ResourceList, RTTIPolyBaseClass)

void ResourceEntry::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<ResourceEntry, NameString>("Name", &ResourceEntry::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<ResourceEntry, uint32_t>("Parameter", &ResourceEntry::m_parameter));
    table.AddProperty(new RTTIDirectAccessTypedProperty<ResourceEntry, uint32_t>("Flags", &ResourceEntry::m_flags));
}

void ResourceList::BuildClassProperties(RTTIPropertiesBase& table)
{
    using Kind = RTTIDynarrayOfEmbeddedObjectsProperty<ResourceList, ResourceEntry>;
    table.AddProperty(new Kind("Textures", &ResourceList::m_textures));
    table.AddProperty(new Kind("Shaders", &ResourceList::m_shaders));
    table.AddProperty(new Kind("Templates", &ResourceList::m_templates));
    table.AddProperty(new Kind("Fonts", &ResourceList::m_fonts));
    table.AddProperty(new Kind("Sounds", &ResourceList::m_sounds));
    table.AddProperty(new Kind("StreamableSounds", &ResourceList::m_streamableSounds));
    table.AddProperty(new Kind("Animations", &ResourceList::m_animations));
    table.AddProperty(new Kind("Voices", &ResourceList::m_voices));
    table.AddProperty(new Kind("Videos", &ResourceList::m_videos));
}
