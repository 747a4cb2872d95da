#include "online/MultiplayerEngine.h"

#include "core/console/GameConsole.h"
#include "scene/entities/Entity.h"
#include "scene/entities/EntityManager.h"

MultiplayerEngine* gMultiplayerEngine = nullptr;

void MultiplayerEngine::AssignEntityMultiplayerId(Entity* entity)
{
    if (entity->IsStaticMultiplayer())
        entity->SetMID(gEntityManager.AllocStaticMID());
    else if (m_mode != MODE_CLIENT && entity->GetReplicationRole() == ENTITYROLE_AUTHORITY)
        entity->SetMID(gEntityManager.AllocDynamicMID());
    RegisterReplicatedEntity(entity);
}

void MultiplayerEngine::RegisterReplicatedEntity(Entity* entity)
{
    if (m_mode == MODE_SERVER && entity->GetMID() != NULL_ENTITY_MULTIPLAYER_ID)
        ReportReplicationNotBuilt();
}

void MultiplayerEngine::OnEntityDestroyed(Entity* entity)
{
    if (entity->GetMID() < kDynamicMIDCount)
        gEntityManager.FreeMID(entity->GetMID());
}

void MultiplayerEngine::MarkChanged(Entity* entity)
{
    if (m_mode == MODE_SERVER && entity->GetMID() != NULL_ENTITY_MULTIPLAYER_ID)
        ReportReplicationNotBuilt();
}

void MultiplayerEngine::ReportReplicationNotBuilt()
{
    if (m_reported)
        return;
    m_reported = true;
    gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "MultiplayerEngine: entity replication is not built yet");
}
