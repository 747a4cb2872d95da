// A memory barrier one thread takes on behalf of every thread of the process. Any thread may call it.
//
// A store-then-load handshake between a busy side and a rare side (a producer posting on every
// command, a worker about to sleep) normally needs a full fence on both. With this barrier the rare
// side pays for both: it calls ProcessBarrier between its store and its load, and the busy side only
// keeps the compiler from reordering its own pair (std::atomic_signal_fence). Either the busy side's
// store is visible to the rare side's load, or the busy side's load comes after the barrier and sees
// the rare side's store.
#pragma once

namespace os
{
// Readies the barrier for this process (once; later calls return the first answer). False when the
// system has none: both sides must then fence for themselves.
bool RegisterProcessBarrier();
// Every running thread of the process passes a full memory barrier before this returns; false when
// that could not be done (never registered, or the system refused).
bool ProcessBarrier();
} // namespace os
