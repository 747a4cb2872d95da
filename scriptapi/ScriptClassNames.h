// C++ names for the script classes whose script name differs from their class name, so that the
// generated bindings can name them. Main thread.
#pragma once

#include "engine/scripting/TSRLuaGameDelegate.h"

// The script delegate's script class.
using TSRGameDelegate = TSRLuaGameDelegate;
