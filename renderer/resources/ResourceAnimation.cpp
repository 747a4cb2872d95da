#include "renderer/resources/ResourceAnimation.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/reflection/RecordStream.h"
#include "renderer/resources/ResourceManager.h"

#include <memory>
#include <new>

namespace
{
constexpr const char* kAnimationFolder = "Animations";
constexpr const char* kAnimationExtension = "bin";
} // namespace

void ResourceAnimation::Prefetch()
{
    gFileSystem.PreheatInputStream(GetDisplayName(), kAnimationExtension, kAnimationFolder, 0);
}

bool ResourceAnimation::ReadImage(const uint8_t* image, size_t size, const char* fileName, AnimationData& data,
                                  uint32_t (&headerWords)[2])
{
    RecordInput in(image, size);
    uint32_t magic = 0;
    uint32_t version = 0;
    if (!in.ReadU32(magic) || !in.ReadU32(version) || magic != AnimationData::kMagic)
        return false;
    uint32_t words[2] = {};
    if (!in.ReadU32(words[0]) || !in.ReadU32(words[1]))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Animation %s ends early", fileName);
        return false;
    }
    if (!data.Read(in, version, fileName))
        return false;
    headerWords[0] = words[0];
    headerWords[1] = words[1];
    return true;
}

bool ResourceAnimation::DoLoad()
{
    FileReader file(GetDisplayName(), kAnimationExtension, kAnimationFolder, 0);
    if (!file.IsOpen())
        return false;
    if (gResourceManager != nullptr)
        gResourceManager->StartPendingPrefetch();
    const uint32_t size = file.GetSize();
    const std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (image == nullptr || !file.Read(image.get(), size))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Animation %s cannot be read", GetDisplayName());
        return false;
    }
    if (!ReadImage(image.get(), size, GetDisplayName(), m_data, m_headerWords))
        return false;
    SetSize(size);
    return true;
}
