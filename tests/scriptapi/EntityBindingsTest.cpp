// The entity package as scripts see it: the manager global, the constants, entity methods, flags,
// meshes and their animations, and the Lua class that a template names.
#include "effects/animation/AnimationClock.h"
#include "effects/animation/ProceduralTargetingAnimation.h"
#include "scene/entities/EntityMPProperties.h"
#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/ScriptedSceneTest.h"
#include "support/TemplateTestSupport.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <lua.hpp>
#include <tolua++.h>

#include <string>

namespace
{
class EntityBindingsTest : public ScriptedSceneTest
{
protected:
    void SetUp() override
    {
        ScriptedSceneTest::SetUp();
        SimpleGUID guid;
        guid.Generate();
        m_soldier = new EntityTemplate;
        m_soldier->SetStaticBoundingBox(CenteredBox(1.0f));
        ASSERT_NE(RegisterStubAtPath("units/Soldier", guid, m_soldier), nullptr);
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gTemplateManager.Clear();
        ScriptedSceneTest::TearDown();
    }
    void Run(const std::string& chunk) { ASSERT_TRUE(gLua.LoadAndCall(chunk.c_str(), 0)) << chunk; }
    std::string Global(const char* name)
    {
        lua_getglobal(gLua.GetState(), name);
        const char* text = lua_tostring(gLua.GetState(), -1);
        std::string result = text != nullptr ? text : "<nil>";
        lua_pop(gLua.GetState(), 1);
        return result;
    }
    EntityTemplate* m_soldier = nullptr;
};

TEST_F(EntityBindingsTest, ConstantsCarryTheirValues)
{
    Run("result = ENTITYFLAG_HIDDEN .. ' ' .. ENTITYFLAG_DISABLE_UPDATE .. ' ' .. ENTITYCREATION_MULTIPLAYER_STATIC .. "
        "' ' .. ENTITYCREATION_MULTIPLAYER_AUTHORITY .. ' ' .. ENTITY_TRIGGER .. ' ' .. ENTITY_PROJECT_SPECIFIC .. ' ' .. "
        "NULL_ENTITY_MULTIPLAYER_ID");
    EXPECT_EQ(Global("result"), "16 4194304 64 16 4 256 4095");
}

TEST_F(EntityBindingsTest, ScriptsCreateFindAndChangeEntities)
{
    Run("local m = Matrix:new_local() m:LoadTranslation(3, 0, 4) "
        "local e = gEntityManager:CreateEntityInGame('units/Soldier', nil, m, 0) "
        "e:SetName('Hero') e:Hide(false) "
        "local found = gEntityManager:FindEntityByName('hero') "
        "result = found:GetName() .. ' ' .. found:GetGlobalPosition().z .. ' ' .. found:GetFlags() .. ' ' .. "
        "tostring(found:GetParent() == gEntityManager:GetSceneRoot())");
    EXPECT_EQ(Global("result"), "Hero 4 16 true");
    // Positions come back as copies that outlive the entity; a script method added to Vector reads them.
    Run("function Vector:X() return self.x end "
        "local hero = gEntityManager:FindEntityByName('Hero') local p = hero:GetGlobalPosition() hero:DeleteMe() "
        "result = tostring(gEntityManager:FindEntityByName('Hero')) .. ' ' .. p:X()");
    EXPECT_EQ(Global("result"), "nil 3");
}

TEST_F(EntityBindingsTest, TheTemplateLuaClassIsTheEntityScriptClass)
{
    m_soldier->SetLuaClass("Soldier");
    gLua.RegisterClass("Soldier", "Entity");
    m_soldier->SetInitializationPassCount(1);
    Run("function Soldier:OnInit(pass) inits = (inits or '') .. self:GetName() .. ':' .. pass end");
    Entity* e = gEntityManager.CreateEntityInGame("units/Soldier", nullptr, Matrix::ONE, 0, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->GetScriptClassName(), "Soldier");
    EXPECT_EQ(Global("inits"), "Soldier*1:0");
}
} // namespace

