// The render command stream: opcodes and payload sizes.
//
// The game thread writes commands into 4096-byte blocks (ring records with id 9 on the renderer's
// BaseThread); the render thread executes them in the order written. Inside a block each command is
// padding to 4 bytes, a u32 opcode and its payload; payload fields follow each other unaligned. A
// block ends with padding and an end marker: opcode 0 (more blocks follow) or 1 (synchronous end).
// Nothing carries a length per command, so every size here is computed from the payload's layout.
//
// In-memory only: pointer fields are pointer-sized (64-bit here), so the sizes below grow by 4 bytes
// per pointer over a 32-bit build. Plain data: any thread.
#pragma once

#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;

// Ring record id of a command block.
constexpr uint32_t kRenderBlockRecordId = 9;
// Bytes reserved for every block.
constexpr uint32_t kRenderBlockBytes = 4096;
// The renderer thread's command ring.
constexpr uint32_t kRendererRingBytes = 1048576;
// A command needs its opcode and room for a later end marker besides its payload.
constexpr uint32_t kRenderCommandOverhead = 8;
constexpr uint32_t kMaxRenderPayloadBytes = kRenderBlockBytes - kRenderCommandOverhead;

enum RenderOpcode : uint32_t
{
    RENDER_OP_END_BLOCK = 0,
    RENDER_OP_END_SYNC = 1,
    RENDER_OP_INIT_DX = 2,
    RENDER_OP_RELEASE_DEVICE_OBJECTS = 3,
    RENDER_OP_CLOSE_DX = 4,
    RENDER_OP_RESET_WITH_PARAMS = 5,
    RENDER_OP_INIT_SCENE_CELL_GRID = 6,
    RENDER_OP_SET_SCENE_CELL_RANGE = 7,
    RENDER_OP_REQUEST_DEVICE_RESET = 8,
    RENDER_OP_SET_GAME_DELEGATE = 9,
    RENDER_OP_NOTHING_10 = 10,
    RENDER_OP_NOTHING_11 = 11,
    RENDER_OP_SET_LOADING_SCREEN = 12,
    RENDER_OP_SET_BLANK_MODE = 13,
    RENDER_OP_SET_GATHER_FLAG = 14,
    RENDER_OP_INVALIDATE_CACHED_TARGET = 15,
    RENDER_OP_SET_FRAME_BOX = 16,
    RENDER_OP_SET_FRAME_TARGET = 17,
    RENDER_OP_UPSCALE_FINAL = 18,
    RENDER_OP_SET_PASS_MASK = 19,
    RENDER_OP_SET_FLAG_BIT = 20,
    RENDER_OP_SET_OUTLINE_PARAMS = 21,
    RENDER_OP_SET_OUTLINE_PARAMS_B = 22,
    RENDER_OP_POST_PROCESS = 23,
    RENDER_OP_BEGIN_FRAME = 24,
    RENDER_OP_SET_SCENE_PASS_OPTIONS = 25,
    RENDER_OP_BEGIN_OUTLINES = 26,
    RENDER_OP_RENDER_OUTLINES = 27,
    RENDER_OP_MESH_DATA_PASS = 28,
    RENDER_OP_SET_VIEWPORT = 29,
    RENDER_OP_SET_BRIGHTNESS = 30,
    RENDER_OP_SET_SCREEN_SCALE_X = 31,
    RENDER_OP_SET_SCREEN_SCALE_Y = 32,
    RENDER_OP_SET_CAMERA = 33,
    RENDER_OP_SET_FIELD_OF_VIEW = 34,
    RENDER_OP_SET_SCENE_COLOR_MODE = 35,
    RENDER_OP_SET_FLAG_BYTE = 36,
    RENDER_OP_CLEAR = 37,
    RENDER_OP_SET_SRGB_WRITE = 38,
    RENDER_OP_PRESENT = 39,
    RENDER_OP_SLEEP = 40,
    RENDER_OP_SET_FRAME_TIMES = 41,
    RENDER_OP_ISSUE_QUERY = 42,
    RENDER_OP_GET_QUERY_DATA = 43,
    RENDER_OP_SET_SCISSOR = 44,
    RENDER_OP_DRAW_TEXT = 45,
    RENDER_OP_ADD_LIGHT = 46,
    RENDER_OP_CALL = 47,
    RENDER_OP_BEGIN_GATHER = 48,
    RENDER_OP_RENDER_GATHERED = 49,
    RENDER_OP_DELETE_OBJECT = 50,
    RENDER_OP_RUN_JOB = 51,
    RENDER_OP_INVALID_52 = 52, // never written; read as unknown
    RENDER_OP_SET_DEPTH_STENCIL_ENABLED = 53,
    RENDER_OP_NOTHING_54 = 54,
    RENDER_OP_SET_DEPTH_STENCIL_SURFACE = 55,
    RENDER_OP_DEBUG_DRAW_BOX = 56,
    RENDER_OP_DRAW_SOLID_BOX = 57,
    RENDER_OP_DEBUG_DRAW_SHAPE = 58,
    RENDER_OP_DEBUG_DRAW_POINT_LIGHT = 59,
    RENDER_OP_DEBUG_DRAW_SPOT_LIGHT = 60,
    RENDER_OP_DEBUG_DRAW_TUBE_LIGHT = 61,
    RENDER_OP_DEBUG_DRAW_AMBIENT_LIGHT = 62,
    RENDER_OP_DRAW_AXIS_GIZMO = 63,
    RENDER_OP_DRAW_WIRE_SHAPE = 64,
    RENDER_OP_DEBUG_DRAW_MARKER = 65,
    RENDER_OP_DRAW_MESH = 66,
    RENDER_OP_DRAW_MESH_SKINNED = 67,
    RENDER_OP_DRAW_MESH_TEMPLATE = 68,
    RENDER_OP_DRAW_MESH_TEMPLATE_SKINNED = 69,
    RENDER_OP_DRAW_PARTICLE_SYSTEM = 70,
    RENDER_OP_ADD_RENDER_TASK = 71,
    kRenderOpcodeCount = 72,
};

