// The engine's own costs over a container data root made by the kit: one NorvexEngine::Update of
// an empty scene, per second, and a whole start-up (Init to "Engine successfully initialized").
// The first start of the process is also reported as "first_start_ms", measured from the moment
// the process began, which is what a player waits for. Logs go to standard error; run with
// 2>/dev/null.
#include "engine/NorvexEngine.h"
#include "engine/config/GameConfig.h"
#include "platform/gpu/Gpu.h"
#include "renderer/FrameClock.h"
#include "tools/datakit/DatakitCommand.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

// The process's start in seconds since boot, and now on the same clock.
double ProcessAgeSeconds()
{
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0.0;
    std::string field;
    size_t position = close + 2;
    for (int index = 3; index <= 22 && position < text.size(); ++index)
    {
        const size_t end = text.find(' ', position);
        field = text.substr(position, end - position);
        position = end + 1;
    }
    const double startSeconds = std::stod(field) / double(sysconf(_SC_CLK_TCK));
    std::ifstream uptime("/proc/uptime");
    double up = 0.0;
    uptime >> up;
    return up - startSeconds;
}

// One data root and per-user folder for the whole run.
struct BenchRoot
{
    BenchRoot()
    {
        path = fs::temp_directory_path() / ("norvex-bench-" + std::to_string(getpid()));
        setenv("NORVEX_APPDATA", (path / "appdata").c_str(), 1);
        ok = RunDatakit({"dataroot", (path / "data").string(), "--containers"}) == 0;
        gpu::DisplayConfig display = gpu::DefaultDisplayConfig();
        display.desktopWidth = 320;
        display.desktopHeight = 240;
        gpu::SetDisplayConfig(display);
        config.m_repositoryPath = (path / "data").string();
        config.m_useContainerFiles = true;
    }
    ~BenchRoot()
    {
        std::error_code error;
        fs::remove_all(path, error);
    }
    bool Start() { return gNorvexEngine.Init(&window, "EngineBench", "Game.Config", &config, true); }

    fs::path path;
    bool ok = false;
    GameConfig config;
    int window = 0;
};

BenchRoot& Root()
{
    static BenchRoot root;
    return root;
}

bool gFirstStartMeasured = false;
double gFirstStartMs = 0.0;

void BM_EngineStartup(benchmark::State& state)
{
    BenchRoot& root = Root();
    if (!root.ok)
    {
        state.SkipWithError("the data root could not be written");
        return;
    }
    for (auto _ : state)
    {
        if (!root.Start())
        {
            state.SkipWithError("start-up failed");
            break;
        }
        if (!gFirstStartMeasured)
        {
            gFirstStartMeasured = true;
            gFirstStartMs = ProcessAgeSeconds() * 1000.0;
        }
        state.PauseTiming();
        gNorvexEngine.Close();
        state.ResumeTiming();
    }
    state.counters["first_start_ms"] = gFirstStartMs;
}
BENCHMARK(BM_EngineStartup)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_EngineUpdate(benchmark::State& state)
{
    BenchRoot& root = Root();
    if (!root.ok || !root.Start())
    {
        state.SkipWithError("start-up failed");
        return;
    }
    FrameClock clockC;
    FrameClock clockD;
    for (auto _ : state)
        gNorvexEngine.Update(clockC, clockD, false);
    state.SetItemsProcessed(state.iterations());
    gNorvexEngine.Close();
}
BENCHMARK(BM_EngineUpdate);
} // namespace
