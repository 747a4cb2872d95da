// Ogg Theora bytes through the video player: header search, decoders, frame and sound decoding and
// the plane copy into picture-sized buffers, with the wall clock stepped by hand. No renderer or
// sound thread: the player's sound blocks count as handed over. Half the inputs (by a hash of their
// bytes, so that a mutation may change it) play looping, which reaches the passes of a looping file
// and what a damaged one does to them.
#include "audio/video/VideoPlayer.h"
#include "core/filesystem/FileSystem.h"
#include "platform/os/Clock.h"
#include "platform/os/Thread.h"
#include "renderer/resources/ResourceManager.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace
{
// The streaming readers' filling thread and the mounted folder, made once; the folder goes at exit.
struct Setting
{
    Setting()
    {
        folder = (std::filesystem::temp_directory_path() / ("norvex-video-fuzz-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(folder);
        gFileSystem.MountDirectory("videos", folder.c_str());
        resources.Init();
        os::EnableManualCounter(1000 * os::kCounterFrequency);
    }
    ~Setting()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string folder;
    ResourceManager resources;
};

// FNV-1a over the input.
uint32_t HashOf(const uint8_t* data, size_t size)
{
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Setting setting;
    if (size > (1u << 20))
        return 0;
    {
        std::ofstream file(setting.folder + "/fuzz.ogv", std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    // The player takes its start time from the clock: each input starts from the same one.
    int64_t now = 1000 * os::kCounterFrequency;
    os::SetManualCounter(now);
    VideoPlayer* player = new VideoPlayer("fuzz", "videos", (HashOf(data, size) >> 31) != 0, 1.0f);
    std::vector<uint8_t> picture;
    for (int step = 0; step < 2000 && player->IsActive(); ++step)
    {
        if (!player->HasHeaders())
            os::Sleep(0);
        now += os::kCounterFrequency / 10;
        os::SetManualCounter(now);
        if (!player->Advance())
            continue;
        VideoPlaneRegion regions[3];
        if (!player->FetchPlanes(regions))
            continue;
        for (const VideoPlaneRegion& region : regions)
        {
            picture.resize(size_t(region.width) * region.height);
            CopyVideoPlaneRegion(region.plane, region.x, region.y, region.width, region.height, picture.data(),
                                 int32_t(region.width));
        }
    }
    player->Destroy();
    return 0;
}
