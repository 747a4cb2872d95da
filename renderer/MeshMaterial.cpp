#include "renderer/MeshMaterial.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"
#include "engine/config/ProjectConfig.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/ShaderOptionWords.h"
#include "renderer/jobs/RendererJobs.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceShader.h"
#include "renderer/resources/ResourceTexture.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/VertexShaderObject.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace
{
// Words each quality level may not use: rows 0-4 for the ordinary platform, 5-9 for the mobile ones.
const char* const kRemovedWords[10][3] = {
    {"ENV_MAP", "DESATURATION", "SHADOWMAP"},
    {"NORMAL_MAP_TEXTURE", "SOFTNESS", "SHADOWMAP_FILTERING"},
    {"SHADOWMAP_FILTERING", nullptr, nullptr},
    {nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr},
    {"ENV_MAP", "EMISSIVE_TEXTURE", nullptr},
    {"NORMAL_MAP_TEXTURE", "SPECULAR", nullptr},
    {nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr},
};
constexpr uint32_t kQualityLevels = 5;

bool ReadVector(RecordInput& in, Vector& v)
{
    return in.ReadFloat(v.x) && in.ReadFloat(v.y) && in.ReadFloat(v.z) && in.ReadFloat(v.w);
}

void WriteVector(RecordOutput& out, const Vector& v)
{
    out.WriteFloat(v.x);
    out.WriteFloat(v.y);
    out.WriteFloat(v.z);
    out.WriteFloat(v.w);
}

bool ReadText(RecordInput& in, std::string& text)
{
    uint32_t length;
    const uint8_t* at = nullptr;
    if (!in.ReadU32(length) || (at = in.Take(length)) == nullptr)
        return false;
    text.assign(reinterpret_cast<const char*>(at), length);
    return true;
}

void WriteText(RecordOutput& out, const std::string& text)
{
    out.WriteU32(uint32_t(text.size()));
    out.WriteBytes(text.data(), text.size());
}

bool IsMobilePlatform()
{
    return gProjectConfig.m_visualizationMode == ProjectConfig::VISUALIZATION_IPHONE ||
           gProjectConfig.m_visualizationMode == ProjectConfig::VISUALIZATION_IPAD2;
}

uint32_t CurrentQuality()
{
    return gRenderer != nullptr ? gRenderer->GetDeviceParams().qualityLevel : 3;
}
} // namespace

MeshMaterial& MeshMaterial::operator=(const MeshMaterial& other)
{
    if (this != &other)
    {
        ReleaseAll();
        CopyStored(other);
    }
    return *this;
}

MeshMaterial::MeshMaterial(MeshMaterial&& other) noexcept
{
    MoveFrom(other);
}

MeshMaterial& MeshMaterial::operator=(MeshMaterial&& other) noexcept
{
    if (this != &other)
    {
        ReleaseAll();
        MoveFrom(other);
    }
    return *this;
}

MeshMaterial::~MeshMaterial()
{
    ReleaseAll();
    // Holders are dropped on the render thread, after every command that may still bind them.
    for (MeshMaterialTexture& texture : textures)
        if (texture.holder != nullptr)
            PostTextureDeletionJob(std::exchange(texture.holder, nullptr), false);
}

void MeshMaterial::CopyStored(const MeshMaterial& other)
{
    textures.clear();
    for (const MeshMaterialTexture& texture : other.textures)
        textures.push_back({texture.name, texture.stage, texture.flags, nullptr, nullptr});
    constants = other.constants;
    constantRanges = other.constantRanges;
    textureScale = other.textureScale;
    textureOffset = other.textureOffset;
    textureScroll = other.textureScroll;
    tilesAcross = other.tilesAcross;
    tilesDown = other.tilesDown;
    tileWidth = other.tileWidth;
    tileHeight = other.tileHeight;
    frameRate = other.frameRate;
    frameTime = other.frameTime;
    shaderName = other.shaderName;
    options = other.options;
    vertexConstantRangeCount = other.vertexConstantRangeCount;
    alphaTestMode = other.alphaTestMode;
    alphaReference = other.alphaReference;
    blendMode = other.blendMode;
    depthBias = other.depthBias;
    depthWriteOverride = other.depthWriteOverride;
    depthTest = other.depthTest;
    flags = other.flags;
    minimumQuality = other.minimumQuality;
    startTriangle = other.startTriangle;
    triangleCount = other.triangleCount;
    firstVertex = other.firstVertex;
    lastVertex = other.lastVertex;
    contourCount = other.contourCount;
    firstContour = other.firstContour;
    channel = other.channel;
    boneIndex = other.boneIndex;
    scale = other.scale;
    contourWidth = other.contourWidth;
    contourSoftness = other.contourSoftness;
    specular = other.specular;
    m_storedFlipbookFlag = other.m_storedFlipbookFlag;
}

