// The id map: the pointer-selectable elements, sorted by id, so that hit tests map an id recorded
// at draw time back to a live element. Main thread only.
#pragma once

#include <cstdint>

class UIElement;

// Enters the element (nothing when it is already listed).
void RegisterUIElementId(UIElement* element);
// Removes the element's entry (nothing when it has none).
void UnregisterUIElementId(UIElement* element);
// The element of that id, or null when the id is not listed.
UIElement* FindUIElementInIdMap(uint32_t id);
int32_t GetUIElementIdMapCount();
