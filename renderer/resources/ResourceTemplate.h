// The resource part of templates. Templates are reflected objects made by class name (the template
// type table names the class of each type id) and loaded on demand like any other resource. The
// template classes and their file loading belong to the scene model: this base loads nothing and
// reports so; template classes override DoLoad. Threads as Resource.
#pragma once

#include "core/reflection/RTTIClass.h"
#include "renderer/resources/Resource.h"

// Base of the template classes as resources (type 4).
class ResourceTemplate : public RTTIPolyBaseClass, public Resource
{
    RTTI_DECLARE_CLASS(ResourceTemplate, RTTIPolyBaseClass)

public:
    uint32_t GetType() const override { return RESOURCE_TYPE_TEMPLATE; }
    bool DoLoad() override;
};
