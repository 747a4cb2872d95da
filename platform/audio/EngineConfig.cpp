#include "platform/audio/EngineConfig.h"

#include <cstdlib>
#include <mutex>
#include <optional>

namespace audio
{
namespace
{
std::mutex gDefaultMutex;
std::optional<EngineConfig> gDefaultConfig;
} // namespace

EngineConfig GetDefaultEngineConfig()
{
    {
        std::lock_guard<std::mutex> lock(gDefaultMutex);
        if (gDefaultConfig)
            return *gDefaultConfig;
    }
    EngineConfig config;
    const char* path = std::getenv(kWavOutputVariable);
    if (path && *path)
    {
        config.output = OutputKind::WavFile;
        config.wavPath = path;
    }
    return config;
}

void SetDefaultEngineConfig(const EngineConfig& config)
{
    std::lock_guard<std::mutex> lock(gDefaultMutex);
    gDefaultConfig = config;
}

void ResetDefaultEngineConfig()
{
    std::lock_guard<std::mutex> lock(gDefaultMutex);
    gDefaultConfig.reset();
}
} // namespace audio
