// A sound engine for tests: a manual (or real-time) mixer capturing to memory, a resource manager
// that also fills the streaming readers, "sounds" and "Voices" mounted on a temporary folder, and
// helpers to play at emitters, step the mix and analyse what came out.
#pragma once

#include "audio/sound/EntitySoundEmitter.h"
#include "audio/sound/SoundEngine.h"
#include "audio/sound/SoundInstanceBase.h"
#include "audio/sound/SoundInstanceList.h"
#include "audio/sound/SoundInstanceStreamed.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/StreamingFileReader.h"
#include "platform/audio/AudioEngine.h"
#include "platform/audio/MemoryOutput.h"
#include "platform/os/Clock.h"
#include "renderer/resources/ResourceManager.h"
#include "support/SoundAnalysis.h"
#include "support/TempFolder.h"
#include "tools/datakit/SoundWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

class SoundTestHarness
{
public:
    explicit SoundTestHarness(audio::EngineMode mode = audio::EngineMode::Manual,
                              audio::DeviceFailure failure = audio::DeviceFailure::None)
    {
        m_memory = std::make_shared<audio::MemoryOutput>();
        audio::MixerConfig config;
        config.mode = mode;
        config.output = audio::OutputKind::Memory;
        config.memory = m_memory;
        config.failure = failure;
        audio::SetDefaultMixerConfig(config);
        std::filesystem::create_directories(m_folder / "sounds");
        std::filesystem::create_directories(m_folder / "Voices");
        gFileSystem.MountDirectory("sounds", (m_folder / "sounds").c_str());
        gFileSystem.MountDirectory("Voices", (m_folder / "Voices").c_str());
        m_resources = std::make_unique<ResourceManager>();
        m_resources->Init();
        m_engine = std::make_unique<SoundEngine>();
    }

    ~SoundTestHarness()
    {
        m_engine.reset();
        m_resources->Close();
        m_resources.reset();
        gFileSystem.UnmountAll();
        audio::ResetDefaultMixerConfig();
    }

    bool Start()
    {
        if (!m_engine->Init())
            return false;
        m_engine->Flush();
        return true;
    }

    SoundEngine& Engine() { return *m_engine; }
    audio::Engine* Mixer() { return m_engine->GetMixer(); }
    const TempFolder& Folder() const { return m_folder; }

    // Writes sounds/<name> (Ogg) from samples.
    void WriteOgg(const std::string& name, const SoundSamples& sound, float quality = 0.6f)
    {
        ASSERT_TRUE(SoundWriter::WriteOggVorbis(m_folder / ("sounds/" + name), sound, quality));
    }
    void WriteBytes(const std::string& relative, const std::vector<uint8_t>& bytes)
    {
        ASSERT_TRUE(SoundWriter::WriteFile(m_folder / relative, bytes));
    }

    // Returns once the sound thread has finished `count` more update cycles.
    void WaitCycles(uint32_t count)
    {
        const uint32_t target = m_engine->GetCycleCount() + count;
        for (int i = 0; i < 2000 && m_engine->GetCycleCount() < target; ++i)
            os::Sleep(1);
    }
    // Waits until the mixer holds `count` voices (and one more cycle has committed their start).
    bool WaitForVoices(uint32_t count, int timeoutMs = 5000)
    {
        for (int waited = 0; waited < timeoutMs; waited += 2)
        {
            if (Mixer() != nullptr && Mixer()->GetPerformanceData().totalSourceVoiceCount == count)
            {
                WaitCycles(2);
                return true;
            }
            os::Sleep(2);
        }
        return false;
    }
    uint32_t VoiceCount() { return Mixer() != nullptr ? Mixer()->GetPerformanceData().totalSourceVoiceCount : 0; }

    // Manual mode: mixes `ms` of sound one mixer block at a time, letting the sound thread run a
    // cycle in between as it would in real time (its cycle and the block are both 10 ms).
    void Render(uint32_t ms)
    {
        for (uint32_t done = 0; done + audio::kBlockMilliseconds <= ms; done += audio::kBlockMilliseconds)
        {
            Mixer()->RenderBlocks(1);
            WaitCycles(2);
        }
    }
    // Everything captured since the last call, one vector per output channel.
    std::vector<std::vector<float>> Take()
    {
        const std::vector<float> all = m_memory->Take();
        const uint32_t channels = std::max<uint32_t>(m_memory->GetChannelCount(), 1);
        std::vector<std::vector<float>> out(channels);
        for (size_t i = 0; i < all.size(); ++i)
            out[i % channels].push_back(all[i]);
        return out;
    }
    uint32_t SampleRate() const { return m_memory->GetSampleRate(); }

