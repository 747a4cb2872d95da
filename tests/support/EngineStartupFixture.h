// A temporary data root made by "datakit dataroot" (folders or containers), a per-user folder, a
// fresh user configuration pointing at the root and a small display, for tests that start the
// whole engine. Each test case runs in its own process under CTest; Close resets what Init set, so
// the cases also run one after another in one process. Test thread only.
#pragma once

#include "engine/NorvexEngine.h"
#include "engine/config/GameConfig.h"
#include "platform/gpu/Gpu.h"
#include "platform/steam/Steam.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class EngineStartupFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("NORVEX_APPDATA", (m_folder / "appdata").c_str(), 1);
        steam::SetTestSettings(steam::TestSettings());
        gpu::Faults().Clear();
        gpu::DisplayConfig display = gpu::DefaultDisplayConfig();
        display.desktopWidth = 320;
        display.desktopHeight = 240;
        gpu::SetDisplayConfig(display);
        m_config.m_repositoryPath = DataPath();
    }

    void TearDown() override
    {
        gNorvexEngine.Close();
        steam::SetTestSettings(steam::TestSettings());
        gpu::Faults().Clear();
        gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
        EXPECT_EQ(gpu::LiveObjectTotal(), 0u) << "closing must leave no device object alive";
    }

    // Writes the data root (containers or folders) with any extra "--text" files.
    bool MakeDataRoot(bool containers, const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> arguments = {"dataroot", DataPath()};
        if (containers)
            arguments.push_back("--containers");
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        m_config.m_useContainerFiles = containers;
        return RunDatakit(arguments) == 0;
    }

    bool Init() { return gNorvexEngine.Init(&m_window, "EngineTest", "Game.Config", &m_config, true); }

    std::string DataPath() const { return m_folder / "data"; }

    // Index of the first message at or after `from` that starts with `prefix`, or -1.
    static int Find(const std::vector<CapturedMessage>& messages, const std::string& prefix, int from = 0)
    {
        for (int i = from; i < int(messages.size()); ++i)
            if (messages[size_t(i)].text.rfind(prefix, 0) == 0)
                return i;
        return -1;
    }
    // True when every prefix is found after the previous one.
    static bool InOrder(const std::vector<CapturedMessage>& messages, const std::vector<std::string>& prefixes,
                        std::string* missing)
    {
        int at = 0;
        for (const std::string& prefix : prefixes)
        {
            const int found = Find(messages, prefix, at);
            if (found < 0)
            {
                *missing = prefix;
                return false;
            }
            at = found + 1;
        }
        return true;
    }
    static size_t Count(const std::vector<CapturedMessage>& messages, const std::string& prefix)
    {
        size_t count = 0;
        for (const CapturedMessage& message : messages)
            count += message.text.rfind(prefix, 0) == 0;
        return count;
    }

    // The warnings logged but the sound engine's report of late mix blocks: the mix runs in real
    // time, and a loaded machine (a parallel test run) can make it late while the renderer compiles
    // its shaders.
    std::vector<std::string> WarningsButLateMix() const
    {
        std::vector<std::string> warnings;
        for (const CapturedMessage& message : m_log.Messages())
            if (message.kind == CONSOLE_WARNING && message.text.find("sound glithes during") == std::string::npos)
                warnings.push_back(message.text);
        return warnings;
    }

    TempFolder m_folder;
    ConsoleCapture m_log;
    GameConfig m_config;
    int m_window = 0;
};
