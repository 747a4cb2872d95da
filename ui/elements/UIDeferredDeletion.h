// Elements deleted by an action go back to the main thread before they die: the render thread
// keeps them in a pending list and publishes one at a time in a hand-over slot with an
// issued/completed counter pair; the main thread takes it once per frame and calls Release, whose
// command 0 frees it on the render thread after the main-side cleanup. No lock: the counter pair
// orders the slot.
#pragma once

#include <cstdint>

class UIElement;

// Render thread: appends an element that an action deleted (already detached and hidden).
void QueueUIElementForDeletion(UIElement* element);
// Render thread (the draw walk): publishes the first pending element when the slot is free.
void PublishPendingUIElementDeletion();
int32_t GetPendingUIElementDeletionCount();
// Render thread, before an element dies: it leaves the pending list.
void ForgetPendingUIElementDeletion(UIElement* element);

// Render thread: whether the element sits in the hand-over slot (the main thread will take it, so
// it must stay alive even when its deletion command arrives first).
bool IsUIElementPublishedForDeletion(const UIElement* element);
// Main thread: when the render thread has published an element, takes it out of the slot and
// counts it completed; null when nothing waits.
UIElement* TakePublishedUIElementDeletion();
