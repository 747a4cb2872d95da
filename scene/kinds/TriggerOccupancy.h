// TriggerOccupancy: the once-per-update recomputation of which triggers contain which entities.
// Moving entities and triggers only queue trackers (TriggerOccupancyTracker::QueueEntity); the game
// update processes the queue once per due logic tick. Main thread only.
//
// Processing takes the queue as it stands: an entity moved by a report during processing is either
// still waiting in the taken list (and is updated later in the same pass, at its new place) or was
// already updated (and is queued again for the next update), so none is skipped or updated twice.
#pragma once

class Entity;

// Occupancy processing and the whole-scene trigger operations.
class TriggerOccupancy
{
public:
    // Updates the tracker of every live queued entity once, in queue order, and empties the queue.
    // A call from inside a report of the same pass is ignored.
    static void ProcessPendingEntities();
    // Forgets the queue (a scene switch).
    static void ClearPendingEntities();
    // Recomputes the triggers that contain one entity, reporting the exits and enters.
    static void UpdateTracker(Entity* entity);
    // CheckInside / ClearInsideList on every trigger of the scene.
    static void RecheckAllTriggers();
    static void ClearAllTriggers();
};
