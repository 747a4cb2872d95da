// The positioned-sound state of an entity: the sound thread's copy of the entity's world matrix,
// its Doppler velocity and an optional altitude override.
//
// The main thread creates an emitter (from the entity's world matrix) and from then on only posts
// sub-operations to the sound thread through the sound engine's call command, in order: destroy,
// matrix, velocity, altitude override and play. The sound thread applies them (Execute), and its
// sound instances read the matrix and velocity every cycle. Destroy detaches the emitter's sounds
// and frees it there, after every sub-operation posted before it. The emitter's address is also
// the owner filter of the sound engine's stop, pause, resume and volume commands.
//
// Threads: the constructor and the Post* calls on the main thread; the fields and Execute on the
// sound thread once the emitter has been handed over.
#pragma once

#include "audio/sound/SoundParamWrapper.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

class BaseThread;
class CommandRingBuffer;
class SoundInstanceList;

// Sub-operations of an emitter (the call command's argument).
enum EmitterOperation : uint32_t
{
    EMITTER_DESTROY = 0,
    EMITTER_SET_MATRIX = 1,   // 64-byte Matrix
    EMITTER_SET_VELOCITY = 2, // 16-byte Vector
    EMITTER_SET_ALTITUDE = 3, // f32, negative: none
    EMITTER_PLAY = 4,         // u32 id, 48-byte SoundParamWrapper, name with its terminator
};

// Where an entity's sounds play from (world matrix, translation in the last row) and how fast it
// moves (units per second, for Doppler).
class EntitySoundEmitter
{
public:
    explicit EntitySoundEmitter(const Matrix& worldMatrix = Matrix::ONE);

    // Main thread: posting. Each is a no-op (logged for play) when no sound thread runs, except
    // destroy, which then frees the emitter at once.
    void PostDestroy();
    void PostSetMatrix(const Matrix& matrix);
    void PostSetVelocity(const Vector& velocity);
    void PostSetAltitudeOverride(float altitude);
    // The new instance's id, or 0 (null name, or nothing could be posted). Null parameters use
    // the defaults.
    uint32_t PostPlay(const char* name, const SoundParamWrapper* params);

    // Sound thread: one sub-operation whose payload (after the emitter pointer) the ring holds;
    // plays and the destroy's detach go to the sound engine's instances.
    void Execute(SoundInstanceList& instances, uint32_t operation, CommandRingBuffer& ring);
    // The call command's function: reads the emitter pointer and runs Execute.
    static void Call(BaseThread& thread, uintptr_t operation, CommandRingBuffer& ring);

    Matrix m_worldMatrix;
    Vector m_velocity;
    float m_altitudeOverride = -1.0f;
    float m_baseHeight;

private:
    bool Post(uint32_t operation, const void* payload, uint32_t bytes);
};
