// The Lua scripts of the demo data: the main script with the game's and the delegate's hooks, and
// one script per scene. Plain text; any thread.
#pragma once

namespace DemoScripts
{
// common/scripts/Main.lua
extern const char* const kMain;
// scenes/DemoField.lua and scenes/DemoOutpost.lua
extern const char* const kField;
extern const char* const kOutpost;
} // namespace DemoScripts
