#include "renderer/resources/ResourceTexture.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "renderer/jobs/NorvexRendererReorderedTextureCreationJob.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/TextureFile.h"

#include <algorithm>
#include <new>

namespace
{
constexpr uint8_t kEngineChannel = 2;
constexpr uint8_t kResourceChannel = 3;
constexpr size_t kPathCapacity = 260;

uint32_t LevelsToSkip(const TextureFileHeader& header, uint32_t mode)
{
    if (mode >= 4)
        return 0;
    const uint32_t skip = (header.flags & TextureFileHeader::kFlagSkipExtraLevel) != 0 ? 4 - mode : 3 - mode;
    return std::min<uint32_t>(skip, header.levelCount - 1u);
}
} // namespace

ResourceTexture::~ResourceTexture()
{
    PostTextureDeletionJob(m_texture, false);
}

const char* ResourceTexture::GetFolder() const
{
    return (GetFlags() & RESOURCE_FLAG_SCENE_TEXTURE) != 0 ? "scenes" : "textures";
}

void ResourceTexture::Prefetch()
{
    char path[kPathCapacity];
    BuildTextureFilePath(path, sizeof(path), GetDisplayName());
    gFileSystem.PreheatInputStream(path, nullptr, GetFolder(), 0);
}

void ResourceTexture::UnloadData()
{
    if (m_texture == nullptr)
        return;
    auto* job = new NorvexRendererTextureUnloadDataJob(m_texture);
    job->SetFireAndForget(true);
    if (!PostRendererJob(job, false))
        delete job;
}

void ResourceTexture::Refresh()
{
    if (m_texture != nullptr)
        DoLoad();
}

void ResourceTexture::ApplyPatch(uint8_t* image, uint32_t imageBytes) const
{
    char path[kPathCapacity];
    if (!BuildTexturePatchPath(path, sizeof(path), GetDisplayName()))
        return;
    FileReader patch(path, nullptr, GetFolder(), 0);
    if (patch.IsOpen())
        TexturePatchApply(patch, image, imageBytes);
}

bool ResourceTexture::DoLoad()
{
    char path[kPathCapacity];
    BuildTextureFilePath(path, sizeof(path), GetDisplayName());
    FileReader file(path, nullptr, GetFolder(), 0);
    if (!file.IsOpen())
    {
        gConsole.Error(kResourceChannel, "Unable to open texture file %s", path);
        return false;
    }
    if (gResourceManager != nullptr)
        gResourceManager->StartPendingPrefetch();
    const uint32_t fileBytes = file.GetSize();
    if (fileBytes <= TextureFileHeader::kSize)
        return false;
    uint8_t headerBytes[TextureFileHeader::kSize];
    TextureFileHeader header;
    if (!file.Read(headerBytes, sizeof(headerBytes)) || !TextureFileHeader::Parse(headerBytes, sizeof(headerBytes), &header))
    {
        gConsole.Error(kResourceChannel, "Texture %s: cannot read the header", path);
        return false;
    }
    // The header must describe the file exactly before any size read from it is trusted.
    if (!header.Validate(fileBytes, path))
        return false;

    const uint32_t skip = LevelsToSkip(header, kResolutionMode);
    gConsole.Printf(CONSOLE_INFO, kEngineChannel,
                    "Texture size: %dx%d, skipped mipmaps: %d out of %d (res mode: %d), Format:%d", int(header.width),
                    int(header.GetEdgeHeight()), int(skip), int(header.levelCount), int(kResolutionMode),
                    int(header.format));
    if (skip != 0)
    {
        header.width = std::max(1u, header.width >> skip);
        if (!header.IsCube())
            header.height = std::max(1u, header.height >> skip);
        header.levelCount = uint8_t(header.levelCount - skip);
    }
    const uint32_t total = uint32_t(TextureFileHeader::kSize + header.GetDataBytes(header.levelCount));

    uint8_t* image = new (std::nothrow) uint8_t[total];
    if (image == nullptr)
    {
        gConsole.Error(kEngineChannel, "Out of system memory");
        return false;
    }
    header.Write(image);
    // The skipped largest levels are the end of the file and are never read.
    if (!file.Read(image + TextureFileHeader::kSize, total - TextureFileHeader::kSize))
    {
        gConsole.Error(kResourceChannel, "Texture %s: the file ends inside its level data", path);
        delete[] image;
        return false;
    }
    ApplyPatch(image, total);

    auto* job = new NorvexRendererReorderedTextureCreationJob(image, total, m_texture);
    const bool ran = PostRendererJob(job, true);
    TextureHolder* holder = ran ? job->TakeHolder() : nullptr;
    delete job;
    if (m_texture == nullptr)
        m_texture = holder;
    const bool loaded = m_texture != nullptr && m_texture->GetTexture() != nullptr;
    SetSize(loaded ? total : 0);
    return loaded;
}
