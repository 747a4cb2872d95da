// The program entry of the game: hands the game's delegate and project name to the platform main.
// The graphics stand-in colours only the frames the game writes as images (NORVEX_FRAME_PNG), so a
// run without them costs no software rasterising. Main thread.
#include "engine/platform/PlatformMain.h"
#include "game/TessarineGameDelegate.h"
#include "platform/gpu/GpuEnvironment.h"
#include "platform/window/Window.h"

int main(int argc, char** argv)
{
    gpu::SetDefaultRasterMode(gpu::RasterMode::WrittenFrames);
    return PlatformMain(argc, argv, win::kShowNormal, &gTessarineGameDelegate, "Tessarine");
}
