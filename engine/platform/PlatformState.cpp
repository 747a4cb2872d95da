#include "engine/platform/PlatformState.h"

PlatformState gPlatform;