void MeshMaterial::MoveFrom(MeshMaterial& other)
{
    CopyStored(other);
    textures = std::move(other.textures);
    other.textures.clear();
    for (uint32_t i = 0; i < LINK_COUNT; ++i)
    {
        m_shaders[i] = std::exchange(other.m_shaders[i], nullptr);
        m_links[i] = std::exchange(other.m_links[i], nullptr);
    }
}

bool MeshMaterial::Read(RecordInput& in, uint32_t v, bool load)
{
    if (v >= 14)
    {
        uint32_t count;
        if (!in.ReadU32(count) || count > in.Remaining() / 8)
            return false;
        constantRanges.resize(size_t(count) * 2);
        for (uint32_t& word : constantRanges)
            if (!in.ReadU32(word))
                return false;
        if (!in.ReadU32(count) || count > in.Remaining() / 16)
            return false;
        constants.resize(count);
        for (Vector& constant : constants)
            if (!ReadVector(in, constant))
                return false;
        if (!in.ReadU32(count) || count > in.Remaining() / 12)
            return false;
        textures.resize(count);
        for (MeshMaterialTexture& texture : textures)
            if (!ReadText(in, texture.name) || !in.ReadU32(texture.stage) || !in.ReadU32(texture.flags))
                return false;
    }
    if (v >= 16 && !in.ReadU32(vertexConstantRangeCount))
        return false;
    std::string dropped;
    if (v < 15 && !ReadText(in, dropped))
        return false;
    if (v < 5)
    {
        shaderName = "MeshSolid";
        options.clear();
    }
    else if (!ReadText(in, shaderName) || !ReadText(in, options))
        return false;
    if (v > 17 && (!in.ReadU32(alphaTestMode) || !in.ReadU32(alphaReference) || !in.ReadU32(blendMode)))
        return false;
    if ((v > 18 && !in.ReadU32(depthBias)) || (v >= 37 && !in.ReadU32(depthWriteOverride)) ||
        (v >= 38 && !in.ReadU32(depthTest)) || (v > 16 && !in.ReadU32(flags)))
        return false;
    if (!in.ReadU32(startTriangle) || !in.ReadU32(triangleCount))
        return false;
    if (v >= 37 && (!in.ReadU16(firstVertex) || !in.ReadU16(lastVertex)))
        return false;
    if (v >= 50 && (!in.ReadU16(contourCount) || !in.ReadU16(firstContour)))
        return false;
    if (v >= 41 && (!in.ReadFloat(contourWidth) || !in.ReadFloat(contourSoftness)))
        return false;
    float exponent = kDefaultSpecularExponent;
    if (v >= 45 && !in.ReadFloat(exponent))
        return false;
    SetSpecularExponent(exponent);
    if ((v >= 13 && v <= 14 && !in.Skip(16)) || (v >= 22 && !in.ReadU8(channel)) || (v >= 30 && !in.ReadU8(boneIndex)))
        return false;
    if (v >= 29 && (!in.ReadFloat(scale) || (v <= 45 && !in.Skip(4))))
        return false;
    if (v >= 21 && (!ReadVector(in, textureScale) || !ReadVector(in, textureOffset) || !ReadVector(in, textureScroll)))
        return false;
    if (v >= 53)
    {
        if (!in.ReadU8(tilesAcross) || !in.ReadU8(tilesDown) || !in.ReadFloat(frameRate))
            return false;
        m_storedFlipbookFlag = (flags & FLAG_FLIPBOOK) != 0;
        SetupFlipbook();
    }
    if (load)
    {
        LoadTextures();
        ResolveShaders(false);
    }
    return true;
}

