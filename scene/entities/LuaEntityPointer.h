// The safe pointer to an Entity that scripts and replication hold: it clears itself when the
// entity dies, so a replicated property or a method argument that names an entity never dangles.
// Main thread, like the entities it points at.
#pragma once

#include "core/containers/SafePointer.h"
#include "scene/entities/Entity.h"

class LuaEntityPointer : public SafePointer<Entity>
{
public:
    LuaEntityPointer() = default;
    LuaEntityPointer(Entity* entity) : SafePointer<Entity>(entity) {}
};
