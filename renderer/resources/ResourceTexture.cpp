#include "renderer/resources/ResourceTexture.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "renderer/jobs/NorvexRendererReorderedTextureCreationJob.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/TextureFile.h"

#include <cstring>
#include <new>

namespace
{
constexpr size_t kPathCapacity = 260;

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
    // Fire and forget: the render side (or a failed post) disposes of the job.
    job->SetFireAndForget(true);
    PostRendererJob(job, false);
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
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Unable to open texture file %s", path);
        return false;
    }
    if (gResourceManager != nullptr)
        gResourceManager->StartPendingPrefetch();
    const uint32_t fileBytes = file.GetSize();
    if (fileBytes < TextureFileHeader::kSize)
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Texture %s: %u bytes, shorter than its %u-byte header", path, fileBytes,
                       TextureFileHeader::kSize);
        return false;
    }
    // A header alone describes no level to read: no texture, and by design no word of its own.
    if (fileBytes == TextureFileHeader::kSize)
        return false;
    uint8_t headerBytes[TextureFileHeader::kSize];
    TextureFileHeader header;
    if (!file.Read(headerBytes, sizeof(headerBytes)) || !TextureFileHeader::Parse(headerBytes, sizeof(headerBytes), &header))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Texture %s: cannot read the header", path);
        return false;
    }
    // The header must describe the file exactly before any size read from it is trusted.
    if (!header.Validate(fileBytes, path))
        return false;

    // Resolution mode 4 keeps every level, so the whole file is read.
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE,
                    "Texture size: %dx%d, skipped mipmaps: %d out of %d (res mode: %d), Format:%d", int(header.width),
                    int(header.GetEdgeHeight()), 0, int(header.levelCount), int(kResolutionMode), int(header.format));
    const uint32_t total = fileBytes;

    uint8_t* image = new (std::nothrow) uint8_t[total];
    if (image == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Out of system memory");
        return false;
    }
    std::memcpy(image, headerBytes, sizeof(headerBytes));
    if (!file.Read(image + TextureFileHeader::kSize, total - TextureFileHeader::kSize))
    {
        gConsole.Error(CONSOLE_CHANNEL_RESOURCE, "Texture %s: the file ends inside its level data", path);
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
