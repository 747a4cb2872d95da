// The multiplayer engine (script global gMultiplayerEngine): the thread that drives the network
// driver, and the main thread's replication bookkeeping. Sessions come from the network driver
// (lobbies, automatch, the peer-to-peer link), which is not built yet: without it the engine stays
// in mode 0 with no peer, commands that need the driver are reported on its thread, and what a
// connected server would send to its peer (new entities in their id slots, changed states,
// destructions, tear-offs) is gathered and handed over at the end of each send pass.
//
// Threads: Start, Stop, the queries, the replication bookkeeping and every post on the main thread
// (the ring has no producer lock); commands run on the multiplayer thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/threads/BaseThread.h"

#include <atomic>
#include <cstdint>
#include <memory>
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
    // Ids below this have a replication slot and a change state.
    static constexpr uint16_t kMIDSlots = 4095;
    // The program's module address, kept for the subclass as by every worker.
    static constexpr uintptr_t kSubclassWord = 0x400000;

    MultiplayerEngine();
    ~MultiplayerEngine() override;

    uint32_t GetMode() const { return m_mode.load(std::memory_order_acquire); }
    void SetMode(uint32_t mode) { m_mode.store(mode, std::memory_order_release); }
    // The network driver tells the engine when a peer joins or leaves the session.
    void SetPeerConnected(bool connected) { m_peerConnected.store(connected, std::memory_order_release); }
    // This side serves a session with a peer: the replication bookkeeping is kept for the peer.
    bool IsConnectedServer() const;
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
    // On a connected server an entity with an id takes its id slot and joins the entities to send.
    void RegisterReplicatedEntity(Entity* entity);
    // A replicated authority entity goes away: its dynamic id is given back and, on a connected
    // server, its destruction is queued for the peer (unless the peer never heard of it).
    void OnEntityDestroyed(Entity* entity);
    // An authority entity's replicated state changed: its id's state becomes 1.
    void MarkChanged(Entity* entity);
    // The entity is torn off: the peer keeps it but no longer hears of it.
    void TearOff(Entity* entity);
    // Main thread: entity states written this tick (Entity::WriteMPProperties), and the hand-over
    // of everything gathered for the peer at the end of the tick's send pass.
    void QueueEntityState(const Dynarray<uint8_t>& state);
    const Dynarray<uint8_t>& GetOutgoingEntityStates() const { return m_outgoingEntityStates; }
    void SendEntityStates();

    // The replication bookkeeping (main thread).
    Entity* GetSlotEntity(uint16_t mid) const;
    uint8_t GetMIDState(uint16_t mid) const;
    const SafePointerArray<Entity>& GetEntitiesToSend() const { return m_entitiesToSend; }
    const Dynarray<uint16_t>& GetDestroyedMIDs() const { return m_destroyedMIDs; }
    const Dynarray<uint16_t>& GetTornOffMIDs() const { return m_tornOffMIDs; }

protected:
    void HandleCommand(const uint8_t* record) override;

private:
    std::atomic<uint32_t> m_mode{MODE_NONE};
    std::atomic<bool> m_peerConnected{false};
    std::atomic<uint32_t> m_commandsReceived{0};
    std::vector<std::string> m_arguments;
    bool m_driverReported = false; // multiplayer thread
    bool m_sendReported = false;   // main thread
    // Main thread: what the peer is to hear of at the next hand-over.
    Dynarray<uint8_t> m_outgoingEntityStates;
    std::unique_ptr<SafePointer<Entity>[]> m_midSlots; // made with the first registration
    uint8_t m_midStates[kMIDSlots] = {};
    SafePointerArray<Entity> m_entitiesToSend;
    Dynarray<uint16_t> m_destroyedMIDs;
    Dynarray<uint16_t> m_tornOffMIDs;

    void ReportDriverNotBuilt(uint32_t command, uint64_t value);
};

// Null until the game creates the engine.
extern MultiplayerEngine* gMultiplayerEngine;
