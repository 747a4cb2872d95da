// Entry of every test executable: the engine's classes are registered as start-up registers them.
#include "engine/ClassRegistration.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    RegisterAllClasses();
    return RUN_ALL_TESTS();
}
