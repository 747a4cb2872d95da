// The scene environment's creation and release as the game thread posts them: created once, released
// only after a creation, and created again after a release (a second engine start).
#include "renderer/SceneEnvironment.h"

#include "renderer/RenderCommands.h"
#include "support/RenderStreamCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class SceneEnvironmentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_capture.SetCallSizes([](uintptr_t function, uint32_t sub, uint32_t& bytes) {
            return function == reinterpret_cast<uintptr_t>(&SceneEnvironment::Execute) &&
                   SceneEnvironment::GetArgumentBytes(sub, bytes);
        });
    }

    // The sub-commands posted since the last call.
    std::vector<uint32_t> Posted()
    {
        m_capture.Take();
        std::vector<uint32_t> subs;
        while (m_capture.SkipTo(RENDER_OP_CALL))
        {
            EXPECT_EQ(m_capture.Read<uintptr_t>(), reinterpret_cast<uintptr_t>(&SceneEnvironment::Execute));
            subs.push_back(m_capture.Read<uint32_t>());
        }
        return subs;
    }

    RenderStreamCapture m_capture;
    SceneEnvironment m_environment;
};
} // namespace

TEST_F(SceneEnvironmentTest, CreatesOnceAndReleasesOnlyWhatItCreated)
{
    m_environment.Close();
    EXPECT_TRUE(Posted().empty()) << "nothing to release before a creation";

    m_environment.Create();
    m_environment.Create();
    EXPECT_EQ(Posted(), std::vector<uint32_t>{SceneEnvironment::SUB_CREATE});
    EXPECT_TRUE(m_environment.IsPosted());

    m_environment.Close();
    m_environment.Close();
    EXPECT_EQ(Posted(), std::vector<uint32_t>{SceneEnvironment::SUB_RELEASE});
    EXPECT_FALSE(m_environment.IsPosted());

    m_environment.Create();
    EXPECT_EQ(Posted(), std::vector<uint32_t>{SceneEnvironment::SUB_CREATE});
    m_environment.Close();
    EXPECT_EQ(Posted(), std::vector<uint32_t>{SceneEnvironment::SUB_RELEASE});
}

// Without a renderer nothing can be posted, so nothing counts as created.
TEST(SceneEnvironmentWithoutRendererTest, ACreationWithoutARendererIsNotKept)
{
    SceneEnvironment environment;
    environment.Create();
    EXPECT_FALSE(environment.IsPosted());
}
