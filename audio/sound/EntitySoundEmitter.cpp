#include "audio/sound/EntitySoundEmitter.h"

#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundInstanceList.h"
#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"

#include <cstring>
#include <string>

namespace
{
// Sounds of a destroyed emitter fade out over this time (seconds) unless they outlive it.
constexpr float kDestroyFadeSeconds = 0.3f;

void WriteMatrix(const Matrix& matrix, float* values)
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            values[row * 4 + column] = matrix.At(row, column);
}
} // namespace

EntitySoundEmitter::EntitySoundEmitter(const Matrix& worldMatrix)
    : m_worldMatrix(worldMatrix), m_baseHeight(worldMatrix.rows[3].y)
{
}

bool EntitySoundEmitter::Post(uint32_t operation, const void* payload, uint32_t bytes)
{
    SoundEngine* const engine = gSoundEngine;
    if (engine == nullptr || !engine->IsRunning())
        return false;
    const ThreadCall call = &EntitySoundEmitter::Call;
    const uintptr_t argument = operation;
    EntitySoundEmitter* const self = this;
    if (!engine->BeginCommand(THREAD_COMMAND_CALL, uint32_t(sizeof(call) + sizeof(argument) + sizeof(self)) + bytes))
        return false;
    CommandRingBuffer& ring = engine->GetRing();
    ring.Write(&call, sizeof(call));
    ring.Write(&argument, sizeof(argument));
    ring.Write(&self, sizeof(self));
    if (bytes != 0)
        ring.Write(payload, bytes);
    engine->EndCommand();
    return true;
}

void EntitySoundEmitter::PostDestroy()
{
    // Without a sound thread no instance can refer to the emitter.
    if (!Post(EMITTER_DESTROY, nullptr, 0))
        delete this;
}

void EntitySoundEmitter::PostSetMatrix(const Matrix& matrix)
{
    float values[16];
    WriteMatrix(matrix, values);
    Post(EMITTER_SET_MATRIX, values, sizeof(values));
}

void EntitySoundEmitter::PostSetVelocity(const Vector& velocity)
{
    const float values[4] = {velocity.x, velocity.y, velocity.z, velocity.w};
    Post(EMITTER_SET_VELOCITY, values, sizeof(values));
}

void EntitySoundEmitter::PostSetAltitudeOverride(float altitude)
{
    Post(EMITTER_SET_ALTITUDE, &altitude, sizeof(altitude));
}

uint32_t EntitySoundEmitter::PostPlay(const char* name, const SoundParamWrapper* params)
{
    SoundEngine* const engine = gSoundEngine;
    if (name == nullptr || engine == nullptr || !engine->IsRunning())
        return 0;
    const uint32_t length = uint32_t(std::strlen(name));
    const uint32_t bytes = 4 + SoundParamWrapper::kSerializedBytes + length + 1;
    if (bytes + 32 >= engine->GetRing().GetMaxPayload())
    {
        gConsole.Error(CONSOLE_CHANNEL_SOUND, "Sound name too long to play: %.64s...", name);
        return 0;
    }
    const uint32_t id = engine->NextInstanceId();
    std::string payload(bytes, '\0');
    std::memcpy(payload.data(), &id, 4);
    (params != nullptr ? *params : SoundParamWrapper::DEFAULT)
        .Write(reinterpret_cast<uint8_t*>(payload.data()) + 4);
    std::memcpy(payload.data() + 4 + SoundParamWrapper::kSerializedBytes, name, length + 1);
    return Post(EMITTER_PLAY, payload.data(), bytes) ? id : 0;
}

void EntitySoundEmitter::Call(BaseThread& thread, uintptr_t operation, CommandRingBuffer& ring)
{
    EntitySoundEmitter* emitter = nullptr;
    if (ring.Read(&emitter, sizeof(emitter)) && emitter != nullptr)
        emitter->Execute(static_cast<SoundEngine&>(thread).GetInstances(), uint32_t(operation), ring);
}

void EntitySoundEmitter::Execute(SoundInstanceList& instances, uint32_t operation, CommandRingBuffer& ring)
{
    switch (operation)
    {
    case EMITTER_DESTROY:
        instances.DetachEmitter(this, kDestroyFadeSeconds);
        delete this;
        break;
    case EMITTER_SET_MATRIX:
    {
        float values[16];
        if (!ring.Read(values, sizeof(values)))
            break;
        for (int row = 0; row < 4; ++row)
            m_worldMatrix.rows[row].Set(values[row * 4], values[row * 4 + 1], values[row * 4 + 2], values[row * 4 + 3]);
        m_baseHeight = m_worldMatrix.rows[3].y;
        if (m_altitudeOverride >= 0.0f)
            m_worldMatrix.rows[3].y = m_altitudeOverride;
        break;
    }
    case EMITTER_SET_VELOCITY:
    {
        float values[4];
        if (ring.Read(values, sizeof(values)))
            m_velocity.Set(values[0], values[1], values[2], values[3]);
        break;
    }
    case EMITTER_SET_ALTITUDE:
        if (!ring.Read(&m_altitudeOverride, sizeof(m_altitudeOverride)))
            break;
        m_worldMatrix.rows[3].y = m_altitudeOverride < 0.0f ? m_baseHeight : m_altitudeOverride;
        break;
    case EMITTER_PLAY:
    {
        uint32_t id = 0;
        uint8_t block[SoundParamWrapper::kSerializedBytes];
        if (!ring.Read(&id, 4) || !ring.Read(block, sizeof(block)))
            break;
        const char* const text = reinterpret_cast<const char*>(ring.GetReadCursor());
        const std::string name(text, strnlen(text, ring.GetReadLeft()));
        ring.SkipRead(ring.GetReadLeft());
        SoundParamWrapper params;
        params.Read(block);
        if (params.Flags & SOUNDSTARTFLAG_STREAMED)
            instances.CreateStreamed(this, name.c_str(), id, params);
        else
            instances.CreateStatic(this, name.c_str(), id, params);
        break;
    }
    default:
        break;
    }
}
