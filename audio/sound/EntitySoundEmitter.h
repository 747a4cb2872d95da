// The positioned-sound state of an entity, as sound instances read it. Entities, which own their
// emitter and move it through sound-thread calls, are not built yet; this record holds only what
// instances read: the entity's world matrix and its velocity. Sound thread only.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

// Where an entity's sounds play from (world matrix, translation in the last row) and how fast it
// moves (units per second, for Doppler).
class EntitySoundEmitter
{
public:
    Matrix m_worldMatrix = Matrix::ONE;
    Vector m_velocity;

    // Game thread: an entity's emitter follows its world matrix, and goes with the entity. Entities
    // get emitters only when sound entries play at them, which is not built yet; both calls say so.
    static void PostSetMatrix(EntitySoundEmitter* emitter, const Matrix& world);
    static void PostDestroy(EntitySoundEmitter* emitter);
};
