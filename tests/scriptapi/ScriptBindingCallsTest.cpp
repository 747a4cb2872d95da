// One Lua line per binding of flags, meshes, the targeting animation's timer, the gameplay timer,
// the user GUID and narrow text, each checked by what it returns or stores.
#include "effects/animation/AnimationClock.h"
#include "effects/animation/AnimationParams.h"
#include "effects/animation/ProceduralTargetingAnimation.h"
#include "engine/config/GameConfig.h"
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

#include <cstdio>
#include <functional>
#include <string>

namespace
{
class ScriptBindingCallsTest : public ScriptedSceneTest
{
protected:
    void SetUp() override
    {
        ScriptedSceneTest::SetUp();
        m_templates.push_back(std::make_unique<FlagTemplate>());
        m_a = MakeFlag("A", 0.0f, 0.0f);
        m_b = MakeFlag("B", 10.0f, 0.0f);
        m_c = MakeFlag("C", 0.0f, 10.0f);
        m_a->AddConnection(m_b);
        m_a->AddConnection(m_c);
        FlagEntityConnectionControlPoint bend;
        bend.m_position.Set(6.0f, 0.0f, 8.0f);
        m_a->GetConnection(1).m_controlPoints.Add(bend);
        m_a->UpdateConnectionLengths();

        MeshTemplateSpec spec;
        spec.bones = {"Hips"};
        spec.shaderPresets = {"Default", "Snow"};
        SimpleGUID guid;
        guid.bytes[0] = 0x5A;
        EntityTemplateStub* stub = RegisterStubAtPath("units/Statue", guid, nullptr);
        ASSERT_NE(stub, nullptr);
        stub->SetTemplate(MeshTemplateWriter::MakeTemplate(spec).release());
        Run("a = tolua.cast(gEntityManager:FindEntityByName('A'), 'FlagEntity') "
            "b = tolua.cast(gEntityManager:FindEntityByName('B'), 'FlagEntity') "
            "c = tolua.cast(gEntityManager:FindEntityByName('C'), 'FlagEntity') "
            "statue = tolua.cast(gEntityManager:CreateEntityInGame('units/Statue', nil, Matrix:new_local(), 0), "
            "'MeshEntity') statue:SetName('Statue')");
        m_statue = dynamic_cast<MeshEntity*>(gEntityManager.FindEntityByName("Statue"));
        ASSERT_NE(m_statue, nullptr);
    }
    void TearDown() override
    {
        MeshEntity::ReturnAllMeshesToDefaultShaderPreset();
        gEntityManager.NewScene();
        gTemplateManager.Clear();
        ScriptedSceneTest::TearDown();
    }
    FlagEntity* MakeFlag(const char* name, float x, float z)
    {
        Entity* entity = gEntityManager.CreateEntity(m_templates.back().get(), nullptr, Translation(x, 0.0f, z), 0, nullptr);
        entity->SetName(name);
        return dynamic_cast<FlagEntity*>(entity);
    }
    void Run(const std::string& chunk) { ASSERT_TRUE(gLua.LoadAndCall(chunk.c_str(), 0)) << chunk; }
    static std::string Global(const char* name)
    {
        lua_getglobal(gLua.GetState(), name);
        const char* text = lua_tostring(gLua.GetState(), -1);
        std::string value = text != nullptr ? text : "<nil>";
        lua_pop(gLua.GetState(), 1);
        return value;
    }
    // The text Lua makes of a number.
    static std::string LuaNumber(double value)
    {
        char text[32];
        std::snprintf(text, sizeof(text), "%.14g", value);
        return text;
    }

    FlagEntity* m_a = nullptr;
    FlagEntity* m_b = nullptr;
    FlagEntity* m_c = nullptr;
    MeshEntity* m_statue = nullptr;
};
} // namespace

