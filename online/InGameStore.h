// The in-game store definition: created at game start from the project's "Store definition file"
// (read from "common" in binary form) and deleted at game close. Absent when the project names no
// store file. The store's items and backpack are not built yet: the definition keeps the file's
// bytes. Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class ProjectConfig;

// The store data read from the project's store definition file.
class InGameStore
{
public:
    // Null when the project names no store file, or (logged) when the file cannot be read.
    static std::unique_ptr<InGameStore> CreateFromProject(const ProjectConfig& project);

    const std::vector<uint8_t>& GetDefinitionBytes() const { return m_definition; }
    // A store request over this definition; the items and backpack it works on are not built yet,
    // so it is only logged.
    void RunRequest(uint32_t request, uint32_t argument) const;

private:
    std::vector<uint8_t> m_definition;
};
