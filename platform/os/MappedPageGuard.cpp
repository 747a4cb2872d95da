#include "platform/os/MappedPageGuard.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace os
{
namespace
{
// Mapped container parts at once: four per container, a few containers.
constexpr int kSlotCount = 64;

struct Slot
{
    std::atomic<bool> taken{false};
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<std::atomic<bool>*> lost{nullptr};
};

Slot gSlots[kSlotCount];
struct sigaction gPrevious = {};
uintptr_t gPageSize = 0;
bool gInstalled = false;
std::once_flag gInstallOnce;

// What would have happened without the guard.
void PassOn(int signal, siginfo_t* info, void* context)
{
    if ((gPrevious.sa_flags & SA_SIGINFO) != 0 && gPrevious.sa_sigaction != nullptr)
    {
        gPrevious.sa_sigaction(signal, info, context);
        return;
    }
    if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN)
    {
        gPrevious.sa_handler(signal);
        return;
    }
    // The fault cannot be ignored: with the default action back, the access runs again and ends
    // the process as it would have.
    struct sigaction standard = {};
    standard.sa_handler = SIG_DFL;
    sigaction(SIGBUS, &standard, nullptr);
}

void OnBusError(int signal, siginfo_t* info, void* context)
{
    const int savedErrno = errno;
    const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
    if (info->si_code == BUS_ADRERR)
    {
        for (Slot& slot : gSlots)
        {
            if (address < slot.begin.load(std::memory_order_acquire) || address >= slot.end.load(std::memory_order_acquire))
                continue;
            void* const page = reinterpret_cast<void*>(address - address % gPageSize);
            if (mmap(page, gPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED)
                break;
            slot.lost.load(std::memory_order_acquire)->store(true, std::memory_order_release);
            errno = savedErrno;
            return;
        }
    }
    errno = savedErrno;
    PassOn(signal, info, context);
}

void Install()
{
    gPageSize = uintptr_t(sysconf(_SC_PAGESIZE));
    struct sigaction action = {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    gInstalled = sigaction(SIGBUS, &action, &gPrevious) == 0;
}
} // namespace

int MappedPageGuard::Register(const void* begin, size_t size, std::atomic<bool>* lost)
{
    std::call_once(gInstallOnce, Install);
    if (!gInstalled)
        return -1;
    for (int i = 0; i < kSlotCount; ++i)
    {
        bool expected = false;
        if (!gSlots[i].taken.compare_exchange_strong(expected, true, std::memory_order_acq_rel))
            continue;
        // The end goes last: until then the slot matches no address.
        gSlots[i].lost.store(lost, std::memory_order_release);
        gSlots[i].begin.store(reinterpret_cast<uintptr_t>(begin), std::memory_order_release);
        gSlots[i].end.store(reinterpret_cast<uintptr_t>(begin) + size, std::memory_order_release);
        return i;
    }
    return -1;
}

void MappedPageGuard::Unregister(int slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    gSlots[slot].end.store(0, std::memory_order_release);
    gSlots[slot].begin.store(0, std::memory_order_release);
    gSlots[slot].lost.store(nullptr, std::memory_order_release);
    gSlots[slot].taken.store(false, std::memory_order_release);
}
} // namespace os
