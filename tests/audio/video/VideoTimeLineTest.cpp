// The continuous time line of looping videos: a new pass continues after the last one.
#include "audio/video/VideoTimeLine.h"

#include <gtest/gtest.h>

namespace
{
TEST(VideoTimeLineTest, TimesOfANewPassContinueAfterTheLargestTimeSeen)
{
    VideoTimeLine line;
    EXPECT_FLOAT_EQ(line.Place(0.1f, 0.0f), 0.1f);
    EXPECT_FLOAT_EQ(line.Place(0.5f, 0.0f), 0.5f);
    // The file started over.
    EXPECT_FLOAT_EQ(line.Place(0.1f, 0.0f), 0.6f);
    EXPECT_FLOAT_EQ(line.Place(0.5f, 0.0f), 1.0f);
    EXPECT_FLOAT_EQ(line.Place(0.1f, 0.0f), 1.1f);
    EXPECT_FLOAT_EQ(line.GetOffset(), 1.0f);
}

TEST(VideoTimeLineTest, SlackToleratesSmallStepsBack)
{
    VideoTimeLine line;
    line.Place(1.0f, 0.001f);
    EXPECT_FLOAT_EQ(line.Place(0.9995f, 0.001f), 0.9995f);
    EXPECT_FLOAT_EQ(line.GetOffset(), 0.0f);
    EXPECT_FLOAT_EQ(line.Place(0.2f, 0.001f), 1.2f);
}
} // namespace
