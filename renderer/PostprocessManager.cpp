// The chain's slots, start-up and shutdown, its lookup tables and the choice of chain per platform.
#include "renderer/PostprocessManager.h"

#include "core/console/GameConsole.h"
#include "engine/config/ProjectConfig.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceRendererLink.h"

#include <string>

PostprocessManager gPostprocessManager;

namespace
{
const char* const kCompositeWords[] = {"ENABLED", "OUTLINES", "LOCAL_CONTRAST", "LOW_SPEC_MODE", "LUM_IN_ALPHA"};
const char* const kMobileWords[] = {"ENABLED", "ZOOM_BLUR", "IPAD2", "RGB_SHIFT"};
const char* const kScreenCurveWords[] = {"ENABLED", "SCREEN_CURVE"};
const char* const kPassFamilies[PostprocessManager::kPassSlots] = {
    "GlowSource", "GaussBlur", "DownscaleLuminance", "ZoomBlur", "FXAA", "RGBShift"};
} // namespace

template <typename Visit> void PostprocessManager::ForEachSlot(Visit visit)
{
    for (ShaderPair& pair : m_mobile)
        visit(pair);
    for (ShaderPair& pair : m_screenCurve)
        visit(pair);
    visit(m_fxaaConsole);
    for (ShaderPair& pair : m_composite)
        visit(pair);
    for (ShaderPair& pair : m_passes)
        visit(pair);
    for (ShaderPair* group : {m_ssaoPrepare, m_ssaoBlur})
        for (uint32_t i = 0; i < 2; ++i)
            visit(group[i]);
}

void PostprocessManager::InitPostProcessChain(const char* compositeFamily)
{
    const char* const composite = compositeFamily != nullptr && compositeFamily[0] != '\0' ? compositeFamily
                                                                                           : "Postprocess";
    using PostprocessMath::VariantOptions;
    for (uint32_t i = 0; i < kMobileSlots; ++i)
        m_mobile[i].Load("iPhonePostprocess", VariantOptions(i, kMobileWords, 4).c_str(), 0);
    for (uint32_t i = 0; i < kScreenCurveSlots; ++i)
        m_screenCurve[i].Load("iPhonePostprocess2", VariantOptions(i, kScreenCurveWords, 2).c_str(), 0);
    m_fxaaConsole.Load("FXAA", "CONSOLE ", 0);
    for (uint32_t i = 0; i < kCompositeSlots; ++i)
        m_composite[i].Load(composite, VariantOptions(i, kCompositeWords, 5).c_str(), 0);
    for (uint32_t i = 0; i < kPassSlots; ++i)
        m_passes[i].Load(kPassFamilies[i], "", 0);
    m_ssaoPrepare[0].Load("SSAOPrepare", "", 0);
    m_ssaoPrepare[1].Load("SSAOPrepare", "USE_NORMAL_MAPS ", 0);
    m_ssaoBlur[0].Load("SSAOBlur", "", 0);
    m_ssaoBlur[1].Load("SSAOBlur", "FINAL_PASS ", 0);
    SubmitRendererCommands(false);
    if (gResourceManager != nullptr)
        gResourceManager->Flush();
    ForEachSlot([](ShaderPair& pair) { pair.Resolve(); });
}

void PostprocessManager::ReleaseShaders()
{
    ForEachSlot([](ShaderPair& pair) { pair.Release(); });
}

void PostprocessManager::CreateDeviceObjects(NorvexRenderer& renderer)
{
    ReleaseDeviceObjects();
    gpu::GpuDevice* const device = renderer.GetDevice();
    if (device == nullptr)
        return;
    for (LookupTable& table : m_tables)
    {
        table.texture = new TextureHolder;
        if (!table.texture->Create(device, table.width, 1, 1, gpu::kUsageDynamic, gpu::kFormatA8R8G8B8,
                                   gpu::kPoolDefault))
        {
            delete table.texture;
            table.texture = nullptr;
        }
        table.dirty = 1;
    }
}

void PostprocessManager::ReleaseDeviceObjects()
{
    for (LookupTable& table : m_tables)
    {
        if (table.texture == nullptr)
            continue;
        table.texture->Release();
        delete table.texture;
        table.texture = nullptr;
    }
}

void PostprocessManager::FillLookupTexture(Table table, const Vector* source, bool remapGamma)
{
    LookupTable& t = m_tables[table];
    auto* const texture = t.texture != nullptr ? static_cast<gpu::GpuTexture*>(t.texture->GetTexture()) : nullptr;
    gpu::LockedRect locked = {};
    if (texture == nullptr || texture->LockRect(0, &locked, nullptr, gpu::kLockDiscard) != gpu::kOk)
    {
        // The flag makes the next enabled run try again instead of showing a stale table.
        t.dirty = 1;
        if (!t.lockFailureLogged)
            gConsole.Warning(CONSOLE_CHANNEL_RENDER, "PostprocessManager: lookup table %u (%u wide) cannot be locked",
                             uint32_t(table), t.width);
        t.lockFailureLogged = true;
        return;
    }
    auto* const texels = static_cast<uint32_t*>(locked.bits);
    for (uint32_t i = 0; i < t.width; ++i)
        texels[i] = source[PostprocessMath::LookupSourceIndex(i, t.width, remapGamma)].GetRGBA();
    texture->UnlockRect(0);
    t.dirty = 0;
    t.lockFailureLogged = false;
}

void PostprocessManager::Run(NorvexRenderer& renderer, uint32_t flags)
{
    if (renderer.GetDevice() == nullptr || !renderer.GetDeviceManager().AreTargetsReady())
        return;
    const uint32_t platformMode = gProjectConfig.m_visualizationMode;
    if (platformMode == ProjectConfig::VISUALIZATION_IPHONE || platformMode == ProjectConfig::VISUALIZATION_IPAD2)
        RunMobile(renderer, flags, platformMode);
    else
        RunDesktop(renderer, flags);
}