    // Plays at an emitter the way entity emitters do: created on the sound thread.
    uint32_t PlayAt(EntitySoundEmitter& emitter, const char* name, const SoundParamWrapper& params, bool streamed)
    {
        struct Play
        {
            EntitySoundEmitter* emitter;
            std::string name;
            uint32_t id;
            SoundParamWrapper params;
            bool streamed;
        };
        Play* play = new Play{&emitter, name, m_engine->NextInstanceId(), params, streamed};
        const uint32_t id = play->id;
        m_engine->PostCall(
            [](BaseThread&, uintptr_t argument, CommandRingBuffer&)
            {
                std::unique_ptr<Play> p(reinterpret_cast<Play*>(argument));
                if (p->streamed)
                    gSoundEngine->GetInstances().CreateStreamed(p->emitter, p->name.c_str(), p->id, p->params);
                else
                    gSoundEngine->GetInstances().CreateStatic(p->emitter, p->name.c_str(), p->id, p->params);
            },
            reinterpret_cast<uintptr_t>(play));
        return id;
    }
    // Moves an emitter on the sound thread.
    void MoveEmitter(EntitySoundEmitter& emitter, float x, float y, float z)
    {
        struct Move
        {
            EntitySoundEmitter* emitter;
            float x, y, z;
        };
        m_engine->PostCall(
            [](BaseThread&, uintptr_t argument, CommandRingBuffer&)
            {
                std::unique_ptr<Move> m(reinterpret_cast<Move*>(argument));
                m->emitter->m_worldMatrix.rows[3].Set(m->x, m->y, m->z, 1.0f);
            },
            reinterpret_cast<uintptr_t>(new Move{&emitter, x, y, z}));
    }
    void DetachEmitter(EntitySoundEmitter& emitter, float fadeSeconds)
    {
        struct Detach
        {
            EntitySoundEmitter* emitter;
            float fade;
        };
        m_engine->PostCall(
            [](BaseThread&, uintptr_t argument, CommandRingBuffer&)
            {
                std::unique_ptr<Detach> d(reinterpret_cast<Detach*>(argument));
                gSoundEngine->GetInstances().DetachEmitter(d->emitter, d->fade);
            },
            reinterpret_cast<uintptr_t>(new Detach{&emitter, fadeSeconds}));
    }
    void SetListenerAt(float x, float y, float z)
    {
        Matrix matrix = Matrix::ONE;
        matrix.rows[3].Set(x, y, z, 1.0f);
        m_engine->SetListenerMatrix(matrix);
    }
    // Instances alive on the sound thread (read there).
    uint32_t InstanceCount()
    {
        m_engine->Flush();
        std::atomic<uint32_t> count{0};
        m_engine->PostCall(
            [](BaseThread& thread, uintptr_t argument, CommandRingBuffer&)
            {
                const uint32_t instances = static_cast<SoundEngine&>(thread).GetInstances().GetCount();
                reinterpret_cast<std::atomic<uint32_t>*>(argument)->store(instances);
            },
            reinterpret_cast<uintptr_t>(&count));
        m_engine->Flush();
        return count.load();
    }

    // What one instance holds on the sound thread.
    struct InstanceSnapshot
    {
        uint32_t id;
        std::string name;
        SoundParamWrapper params;
        const EntitySoundEmitter* emitter;
        uint32_t stateBits;
        bool streamed;
        TimedFloatTransition volume{1.0f};
        Time cycleTime; // of the engine when the snapshot was taken
        float lastVoiceRatio;
    };
    // Every instance, oldest first, once the sound thread has run everything posted before.
    std::vector<InstanceSnapshot> Instances()
    {
        m_engine->Flush();
        std::vector<InstanceSnapshot> out;
        m_engine->PostCall(
            [](BaseThread& thread, uintptr_t argument, CommandRingBuffer&)
            {
                auto* list = reinterpret_cast<std::vector<InstanceSnapshot>*>(argument);
                SoundEngine& engine = static_cast<SoundEngine&>(thread);
                for (SoundInstanceBase* i = engine.GetInstances().GetFirst(); i != nullptr; i = i->m_next)
                    list->push_back({i->GetId(), i->GetNameString().CStr(), i->GetParams(), i->GetEmitter(),
                                     i->GetStateBits(), dynamic_cast<SoundInstanceStreamed*>(i) != nullptr,
                                     i->GetVolumeTransition(), engine.GetCycleTime(), i->GetLastVoiceFrequencyRatio()});
            },
            reinterpret_cast<uintptr_t>(&out));
        m_engine->Flush();
        return out;
    }

private:
    TempFolder m_folder;
    std::shared_ptr<audio::MemoryOutput> m_memory;
    std::unique_ptr<ResourceManager> m_resources;
    std::unique_ptr<SoundEngine> m_engine;
};
