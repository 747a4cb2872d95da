// One key binding of the user configuration: a key and the script line it runs. Main thread.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"

#include <cstdint>
#include <string>

// Reflected key binding ("Key code", "Command string"); an empty command is none.
class KeyBindDef : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(KeyBindDef, RTTIPolyBaseClass)

public:
    uint32_t m_keyCode = 0;
    std::string m_command;
};
