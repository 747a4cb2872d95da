// Folders the system keeps its files in, in '/' form without a trailing '/'. Any thread may ask.
#pragma once

#include <string>

namespace os
{
// Per-user application data: NORVEX_APPDATA, else $XDG_DATA_HOME, else $HOME/.local/share.
// Empty when none of them is set.
std::string GetUserAppDataFolder();

// The folder holding the running executable (from /proc/self/exe); empty when it cannot be read.
std::string GetExecutableFolder();

// Where the single-instance lock lives: NORVEX_RUNTIME_DIR, else $XDG_RUNTIME_DIR, else /tmp, which
// every user shares (`shared`, when given, says whether it came to that).
std::string GetRuntimeFolder(bool* shared = nullptr);
} // namespace os
