// Ambient sound templates for tests and demo data: an AmbientSoundTemplate naming its sound entry,
// with compound elements, written as a template body by the engine's own record writer. Main
// thread.
#pragma once

#include "core/SimpleGUID.h"
#include "tools/datakit/CompoundTemplateWriter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class AmbientSoundTemplate;

namespace AmbientSoundTemplateWriter
{
// An ambient sound template playing `soundEntry` (empty: none) with the elements.
std::unique_ptr<AmbientSoundTemplate> MakeTemplate(const std::string& soundEntry,
                                                   const std::vector<CompoundElementSpec>& elements);
// The template body (GUID, type 17, record).
std::vector<uint8_t> BuildBody(const std::string& soundEntry, const std::vector<CompoundElementSpec>& elements,
                               const SimpleGUID& guid);
} // namespace AmbientSoundTemplateWriter
