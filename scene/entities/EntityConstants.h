// Flag words, creation flags, kind numbers and limits of the scene model; scripts see the ENTITY*
// names with the same values. Plain constants: any thread.
#pragma once

#include <cstdint>

// Bits of an entity's flag word.
enum EntityFlag : uint32_t
{
    ENTITYFLAG_SELECTED = 1,
    ENTITYFLAG_ANIMATED = 8,          // a per-frame hook wants to run (RenderIfFlag8)
    ENTITYFLAG_HIDDEN = 16,
    ENTITYFLAG_HOOKED_32 = 32,        // raises and clears run the kind's hooks
    ENTITYFLAG_POSTFSE = 64,
    ENTITYFLAG_DEFERRED_RENDER = 128, // put aside by the main render pass
    ENTITYFLAG_PARENTNOSCALE = 0x10000,
    ENTITYFLAG_NO_RENDERING_CONTEXT = 0x40000,
    ENTITYFLAG_NO_SPATIAL_QUERIES = 0x80000,
    ENTITYFLAG_DISABLE_LOS = 0x200000,
    ENTITYFLAG_DISABLE_UPDATE = 0x400000,
    ENTITYFLAG_NO_COMPOUND_ELEMENTS = 0x20000000,
    ENTITYFLAG_COMPOUND_ELEMENT = 0x40000000,
    ENTITYFLAG_TAKES_MOUSE_CLICKS = 0x80000000,
};

// Bits of an entity's extra flag word.
enum EntityExtraFlag : uint32_t
{
    ENTITYEXTRA_OCCUPANCY_QUEUED = 1,
    ENTITYEXTRA_MOUNTED_ON_BONE = 2,
};

// Bits of an entity's render flags ("Enforced rendering flags").
enum EntityRenderFlag : uint32_t
{
    ENTITYRENDER_SELECTED = 2,
    ENTITYRENDER_MIRRORED = 4,
    ENTITYRENDER_REFRESH_BOUNDS = 0x100,
    ENTITYRENDER_NO_SET_MARKERS = 0x800,
};

// View-visibility bits: set means hidden in that view.
enum EntityViewVisibility : uint32_t
{
    ENTITYVIEW_HIDDEN_COMBAT = 1,
    ENTITYVIEW_HIDDEN_TACTICAL = 2,
    ENTITYVIEW_HIDDEN_TACTICAL_EXTENDED = 4,
};

// Flags of CreateEntity and InitFromTemplate.
enum EntityCreationFlag : uint32_t
{
    ENTITYCREATION_DONOTCREATERENDERINGCONTEXT = 1,
    ENTITYCREATION_NOGUIDGENERATION = 2,
    ENTITYCREATION_MULTIPLAYER_AUTHORITY = 16,
    ENTITYCREATION_MULTIPLAYER_PROXY = 32,
    ENTITYCREATION_MULTIPLAYER_STATIC = 64,
};

// Entity kinds: the template type ids.
enum EntityKind : uint32_t
{
    ENTITY_NULL = 0,
    ENTITY_MESH = 1,
    ENTITY_FLAG = 2,
    ENTITY_GRAPH = 3,
    ENTITY_TRIGGER = 4,
    ENTITY_COMPOUND = 5,
    ENTITY_PARTICLE = 6,
    ENTITY_SFX = 7,
    ENTITY_LIGHT = 8,
    ENTITY_SCENEPARAMBOX = 9,
    ENTITY_UIRECIPE = 10,
    ENTITY_INGAMEUI = 11,
    ENTITY_COLOR_ENVELOPE = 12,
    ENTITY_VECTOR_ENVELOPE = 13,
    ENTITY_ANIMATIONGRAPH = 15,
    ENTITY_PROJECT_SPECIFIC = 256,
    ENTITY_UNKNOWN = 4096,
};

// Replication roles.
enum EntityReplicationRole : uint8_t
{
    ENTITYROLE_LOCAL = 0,
    ENTITYROLE_AUTHORITY = 1,
    ENTITYROLE_PROXY = 2,
};

// Multiplayer ids: 0-3071 dynamic, 3072-4094 static, 4095 none.
constexpr uint16_t NULL_ENTITY_MULTIPLAYER_ID = 4095;
constexpr uint32_t kDynamicMIDCount = 3072;
constexpr uint32_t kStaticMIDCount = 1023;
constexpr uint32_t kMIDTableSize = 4096;

// Live entities at once; entity indices stay below it (the spatial structures' visited maps).
constexpr uint32_t kMaxEntities = 32768;
// Index of an entity that got none (the index space was full): it never enters the grid.
constexpr uint32_t kNoEntityIndex = 0xFFFFFFFFu;
