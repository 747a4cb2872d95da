#include "audio/sound/SoundPauseSwitch.h"

SoundPauseSwitch gSoundPauseSwitch;