namespace
{
TEST_F(EntityBindingsTest, ReplicableEntitiesPrepareTheirPropertiesBeforeOnInit)
{
    m_soldier->SetLuaClass("Soldier");
    gLua.RegisterClass("Soldier", "Entity");
    m_soldier->SetInitializationPassCount(1);
    // The script adds its fields to the record made for it.
    Run("function Soldier:InitMPProperties() order = (order or '') .. 'mp ' "
        "  fields = self:MPPropAddAnim('Anim') .. ',' .. self:MPPropAddFloat('Progress', 0, 1, 0.01) .. ',' .. "
        "           self:MPPropFind('Anim') end "
        "function Soldier:OnInit(pass) order = (order or '') .. 'init' end "
        "function Soldier:OnNetInit() order = order .. ' net' end");
    Entity* e = gEntityManager.CreateEntityInGame("units/Soldier", nullptr, Matrix::ONE,
                                                  ENTITYCREATION_MULTIPLAYER_AUTHORITY, nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Global("order"), "mp init");
    EXPECT_EQ(Global("fields"), "3,4,3");
    ASSERT_NE(e->GetMPProperties(), nullptr);
    EXPECT_EQ(e->GetMPProperties()->Get(4).step, 0.01f);
    gGame.GetEntityLists().FireDueEntityCalls(true, 0);
    EXPECT_EQ(Global("order"), "mp init net");
    EXPECT_FALSE(e->HasFlag(ENTITYFLAG_DISABLE_UPDATE));
}
} // namespace

namespace
{
class RunningDelegate : public ScriptedSceneTest::ScriptDelegate
{
public:
    bool IsGameRunning() override { return running; }
    bool running = false;
};

TEST_F(EntityBindingsTest, TicksAndScriptCallsReachTheEntityScriptClass)
{
    RunningDelegate delegate;
    gGame.Init(&delegate);
    m_soldier->SetLuaClass("Soldier");
    gLua.RegisterClass("Soldier", "Entity");
    Run("calls = '' "
        "function Soldier:OnTick() calls = calls .. 'tick ' end "
        "function Soldier:OnSmoothTick() calls = calls .. 'smooth ' end "
        "function Soldier:Wave() calls = calls .. 'wave ' end "
        "function Soldier.IsLoadedClientSide() return true end");
    Entity* e = gEntityManager.CreateEntityInGame("units/Soldier", nullptr, Matrix::ONE, 0, nullptr);
    e->EnableTickCallback();
    gGame.GetEntityLists().TickScriptEntities();
    gGame.GetEntityLists().SmoothTickScriptEntities();
    e->ExecuteScript("Wave");
    delegate.running = true;
    e->ExecuteScript("Wave");
    e->DisableTickCallback();
    gGame.GetEntityLists().TickScriptEntities();
    EXPECT_EQ(Global("calls"), "tick smooth wave ");
    EXPECT_TRUE(m_soldier->IsLoadedClientSide());
    m_soldier->SetLuaClass("Unknown");
    EXPECT_FALSE(m_soldier->IsLoadedClientSide());
    gGame.Init(&m_delegate);
}
} // namespace

