#include "platform/os/ProcessBarrier.h"

#include <atomic>
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{
std::atomic<bool> gProcessBarrierReady{false};

bool Register()
{
    const long supported = syscall(SYS_membarrier, MEMBARRIER_CMD_QUERY, 0, 0);
    if (supported < 0 || (supported & MEMBARRIER_CMD_PRIVATE_EXPEDITED) == 0)
        return false;
    if (syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) != 0)
        return false;
    gProcessBarrierReady.store(true, std::memory_order_release);
    return true;
}
} // namespace

namespace os
{
bool RegisterProcessBarrier()
{
    static const bool registered = Register();
    return registered;
}

bool ProcessBarrier()
{
    if (!gProcessBarrierReady.load(std::memory_order_acquire))
        return false;
    return syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0) == 0;
}
} // namespace os
