#include "renderer/resources/ResourceTextureDescriptor.h"

namespace
{
const char* const kDistroFormatNames[] = {"Compressed",          "Luminance only",      "Alpha only",
                                          "Alpha+Luminance",     "16 bit uncompressed", "32 bit uncompressed",
                                          nullptr};
const char* const kDistroScaleNames[] = {"1:1", "1:2", "1:4", "1:8", "1:16", nullptr};
const char* const kAlphaModeNames[] = {"Gradient", "Mask", "None", nullptr};
} // namespace

ResourceTextureDescriptorContainer gResourceTextureDescriptors;

RTTI_DEFINE_CLASS(ResourceTextureDescriptor, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(ResourceTextureDescriptorContainer, RTTIPolyBaseClass)

void ResourceTextureDescriptor::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = ResourceTextureDescriptor;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint8_t>("Distro format", &C::m_distroFormat,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kDistroFormatNames);
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, uint8_t>("Distro scale", &C::m_distroScale, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kDistroScaleNames);
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, uint8_t>("Alpha mode", &C::m_alphaMode, RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kAlphaModeNames);
    table.AddProperty(
        new RTTIDirectAccessTypedProperty<C, RTTIMemoryBlock<8>>("Modification time", &C::m_modificationTime));
}

void ResourceTextureDescriptorContainer::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = ResourceTextureDescriptorContainer;
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, ResourceTextureDescriptor>("Descriptors", &C::m_descriptors));
}

// The lock spans the whole call rather than a pre- and a post-hook: a write has only a hook before
// it, which could take the lock but never give it back.
size_t ResourceTextureDescriptorContainer::SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags)
{
    m_lock.Enter();
    const size_t size = RTTIPolyBaseClass::SerializeToMemory(buffer, capacity, flags);
    m_lock.Leave();
    return size;
}

bool ResourceTextureDescriptorContainer::DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags,
                                                               size_t* consumed)
{
    m_lock.Enter();
    const bool read = RTTIPolyBaseClass::DeserializeFromMemory(buffer, size, flags, consumed);
    m_lock.Leave();
    return read;
}
