// The blob shadow settings' names: a template's text reaches the field the shadow quads read.
#include "renderer/MeshFakeShadowDefinition.h"

#include "core/reflection/RTTIPropertiesBase.h"

#include <gtest/gtest.h>

#include <utility>

TEST(MeshFakeShadowDefinitionTest, EachNameWritesItsOwnField)
{
    MeshFakeShadowDefinition d;
    // Values no default holds and no two fields share, so a name bound to another field shows.
    const std::pair<const char*, const char*> rows[] = {
        {"Body mapping", "1 2 3 4"},          {"Body scale offset", "5 6 7 8"},
        {"Body pivot Y", "9"},                {"Body max shadow offset", "10"},
        {"HeadA mapping", "11 12 13 14"},     {"HeadB mapping", "15 16 17 18"},
        {"HeadA scale offset", "19 20 21 22"}, {"HeadB scale offset", "23 24 25 26"},
        {"HeadA max shadow offset", "27"},    {"HeadB max shadow offset", "28"},
        {"Enabled", "1"}};
    for (const auto& [name, text] : rows)
    {
        const RTTIProperty* property = d.GetClassProperties()->FindProperty(name);
        ASSERT_NE(property, nullptr) << name;
        EXPECT_TRUE(property->SetFromText(&d, text)) << name;
    }
    EXPECT_TRUE(d.m_bodyMapping.Equal(Vector(1, 2, 3, 4)));
    EXPECT_TRUE(d.m_bodyScaleOffset.Equal(Vector(5, 6, 7, 8)));
    EXPECT_TRUE(d.m_headAMapping.Equal(Vector(11, 12, 13, 14)));
    EXPECT_TRUE(d.m_headBMapping.Equal(Vector(15, 16, 17, 18)));
    EXPECT_TRUE(d.m_headAScaleOffset.Equal(Vector(19, 20, 21, 22)));
    EXPECT_TRUE(d.m_headBScaleOffset.Equal(Vector(23, 24, 25, 26)));
    EXPECT_EQ(std::make_pair(d.m_bodyPivotY, d.m_bodyMaxShadowOffset), std::make_pair(9.0f, 10.0f));
    EXPECT_EQ(std::make_pair(d.m_headAMaxShadowOffset, d.m_headBMaxShadowOffset), std::make_pair(27.0f, 28.0f));
    EXPECT_TRUE(d.m_enabled);
}
