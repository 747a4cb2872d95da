// The shell's "open" verb: the stand-in for handing a document or an address to the program the
// desktop associates with it. No program is started on this platform; each request is kept, so the
// caller can say in its log what would have opened and tests can see what was asked.
// Main thread only.
#pragma once

#include <string>
#include <vector>

namespace os
{
// Asks the desktop to open `target` (an address or a file) in a normally shown window; false for
// an empty target.
bool ShellOpen(const char* target);
// The targets asked for since the last reset, oldest first.
const std::vector<std::string>& GetShellOpenRequests();
void ResetShellOpenRequests();
} // namespace os