void MeshMaterial::Write(RecordOutput& out) const
{
    out.WriteU32(uint32_t(constantRanges.size() / 2));
    for (uint32_t word : constantRanges)
        out.WriteU32(word);
    out.WriteU32(uint32_t(constants.size()));
    for (const Vector& constant : constants)
        WriteVector(out, constant);
    out.WriteU32(uint32_t(textures.size()));
    for (const MeshMaterialTexture& texture : textures)
    {
        WriteText(out, texture.name);
        out.WriteU32(texture.stage);
        out.WriteU32(texture.flags);
    }
    out.WriteU32(vertexConstantRangeCount);
    // The stored name and words, not the resolved variant's: a save at a low quality level must not
    // lose the words that level leaves out.
    WriteText(out, shaderName);
    WriteText(out, options);
    // The flipbook bit is derived on load; the record keeps the bit it was read with.
    const uint32_t storedFlags = (flags & ~uint32_t(FLAG_FLIPBOOK)) | (m_storedFlipbookFlag ? uint32_t(FLAG_FLIPBOOK) : 0u);
    for (uint32_t word : {alphaTestMode, alphaReference, blendMode, depthBias, depthWriteOverride, depthTest, storedFlags,
                          startTriangle, triangleCount})
        out.WriteU32(word);
    for (uint16_t half : {firstVertex, lastVertex, contourCount, firstContour})
        out.WriteU16(half);
    out.WriteFloat(contourWidth);
    out.WriteFloat(contourSoftness);
    out.WriteFloat(specular.z);
    out.WriteU8(channel);
    out.WriteU8(boneIndex);
    out.WriteFloat(scale);
    WriteVector(out, textureScale);
    WriteVector(out, textureOffset);
    WriteVector(out, textureScroll);
    out.WriteU8(tilesAcross);
    out.WriteU8(tilesDown);
    out.WriteFloat(frameRate);
}

void MeshMaterial::SetSpecularExponent(float exponent)
{
    const float k = (exponent + 0.775f) * 1.442695f;
    specular = Vector(k, -k, exponent, 0.0f);
}

void MeshMaterial::SetupFlipbook()
{
    if (uint32_t(tilesAcross) * tilesDown > 1 && frameRate > 0.0f && tilesAcross != 0 && tilesDown != 0)
    {
        flags |= FLAG_FLIPBOOK;
        tileWidth = 1.0f / float(tilesAcross);
        tileHeight = 1.0f / float(tilesDown);
        frameTime = 1.0f / frameRate;
    }
    else
        flags &= ~uint32_t(FLAG_FLIPBOOK);
}

void MeshMaterial::LoadTextures()
{
    if (gResourceManager == nullptr || !gResourceManager->IsInitialised())
        return;
    for (MeshMaterialTexture& texture : textures)
    {
        if (texture.name.empty() || texture.resource != nullptr)
            continue;
        const uint32_t resourceFlags = (texture.flags & kTextureFlagPlain) != 0 ? 0 : kTextureResourceFlags;
        texture.resource =
            gResourceManager->GetResource(RESOURCE_TYPE_TEXTURE, texture.name.c_str(), 0, true, resourceFlags);
        if (texture.resource == nullptr)
            continue;
        texture.resource->Load(true);
        auto* const loaded = dynamic_cast<ResourceTexture*>(texture.resource);
        TextureHolder* const holder = loaded != nullptr ? loaded->GetTextureHolder() : nullptr;
        if (holder != nullptr)
        {
            // The binding keeps its own reference: the resource may be evicted while meshes draw.
            texture.holder = holder;
            PostResourceAddRefJob(holder, false);
        }
    }
}

std::string MeshMaterial::BuildForwardOptions(const std::string& text, uint32_t materialFlags, uint32_t quality,
                                              bool mobile)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back(0);
    const uint32_t o = mobile ? kQualityLevels : 0;
    for (uint32_t row = std::min(quality, kQualityLevels - 1) + o; row <= o + kQualityLevels - 1; ++row)
        for (const char* word : kRemovedWords[row])
            if (word != nullptr)
                FindShaderOption(buffer.data(), word);
    std::string result(buffer.data());
    if ((materialFlags & FLAG_TWO_SIDED) != 0)
        result += " TWO_SIDED";
    return result;
}

bool MeshMaterial::FindShaderOption(char* text, const char* word)
{
    return RemoveOptionWord(text, word);
}

void MeshMaterial::RequestVariant(const std::string& text, int vertexLink, int pixelLink)
{
    Resource* vertex = nullptr;
    Resource* pixel = nullptr;
    // Loaded on the calling thread: materials resolve on the resource thread while a template loads.
    if (!gShaderManager.GetShader(shaderName.c_str(), text.c_str(), &vertex, &pixel, 0, true, 0))
        return;
    if (vertexLink >= 0)
        m_shaders[vertexLink] = vertex;
    else
        vertex->Release();
    if (pixelLink >= 0)
        m_shaders[pixelLink] = pixel;
    else
        pixel->Release();
}

