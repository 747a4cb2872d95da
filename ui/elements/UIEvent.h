// The UI event record and the listeners elements keep. Main thread.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstdint>

class UIElement;

// One event on its way through the tree.
struct UIEventRecord
{
    UIElement* modalRoot = nullptr; // outermost modal element on the path to the root, or null
    uint32_t type = 0;
    uint32_t argument = 0; // the instant flag of state events
    uint32_t flags = 0;    // UIDISPATCH_*
    UIElement* source = nullptr;
    uint32_t value = 0; // the firing listener's user value
    uint32_t pointer = 0;
};

// Called with the listener's target and the record's source field (the record itself).
using UIEventCallback = void (*)(SafePointerRoot* target, UIEventRecord* record);

// One listener; a listener whose target died is dropped.
struct UIEventListener
{
    SafePointer<SafePointerRoot> target;
    UIEventCallback callback = nullptr;
    uint32_t type = 0;
    uint32_t value = 0;
    uint8_t flags = 0;
};
