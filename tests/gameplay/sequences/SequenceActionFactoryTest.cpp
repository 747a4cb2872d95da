// Action classes that scripts declare: parameters laid out own first then the base's, seen through
// the property table by records and queries, re-declared in sync passes that drop and add slots, and
// the built-in classes in their fixed order.
#include "gameplay/sequences/SequenceActionFactory.h"
#include "gameplay/sequences/SequenceActions.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "gameplay/sequences/LuaSequenceAction.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceClassRegistration.h"
#include "gameplay/sequences/SequenceSpawner.h"
#include "gameplay/sequences/SequenceSystem.h"
#include "support/RecordBytes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{
class SequenceActionFactoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gSequenceSystem.Reset();
        gSequenceActionFactory.Clear();
        RegisterSequenceClasses();
    }
    void TearDown() override
    {
        gSequenceSystem.Reset();
        gSequenceActionFactory.Clear();
        RegisterSequenceClasses();
    }
    static std::unique_ptr<LuaSequenceAction> Make(const char* className)
    {
        return std::unique_ptr<LuaSequenceAction>(
            dynamic_cast<LuaSequenceAction*>(RTTIClassRegistry::CreateObject(className)));
    }
    static std::string Slots(const LuaSequenceAction& action)
    {
        std::string text;
        for (const LuaSequenceAction::Param& param : const_cast<LuaSequenceAction&>(action).GetParams())
            text += param.name + ":" + std::to_string(param.kind) + " ";
        return text;
    }
    static bool Set(RTTIPolyBaseClass& object, const char* name, const char* text)
    {
        const RTTIProperty* property = object.GetClassProperties()->FindPropertyInClassChain(name);
        return property != nullptr && property->SetFromText(&object, text);
    }
};
} // namespace

TEST_F(SequenceActionFactoryTest, BuiltInClassesAreEnteredInTheirFixedOrder)
{
    const auto& entries = gSequenceActionFactory.GetEntries();
    ASSERT_EQ(entries.size(), 12u);
    EXPECT_EQ(entries.front()->className, "SequenceActionStartSequence");
    EXPECT_EQ(entries[3]->className, "SequenceActionWaitForSemaphore");
    EXPECT_EQ(entries.back()->className, "SequenceActionWaitForGlobalCountingSemaphoreToReach");
    EXPECT_FALSE(entries.front()->scriptDefined);
    EXPECT_TRUE(gSequenceActionFactory.IsOutdated());
}

