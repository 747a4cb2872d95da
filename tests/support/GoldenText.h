// A text a test makes, against the copy stored in the source tree, line by line: the first line that
// differs fails the test, with the last line before it that does not start with a blank (the heading
// of its block). NORVEX_UPDATE_GOLDEN=1 rewrites the stored copy instead. Test thread only.
#pragma once

#include "support/ShaderSourceFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

// Floats as text in steps of 1/1024, each after a blank, -0 written as 0: the same on every build.
inline std::string QuantisedText(const float* values, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
    {
        const double step = std::nearbyint(double(values[i]) * 1024.0);
        text += " " + std::to_string(int64_t(step == 0.0 ? 0.0 : step));
    }
    return text;
}

// One float in steps of 1/1024 as a decimal of three places, -0 written as 0.
inline std::string QuantisedDecimal(float value)
{
    char text[32];
    const double step = std::round(double(value) * 1024.0) / 1024.0;
    std::snprintf(text, sizeof(text), "%.3f", step == 0.0 ? 0.0 : step);
    return text;
}

// `relative` is the stored copy's path from the root of the source tree.
inline void ExpectTextMatchesStoredCopy(const std::string& text, const std::string& relative)
{
    const std::string path = ProjectSourcePath(relative);
    if (std::getenv("NORVEX_UPDATE_GOLDEN"))
        std::ofstream(path, std::ios::binary) << text;
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    std::istringstream now(text);
    std::string expected, actual, heading;
    for (int line = 1; std::getline(in, expected); ++line)
    {
        if (expected.empty() || expected[0] != ' ')
            heading = expected;
        ASSERT_TRUE(std::getline(now, actual)) << "line " << line << " is missing: " << expected;
        ASSERT_EQ(actual, expected) << "line " << line << " under " << heading;
    }
    EXPECT_FALSE(std::getline(now, actual)) << "more than stored: " << actual;
}
