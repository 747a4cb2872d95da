// MeshMaterial: one material of a mesh shader preset. It names a shader family and its option words,
// carries shader constants and textures, and describes one draw range with its render states. When
// read from a mesh record (resource thread) it loads its textures and resolves up to seven shader
// variants, after dropping the option words the graphics quality level does not allow; the mesh
// draws (render thread) only pick among the resolved shaders. Built on the loading thread, read-only
// on the render thread afterwards except for the shader links, which the render thread fills from
// the loaded shader resources.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>
#include <string>
#include <vector>

class RecordInput;
class RecordOutput;
class Resource;
class ShaderObject;
class TextureHolder;

// One texture binding: the stored name, sampler stage and flags, and, once loaded, the texture
// resource and its device texture holder (one reference on each).
struct MeshMaterialTexture
{
    std::string name;
    uint32_t stage = 0;
    uint32_t flags = 0;
    Resource* resource = nullptr;
    TextureHolder* holder = nullptr;
};

struct MeshMaterial
{
    // Material flag bits.
    enum Flag : uint32_t
    {
        FLAG_KIND_MASK = 0x3,
        FLAG_TWO_SIDED = 0x4,
        FLAG_REVERSED_CULL = 0x8,
        FLAG_SCROLLING = 0x10,
        FLAG_REFRACTION = 0x20,
        FLAG_NO_DEPTH_PASS = 0x40,
        FLAG_NO_LIT_PASSES = 0x100,
        FLAG_IGNORE_INSTANCE_COLOR = 0x800,
        FLAG_LIGHT_PROBE = 0x1000,
        FLAG_SCENE_ENVIRONMENT = 0x2000,
        FLAG_INSTANCE_AMBIENT = 0x8000,
        FLAG_DEPTH_CONSTANT = 0x10000,
        FLAG_FLIPBOOK = 0x20000,
    };
    // Shader links, in the order the material keeps them.
    enum Link : uint32_t
    {
        LINK_FORWARD_VS,
        LINK_FORWARD_PS,
        LINK_REFRACTION_PS,
        LINK_INSTANCED_FORWARD_VS,
        LINK_INSTANCED_DEFERRED_VS,
        LINK_DEFERRED_VS,
        LINK_DEFERRED_PS,
        LINK_COUNT
    };
    // Bit 0x1 of a texture binding: requested without the usual resource flags.
    static constexpr uint32_t kTextureFlagPlain = 0x1;
    static constexpr uint32_t kTextureResourceFlags = 20;
    static constexpr float kDefaultSpecularExponent = 64.0f;

    MeshMaterial() = default;
    // Copies carry the stored form only: resources and links belong to the original.
    MeshMaterial(const MeshMaterial& other) { CopyStored(other); }
    MeshMaterial& operator=(const MeshMaterial& other);
    MeshMaterial(MeshMaterial&& other) noexcept;
    MeshMaterial& operator=(MeshMaterial&& other) noexcept;
    // Releases the shader and texture resources it still holds.
    ~MeshMaterial();

    // Reads the record of the given stream version; false when it is cut short. With load set, the
    // textures are loaded and the shaders resolved (needs the resource and shader managers).
    bool Read(RecordInput& in, uint32_t version, bool load);
    // The newest form (byte order by the output's swap switch).
    void Write(RecordOutput& out) const;

    // Releases the seven shader resources and resolves them again from the name and options.
    void ResolveShaders(bool reload);
    // The option text handed to the shader manager for the forward shaders, after the quality
    // level's removals and the two-sided word. Pure: tests and ResolveShaders use it.
    static std::string BuildForwardOptions(const std::string& options, uint32_t flags, uint32_t quality, bool mobile);
    // Blanks the first whole-word match of `word` in `text`; true when one was removed.
    static bool FindShaderOption(char* text, const char* word);
    // (scale.x, scale.y, offset.x, offset.y), with the scroll or flipbook applied at clock time t.
    Vector ComputeTextureTransform(float clockTime, float random) const;

    void ReleaseResources();
    // ReleaseResources and the texture resources too.
    void ReleaseAll();
    // Render thread: zeroes the links and drops every texture holder reference.
    void ClearLinks();
    // ORs flags into every shader and texture resource.
    void MarkResources(uint32_t flags) const;

    // Render thread: the device shader of a link, taken from its resource once that is loaded.
    ShaderObject* GetLink(uint32_t link) const;
    uint32_t GetKind() const { return flags & FLAG_KIND_MASK; }
    const Resource* GetShaderResource(uint32_t link) const { return m_shaders[link]; }

    void SetSpecularExponent(float exponent);
    float GetSpecularExponent() const { return specular.z; }
    // Enables the flipbook when tiles across x down > 1 and the frame rate is above 0.
    void SetupFlipbook();

    std::vector<MeshMaterialTexture> textures;
    std::vector<Vector> constants;
    std::vector<uint32_t> constantRanges; // pairs of first register and vector count
    Vector textureScale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
    Vector textureOffset;
    Vector textureScroll;
    uint8_t tilesAcross = 1;
    uint8_t tilesDown = 1;
    float tileWidth = 1.0f;
    float tileHeight = 1.0f;
    float frameRate = 0.0f;
    float frameTime = 0.0f;
    std::string shaderName = "MeshSolid";
    std::string options;
    uint32_t vertexConstantRangeCount = 0;
    uint32_t alphaTestMode = 0;
    uint32_t alphaReference = 0;
    uint32_t blendMode = 0;
    uint32_t depthBias = 0;
    uint32_t depthWriteOverride = 0;
    uint32_t depthTest = 1;
    uint32_t flags = 0;
    uint32_t minimumQuality = 2;
    uint32_t startTriangle = 0;
    uint32_t triangleCount = 0;
    uint16_t firstVertex = 0;
    uint16_t lastVertex = 0;
    uint16_t contourCount = 0;
    uint16_t firstContour = 0;
    uint8_t channel = 0;
    uint8_t boneIndex = 255;
    float scale = 1.0f;
    float contourWidth = 2.0f;
    float contourSoftness = 0.0f;
    // ((s + 0.775) x 1.442695, -(s + 0.775) x 1.442695, s, 0) for the stored exponent s.
    Vector specular = Vector(93.45057f, -93.45057f, 64.0f, 0.0f);

private:
    void CopyStored(const MeshMaterial& other);
    void MoveFrom(MeshMaterial& other);
    void LoadTextures();
    // One shader manager request; the resources not wanted are released at once.
    void RequestVariant(const std::string& options, int vertexLink, int pixelLink);

    bool m_storedFlipbookFlag = false;
    Resource* m_shaders[LINK_COUNT] = {};
    mutable ShaderObject* m_links[LINK_COUNT] = {};
};
