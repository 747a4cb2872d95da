#include "online/MultiplayerEngine.h"

#include "core/console/GameConsole.h"
#include "engine/profiler/Profiler.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace
{
// Every command comes from the main thread (script calls and the frame), so no producer lock.
constexpr uint32_t kMultiplayerRingBytes = 1048576;
constexpr uint32_t kMultiplayerWaitMs = 50;
constexpr const char* kConnectLobbyArgument = "+connect_lobby";
} // namespace

MultiplayerEngine::MultiplayerEngine() : BaseThread("MultiplayerEngine", kMultiplayerRingBytes, false, kMultiplayerWaitMs, kSubclassWord) {}

MultiplayerEngine::~MultiplayerEngine()
{
    Stop();
}

bool MultiplayerEngine::HasAuthority() const
{
    const uint32_t mode = GetMode();
    return mode == MODE_NONE || mode == MODE_SERVER;
}

bool MultiplayerEngine::IsConnectedServer() const
{
    return GetMode() == MODE_SERVER && m_peerConnected.load(std::memory_order_acquire);
}

bool MultiplayerEngine::IsIdle() const
{
    // The thread posts callback messages only while a session runs, so none can wait without one.
    return GetMode() == MODE_NONE;
}

void MultiplayerEngine::ProcessCallbackMessages()
{
    // The thread posts no message while no session runs.
    gProfiler.SetValue(PROFILER_NET_DYNAMIC_MID, float(gEntityManager.GetDynamicMIDsInUse()), PROFILER_SOURCE_MAIN);
    gProfiler.SetValue(PROFILER_NET_STATIC_MID, float(gEntityManager.GetStaticMIDsHandedOut()), PROFILER_SOURCE_MAIN);
}

void MultiplayerEngine::SendCompleteState(uint64_t timeOffset)
{
    PostCommand(MULTIPLAYER_COMMAND_SEND_COMPLETE_STATE, &timeOffset, sizeof(timeOffset));
}

void MultiplayerEngine::DispatchReceivedMethodCalls(uint32_t)
{
}

void MultiplayerEngine::OnMainMenuShowForTheFirstTime()
{
    for (size_t i = 0; i + 1 < m_arguments.size(); ++i)
    {
        if (m_arguments[i] != kConnectLobbyArgument)
            continue;
        const std::string& text = m_arguments[i + 1];
        char* end = nullptr;
        errno = 0;
        const unsigned long long lobby = std::strtoull(text.c_str(), &end, 10);
        // Only a whole decimal number names a lobby.
        if (text.empty() || errno != 0 || end == nullptr || *end != '\0' || text[0] == '-')
        {
            gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "Ignoring %s with the lobby id \"%s\"", kConnectLobbyArgument,
                             text.c_str());
            return;
        }
        const uint64_t id = lobby;
        PostCommand(MULTIPLAYER_COMMAND_JOIN_LOBBY, &id, sizeof(id));
        return;
    }
}

void MultiplayerEngine::HandleCommand(const uint8_t*)
{
    const uint32_t id = GetRing().GetReadId();
    uint64_t value = 0;
    GetRing().Read(&value, sizeof(value));
    m_commandsReceived.fetch_add(1, std::memory_order_release);
    // Without a session there is no peer to send the state to.
    if (id == MULTIPLAYER_COMMAND_SEND_COMPLETE_STATE && GetMode() == MODE_NONE)
        return;
    ReportDriverNotBuilt(id, value);
}

void MultiplayerEngine::ReportDriverNotBuilt(uint32_t command, uint64_t value)
{
    if (m_driverReported)
        return;
    m_driverReported = true;
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_MULTIPLAYER,
                    "MultiplayerEngine: command %u (%llu) needs the network driver, which is not built yet", command,
                    static_cast<unsigned long long>(value));
}

MultiplayerEngine* gMultiplayerEngine = nullptr;

void MultiplayerEngine::AssignEntityMultiplayerId(Entity* entity)
{
    if (entity->IsStaticMultiplayer())
        entity->SetMID(gEntityManager.AllocStaticMID());
    else if (GetMode() != MODE_CLIENT && entity->GetReplicationRole() == ENTITYROLE_AUTHORITY)
        entity->SetMID(gEntityManager.AllocDynamicMID());
    RegisterReplicatedEntity(entity);
}

void MultiplayerEngine::RegisterReplicatedEntity(Entity* entity)
{
    const uint16_t mid = entity->GetMID();
    if (!IsConnectedServer() || mid >= kMIDSlots)
        return;
    if (m_midSlots == nullptr)
        m_midSlots.reset(new SafePointer<Entity>[kMIDSlots]);
    m_midSlots[mid].Set(entity);
    m_entitiesToSend.Add(SafePointer<Entity>(entity));
}

void MultiplayerEngine::OnEntityDestroyed(Entity* entity)
{
    const uint16_t mid = entity->GetMID();
    if (mid >= kMIDSlots)
        return;
    if (m_midSlots != nullptr && m_midSlots[mid].Get() == entity)
        m_midSlots[mid].Set(nullptr);
    m_midStates[mid] = 0;
    if (IsConnectedServer())
    {
        bool unsent = false;
        for (const SafePointer<Entity>& listed : m_entitiesToSend)
            unsent = unsent || listed.Get() == entity;
        if (unsent)
        {
            // The peer never heard of it: there is nothing to destroy on its side.
            m_entitiesToSend.RemoveValue(SafePointer<Entity>(entity));
            gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER,
                             "Created and destroyed authoritative entity mid:%d in same frame before flushing update. "
                             "Entity won't be replicated.",
                             int(mid));
        }
        else
            m_destroyedMIDs.Add(mid);
    }
    if (mid < kDynamicMIDCount)
        gEntityManager.FreeMID(mid);
}

void MultiplayerEngine::MarkChanged(Entity* entity)
{
    const uint16_t mid = entity->GetMID();
    if (entity->GetReplicationRole() == ENTITYROLE_AUTHORITY && mid < kMIDSlots)
        m_midStates[mid] = 1;
}

void MultiplayerEngine::TearOff(Entity* entity)
{
    entity->SetTornOff(true);
    const uint16_t mid = entity->GetMID();
    if (IsConnectedServer() && mid < kMIDSlots)
        m_tornOffMIDs.Add(mid);
}

void MultiplayerEngine::QueueEntityState(const Dynarray<uint8_t>& state)
{
    for (const uint8_t byte : state)
        m_outgoingEntityStates.Add(byte);
}

void MultiplayerEngine::SendEntityStates()
{
    const bool gathered = !m_outgoingEntityStates.IsEmpty() || !m_entitiesToSend.IsEmpty() ||
                          !m_destroyedMIDs.IsEmpty() || !m_tornOffMIDs.IsEmpty();
    if (gathered && IsConnectedServer() && !m_sendReported)
    {
        m_sendReported = true;
        gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER,
                         "MultiplayerEngine: sending to the peer needs the network driver, which is not built yet");
    }
    // Handed over, or without a peer nobody to hand it to: the next pass gathers afresh.
    m_outgoingEntityStates.Clear();
    m_entitiesToSend.Clear();
    m_destroyedMIDs.Clear();
    m_tornOffMIDs.Clear();
    std::memset(m_midStates, 0, sizeof(m_midStates));
}

Entity* MultiplayerEngine::GetSlotEntity(uint16_t mid) const
{
    return m_midSlots != nullptr && mid < kMIDSlots ? m_midSlots[mid].Get() : nullptr;
}

uint8_t MultiplayerEngine::GetMIDState(uint16_t mid) const
{
    return mid < kMIDSlots ? m_midStates[mid] : 0;
}
