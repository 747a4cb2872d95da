// Player: one participant of a multiplayer game, local or remote. The multiplayer engine fills the
// peer data; entities hold their owning player through a safe pointer. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"

#include <cstdint>

// A participant with its peer id and controller index.
class Player : public SafePointerRoot
{
public:
    uint64_t peerId = 0;
    int32_t controllerIndex = -1;
    uint32_t reliableSendId = 0;
    uint32_t reliableAcknowledgeId = 0;
};
