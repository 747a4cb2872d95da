// Template files for tests and demo data: ".template" stub lines and the packed index
// "Templates/TemplateInfo.Bin" (stubs in GUID order, folders sorted as the registry bisects them).
// Payloads come from the engine's own record writer. Any thread; no shared state.
#pragma once

#include "core/SimpleGUID.h"

#include <cstdint>
#include <string>
#include <vector>

// One template file: its folder below "templates" ("" for the top, "/" between names), its file
// name without the ".template" extension, GUID and type id.
struct TemplateStubEntry
{
    std::string folder;
    std::string name;
    SimpleGUID guid;
    uint32_t typeId = 0;
};

namespace TemplateWriter
{
// The stub line of a ".template" file, followed by `body` on the next lines.
std::string MakeStubText(const SimpleGUID& guid, uint32_t typeId, const std::string& body = "");
// Writes "<root>/<folder>/<name>.template" for each entry, creating folders.
bool WriteStubFiles(const std::string& root, const std::vector<TemplateStubEntry>& entries);
// The TemplateInfo.Bin image: stubs sorted by GUID, then the folder tree (names case-insensitively
// sorted, each folder's stubs by file name).
std::vector<uint8_t> BuildTemplateInfo(const std::vector<TemplateStubEntry>& entries);
// False, said on stderr, when the file cannot be written whole.
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
} // namespace TemplateWriter
