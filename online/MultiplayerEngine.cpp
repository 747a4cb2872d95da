#include "online/MultiplayerEngine.h"

#include "core/console/GameConsole.h"
#include "engine/profiler/Profiler.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"

#include <cerrno>
#include <cstdlib>

namespace
{
constexpr uint32_t kRingBytes = 65536;
constexpr uint32_t kWaitMs = 10;
constexpr const char* kConnectLobbyArgument = "+connect_lobby";
} // namespace

MultiplayerEngine::MultiplayerEngine() : BaseThread("MultiplayerEngine", kRingBytes, true, kWaitMs, 0) {}

MultiplayerEngine::~MultiplayerEngine()
{
    Stop();
}

bool MultiplayerEngine::HasAuthority() const
{
    const uint32_t mode = GetMode();
    return mode == MODE_NONE || mode == MODE_SERVER;
}

bool MultiplayerEngine::IsIdle() const
{
    return GetMode() == MODE_NONE && m_pendingMessages.load(std::memory_order_acquire) == 0;
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
    if (!m_driverReported)
    {
        m_driverReported = true;
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_MULTIPLAYER,
                        "MultiplayerEngine: command %u (%llu) needs the network driver, which is not built yet", id,
                        static_cast<unsigned long long>(value));
    }
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
    if (GetMode() == MODE_SERVER && entity->GetMID() != NULL_ENTITY_MULTIPLAYER_ID)
        ReportReplicationNotBuilt();
}

void MultiplayerEngine::OnEntityDestroyed(Entity* entity)
{
    if (entity->GetMID() < kDynamicMIDCount)
        gEntityManager.FreeMID(entity->GetMID());
}

void MultiplayerEngine::MarkChanged(Entity* entity)
{
    if (GetMode() == MODE_SERVER && entity->GetMID() != NULL_ENTITY_MULTIPLAYER_ID)
        ReportReplicationNotBuilt();
}

void MultiplayerEngine::TearOff(Entity* entity)
{
    entity->SetTornOff(true);
    if (GetMode() == MODE_SERVER && entity->GetMID() != NULL_ENTITY_MULTIPLAYER_ID)
        ReportReplicationNotBuilt();
}

void MultiplayerEngine::QueueEntityState(const Dynarray<uint8_t>& state)
{
    for (const uint8_t byte : state)
        m_outgoingEntityStates.Add(byte);
}

void MultiplayerEngine::SendEntityStates()
{
    if (!m_outgoingEntityStates.IsEmpty() && GetMode() == MODE_SERVER)
        ReportReplicationNotBuilt();
    m_outgoingEntityStates.Clear();
}

void MultiplayerEngine::ReportReplicationNotBuilt()
{
    if (m_replicationReported)
        return;
    m_replicationReported = true;
    gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "MultiplayerEngine: entity replication is not built yet");
}
