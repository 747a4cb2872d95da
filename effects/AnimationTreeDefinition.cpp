#include "effects/AnimationTreeDefinition.h"

#include "core/console/GameConsole.h"

#include <atomic>

namespace AnimationTreeDefinition
{
bool Parse(MeshSkeleton&, const char*, const char*)
{
    static std::atomic<bool> logged{false};
    if (!logged.exchange(true))
        gConsole.Printf(0, CONSOLE_CHANNEL_ENGINE, "Animation tree definitions are not built yet: skeletons keep "
                                                   "their stored tree nodes");
    return false;
}
} // namespace AnimationTreeDefinition