TEST_F(SequenceActionFactoryTest, ScriptClassesHoldTypedParametersOwnFirstThenTheBases)
{
    const int32_t shake = gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaShake", "Nothing", false, "Camera");
    EXPECT_EQ(gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaShake", "", false, "Camera"), shake);
    gSequenceActionFactory.AddLuaSequenceActionParam(shake, "Strength", "float");
    gSequenceActionFactory.AddLuaSequenceActionParam(shake, "Target", "string");
    gSequenceActionFactory.AddLuaSequenceActionParam(shake, "Loud", "bool");
    gSequenceActionFactory.AddLuaSequenceActionParam(shake, "Bad", "vector");
    const int32_t quake =
        gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaQuake", "LuaShake", true, "Camera");
    gSequenceActionFactory.AddLuaSequenceActionParam(quake, "Waves", "int");
    gSequenceActionFactory.AddSequenceActionLookupParamName(quake, "Target");
    gSequenceActionFactory.AddSequenceActionLookupParamName(quake, "Target");
    EXPECT_EQ(gSequenceActionFactory.GetCategories().size(), 1u);
    gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaBeep", "", false, "Sound");
    const int32_t pan = gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaPan", "", false, "Sound");
    EXPECT_EQ(gSequenceActionFactory.GetCategories().size(), 2u);
    EXPECT_EQ(gSequenceActionFactory.FindEntry(pan)->categoryIndex, 1);
    EXPECT_EQ(gSequenceActionFactory.FindEntry(quake)->categoryIndex, 0);
    EXPECT_EQ(gSequenceActionFactory.FindEntry(quake)->lookupParams.size(), 1u);
    EXPECT_EQ(gSequenceActionFactory.FindEntry(shake)->baseClassName, "SequenceAction");
    // A built-in base would hand a script action properties of fields it does not have.
    SequenceActionWaitForSemaphore::StaticClassProperties();
    const int32_t wait =
        gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaWait", "SequenceActionWaitForSemaphore", false, "");
    EXPECT_EQ(gSequenceActionFactory.FindEntry(wait)->baseClassName, "SequenceAction");
    EXPECT_EQ(Make("LuaWait")->GetClassProperties()->FindPropertyInClassChain("Semaphore"), nullptr);

    std::unique_ptr<LuaSequenceAction> action = Make("LuaQuake");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(Slots(*action), "Waves:1 Loud:0 Strength:2 Target:3 ");
    EXPECT_EQ(action->GetTime(), 0.0f);
    EXPECT_EQ(Make("LuaShake")->GetTime(), 1.0f);
    ASSERT_TRUE(Set(*action, "Strength", "2.5"));
    ASSERT_TRUE(Set(*action, "Target", "Tower"));
    ASSERT_TRUE(Set(*action, "Waves", "7"));
    EXPECT_EQ(action->FindParam("Target", SequenceActionClassEntry::PARAM_STRING)->textValue, "Tower");

    // A record carries the parameters; a sequence holding the action reads it back by class name.
    gSequenceSpawner.BeginSequenceSpawn("Quaking");
    gSequenceSpawner.AppendTrack("T");
    ASSERT_TRUE(gSequenceSpawner.AppendAction("LuaQuake"));
    gSequenceSpawner.AppendActionParam("Waves", "7");
    gSequenceSpawner.AppendActionParam("Target", "Tower");
    gSequenceSpawner.EndSequenceSpawn();
    const std::vector<uint8_t> bytes = SerializeToBytes(gSequenceSystem);
    SequenceSystem copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_EQ(SerializeToBytes(copy), bytes);
    EXPECT_EQ(copy.GetIntParamValue(0, 0, 0, 0), 7);
    EXPECT_STREQ(copy.GetParamName(0, 0, 0, 1), "Strength");
    EXPECT_STREQ(copy.GetStringParamValue(0, 0, 0, 2), "Tower");
    EXPECT_EQ(copy.GetParamType(0, 0, 0, 3), 20);
    EXPECT_STREQ(copy.GetActionName(0, 0, 0), "LuaQuake");
    // Entries cleared at shutdown leave their live actions as plain actions that still delete safely.
    gSequenceActionFactory.Clear();
    EXPECT_STREQ(action->GetActionClassName(), "SequenceAction");
    EXPECT_TRUE(gSequenceActionFactory.GetCategories().empty());
}

TEST_F(SequenceActionFactoryTest, ASyncPassKeepsValuesDropsUndeclaredSlotsAndAddsNewOnes)
{
    const int32_t id = gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaFade", "", false, "");
    gSequenceActionFactory.AddLuaSequenceActionParam(id, "Alpha", "float");
    gSequenceActionFactory.AddLuaSequenceActionParam(id, "Old", "int");
    gSequenceActionFactory.AddLuaSequenceActionParam(id, "Shown", "int");
    std::unique_ptr<LuaSequenceAction> live = Make("LuaFade");
    ASSERT_TRUE(Set(*live, "Alpha", "0.75"));
    const int32_t other = gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaGone", "", false, "");

    gSequenceActionFactory.BeginLuaActionsSync();
    EXPECT_EQ(gSequenceActionFactory.RegisterLuaSequenceActionClass("LuaFade", "", false, ""), id);
    gSequenceActionFactory.AddLuaSequenceActionParam(id, "Alpha", "float");
    gSequenceActionFactory.AddLuaSequenceActionParam(id, "Colour", "string");
    gSequenceActionFactory.AddLuaSequenceActionParam(id, "Shown", "bool");
    gSequenceActionFactory.AddLuaSequenceActionParam(id, "Steps", "int");
    gSequenceActionFactory.EndLuaActionsSync();
    EXPECT_FALSE(gSequenceActionFactory.FindEntry(id)->seen);
    EXPECT_TRUE(gSequenceActionFactory.FindEntry(other)->seen);
    // "Shown", retyped from int to bool, gets a slot of its new kind.
    EXPECT_EQ(Slots(*live), "Shown:1 Alpha:2 Colour:3 Shown:0 Steps:1 ");
    EXPECT_FLOAT_EQ(live->FindParam("Alpha", SequenceActionClassEntry::PARAM_FLOAT)->floatValue, 0.75f);
    EXPECT_EQ(live->FindParam("Alpha", SequenceActionClassEntry::PARAM_INT), nullptr) << "a slot is found by its kind too";
    // Without a slot the table reads zero and a set changes nothing.
    EXPECT_FALSE(live->GetClassProperties()->FindPropertyInClassChain("Old"));
    live.reset();
    EXPECT_TRUE(gSequenceActionFactory.FindEntry(id)->instances.empty());
}
