// How an audio engine runs and where its mix goes. The process-wide default is what
// Engine::Create() without arguments uses; tests replace it before the code under test creates
// its engine. Any thread.
#pragma once

#include <memory>
#include <string>

namespace audio
{
class MemoryOutput;

enum class EngineMode
{
    RealTime, // a mixing thread renders one 10 ms block per 10 ms of wall-clock time
    Manual,   // no thread: the owner renders blocks with Engine::RenderBlocks
};

enum class OutputKind
{
    None,    // mixed and dropped
    Memory,  // appended to a MemoryOutput
    WavFile, // written to a 16-bit PCM WAV file
};

// Failures a test can make the "device" produce.
enum class DeviceFailure
{
    None,
    EngineCreation,
    MasteringVoice,
};

struct MixerConfig
{
    EngineMode mode = EngineMode::RealTime;
    OutputKind output = OutputKind::None;
    std::string wavPath;
    // Memory output target; the engine makes its own when this is null.
    std::shared_ptr<MemoryOutput> memory;
    DeviceFailure failure = DeviceFailure::None;
};

// Name of the environment variable that sends the default engine's mix to a WAV file.
constexpr const char* kWavOutputVariable = "NORVEX_AUDIO_WAV";

// The configuration set for tests, else real time with output to $NORVEX_AUDIO_WAV or nowhere.
MixerConfig GetDefaultMixerConfig();
void SetDefaultMixerConfig(const MixerConfig& config);
void ResetDefaultMixerConfig();
} // namespace audio
