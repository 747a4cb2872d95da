#include "scene/entities/EntityIndexAllocator.h"

#include "core/console/GameConsole.h"
#include "core/memory/IdAllocator.h"
#include "scene/entities/EntityConstants.h"

namespace
{
IdAllocator& Indices()
{
    static IdAllocator allocator;
    return allocator;
}
} // namespace

uint32_t EntityIndexAllocator::Allocate()
{
    IdAllocator& indices = Indices();
    // Entities made outside the creation limit (a new scene root while an old tree still lives)
    // must not get an index past the visited maps: they go without one and stay out of the grid.
    if (indices.GetFreeCount() == 0 && indices.GetNextId() >= kMaxEntities)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Entity index space exhausted (%u entities)", kMaxEntities);
        return kNoEntityIndex;
    }
    return indices.Allocate();
}

void EntityIndexAllocator::Release(uint32_t index)
{
    if (index != kNoEntityIndex)
        Indices().Release(index);
}

uint32_t EntityIndexAllocator::GetInUseCount()
{
    return Indices().GetNextId() - uint32_t(Indices().GetFreeCount());
}
