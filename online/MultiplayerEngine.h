// MultiplayerEngine: the multiplayer front end that the scene model calls (script global
// gMultiplayerEngine). Sessions, the network thread and replication traffic are not built yet: this
// class keeps the mode, hands out multiplayer ids to new entities and gives them back, and logs once
// that replication itself is missing. Main thread only.
#pragma once

#include <cstdint>

class Entity;

// Mode, authority and the id bookkeeping of replicated entities.
class MultiplayerEngine
{
public:
    enum Mode : uint32_t
    {
        MODE_NONE = 0,
        MODE_SERVER = 1,
        MODE_CLIENT = 2,
    };

    uint32_t GetMode() const { return m_mode; }
    void SetMode(uint32_t mode) { m_mode = mode; }
    // No session, or this side is the server.
    bool HasAuthority() const { return m_mode != MODE_CLIENT; }
    bool IsIdle() const { return m_mode == MODE_NONE; }

    // A new entity's multiplayer id: static replicable entities from the static range, authority
    // entities (mode 0 or 1) from the dynamic range; then RegisterReplicatedEntity.
    void AssignEntityMultiplayerId(Entity* entity);
    void RegisterReplicatedEntity(Entity* entity);
    // A replicated authority entity goes away: its dynamic id is given back.
    void OnEntityDestroyed(Entity* entity);
    // An authority entity's replicated state changed.
    void MarkChanged(Entity* entity);

private:
    void ReportReplicationNotBuilt();

    uint32_t m_mode = MODE_NONE;
    bool m_reported = false;
};

// Null until the game creates the engine.
extern MultiplayerEngine* gMultiplayerEngine;
