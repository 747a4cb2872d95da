#include "platform/os/Futex.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace os
{
void FutexWait(const uint32_t* word, uint32_t expected, const timespec* deadline)
{
    // The bitset form takes an absolute time, so a wait woken early keeps its original limit.
    syscall(SYS_futex, word, FUTEX_WAIT_BITSET | FUTEX_PRIVATE_FLAG, expected, deadline, nullptr,
            FUTEX_BITSET_MATCH_ANY);
}

void FutexWake(const uint32_t* word, int32_t count)
{
    syscall(SYS_futex, word, FUTEX_WAKE | FUTEX_PRIVATE_FLAG, count, nullptr, nullptr, 0);
}
} // namespace os
