#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTIObjectSupport.h"
#include "core/reflection/RTTIPolyBaseClass.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace
{
int gLastCreatedId = -1;

class Made : public RTTIPolyBaseClass
{
};

RTTIPolyBaseClass* MakeOne(int classId)
{
    gLastCreatedId = classId;
    return new Made;
}
} // namespace

TEST(RTTIClassRegistryTest, IdsFollowRegistrationOrderNotNames)
{
    const int zebra = RTTIClassRegistry::RegisterClass("RegistryTestZebra", "RTTIPolyBaseClass", MakeOne);
    const int apple = RTTIClassRegistry::RegisterClass("RegistryTestApple", "RegistryTestZebra", MakeOne);
    EXPECT_EQ(apple, zebra + 1);
    EXPECT_EQ(RTTIClassRegistry::FindClassId("RegistryTestZebra"), zebra);
    EXPECT_EQ(RTTIClassRegistry::FindClassId("RegistryTestApple"), apple);
    EXPECT_STREQ(RTTIClassRegistry::GetBaseClassName(apple), "RegistryTestZebra");
    EXPECT_STREQ(RTTIClassRegistry::GetClassName(zebra), "RegistryTestZebra");

    RTTIPolyBaseClass* object = RTTIClassRegistry::CreateObject("RegistryTestApple");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(gLastCreatedId, apple);
    delete object;
}

TEST(RTTIClassRegistryTest, NamesAreCaseSensitive)
{
    RTTIClassRegistry::RegisterClass("RegistryTestEntity", "RTTIPolyBaseClass", MakeOne);
    EXPECT_EQ(RTTIClassRegistry::FindClassId("registrytestentity"), -1);
    EXPECT_EQ(RTTIClassRegistry::CreateObject("registrytestentity"), nullptr);
    EXPECT_EQ(RTTIClassRegistry::CreateObject("RegistryTestMissing"), nullptr);
}

TEST(RTTIClassRegistryTest, ASecondRegistrationGetsItsOwnIdButLookupFindsTheFirst)
{
    const int first = RTTIClassRegistry::RegisterClass("RegistryTestTwice", nullptr, MakeOne);
    const int second = RTTIClassRegistry::RegisterClass("RegistryTestTwice", "", MakeOne); // an empty base is none
    EXPECT_NE(first, second);
    EXPECT_EQ(RTTIClassRegistry::FindClassId("RegistryTestTwice"), first);
    EXPECT_EQ(RTTIClassRegistry::GetBaseClassName(first), nullptr);
    EXPECT_EQ(RTTIClassRegistry::GetBaseClassName(second), nullptr);
    delete RTTIClassRegistry::CreateObject("RegistryTestTwice");
    EXPECT_EQ(gLastCreatedId, first);
}

TEST(RTTIClassRegistryTest, EnsuringARegisteredClassKeepsItsOneRow)
{
    const int id = RTTIClassRegistry::EnsureClassRegistered("RegistryTestEnsured", "RTTIPolyBaseClass", MakeOne);
    const int count = RTTIClassRegistry::GetClassCount();
    EXPECT_EQ(RTTIClassRegistry::EnsureClassRegistered("RegistryTestEnsured", "RTTIPolyBaseClass", MakeOne), id);
    EXPECT_EQ(RTTIClassRegistry::EnsureClassRegistered(RTTIClassRegistry::GetClassName(0), nullptr, MakeOne), 0);
    EXPECT_EQ(RTTIClassRegistry::GetClassCount(), count);
    EXPECT_EQ(RTTIClassRegistry::GetBaseClassName(count), nullptr);
    EXPECT_EQ(RTTIClassRegistry::GetClassName(count), nullptr);
    EXPECT_STREQ(RTTIClassRegistry::GetClassName(id), "RegistryTestEnsured");
    delete RTTIClassRegistry::CreateObject("RegistryTestEnsured");
    EXPECT_EQ(gLastCreatedId, id);
}

TEST(RTTIClassRegistryTest, ClearingAtExitForgetsEveryClass)
{
    // In a child process: the classes registered at start-up cannot be registered again here.
    EXPECT_EXIT(
        {
            RTTIClassRegistry::RegisterClass("RegistryTestCleared", nullptr, MakeOne);
            RTTIClassRegistry::Clear();
            const bool empty = RTTIClassRegistry::GetClassCount() == 0 &&
                               RTTIClassRegistry::FindClassId("RegistryTestCleared") == -1 &&
                               RTTIClassRegistry::CreateObject("RegistryTestCleared") == nullptr;
            // The first class registered again takes id 0, and id 0 is a class like any other.
            _exit(empty && GUIDReplacementTable::RegisterRTTIClass() == 0 &&
                          rtti::FindRegisteredTable("GUIDReplacementTable") != nullptr
                      ? 0
                      : 1);
        },
        testing::ExitedWithCode(0), "");
}
