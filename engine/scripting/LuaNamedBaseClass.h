// Base of the engine objects whose script class name is set per instance rather than per class:
// each constructor of the chain names the object, the last one winning. Main thread.
#pragma once

#include "core/strings/NameString.h"
#include "engine/scripting/LuaBaseClass.h"

// A script-visible object that carries its script class name as an interned name.
class LuaNamedBaseClass : public LuaBaseClass
{
public:
    const char* GetScriptClassName() const override { return m_scriptClassName.CStr(); }
    const NameString& GetScriptClassNameString() const { return m_scriptClassName; }

protected:
    NameString m_scriptClassName;
};
