// The texture resource (type 0): reads a texture file from "textures" (or "scenes" for scene
// textures), overlays an optional "%02d.patch" file and has a renderer job build the device texture.
// Loads run on the resource thread or a thread doing a blocking load; the device texture is made,
// emptied and deleted only by renderer jobs. Other operations as Resource.
#pragma once

#include "renderer/resources/Resource.h"

class TextureHolder;

// A texture found, counted and loaded by the resource manager.
class ResourceTexture : public Resource
{
public:
    // The texture resolution mode: 4, every level is kept.
    static constexpr uint32_t kResolutionMode = 4;

    explicit ResourceTexture(const char* name) : Resource(name) {}
    // Posts the deletion of the device texture without waiting.
    ~ResourceTexture() override;
    uint32_t GetType() const override { return RESOURCE_TYPE_TEXTURE; }
    void Prefetch() override;
    bool DoLoad() override;
    // Releases the device texture and keeps its holder, without waiting.
    void UnloadData() override;
    // Reloads the file into the existing holder.
    void Refresh() override;

    // The holder filled by the load, or null; null until the load has completed, since the loading
    // thread writes it until then. Valid while the resource lives.
    TextureHolder* GetTextureHolder() const { return GetState() == RESOURCE_STATE_DONE ? m_texture : nullptr; }
    // The folder of the texture's file.
    const char* GetFolder() const;

private:
    // Applies the name's patch file, when it has one, to the image.
    void ApplyPatch(uint8_t* image, uint32_t imageBytes) const;

    TextureHolder* m_texture = nullptr;
};
