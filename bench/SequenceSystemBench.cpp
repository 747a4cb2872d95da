// The sequence system's frame: 1,000 running sequences of 10 tracks each, every track on a timed
// action (a raise that lasts a minute, then a wait on a counting semaphore), all updated once per
// frame on the game clock. One iteration is one frame; the goal is under 1 ms on one core. No
// library does this job, so there is no reference side.
#include "engine/Game.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceActions.h"
#include "gameplay/sequences/SequenceClassRegistration.h"
#include "gameplay/sequences/SequenceSystem.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
constexpr int kSequences = 1000;
constexpr int kTracks = 10;

void BM_SequenceFrame(benchmark::State& state)
{
    RegisterSequenceClasses();
    gGame.GetGameTimer().Reset();
    gSequenceSystem.EnableAndReset(true);
    for (int s = 0; s < kSequences; ++s)
    {
        auto* sequence = new Sequence;
        sequence->SetName(("Sequence" + std::to_string(s)).c_str());
        for (int t = 0; t < kTracks; ++t)
        {
            auto* track = new SequenceTrack;
            auto* raise = new SequenceActionRaiseGlobalSemaphore;
            raise->SetTime(60.0f);
            track->GetActions().Add(raise);
            track->GetActions().Add(new SequenceActionWaitForGlobalCountingSemaphoreToReach);
            sequence->GetTracks().Add(track);
        }
        gSequenceSystem.AddSequence(sequence);
        gSequenceSystem.StartSequence(sequence->GetName().CStr(), false, true);
    }
    for (auto _ : state)
    {
        gGame.GetGameTimer().Tick(1.0f / 60.0f);
        gSequenceSystem.Update();
    }
    state.counters["active"] = double(gSequenceSystem.GetActiveSequences().Count());
    gSequenceSystem.Reset();
    gSequenceSystem.Enable(false);
}
BENCHMARK(BM_SequenceFrame)->Unit(benchmark::kMicrosecond);
} // namespace
