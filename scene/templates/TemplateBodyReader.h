// TemplateBodyReader: reads a template's body, either from the open optimized templates stream
// (names starting with "#") or from its ".BinaryTemplate" file. Runs on the resource manager's
// thread (or on whichever thread loads a template inline); keeps no state of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class EntityTemplate;

// The body form: 16-byte GUID, u32 type id, u32 unused, u32 payload size, the property payload,
// then the blocks the template's kind keeps after it.
namespace TemplateBodyReader
{
// Fixed bytes before the payload.
constexpr size_t kHeaderSize = 16 + 4 + 4 + 4;

// Reads the template's body; false (logged) when it is missing, cut short or not a valid payload.
bool Load(EntityTemplate& entityTemplate);
// Parses one body held in memory; false (logged) unless the payload lies wholly inside it.
bool ReadBody(EntityTemplate& entityTemplate, const uint8_t* data, size_t size);
// The name whose ".BinaryTemplate" holds the body of the template named `name`: the first suffixed
// name whose file exists, else the name itself.
std::string FindBodyFile(const char* name);
// Binary template files are tried with each suffix in order, then bare; the list is empty unless
// set (the project configuration names no suffix list, so start-up or tools set one).
void SetSuffixes(const std::vector<std::string>& suffixes);
} // namespace TemplateBodyReader
