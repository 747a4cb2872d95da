#include "ui/elements/UIDeferredDeletion.h"

#include "core/containers/Dynarray.h"
#include "core/threads/SyncCounter.h"
#include "ui/elements/UIElement.h"

#include <atomic>

namespace
{
// Render side.
Dynarray<UIElement*> gPending;
// Written by the render thread before the issued count, read by the main thread after it.
std::atomic<UIElement*> gHandOverSlot{nullptr};
SyncCounter gHandOver;
} // namespace

void QueueUIElementForDeletion(UIElement* element)
{
    if (element != nullptr)
        gPending.Add(element);
}

void PublishPendingUIElementDeletion()
{
    if (gPending.IsEmpty() || !gHandOver.IsAllCompleted())
        return;
    UIElement* const element = gPending[0];
    gPending.RemoveAt(0);
    gHandOverSlot.store(element, std::memory_order_release);
    gHandOver.IncrementIssued();
}

int32_t GetPendingUIElementDeletionCount()
{
    return gPending.Count();
}

void ForgetPendingUIElementDeletion(UIElement* element)
{
    gPending.RemoveValue(element);
}

bool IsUIElementPublishedForDeletion(const UIElement* element)
{
    return element != nullptr && gHandOverSlot.load(std::memory_order_acquire) == element;
}

UIElement* TakePublishedUIElementDeletion()
{
    if (gHandOver.IsAllCompleted())
        return nullptr;
    UIElement* const element = gHandOverSlot.exchange(nullptr, std::memory_order_acq_rel);
    gHandOver.IncrementCompleted();
    return element;
}