TEST_F(EntityBindingsTest, ScriptsGatherNearEntitiesWatchCirclesAndWalkSets)
{
    Entity* near = Create(nullptr, Translation(100, 50, 100));
    Entity* far = Create(nullptr, Translation(140, 0, 100));
    near->SetTypeBits(2);
    far->SetTypeBits(2);
    near->SetName("Near");
    far->SetName("Far");
    Run("local g = NearEntitiesGatherer:new_local() "
        "local p = Vector:new_local() p.x = 100 p.y = 0 p.z = 101 p.w = 1 "
        "g:Init(2, p, 5) result = g:GetEntitiesCount() .. ' ' .. g:GetEntity(0):GetName() "
        "g:InitWithAllEntitiesWhoesOBBIsWithinRange3D(p, 5) result = result .. ' ' .. g:GetEntitiesCount() "
        "local m = EntitiesVicinityMonitor:new_local() m:Init(2) m:AddTestPosition(p, 50) "
        "m:CalculateEntitiesVicinityChange() result = result .. ' ' .. m:GetEnteredEntitiesCount() .. ' ' .. "
        "tostring(m:GetLeftEntity(0))");
    EXPECT_EQ(Global("result"), "1 Near 0 2 nil");
    Run("local near = gEntityManager:FindEntityByName('Near') local far = gEntityManager:FindEntityByName('Far') "
        "near:AddToSet('Pair', true) far:AddToSet('pair', false) far:AddToSet('Solo', true) "
        "local it = EntitySetIterator:new_local() it:InitFromNetwork(far) "
        "result = it:GetNext():GetName() .. ' ' .. tostring(it:GetNext()) .. ' ' .. far:GetSetsCount() .. ' ' .. "
        "far:GetSetName(1) .. ' ' .. gEntityManager:FindEntitySet('PAIR'):GetName() "
        "far:RemoveFromSet('Pair') it:Init('Pair') result = result .. ' ' .. it:GetNext():GetName() .. ' ' .. "
        "tostring(it:GetNext())");
    EXPECT_EQ(Global("result"), "Near nil 2 Solo Pair Near nil");
}

TEST_F(EntityBindingsTest, ScriptsAskForALineOfSight)
{
    Entity* wall = Create(nullptr, Translation(200, 0, 200));
    wall->SetName("Wall");
    Run("local s = Vector:new_local() s.x = 190 s.y = 0 s.z = 200 s.w = 1 "
        "local e = Vector:new_local() e.x = 210 e.y = 0 e.z = 200 e.w = 1 "
        "local r = LOSResult:new_local() "
        "result = tostring(gEntityManager:LOS(s, e, 0, r)) .. ' ' .. r.hit .. ' ' .. tostring(r.entity)");
    // A plain entity answers no ray pick, so the line stays clear.
    EXPECT_EQ(Global("result"), "true 0 nil");
}

