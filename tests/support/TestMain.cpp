// Entry of every test executable: the engine's classes are registered as start-up registers them,
// and presents are not paced to 60 Hz (tests that present many frames would only wait).
#include "engine/ClassRegistration.h"
#include "platform/gpu/GpuEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    RegisterAllClasses();
    gpu::SetPresentPacing(false);
    return RUN_ALL_TESTS();
}
