// Base of the engine objects that scripts see as instances of a script class. Main thread.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"

// A reflected object with a script class name. It must be the first base of its class, so that the
// object's address is the address scripts are handed for every class of its chain.
class LuaBaseClass : public RTTIPolyBaseClass
{
public:
    // The name of the object's class as the bindings know it ("Game", "Entity", ...).
    virtual const char* GetScriptClassName() const = 0;
};
