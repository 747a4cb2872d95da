// The datakit command: writes and inspects the engine's data formats by hand.
#include "tools/datakit/DatakitCommand.h"

int main(int argc, char** argv)
{
    return RunDatakit(std::vector<std::string>(argv + 1, argv + argc));
}