TEST_F(ScriptBindingCallsTest, EachBindingReachesItsOperation)
{
    const Vector bend(6.0f, 0.0f, 8.0f, 1.0f);
    const std::string nearest = LuaNumber(m_a->GetPathPositionNearestToGlobalPoint(m_c, bend, nullptr));
    ASSERT_GT(m_a->GetPathPositionNearestToGlobalPoint(m_c, bend, nullptr), 0.0f);
    const BoundingBox4& collision = m_statue->GetLocalCollisionBoundingBox();
    const auto presets = [this] {
        return std::to_string(m_statue->GetShaderPresetIndex()) + " " + MeshEntity::GetGlobalShaderPreset().CStr();
    };
    const auto color = [this] {
        const HDRColor& c = m_statue->GetLocalColor();
        return std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + " " + std::to_string(c.a) +
               " " + LuaNumber(c.multiplier);
    };
    const auto timer = [] {
        lua_getglobal(gLua.GetState(), "aim");
        auto* aim = static_cast<ProceduralTargetingAnimation*>(tolua_tousertype(gLua.GetState(), -1, nullptr));
        lua_pop(gLua.GetState(), 1);
        if (aim == nullptr)
            return std::string("<none>");
        return std::to_string(&aim->GetClock() == FindGameTimerClock(gGame.GetGameplayTimer())) + " " +
               std::to_string(aim->GetParams().Flags & ANIMFLAG_TIME_MASK);
    };
    const auto userGuid = [] { return std::string(gGameConfig.GetUserGUID()->ToStringUnsafe()); };
    SimpleGUID known;
    known.FromString("00000000-0000-0000-0000-0000000000AB");
    gGameConfig.SetUserGUID(known);
    const struct
    {
        const char* chunk;
        std::string expected; // `result` after the chunk, or what `native` reads
        std::function<std::string()> native;
    } kRows[] = {
        {"result = tostring(a:HasNeighbour(b)) .. ' ' .. tostring(b:HasNeighbour(a))", "true false", nullptr},
        {"result = a:GetNeighbourDistance(b) .. ' ' .. a:GetNeighbourDistance(0) .. ' ' .. a:GetNeighbourDistance(7)",
         "10 10 0", nullptr},
        {"local m = Matrix:new_local() a:GetGlobalPositionOnPath(b, 4, m, false) "
         "local n = Matrix:new_local() a:GetGlobalPositionOnPath(0, 12, n, true, nil) "
         "local o = Matrix:new_local() a:GetGlobalPositionOnPath(9, 1, o, false) "
         "result = m:At(3, 0) .. ' ' .. n:At(3, 0) .. ' ' .. o:At(3, 0)",
         "4 2 0", nullptr},
        {"local p = Vector:new_local(6, 0, 8, 1) result = a:GetPathPositionNearestToGlobalPoint(c, p) .. ' ' .. "
         "a:GetPathPositionNearestToGlobalPoint(1, p, nil) .. ' ' .. a:GetPathPositionNearestToGlobalPoint(b, p)",
         nearest + " " + nearest + " 0", nullptr},
        {"statue:SetLocalColor(HDRColor:new_local(10, 20, 30, 40, 2))", "10 20 30 40 2", color},
        {"statue:SetFakeShadowStrength(0.25) statue:SetEntityOutlineState(3) result = 'ok'", "ok", nullptr},
        {"local box = statue:GetLocalCollisionBoundingBox() result = box.min.x .. ' ' .. box.max.y",
         LuaNumber(collision.min.x) + " " + LuaNumber(collision.max.y), nullptr},
        {"result = tostring(statue:HasShaderPreset('Snow')) .. ' ' .. tostring(statue:HasShaderPreset('snow'))",
         "true false", nullptr},
        {"statue:SetCustomTemporaryShaderPreset('SNOW') statue:TemporarySetShaderPreset('Default', true)", "1 ",
         presets},
        {"statue:SetCustomTemporaryShaderPreset('Rain') statue:TemporarySetShaderPreset('snow', true)", "1 ", presets},
        {"statue:TemporarySetShaderPreset('DEFAULT', false)", "0 ", presets},
        {"MeshEntity:TemporarySetShaderPresetForAllMeshes('Snow', false)", "1 Snow", presets},
        {"MeshEntity:ReturnAllMeshesToDefaultShaderPreset()", "0 ", presets},
        {"aim = statue:StartProceduralTargetingAnimation('root', ANIMFLAG_SMOOTHGAMETIME) "
         "aim:SetTimer(gGame:GetGameplayTimer())",
         "1 0", timer},
        {"result = gConfigHelper:GetUserGUID():ToStringUnsafe()", "00000000-0000-0000-0000-0000000000AB", nullptr},
        {"local g = SimpleGUID:new_local() g:FromString('00000000-0000-0000-0000-0000000000CD') "
         "gConfigHelper:SetUserGUID(g)",
         "00000000-0000-0000-0000-0000000000CD", userGuid},
        {"local u = LuaUnicodeString:new_local() u:AppendChar(0xE9) u:AppendChar(0x41) u:AppendChar(0x20AC) "
         "result = gConfigHelper:ToAsciiUnsafe(u)",
         "\xE9" "A\x80", nullptr},
    };
    for (const auto& row : kRows)
    {
        Run("result = nil");
        Run(row.chunk);
        EXPECT_EQ(row.native ? row.native() : Global("result"), row.expected) << row.chunk;
    }
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u);
}
