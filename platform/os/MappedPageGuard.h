// Keeps a file cut while it is mapped from ending the process: a read of a mapped page that lies
// wholly past the file's new end raises SIGBUS, which for a registered mapping is answered by
// putting a page of zeros there and marking the mapping as having lost pages, so that the read goes
// on and its owner can tell. A SIGBUS anywhere else goes to whatever handled it before. Any thread
// may register and unregister; the handler is installed with the first registration.
#pragma once

#include <atomic>
#include <cstddef>

namespace os
{
namespace MappedPageGuard
{
// A slot guarding [begin, begin + size), whose lost pages set `lost`; -1 when every slot is taken
// or the handler could not be installed (the caller then must not map).
int Register(const void* begin, size_t size, std::atomic<bool>* lost);
// Before the mapping goes.
void Unregister(int slot);
} // namespace MappedPageGuard
} // namespace os
