// The script side of UI listeners: a listener registered through the agent runs the script line
// "UIEventAgent:UITrigger(<value>)" when it fires. Main thread.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstdint>

class UIElement;

// The one object script listeners call back.
class UIEventLuaAgent : public SafePointerRoot
{
public:
    // Adds a listener on the element for the event type; the value is handed to the script.
    static void Register(UIElement* element, uint32_t type, uint32_t value, uint8_t flags);
};

extern UIEventLuaAgent gUIEventLuaAgent;
