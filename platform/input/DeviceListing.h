// The plug-and-play device listing: the id of every device entity, the way the system's
// management service lists them in batches. The ids of the plugged game controllers come first,
// then the extra entries tests add. Main thread only.
#pragma once

#include <string>
#include <vector>

namespace input
{
// Fills `out` with at most `batchSize` ids from `start`; false when the listing fails.
bool ListDeviceIds(size_t start, size_t batchSize, std::vector<std::string>& out);
} // namespace input