void MeshMaterial::ResolveShaders(bool)
{
    ReleaseResources();
    if (!gShaderManager.IsInitialised())
        return;
    const std::string forward = BuildForwardOptions(options, flags, CurrentQuality(), IsMobilePlatform());
    RequestVariant(forward, LINK_FORWARD_VS, LINK_FORWARD_PS);
    RequestVariant(forward + " INSTANCING", LINK_INSTANCED_FORWARD_VS, -1);
    if ((flags & 1) == 0)
    {
        if ((flags & FLAG_REFRACTION) != 0)
            RequestVariant(forward + " REFRACTION", -1, LINK_REFRACTION_PS);
    }
    else
    {
        RequestVariant(forward + " DEFERRED", LINK_DEFERRED_VS, LINK_DEFERRED_PS);
        RequestVariant(forward + " DEFERRED INSTANCING", LINK_INSTANCED_DEFERRED_VS, -1);
    }
}

ShaderObject* MeshMaterial::GetLink(uint32_t link) const
{
    if (link >= LINK_COUNT)
        return nullptr;
    if (m_links[link] == nullptr && m_shaders[link] != nullptr && m_shaders[link]->IsLoaded())
    {
        auto* const shader = dynamic_cast<ResourceShader*>(m_shaders[link]);
        if (shader != nullptr)
            m_links[link] = shader->GetVertexShader() != nullptr ? static_cast<ShaderObject*>(shader->GetVertexShader())
                                                                 : static_cast<ShaderObject*>(shader->GetPixelShader());
    }
    return m_links[link];
}

Vector MeshMaterial::ComputeTextureTransform(float t, float random) const
{
    Vector result(textureScale.x, textureScale.y, textureOffset.x, textureOffset.y);
    if ((flags & FLAG_FLIPBOOK) != 0)
    {
        const uint32_t tiles = uint32_t(tilesAcross) * tilesDown;
        // The random value starts each instance at its own frame.
        const double frames = std::floor(double(t) / double(frameTime) + double(random) * tiles);
        const uint32_t frame = uint32_t(std::fmod(std::max(frames, 0.0), double(tiles)));
        result = Vector(tileWidth, tileHeight, float(frame % tilesAcross) * tileWidth,
                        float(frame / tilesAcross) * tileHeight);
    }
    else if ((flags & FLAG_SCROLLING) != 0)
    {
        const float u = std::fmod(textureOffset.x + t * textureScroll.x, 1.0f);
        const float v = std::fmod(textureOffset.y + t * textureScroll.y, 1.0f);
        result.z = u < 0.0f ? u + 1.0f : u;
        result.w = v < 0.0f ? v + 1.0f : v;
    }
    return result;
}

void MeshMaterial::ReleaseResources()
{
    for (uint32_t i = 0; i < LINK_COUNT; ++i)
    {
        if (m_shaders[i] != nullptr)
            m_shaders[i]->Release();
        m_shaders[i] = nullptr;
        m_links[i] = nullptr;
    }
}

void MeshMaterial::ReleaseAll()
{
    ReleaseResources();
    for (MeshMaterialTexture& texture : textures)
        if (texture.resource != nullptr)
            std::exchange(texture.resource, nullptr)->Release();
}

void MeshMaterial::ClearLinks()
{
    for (ShaderObject*& link : m_links)
        link = nullptr;
    // Already on the render thread: the reference is dropped here rather than through a job.
    for (MeshMaterialTexture& texture : textures)
    {
        TextureHolder* const holder = std::exchange(texture.holder, nullptr);
        if (holder != nullptr && holder->DropReference() == 0)
        {
            holder->Release();
            delete holder;
        }
    }
}

void MeshMaterial::MarkResources(uint32_t resourceFlags) const
{
    if (gResourceManager == nullptr)
        return;
    for (Resource* shader : m_shaders)
        if (shader != nullptr)
            gResourceManager->SetResourceFlags(shader, resourceFlags);
    for (const MeshMaterialTexture& texture : textures)
        if (texture.resource != nullptr)
            gResourceManager->SetResourceFlags(texture.resource, resourceFlags);
}
