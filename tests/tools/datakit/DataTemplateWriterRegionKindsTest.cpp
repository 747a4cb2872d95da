// Trigger, light and scene parameters templates written by datakit read back with their values.
#include "core/reflection/RTTIClassRegistry.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityConstants.h"
#include "scene/kinds/LightTemplate.h"
#include "scene/kinds/SceneParametersTemplate.h"
#include "scene/kinds/TriggerTemplate.h"
#include "scene/templates/TemplateBodyReader.h"
#include "support/TempFolder.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace
{
std::vector<uint8_t> Write(const std::vector<std::string>& options, const char* className)
{
    RegisterSceneClasses();
    TempFolder folder;
    std::vector<std::string> arguments = {"data-template", folder / "k.BinaryTemplate",
                                          "00000000-0000-0000-0000-00000000002b", className};
    arguments.insert(arguments.end(), options.begin(), options.end());
    EXPECT_EQ(RunDatakit(arguments), 0);
    std::ifstream in(folder / "k.BinaryTemplate", std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
} // namespace

TEST(DataTemplateWriterRegionKindsTest, TriggerLightAndSceneParameterTemplatesRoundTrip)
{
    std::vector<uint8_t> body = Write({"--set", "Trigger mode = 3", "--set", "Scale = 2 1 1 1"}, "TriggerTemplate");
    ASSERT_GE(body.size(), 20u);
    EXPECT_EQ(body[16], ENTITY_TRIGGER);
    TriggerTemplate trigger;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(trigger, body.data(), body.size()));
    EXPECT_EQ(trigger.GetMode(), 3u);
    EXPECT_FLOAT_EQ(trigger.GetScale().x, 2.0f);

    body = Write({"--set", "Light type = 1"}, "LightTemplate");
    ASSERT_GE(body.size(), 20u);
    EXPECT_EQ(body[16], ENTITY_LIGHT);
    LightTemplate light;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(light, body.data(), body.size()));
    EXPECT_EQ(light.GetLightType(), 1u);

    body = Write({"--set", "Attack time = 3"}, "SceneParametersTemplate");
    ASSERT_GE(body.size(), 20u);
    EXPECT_EQ(body[16], ENTITY_SCENEPARAMBOX);
    SceneParametersTemplate parameters;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(parameters, body.data(), body.size()));
    EXPECT_FLOAT_EQ(parameters.GetAttackTime(), 3.0f);
    EXPECT_EQ(parameters.GetToneMappingCurve().GetKeyCount(), 3);
    EXPECT_NE(parameters.GetWrapper(), nullptr);
}