// A function run on the render thread by the call command (opcode 47). It must read exactly its own
// arguments from the reader; its sub-command numbers are its own.
using RenderCallFunction = void (*)(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);

// Flag of the frame-times command (41): scene rendering is blocked, so particles and effects hold.
constexpr uint32_t kFrameTimesSceneBlocked = 1;

namespace renderpayload
{
// Field sizes in bytes.
constexpr uint32_t kPointer = sizeof(void*); // 64-bit: every pointer field is widened to 8 bytes
constexpr uint32_t kU8 = 1;
constexpr uint32_t kU32 = 4;
constexpr uint32_t kFloat = 4;
constexpr uint32_t kTime = 8;
constexpr uint32_t kVector = 16;
constexpr uint32_t kMatrix = 64;
constexpr uint32_t kBox = 32;
constexpr uint32_t kOutlineParams = 40;
constexpr uint32_t kDeviceParams = 64;
constexpr uint32_t kBoneMatrix = 48; // 3x4 floats
constexpr uint32_t kFrustumPlanes = 96;
constexpr uint32_t kRect = 16;

// Payload sizes of the fixed-size commands.
constexpr uint32_t kInitDX = kPointer + kU8;
constexpr uint32_t kResetWithParams = kPointer + kDeviceParams;
constexpr uint32_t kInitSceneCellGrid = kBox + kFloat;
constexpr uint32_t kSetSceneCellRange = 2 * kFloat;
constexpr uint32_t kSetLoadingScreen = kPointer + 2 * kU8;
constexpr uint32_t kSetFrameBox = kBox + kU32;
constexpr uint32_t kSetFrameTarget = kPointer + 2 * kU8;
constexpr uint32_t kSetFlagBit = kU32 + kU8;
constexpr uint32_t kSetScenePassOptions = kU32 + kU8;
constexpr uint32_t kSetViewport = 4 * kU32 + 2 * kFloat;
constexpr uint32_t kSetCamera = 3 * kMatrix + kFrustumPlanes;
constexpr uint32_t kClear = kU32 + kVector + kFloat + kU32;
constexpr uint32_t kFrameClock = kTime + kFloat;
constexpr uint32_t kSetFrameTimes = 3 * kFrameClock + kU32;
constexpr uint32_t kIssueQuery = kPointer + kU32;
constexpr uint32_t kGetQueryData = kPointer + kPointer + kU32 + kU32 + kPointer;
constexpr uint32_t kDrawTextHeader = kPointer + kMatrix + kVector + 3 * kU32 + kU8;
constexpr uint32_t kCallHeader = kPointer + kU32;
constexpr uint32_t kRenderGathered = kVector + kU32 + kU8;
constexpr uint32_t kDebugDrawBox = kBox + kMatrix + kVector;
constexpr uint32_t kDrawSolidBox = kDebugDrawBox + 2 * kU8;
constexpr uint32_t kDebugDrawShape = kMatrix + kVector;
constexpr uint32_t kDebugDrawPointLight = kMatrix + kVector + 2 * kFloat;
constexpr uint32_t kDebugDrawSpotLight = kMatrix + kVector + 3 * kFloat;
constexpr uint32_t kDebugDrawMarker = kMatrix + kVector + kU8;
constexpr uint32_t kDrawAxisGizmo = kMatrix + kU8;
constexpr uint32_t kDrawMesh = kPointer + 2 * kMatrix + kBox + kVector + kU32 + kU8;
constexpr uint32_t kDrawMeshTemplate = kPointer + kMatrix + kVector;
constexpr uint32_t kDrawParticleSystem = kPointer + kMatrix + kBox + kVector;
constexpr uint32_t kAddRenderTask = kPointer + kU32;

// A bone array: a u32 count (so the reader never depends on the rendering data's current bone count
// to find the next command), then count 48-byte matrices 16-byte aligned inside the block; it takes
// count x 48 + 16 bytes of array whatever the cursor's alignment.
constexpr uint32_t BoneArray(uint32_t count) { return kU32 + count * kBoneMatrix + 16; }
constexpr uint32_t kDrawMeshSkinnedBase = kDrawMesh;
constexpr uint32_t kDrawMeshTemplateSkinnedBase = kDrawMeshTemplate;
} // namespace renderpayload
