// The six resource pools, one per resource type; each makes new resources of its type. Called under
// the resource manager's lock.
#pragma once

#include "renderer/resources/ResourcePool.h"

class ResourceTexturePool : public ResourcePool
{
public:
    ResourceTexturePool() : ResourcePool(0) {}
    Resource* CreateResource(const char* name, uint32_t parameter) override;
};

class ResourceShaderPool : public ResourcePool
{
public:
    ResourceShaderPool() : ResourcePool(1) {}
    Resource* CreateResource(const char* name, uint32_t parameter) override;
};

class ResourceAnimationPool : public ResourcePool
{
public:
    ResourceAnimationPool() : ResourcePool(2) {}
    Resource* CreateResource(const char* name, uint32_t parameter) override;
};

class ResourceFontPool : public ResourcePool
{
public:
    ResourceFontPool() : ResourcePool(3) {}
    Resource* CreateResource(const char* name, uint32_t parameter) override;
};

// The parameter is the template type id; the type table names the class to create.
class ResourceTemplatePool : public ResourcePool
{
public:
    ResourceTemplatePool() : ResourcePool(4) {}
    Resource* CreateResource(const char* name, uint32_t parameter) override;
};

// Owns the sound memory pool (SoundMemoryPool.h) for as long as it lives.
class ResourceSoundPool : public ResourcePool
{
public:
    ResourceSoundPool();
    ~ResourceSoundPool() override;
    Resource* CreateResource(const char* name, uint32_t parameter) override;
};
