// The renderer job kinds: texture holder reference changes, object deletion, texture unloading, and
// creation of textures, vertex and index buffers and vertex declarations from a data block (read-back
// jobs: NorvexRendererBufferSerializationJob.h). Posted from any thread (PostRendererJob); Run on the
// render thread.
#pragma once

#include "platform/gpu/GpuBuffer.h"
#include "platform/gpu/GpuTypes.h"
#include "platform/gpu/GpuVertexDeclaration.h"
#include "renderer/jobs/NorvexRendererResourceAccessJob.h"
#include "renderer/jobs/TextureHolder.h"

#include <cstdint>

class NorvexRendererObject;

// Pitch and byte size of one level; false (both 0) for a format this code does not lay out.
bool ComputeSurfacePitch(uint32_t width, uint32_t height, gpu::Format format, uint32_t* pitch, uint32_t* size);

class NorvexRendererResourceAddRefJob : public NorvexRendererResourceAccessJob
{
public:
    explicit NorvexRendererResourceAddRefJob(TextureHolder* holder) : m_holder(holder) { SetFireAndForget(true); }
    uint32_t GetCost() const override { return 50; }
    bool Run(NorvexRenderer& renderer) override;

private:
    TextureHolder* m_holder;
};

// Drops one holder reference; the last one releases the texture and frees the holder.
class NorvexRendererTextureDeletionJob : public NorvexRendererResourceAccessJob
{
public:
    explicit NorvexRendererTextureDeletionJob(TextureHolder* holder) : m_holder(holder) { SetFireAndForget(true); }
    uint32_t GetCost() const override { return 50; }
    bool Run(NorvexRenderer& renderer) override;

private:
    TextureHolder* m_holder;
};

class NorvexRendererObjetDeletionJob : public NorvexRendererResourceAccessJob
{
public:
    explicit NorvexRendererObjetDeletionJob(NorvexRendererObject* object) : m_object(object) {}
    ~NorvexRendererObjetDeletionJob() override;
    uint32_t GetCost() const override { return 200; }
    bool Run(NorvexRenderer& renderer) override;

private:
    NorvexRendererObject* m_object;
};

// Releases the holder's texture and keeps the holder.
class NorvexRendererTextureUnloadDataJob : public NorvexRendererResourceAccessJob
{
public:
    explicit NorvexRendererTextureUnloadDataJob(TextureHolder* holder) : m_holder(holder) {}
    ~NorvexRendererTextureUnloadDataJob() override;
    bool Run(NorvexRenderer& renderer) override;

private:
    TextureHolder* m_holder;
};

// Base of the creation jobs: owns a data block (a copy, or the caller's block when told to take it).
class NorvexRendererResourceCreationJob : public NorvexRendererResourceAccessJob
{
public:
    // take: the job owns `data` (allocated with new[]) instead of copying it.
    NorvexRendererResourceCreationJob(const void* data, uint32_t size, bool take);
    ~NorvexRendererResourceCreationJob() override;
    uint32_t GetCost() const override { return 1000; }

protected:
    const uint8_t* GetData() const { return m_data; }
    uint32_t GetDataSize() const { return m_size; }

private:
    uint8_t* m_data = nullptr;
    uint32_t m_size = 0;
};

// Creates and fills a 2D or cube texture (height kCubeHeight) from level data after a header.
class NorvexRendererTextureCreationJob : public NorvexRendererResourceCreationJob
{
public:
    static constexpr uint32_t kCubeHeight = 0xFFFFFFFFu;
    // Flag bit 9: skip the top level (at most mips - 1 levels).
    static constexpr uint32_t kFlagSkipTopLevel = 1u << 9;

    struct Description
    {
        uint32_t width;
        uint32_t height;
        uint32_t mips;
        uint32_t usage;
        uint32_t headerSize;
        gpu::Format format;
        gpu::Pool pool;
        uint32_t flags;
    };
    // holder: the holder to fill (one reference is the job's), or null to make one.
    NorvexRendererTextureCreationJob(const Description& description, TextureHolder* holder, const void* data,
                                     uint32_t size, bool take);
    ~NorvexRendererTextureCreationJob() override;
    bool Run(NorvexRenderer& renderer) override;
    // The holder with its texture, or null when creation failed; the caller takes the reference.
    TextureHolder* TakeHolder();

private:
    void DropHolder();

    Description m_description;
    TextureHolder* m_holder;
};

// Creates a vertex buffer and, when there is data, fills it on the next run.
class NorvexRendererVertexBufferCreationJob : public NorvexRendererResourceCreationJob
{
public:
    NorvexRendererVertexBufferCreationJob(uint32_t length, uint32_t usage, uint32_t fvf, gpu::Pool pool,
                                          const void* data, bool take);
    ~NorvexRendererVertexBufferCreationJob() override;
    bool Run(NorvexRenderer& renderer) override;
    // The buffer (the caller takes the reference), or null.
    gpu::GpuVertexBuffer* TakeBuffer();

private:
    uint32_t m_length;
    uint32_t m_usage;
    uint32_t m_fvf;
    gpu::Pool m_pool;
    gpu::GpuVertexBuffer* m_buffer = nullptr;
};

class NorvexRendererIndexBufferCreationJob : public NorvexRendererResourceCreationJob
{
public:
    NorvexRendererIndexBufferCreationJob(uint32_t length, uint32_t usage, gpu::Format format, gpu::Pool pool,
                                         const void* data, bool take);
    ~NorvexRendererIndexBufferCreationJob() override;
    bool Run(NorvexRenderer& renderer) override;
    gpu::GpuIndexBuffer* TakeBuffer();

private:
    uint32_t m_length;
    uint32_t m_usage;
    gpu::Format m_format;
    gpu::Pool m_pool;
    gpu::GpuIndexBuffer* m_buffer = nullptr;
};

// Makes a vertex declaration from an element array (ending with the end element).
class NorvexRendererVertexDeclarationCreationJob : public NorvexRendererResourceCreationJob
{
public:
    NorvexRendererVertexDeclarationCreationJob(const gpu::VertexElement* elements, uint32_t count);
    ~NorvexRendererVertexDeclarationCreationJob() override;
    bool Run(NorvexRenderer& renderer) override;
    gpu::GpuVertexDeclaration* TakeDeclaration();

private:
    uint32_t m_count;
    gpu::GpuVertexDeclaration* m_declaration = nullptr;
};

// Fire-and-forget helpers; a null holder or object posts nothing.
void PostResourceAddRefJob(TextureHolder* holder, bool immediate);
void PostTextureDeletionJob(TextureHolder* holder, bool immediate);
void PostObjectDeletionJob(NorvexRendererObject* object, bool immediate);
