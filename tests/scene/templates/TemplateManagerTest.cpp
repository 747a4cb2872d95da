#include "scene/templates/TemplateManager.h"

#include "renderer/resources/ResourceManager.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

namespace
{
EntityTemplateStub* MakeStub(const char* name, uint8_t lastByte)
{
    EntityTemplateStub* stub = new EntityTemplateStub;
    stub->SetFileName(name);
    SimpleGUID guid;
    guid.bytes[15] = lastByte;
    guid.bytes[0] = 1;
    stub->SetGUID(guid);
    return stub;
}

// Registered stubs join no folder: found by GUID, never by their bare file name.
TEST(TemplateManagerTest, StubsInNoFolderAreFoundByGUIDOnly)
{
    ConsoleCapture log;
    TemplateManager manager;
    EntityTemplateStub* b = MakeStub("units/Tank", 9);
    EntityTemplateStub* a = MakeStub("units/Soldier", 3);
    ASSERT_TRUE(manager.RegisterStub(b));
    ASSERT_TRUE(manager.RegisterStub(a));
    EXPECT_TRUE(a->GetFlags() & EntityTemplateStub::FLAG_GUID_INDEXED);
    EXPECT_EQ(manager.FindStubByGUID(a->GetGUID()), a);
    EXPECT_EQ(manager.FindStubByGUID(b->GetGUID()), b);
    EXPECT_EQ(manager.FindStubByPath("units/Tank"), nullptr);
    EXPECT_EQ(manager.FindStubByPath(""), nullptr);
    // A second stub with a taken GUID is refused and dropped.
    EXPECT_FALSE(manager.RegisterStub(MakeStub("units/Copy", 3)));
    EXPECT_TRUE(log.Contains("Unable to register template due to duplicated GUID: units/Copy", CONSOLE_ERROR));
    EXPECT_FALSE(manager.RegisterGUID(a));
    manager.UnregisterGUID(a);
    EXPECT_EQ(manager.FindStubByGUID(a->GetGUID()), nullptr);
    EXPECT_FALSE(a->GetFlags() & EntityTemplateStub::FLAG_GUID_INDEXED);
    EXPECT_TRUE(manager.RegisterGUID(a));

    EXPECT_EQ(manager.GetTemplateByGUID(b->GetGUID(), false), nullptr);
    log.Clear();
    EXPECT_EQ(manager.GetTemplateByGUID(b->GetGUID(), true), nullptr);
    EXPECT_EQ(log.CountOfKind(CONSOLE_ERROR), 1u);
    EntityTemplate* tank = new EntityTemplate;
    b->SetTemplate(tank);
    EXPECT_EQ(manager.GetTemplate("units/Tank", true), nullptr);
    EXPECT_EQ(manager.GetTemplateByGUID(b->GetGUID(), false), tank);
    // The sweep of unused templates leaves the stubs registered by code, and asks nothing of a
    // resource thread that was never started.
    ResourceManager idle;
    manager.UnloadUnusedTemplates();
    EXPECT_TRUE(idle.GetRing().IsEmpty());
    EXPECT_EQ(manager.FindStubByGUID(a->GetGUID()), a);
    manager.Clear();
    EXPECT_EQ(manager.FindStubByPath("units/Tank"), nullptr);
}
} // namespace
