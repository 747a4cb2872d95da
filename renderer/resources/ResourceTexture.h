// The texture resource. Its loader is not built yet: a load fails with the reason logged, so the
// resource ends in state 2 with its failed flag set. Threads as Resource.
#pragma once

#include "renderer/resources/Resource.h"

// A texture found and counted by the resource manager.
class ResourceTexture : public Resource
{
public:
    explicit ResourceTexture(const char* name) : Resource(name) {}
    uint32_t GetType() const override { return RESOURCE_TYPE_TEXTURE; }
    bool DoLoad() override;
};
