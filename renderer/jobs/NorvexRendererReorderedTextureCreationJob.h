// Creates a device texture from a whole texture-file image (header and level data, smallest level
// first) into a texture holder. Posted from any thread; Run on the render thread.
#pragma once

#include "renderer/jobs/RendererJobs.h"

// Texture creation from a texture-file image; the image is checked again before any level is read.
class NorvexRendererReorderedTextureCreationJob : public NorvexRendererResourceCreationJob
{
public:
    // image: allocated with new[]; the job owns it. holder: an existing holder refilled in place (the
    // caller keeps its reference; a failed creation leaves it without texture), or null to make one.
    NorvexRendererReorderedTextureCreationJob(uint8_t* image, uint32_t size, TextureHolder* holder);
    ~NorvexRendererReorderedTextureCreationJob() override;
    bool Run(NorvexRenderer& renderer) override;
    // A borrowed holder as it is now; a new holder with its texture (its one reference passes to the
    // caller), or null when creation failed.
    TextureHolder* TakeHolder();

private:
    TextureHolder* m_holder;
    bool m_ownsHolder;
};
