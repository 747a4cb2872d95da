// Whether a relative name that data supplies (a container's name list, a command line) stays inside
// the folder it is written below. Any thread.
#pragma once

#include <string>

// True when the name, '\' read as '/', is no disk path by the engine's rule ("/x", "//x", "C:x")
// and after "." and ".." are resolved still names something below the folder: "a/../b" does,
// "../x", "sub/../../x" and "a/.." do not.
bool IsPathInsideFolder(const std::string& name);
