// The multiplayer engine (script global gMultiplayerEngine): the thread that will drive the
// network driver, replication and time sync. Only the idle engine exists so far: mode 0 (no
// session), no peer and no callback messages; network commands that need the driver are received
// on its thread and reported as not built.
//
// Threads: Start, Stop and the queries on the main thread; commands run on the multiplayer thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/threads/BaseThread.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class Entity;

// Network commands of the multiplayer thread.
enum MultiplayerCommand : uint32_t
{
    MULTIPLAYER_COMMAND_SEND_COMPLETE_STATE = 18, // u64 time offset
    MULTIPLAYER_COMMAND_JOIN_LOBBY = 23,          // u64 lobby id
};

// The multiplayer thread object; mode 0 none, 1 server, 2 client.
class MultiplayerEngine : public BaseThread
{
public:
    enum Mode : uint32_t
    {
        MODE_NONE = 0,
        MODE_SERVER = 1,
        MODE_CLIENT = 2,
    };

    MultiplayerEngine();
    ~MultiplayerEngine() override;

    uint32_t GetMode() const { return m_mode.load(std::memory_order_acquire); }
    void SetMode(uint32_t mode) { m_mode.store(mode, std::memory_order_release); }
    // No session, or this side serves it.
    bool HasAuthority() const;
    // No session set up and no callback message waiting for the main thread.
    bool IsIdle() const;
    // Main thread, once per frame: handles the thread's messages, then publishes the entity
    // manager's multiplayer id counts to the profiler ("NetDynamicMID", "NetStaticMID").
    void ProcessCallbackMessages();
    void SendCompleteState(uint64_t timeOffset);
    // Runs the received replicated method calls that are due (none without a session).
    void DispatchReceivedMethodCalls(uint32_t flags);
    // The program's arguments, kept for the first showing of the main menu.
    void SetCommandLine(const std::vector<std::string>& arguments) { m_arguments = arguments; }
    // Joins the lobby named by "+connect_lobby <decimal id>" in the arguments, if any.
    void OnMainMenuShowForTheFirstTime();

    uint32_t GetCommandsReceived() const { return m_commandsReceived.load(std::memory_order_acquire); }

    // A new entity's multiplayer id: static replicable entities from the static range, authority
    // entities (mode 0 or 1) from the dynamic range; then RegisterReplicatedEntity.
    void AssignEntityMultiplayerId(Entity* entity);
    void RegisterReplicatedEntity(Entity* entity);
    // A replicated authority entity goes away: its dynamic id is given back.
    void OnEntityDestroyed(Entity* entity);
    // An authority entity's replicated state changed.
    void MarkChanged(Entity* entity);
    // The entity is torn off: the peer keeps it but no longer hears of it.
    void TearOff(Entity* entity);
    // Main thread: entity states written this tick (Entity::WriteMPProperties), and their send at
    // the end of the tick's send pass. Without a session there is no peer and they are dropped.
    void QueueEntityState(const Dynarray<uint8_t>& state);
    const Dynarray<uint8_t>& GetOutgoingEntityStates() const { return m_outgoingEntityStates; }
    void SendEntityStates();

protected:
    void HandleCommand(const uint8_t* record) override;

private:
    std::atomic<uint32_t> m_mode{MODE_NONE};
    std::atomic<uint32_t> m_pendingMessages{0};
    std::atomic<uint32_t> m_commandsReceived{0};
    std::vector<std::string> m_arguments;
    bool m_driverReported = false; // multiplayer thread
    bool m_replicationReported = false; // main thread
    Dynarray<uint8_t> m_outgoingEntityStates; // main thread

    void ReportReplicationNotBuilt();
};

// Null until the game creates the engine.
extern MultiplayerEngine* gMultiplayerEngine;
