// The video package from scripts: gVideoEngine with its script defaults.
#include "audio/video/VideoEngine.h"
#include "engine/scripting/ScriptTestSupport.h"

#include <gtest/gtest.h>

namespace
{
class VideoPackageTest : public ScriptTest
{
protected:
    VideoEngine m_video; // made before the script globals are registered, as engine start-up does
};

TEST_F(VideoPackageTest, VideoEngineIsAScriptGlobal)
{
    Run("playing = tostring(gVideoEngine:IsPlaying())\n"
        "played = tostring(gVideoEngine:Play('intro'))\n");
    EXPECT_EQ(GlobalString("playing"), "false");
    EXPECT_EQ(GlobalString("played"), "false") << "no renderer runs in this test";
    EXPECT_TRUE(m_log.Contains("Video operation 0 without a renderer", CONSOLE_ERROR));
}
} // namespace
