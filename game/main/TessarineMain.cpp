// The program entry of the game: hands the game's delegate and project name to the platform main.
// Main thread.
#include "engine/platform/PlatformMain.h"
#include "game/TessarineGameDelegate.h"
#include "platform/window/Window.h"

int main(int argc, char** argv)
{
    return PlatformMain(argc, argv, win::kShowNormal, &gTessarineGameDelegate, "Tessarine");
}
