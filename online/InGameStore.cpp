#include "online/InGameStore.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "engine/config/ProjectConfig.h"

std::unique_ptr<InGameStore> InGameStore::CreateFromProject(const ProjectConfig& project)
{
    if (project.m_storeDefinitionFile.empty())
        return nullptr;
    FileReader reader(project.m_storeDefinitionFile.c_str(), nullptr, "common", 0);
    if (!reader.IsOpen())
    {
        gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "Unable to open the store definition file %s",
                         project.m_storeDefinitionFile.c_str());
        return nullptr;
    }
    std::unique_ptr<InGameStore> store(new InGameStore);
    store->m_definition.resize(reader.GetRemaining());
    if (!store->m_definition.empty() && !reader.Read(store->m_definition.data(), uint32_t(store->m_definition.size())))
    {
        gConsole.Warning(CONSOLE_CHANNEL_MULTIPLAYER, "Unable to read the store definition file %s",
                         project.m_storeDefinitionFile.c_str());
        return nullptr;
    }
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_MULTIPLAYER, "InGameStore: the store data model is not built yet (%s)",
                    project.m_storeDefinitionFile.c_str());
    return store;
}

void InGameStore::RunRequest(uint32_t request, uint32_t argument) const
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_MULTIPLAYER,
                    "InGameStore: request %u (%u) over %zu bytes of store data: the store is not built yet", request,
                    argument, m_definition.size());
}
