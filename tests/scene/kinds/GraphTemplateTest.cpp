#include "scene/kinds/GraphTemplate.h"

#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTexture.h"
#include "scene/kinds/GraphEntity.h"
#include "support/SceneTestSupport.h"

#include <cstring>
#include <string>
#include <vector>

namespace
{
using GraphTemplateTest = SceneTest;

TEST_F(GraphTemplateTest, PropertiesComeInOrderWithTheirDefaultsFlagsAndBlendNames)
{
    GraphTemplate graph;
    EXPECT_EQ(graph.GetTypeId(), 3u);
    EXPECT_STREQ(graph.GetTemplateClassName(), "GraphTemplate");
    EXPECT_STREQ(graph.GetEntityClassName(), "GraphEntity");
    EXPECT_STREQ(graph.GetNodeTemplate().CStr(), "Graph/GraphNode");
    EXPECT_FLOAT_EQ(graph.GetWidth(), 1.0f);
    EXPECT_TRUE(graph.GetTextureName().IsEmpty());
    EXPECT_EQ(graph.GetBlendMode(), 0u);
    EXPECT_FLOAT_EQ(graph.GetMappingSize(), 10.0f);
    EXPECT_FALSE(graph.CutsOffNastyEnds());
    const HDRColor& color = graph.GetWireframeColor();
    EXPECT_EQ(color.r, 58);
    EXPECT_EQ(color.g, 179);
    EXPECT_EQ(color.b, 214);
    EXPECT_EQ(color.a, 255);

    const Dynarray<RTTIProperty*>& own = GraphTemplate::StaticClassProperties()->GetProperties();
    std::vector<std::string> names;
    for (const RTTIProperty* property : own)
        names.push_back(property->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"Node template", "Width", "Texture", "Blend mode", "Mappnig size",
                                               "Cut off nasty ends"}));
    EXPECT_EQ(own[2]->GetFlags(), 0x800u);
    EXPECT_EQ(own[3]->GetFlags(), 0x80u);
    const char* const* blend = own[3]->GetEnumerationNames();
    ASSERT_NE(blend, nullptr);
    std::vector<std::string> blendNames;
    for (; *blend != nullptr; ++blend)
        blendNames.push_back(*blend);
    EXPECT_EQ(blendNames, (std::vector<std::string>{"None", "Alpha", "Add", "Add+Alpha", "Inv alpha", "Subtract",
                                                    "Modulate"}));
}

TEST_F(GraphTemplateTest, ValuesRoundTripAndAChangeRefetchesWithoutAResourceManager)
{
    GraphTemplate source;
    RTTIPropertiesBase* table = source.GetClassProperties();
    ASSERT_TRUE(table->FindPropertyInClassChain("Node template")->SetFromText(&source, "Roads/Node"));
    ASSERT_TRUE(table->FindPropertyInClassChain("Width")->SetFromText(&source, "2.5"));
    ASSERT_TRUE(table->FindPropertyInClassChain("Texture")->SetFromText(&source, "Roads/Dirt"));
    ASSERT_TRUE(table->FindPropertyInClassChain("Cut off nasty ends")->SetFromText(&source, "1"));
    source.OnPropertyChanged(table->FindPropertyInClassChain("Texture"));
    // No resource manager runs here: the texture stays empty and nothing breaks.
    EXPECT_EQ(source.GetTexture(), nullptr);
    EXPECT_FALSE(source.GetShaders(GraphTemplate::SHADER_STRIPS).IsValid());

    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    // Owned by the fixture: the entity made from it outlives this body.
    m_templates.push_back(std::make_unique<GraphTemplate>());
    GraphTemplate& copy = static_cast<GraphTemplate&>(*m_templates.back());
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_STREQ(copy.GetNodeTemplate().CStr(), "Roads/Node");
    EXPECT_FLOAT_EQ(copy.GetWidth(), 2.5f);
    EXPECT_STREQ(copy.GetTextureName().CStr(), "Roads/Dirt");
    EXPECT_TRUE(copy.CutsOffNastyEnds());

    Entity* entity = gEntityManager.CreateEntity(&copy, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_NE(dynamic_cast<GraphEntity*>(entity), nullptr);
    EXPECT_TRUE(entity->IsKindOf(GraphTemplate::kTypeId));
}

TEST_F(GraphTemplateTest, UnderAResourceManagerTheNamedTextureIsHeldUntilTheTemplatesEnd)
{
    ResourceManager manager;
    ASSERT_TRUE(manager.Init());
    auto graph = std::make_unique<GraphTemplate>();
    const RTTIProperty* texture = graph->GetClassProperties()->FindPropertyInClassChain("Texture");
    ASSERT_TRUE(texture->SetFromText(graph.get(), "Roads/none.dds"));
    graph->OnPropertyChanged(texture);
    graph->OnPropertyChanged(texture); // a refetch lets go of what the first fetch took
    Resource* const held = graph->GetTexture();
    Resource* const named = manager.GetResource(RESOURCE_TYPE_TEXTURE, "Roads/none.dds", 0, false, 0);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(held, named);
    manager.Flush(); // the queued load has let go of its reference
    graph.reset();
    EXPECT_EQ(named->GetReferenceCount(), 1) << "this lookup's alone";
    named->Release();
    manager.Close();
}
} // namespace
