// UIPicture: a UI element that draws a textured quad with shaders of its own, batched in one of the
// four UI quad batches or drawn directly. The main thread owns the texture and shader resources and
// the user image shown last; the render side owns what drawing reads (textures with their counted
// references, shaders, texture mapping, corner colours, batch index), written only by the picture's
// UI commands (ids 34 to 42).
//
// Threads: the main-side operations on the main thread; the executor and Render on the render side.
#pragma once

#include "ui/elements/UIElement.h"

#include <cstdint>

class CommandRingBuffer;
class PixelShaderObject;
class Resource;
class TextureHolder;
class VertexShaderObject;

// A textured quad element.
class UIPicture : public UIElement
{
public:
    // The UI shader pair a picture draws with until SetShader gives it its own.
    static constexpr uint32_t kDefaultShaderIndex = 3;
    static constexpr uint32_t kUserImageSamplerPreset = 6;
    static constexpr uint32_t kDirectSamplerPreset = 7;
    static constexpr int32_t kLastBatchIndex = 3;
    // Registers of the direct draw.
    static constexpr uint32_t kUVSizeRegister = 195;
    static constexpr uint32_t kUVOriginRegister = 196;
    static constexpr uint32_t kPixelParamRegister = 32;

    UIPicture();
    // Render side: drops the references of both textures.
    ~UIPicture() override;
    bool IsUIPicture() const override { return true; }

    // ---- Main thread ----
    // Stage 0 or 1 only: takes the named texture (null name: none) and sends it when the resource
    // manager gave a resource; the picture otherwise keeps its old texture. Forgets the user image.
    void SetTexture(const char* name, uint32_t stage, uint32_t samplerPreset);
    // Shows the user image `image` of the client service in the shared texture of `sizeClass`;
    // nothing when that pair is already shown or the image cannot be read.
    void SetSteamTexture(int32_t sizeClass, int32_t image);
    // UV size (sizeU, sizeV) and origin (originU, originV) of the texture on the quad.
    void SetTextureMapping(float sizeU, float sizeV, float originU, float originV);
    // Shows tile (indexX, indexY) of a texture cut into countX by countY tiles: each tile's UV size
    // scaled by `scale` (x, y), its origin moved by `offset` (x, y) in UV units. A count of 0 is
    // taken as 1, so a recipe without tiling cannot divide by zero.
    void SetTextureTile(uint32_t indexX, uint32_t indexY, uint32_t countX, uint32_t countY, const Vector& scale,
                        const Vector& offset);
    void SetUVSize(const Vector& size);
    void SetUVOrigin(const Vector& origin);
    // The named shader with its space-separated options, drawn through batch 0 to 3 (a negative
    // index draws directly), flushing the batch after this picture when asked. A pair that does not
    // load is logged and the picture keeps its shaders.
    void SetShader(const char* name, const char* options, int32_t batchIndex, bool flushAfter);
    void SetPixelShaderParam(const Vector& value);
    // The batch (-1 to 3) the picture draws through.
    void SetRenderGatheringChannel(int32_t batchIndex);
    // Per-corner colour factors, corners (0,0), (1,0), (1,1), (0,1).
    void SetCornerColors(const Vector colors[4]);
    int32_t GetSteamSizeClass() const { return m_steamSizeClass; }
    int32_t GetSteamImage() const { return m_steamImage; }
    Resource* GetTextureResource(uint32_t stage) const { return stage < 2 ? m_textureResources[stage] : nullptr; }
    void OnRemoved() override;
    // Into the resources of both texture stages.
    void SetResourceFlags(uint32_t flags) override;

    // ---- Render side ----
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;
    TextureHolder* GetRenderTexture(uint32_t stage) const { return m_textures[stage & 1]; }
    uint32_t GetSamplerPreset(uint32_t stage) const { return m_samplerPresets[stage & 1]; }
    int32_t GetBatchIndex() const { return m_batchIndex; }
    bool GetFlushAfter() const { return m_flushAfter != 0; }
    const Vector& GetUVSize() const { return m_uvSize; }
    const Vector& GetUVOrigin() const { return m_uvOrigin; }
    const Vector& GetPixelShaderParam() const { return m_pixelShaderParam; }
    const Vector& GetCornerColor(uint32_t corner) const { return m_cornerColors[corner & 3]; }
    // The picture's shaders, else the default UI pair.
    const VertexShaderObject* GetVertexShader() const;
    const PixelShaderObject* GetPixelShader() const;

protected:
    // The executor of the picture family; kinds built on it pass their own ids on to it.
    virtual void ExecutePictureCommand(uint32_t commandId, CommandRingBuffer& reader);
    // Batch state of this picture on `batch` (the picture's blend mode, textures and shaders).
    void SetBatchState(uint32_t batch, const Vector* constants) const;

private:
    void ReleaseMainResources();
    void SendVector(uint32_t commandId, const Vector& value);
    void DrawDirect(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) const;
    void CopyUserImage(uint32_t sizeClass, uint32_t width, uint32_t height, const uint8_t* pixels);

    // Render side.
    TextureHolder* m_textures[2] = {};
    uint32_t m_samplerPresets[2] = {};
    const VertexShaderObject* m_vertexShader = nullptr;
    const PixelShaderObject* m_pixelShader = nullptr;
    Vector m_pixelShaderParam{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_uvSize{1.0f, 1.0f, 0.0f, 0.0f};
    Vector m_uvOrigin{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_cornerColors[4] = {Vector(1.0f, 1.0f, 1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f),
                                Vector(1.0f, 1.0f, 1.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f)};
    int32_t m_batchIndex = -1;
    uint8_t m_flushAfter = 0;

    // Main side.
    Resource* m_textureResources[2] = {};
    Resource* m_vertexShaderResource = nullptr;
    Resource* m_pixelShaderResource = nullptr;
    int32_t m_steamSizeClass = -1;
    int32_t m_steamImage = 0;
};
