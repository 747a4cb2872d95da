// The element kinds of effects, registered together, and what their resolution shares: taking a
// referenced template by GUID with a kind check, and the pass bits a mesh's rendering data gives an
// element. Game thread (registration at start-up, resolution when a definition loads or changes).
#pragma once

#include "core/SimpleGUID.h"

#include <cstdint>

class EntityTemplate;
class MeshTemplateRenderingData;

// Registers every element kind with the class registry under its class name, base
// "SFXElementDefinition", so that an effect's element list can hold any of them.
void RegisterSFXElementKinds();

// Render passes and bytes an element takes from mesh data.
struct SFXMeshPassBits
{
    uint32_t passBits = 16;
    uint8_t depthPass = 0;
    uint8_t flag32 = 0;
};

// From 16: the byte behind entity render flag 0x20 gives 17, the one behind 0x40 ORs 6, 0x80 ORs
// 8, 0x200 ORs 32; the depth-pass and flag-32 bytes are copied. No data gives 16 and zero bytes.
SFXMeshPassBits GetSFXMeshPassBits(const MeshTemplateRenderingData* data);

// Replaces `held` with the template of `guid` (waited for with `load`) when it is a kind of
// `typeId`; a template of another kind is released and reported with `wrongKindFormat` (one %s,
// the template's name) on the engine channel, leaving none. Taking the template already held gives
// back the extra reference. `held` owns one resource reference.
void TakeSFXElementTemplate(EntityTemplate*& held, const SimpleGUID& guid, bool load, uint32_t typeId,
                            const char* wrongKindFormat);
// Queues the body of `held` on the resource thread when it is not in yet, so that an element that
// took it without waiting sees it come in (and reads nothing of it before: the resource thread
// writes it meanwhile).
void RequestSFXElementTemplate(EntityTemplate* held);
// Gives back the resource reference of `held` and clears it.
void ReleaseSFXElementTemplate(EntityTemplate*& held);
// Game thread: `held` with its body in, for an effect about to play it. An effect read from its
// file takes its templates without waiting (the resource thread must not wait on its own queue), so
// nothing may have loaded them yet: it is loaded here. A template made in memory (no pool) is given
// back as it is; null when there is none or its body failed.
EntityTemplate* WaitForSFXElementTemplate(EntityTemplate* held);
// True when `held` has a pool and its body has neither come in nor failed yet: what an element took
// from it are the template's defaults.
bool IsSFXElementTemplatePending(const EntityTemplate* held);
