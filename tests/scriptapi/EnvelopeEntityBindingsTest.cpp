// Scripts advance envelope entities and read their values.
#include "scene/kinds/ColorEnvelopeTemplate.h"
#include "scene/kinds/VectorEnvelopeTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/ScriptedSceneTest.h"
#include "support/TemplateTestSupport.h"

#include <lua.hpp>

#include <string>

namespace
{
class EnvelopeEntityBindingsTest : public ScriptedSceneTest
{
protected:
    void SetUp() override
    {
        ScriptedSceneTest::SetUp();
        m_vectors = new VectorEnvelopeTemplate;
        m_vectors->GetEnvelope().SetInterpolation(Envelope::INTERPOLATION_LINEAR);
        m_vectors->GetEnvelope().AddKey(Vector(0.0f, 0.0f, 0.0f, 0.0f), 0.0f, -1);
        m_vectors->GetEnvelope().AddKey(Vector(2.0f, 4.0f, 6.0f, 8.0f), 2.0f, -1);
        Register("fx/Curve", 1, m_vectors);
        m_colors = new ColorEnvelopeTemplate;
        m_colors->GetEnvelope().SetConstantValue(HDRColor(255, 255, 255, 255, 2.0f));
        Register("fx/Glow", 2, m_colors);
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gTemplateManager.Clear();
        ScriptedSceneTest::TearDown();
    }
    void Register(const char* path, uint8_t id, EntityTemplate* entityTemplate)
    {
        SimpleGUID guid;
        guid.bytes[0] = 0x5E;
        guid.bytes[15] = id;
        EntityTemplateStub* stub = RegisterStubAtPath(path, guid, nullptr);
        ASSERT_NE(stub, nullptr);
        stub->SetTemplate(entityTemplate);
    }
    std::string Run(const std::string& chunk)
    {
        EXPECT_TRUE(gLua.LoadAndCall(chunk.c_str(), 0)) << chunk;
        lua_getglobal(gLua.GetState(), "result");
        const char* text = lua_tostring(gLua.GetState(), -1);
        std::string result = text != nullptr ? text : "<nil>";
        lua_pop(gLua.GetState(), 1);
        return result;
    }
    VectorEnvelopeTemplate* m_vectors = nullptr;
    ColorEnvelopeTemplate* m_colors = nullptr;
};

TEST_F(EnvelopeEntityBindingsTest, ScriptsAdvanceResetAndReadEnvelopeEntities)
{
    HDRColor::SetLinearLighting(false);
    // The manager hands out entities as Entity; scripts cast them to their kind.
    EXPECT_EQ(Run("curve = tolua.cast(gEntityManager:CreateEntityInGame('fx/Curve', nil, Matrix:new_local(), 0), "
                  "'VectorEnvelopeEntity') "
                  "local ended = curve:Advance(0.5) "
                  "result = tostring(ended) .. ' ' .. curve:GetValue().y"),
              "false 1");
    EXPECT_EQ(Run("local ended = curve:Advance(5) result = tostring(ended) .. ' ' .. curve:GetValue().w"), "true 8");
    EXPECT_EQ(Run("curve:Reset() result = curve:GetValue().x"), "0");
    EXPECT_EQ(Run("local glow = tolua.cast(gEntityManager:CreateEntityInGame('fx/Glow', nil, Matrix:new_local(), 0), "
                  "'ColorEnvelopeEntity') "
                  "result = glow:GetLinearColor().x .. ' ' .. tostring(glow:Advance(1))"),
              "2 true");
    HDRColor::SetLinearLighting(true);
}
} // namespace
