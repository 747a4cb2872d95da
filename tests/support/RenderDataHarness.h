// A data root made by the kit (shader data plus any files a test adds), mounted as "common",
// "textures" and "scenes", with a running renderer on the graphics stand-in and a resource manager.
// Test thread only.
#pragma once

#include "core/filesystem/FileSystem.h"
#include "platform/gpu/Gpu.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/resources/ResourceManager.h"
#include "support/TempFolder.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/ShaderDataWriter.h"

#include <filesystem>
#include <string>

class RenderDataHarness
{
public:
    // Writes the root (with the project's shader data) and mounts it; false on any failure.
    bool WriteAndMount(DataRoot& data)
    {
        if (!AddShaderData(data, nullptr) || !data.Write(m_folder.Path(), false))
            return false;
        for (const char* folder : {"common", "textures", "scenes"})
            if (!gFileSystem.MountDirectory(folder, (m_folder / folder).c_str()))
                return false;
        return true;
    }
    bool Start(uint32_t width = 320, uint32_t height = 240)
    {
        gpu::Faults().Clear();
        gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
        config.desktopWidth = width;
        config.desktopHeight = height;
        gpu::SetDisplayConfig(config);
        return m_renderer.Init(&m_window, false) && m_manager.Init();
    }
    // WriteAndMount, Start and the shader manager over the root's shaders; false on any failure.
    bool StartWithShaders(DataRoot& data, uint32_t width = 320, uint32_t height = 240)
    {
        return WriteAndMount(data) && Start(width, height) && gShaderManager.Init(true);
    }
    void Stop()
    {
        gShaderManager.Close();
        m_manager.Close();
        m_renderer.Close();
        gFileSystem.UnmountAll();
        gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
    }
    // Path of a file below the root's folders ("common/Shaders/Font.hlsl").
    std::string Path(const std::string& relative) const { return m_folder / relative; }
    // Moves a file's last-write time on by a second, as an edit would.
    void Touch(const std::string& relative) const
    {
        namespace fs = std::filesystem;
        const fs::path path = Path(relative);
        fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(1));
    }
    // Waits (at most 5 s) until the render thread has run the queued work.
    template <typename TDone>
    static bool WaitUntil(TDone done)
    {
        for (int i = 0; i < 500 && !done(); ++i)
            os::Sleep(10);
        return done();
    }

    NorvexRenderer& GetRenderer() { return m_renderer; }
    // The window handle the renderer runs on, for display changes.
    void* GetWindow() { return &m_window; }
    const NorvexRenderer& GetRendererConst() const { return m_renderer; }
    ResourceManager& GetManager() { return m_manager; }

private:
    TempFolder m_folder;
    int m_window = 0;
    NorvexRenderer m_renderer;
    ResourceManager m_manager;
};
