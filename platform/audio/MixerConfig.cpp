#include "platform/audio/MixerConfig.h"

#include <cstdlib>
#include <mutex>
#include <optional>

namespace audio
{
namespace
{
std::mutex gDefaultMutex;
std::optional<MixerConfig> gDefaultConfig;
} // namespace

MixerConfig GetDefaultMixerConfig()
{
    {
        std::lock_guard<std::mutex> lock(gDefaultMutex);
        if (gDefaultConfig)
            return *gDefaultConfig;
    }
    MixerConfig config;
    const char* path = std::getenv(kWavOutputVariable);
    if (path && *path)
    {
        config.output = OutputKind::WavFile;
        config.wavPath = path;
    }
    return config;
}

void SetDefaultMixerConfig(const MixerConfig& config)
{
    std::lock_guard<std::mutex> lock(gDefaultMutex);
    gDefaultConfig = config;
}

void ResetDefaultMixerConfig()
{
    std::lock_guard<std::mutex> lock(gDefaultMutex);
    gDefaultConfig.reset();
}
} // namespace audio
