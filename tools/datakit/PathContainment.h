// Whether a relative name that data supplies (a container's name list, a command line) stays inside
// the folder it is written below. Any thread.
#pragma once

#include <string>

// True when the name is no disk path by the engine's rule ("/x", "//x", "\x", "C:x") and, after "." and
// ".." are resolved, still names something below the folder in both readings: with '\' as '/', as the
// engine reads it, and with '\' as an ordinary letter, as it is written to this disk. "a/../b" stays in;
// "../x", "sub/../../x", "a/..", "..\x" and "sub\x/../../x" do not.
bool IsPathInsideFolder(const std::string& name);