// One Lua line per binding; a line that leaves no result is checked by the mesh's preset index and
// the global preset.
TEST_F(EntityBindingsTest, FlagsMeshesAndTheirTimersReachTheirOperations)
{
    m_templates.push_back(std::make_unique<FlagTemplate>());
    FlagEntity* flags[3] = {};
    for (int i = 0; i < 3; ++i)
    {
        const Matrix at = Translation(i == 1 ? 10.0f : 0.0f, 0.0f, i == 2 ? 10.0f : 0.0f);
        Entity* flag = gEntityManager.CreateEntity(m_templates.back().get(), nullptr, at, 0, nullptr);
        flags[i] = dynamic_cast<FlagEntity*>(flag);
        flags[i]->SetName(std::string(1, char('A' + i)).c_str());
    }
    flags[0]->AddConnection(flags[1]);
    flags[0]->AddConnection(flags[2]);
    flags[0]->GetConnection(1).m_controlPoints.Add(FlagEntityConnectionControlPoint());
    flags[0]->GetConnection(1).m_controlPoints[0].m_position.Set(6.0f, 0.0f, 8.0f);
    flags[0]->UpdateConnectionLengths();
    const float curve = flags[0]->GetPathPositionNearestToGlobalPoint(flags[2], Vector(6, 0, 8, 1), nullptr);
    const std::string nearest = std::to_string(int(1000 * curve));
    MeshTemplateSpec spec;
    spec.bones = {"Hips"};
    spec.shaderPresets = {"Default", "Snow"};
    SimpleGUID guid;
    guid.Generate();
    RegisterStubAtPath("units/Statue", guid, nullptr)->SetTemplate(MeshTemplateWriter::MakeTemplate(spec).release());
    Run("function Flag(name) return tolua.cast(gEntityManager:FindEntityByName(name), 'FlagEntity') end "
        "a = Flag('A') b = Flag('B') c = Flag('C') p = Vector:new_local(6, 0, 8, 1) m = Matrix:new_local() "
        "statue = tolua.cast(gEntityManager:CreateEntityInGame('units/Statue', nil, m, 0), 'MeshEntity') "
        "statue:SetName('Statue') function At(...) a:GetGlobalPositionOnPath(...) return m:At(3, 0) end");
    auto* statue = dynamic_cast<MeshEntity*>(gEntityManager.FindEntityByName("Statue"));
    ASSERT_NE(statue, nullptr);
    const struct
    {
        const char* chunk;
        std::string expected;
    } kRows[] = {
        {"result = tostring(a:HasNeighbour(b)) .. tostring(b:HasNeighbour(a))", "truefalse"},
        {"result = a:GetNeighbourDistance(b) .. a:GetNeighbourDistance(0) .. a:GetNeighbourDistance(7)", "10100"},
        {"result = At(b, 4, m, false) .. At(0, 12, m, true, nil) .. At(9, 1, m, false)", "420"},
        {"result = math.floor(1000 * a:GetPathPositionNearestToGlobalPoint(c, p)) .. ' ' .. math.floor(1000 * "
         "a:GetPathPositionNearestToGlobalPoint(1, p, nil)) .. a:GetPathPositionNearestToGlobalPoint(b, p)",
         nearest + " " + nearest + "0"},
        {"statue:SetLocalColor(HDRColor:new_local(10, 20, 30, 40, 2)) statue:SetFakeShadowStrength(0.25) "
         "statue:SetEntityOutlineState(3) local box = statue:GetLocalCollisionBoundingBox() "
         "result = tostring(box.max.x >= box.min.x) .. tostring(statue:HasShaderPreset('Snow')) .. "
         "tostring(statue:HasShaderPreset('snow'))",
         "truetruefalse"},
        {"statue:SetCustomTemporaryShaderPreset('SNOW') statue:TemporarySetShaderPreset('Default', true)", "1 "},
        {"statue:SetCustomTemporaryShaderPreset('Rain') statue:TemporarySetShaderPreset('DEFAULT', true)", "0 "},
        {"MeshEntity:TemporarySetShaderPresetForAllMeshes('Snow', false)", "1 Snow"},
        {"MeshEntity:ReturnAllMeshesToDefaultShaderPreset()", "0 "},
        {"aim = statue:StartProceduralTargetingAnimation('root', ANIMFLAG_SMOOTHGAMETIME) "
         "aim:SetTimer(gGame:GetGameplayTimer()) local g = SimpleGUID:new_local() "
         "g:FromString('00000000-0000-0000-0000-0000000000CD') gConfigHelper:SetUserGUID(g) "
         "result = gConfigHelper:GetUserGUID():ToStringUnsafe()",
         "00000000-0000-0000-0000-0000000000CD"},
        {"local u = LuaUnicodeString:new_local() u:AppendChar(0xE9) u:AppendChar(0x20AC) "
         "result = gConfigHelper:ToAsciiUnsafe(u)",
         "\xE9\x80"},
    };
    for (const auto& row : kRows)
    {
        Run(std::string("result = nil ") + row.chunk);
        const std::string presets =
            std::to_string(statue->GetShaderPresetIndex()) + " " + MeshEntity::GetGlobalShaderPreset().CStr();
        EXPECT_EQ(Global("result") == "<nil>" ? presets : Global("result"), row.expected) << row.chunk;
    }
    EXPECT_EQ(statue->GetLocalColor().g, 20);
    lua_getglobal(gLua.GetState(), "aim");
    const auto* aim = static_cast<const ProceduralTargetingAnimation*>(tolua_tousertype(gLua.GetState(), -1, nullptr));
    lua_pop(gLua.GetState(), 1);
    ASSERT_NE(aim, nullptr);
    EXPECT_EQ(&aim->GetClock(), FindGameTimerClock(gGame.GetGameplayTimer()));
    EXPECT_EQ(aim->GetParams().Flags & ANIMFLAG_TIME_MASK, 0u);
}
