// How the tools distribute a texture: its format, scale and alpha mode, kept per texture name in one
// global container. The game reads no descriptors itself; tools and data files name these classes.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"
#include "core/threads/CriticalSection.h"

#include <cstdint>

// One texture's distribution settings.
class ResourceTextureDescriptor : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ResourceTextureDescriptor, RTTIPolyBaseClass)

public:
    NameString m_name;
    uint8_t m_distroFormat = 0;
    uint8_t m_distroScale = 0;
    uint8_t m_alphaMode = 0;
    RTTIMemoryBlock<8> m_modificationTime;
};

// The descriptors of every texture. Its lock is held for the whole of each read or write, so a
// thread that reads or writes the container never sees it half changed.
class ResourceTextureDescriptorContainer : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(ResourceTextureDescriptorContainer, RTTIPolyBaseClass)

public:
    size_t SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags) override;
    bool DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed = nullptr) override;

    // Held by the reads and writes above; taken by anyone who looks at the descriptors meanwhile.
    CriticalSection& GetLock() { return m_lock; }

    DynarraySafe<ResourceTextureDescriptor> m_descriptors;

private:
    CriticalSection m_lock;
};

extern ResourceTextureDescriptorContainer gResourceTextureDescriptors;
