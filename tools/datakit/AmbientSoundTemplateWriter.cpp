#include "tools/datakit/AmbientSoundTemplateWriter.h"

#include "scene/kinds/AmbientSoundTemplate.h"
#include "tools/datakit/SceneWriter.h"

namespace AmbientSoundTemplateWriter
{
std::unique_ptr<AmbientSoundTemplate> MakeTemplate(const std::string& soundEntry,
                                                   const std::vector<CompoundElementSpec>& elements)
{
    auto ambient = std::make_unique<AmbientSoundTemplate>();
    ambient->SetSoundEntry(soundEntry.empty() ? nullptr : soundEntry.c_str());
    CompoundTemplateWriter::AddElements(*ambient, elements);
    return ambient;
}

std::vector<uint8_t> BuildBody(const std::string& soundEntry, const std::vector<CompoundElementSpec>& elements,
                               const SimpleGUID& guid)
{
    const std::unique_ptr<AmbientSoundTemplate> ambient = MakeTemplate(soundEntry, elements);
    return SceneWriter::BuildTemplateBody(*ambient, guid, ambient->GetTypeId());
}
} // namespace AmbientSoundTemplateWriter
