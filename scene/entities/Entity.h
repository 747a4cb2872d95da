// Entity: base of every scene object. Main thread.
//
// Only the part the scripting layer relies on exists so far: the script class name and the
// scheduled-callback operation. The scene model adds the rest of the class.
#pragma once

#include "engine/scripting/LuaBaseClass.h"

#include <cstdint>

// A scene object that scripts see as an "Entity" (or the name of its own script class).
class Entity : public LuaBaseClass
{
public:
    const char* GetScriptClassName() const override { return "Entity"; }
    // A numbered callback scheduled for this entity came due.
    virtual void OnScheduledCallback(uint32_t id) { (void)id; }
};
