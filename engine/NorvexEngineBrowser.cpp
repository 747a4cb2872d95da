// NorvexEngine's hand-over of an address to the desktop's browser. Main thread.
#include "core/console/GameConsole.h"
#include "engine/NorvexEngine.h"
#include "platform/os/Shell.h"

bool NorvexEngine::ActivateExternalBrowser(const char* url)
{
    if (url == nullptr)
        return false;
    // No browser starts on this platform: the log says which address the player would have seen.
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Opening \"%s\" in the external browser", url);
    os::ShellOpen(url);
    return true;
}
