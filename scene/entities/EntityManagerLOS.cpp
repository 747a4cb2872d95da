// The entity manager's line-of-sight query: the grid walk lists the entities the segment enters,
// and they are asked for ray picks nearest first.
#include "scene/entities/EntityManager.h"

#include "core/console/GameConsole.h"
#include "engine/profiler/Profiler.h"
#include "scene/entities/LineOfSightPick.h"

#include <vector>

namespace
{
constexpr int32_t kCandidateCapacity = 32768;
constexpr uint32_t kProfilerMain = 0;

// One shared candidate buffer; a query asked from inside another's picks finds it taken.
struct CandidateBuffer
{
    std::vector<PathGridSegmentHit> hits = std::vector<PathGridSegmentHit>(size_t(kCandidateCapacity));
    bool busy = false;
};

CandidateBuffer& Candidates()
{
    static CandidateBuffer buffer;
    return buffer;
}
} // namespace

bool EntityManager::LOS(const Vector& start, const Vector& end, uint32_t flags, LOSResult& result, uint32_t mask,
                        const Entity* a, const Entity* b)
{
    gProfiler.StartTimer(PROFILER_LOS, kProfilerMain);
    result.hit = 0;
    result.entity = nullptr;
    bool noHit = true;
    CandidateBuffer& buffer = Candidates();
    // The nested query reports no hit rather than overwrite the candidates the outer one is reading.
    if (buffer.busy)
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "LOS check asked during another LOS check: reported clear");
    else
    {
        buffer.busy = true;
        const int32_t count = m_grid.CheckLineOfSight(start, end, buffer.hits.data(), kCandidateCapacity);
        if (count > 0)
            noHit = LineOfSightPick::PickNearest(buffer.hits.data(), count, start, end, flags, mask, a, b, result);
        buffer.busy = false;
    }
    gProfiler.StopTimer(PROFILER_LOS, kProfilerMain);
    return noHit;
}
