// ctest-labels: thread
#include "scene/kinds/SFXTemplate.h"

#include "effects/SFXContext.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/SFXEntity.h"
#include "scene/templates/TemplateBodyReader.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/SceneTestSupport.h"
#include "tools/datakit/SceneWriter.h"

namespace
{
std::vector<uint8_t> RecordOf(SFXTemplate& source, uint32_t flags = 0)
{
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, flags));
    EXPECT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), flags), bytes.size());
    return bytes;
}

SFXElementDefinition* Element(bool enabled)
{
    SFXElementDefinition* element = new SFXElementDefinition;
    element->SetEnabled(enabled);
    return element;
}

// An element kind that counts what its definition asks of it.
class CountingElement : public SFXElementDefinition
{
public:
    void ReleaseResources(uint32_t flag) override { released += 1 + flag; }
    void PreloadResources() override { ++requested; }
    void SetResourceFlags(uint32_t flags) override { resourceFlags |= flags; }
    uint32_t released = 0;
    uint32_t requested = 0;
    uint32_t resourceFlags = 0;
};

using SFXTemplateTest = SceneTest;

TEST_F(SFXTemplateTest, ANewTemplateUsesTheColourMultiplierWithoutDelay)
{
    m_templates.push_back(std::make_unique<SFXTemplate>());
    SFXTemplate& source = static_cast<SFXTemplate&>(*m_templates.back());
    EXPECT_TRUE(source.UsesSFXColorMultiplier());
    EXPECT_FLOAT_EQ(source.GetActivationDelay(), 0.0f);
    EXPECT_EQ(source.GetActivityTimer(), 0);
    EXPECT_EQ(source.GetTypeId(), 7u);
    EXPECT_TRUE(source.GetDefinition().GetElements().IsEmpty());
    EXPECT_TRUE(source.GetDefinition().GetScaleForAllElements().Equal(Vector(1.0f, 1.0f, 1.0f, 1.0f)));
    EXPECT_FLOAT_EQ(source.GetDefinition().GetDeleteTimeout(), 1.0f);
    const HDRColor& wire = source.GetWireframeColor();
    EXPECT_EQ(wire.r, 255);
    EXPECT_EQ(wire.g, 0);
    EXPECT_EQ(wire.b, 255);
    const RTTIProperty* timer = source.GetClassProperties()->FindProperty("Activity timer");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->GetFlags(), uint32_t(RTTI_PROPERTY_ENUMERATION));
    EXPECT_STREQ(timer->GetEnumerationNames()[2], "Game");
    Entity* entity = gEntityManager.CreateEntity(&source, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_NE(dynamic_cast<SFXEntity*>(entity), nullptr);
    // Without a renderer there is no effect to preview.
    EXPECT_EQ(source.CreatePreviewInstance(), nullptr);
}

TEST_F(SFXTemplateTest, TheRecordReadBackYieldsTheSameDefinition)
{
    SFXTemplate source;
    ASSERT_TRUE(source.GetClassProperties()->FindProperty("Activation at start delay")->SetFromText(&source, "2.5"));
    source.GetDefinition().SetScaleForAllElements(Vector(3.0f, 2.0f, 1.0f, 1.0f));
    source.GetDefinition().SetDeleteTimeout(4.0f);
    source.GetDefinition().AddElement(Element(false));
    source.GetDefinition().AddElement(nullptr);
    const std::vector<uint8_t> bytes = RecordOf(source);
    // The definition's record follows the template's own.
    std::vector<uint8_t> own(source.EntityTemplate::SerializeToMemory(nullptr, 0, 0));
    ASSERT_LT(own.size(), bytes.size());
    std::vector<uint8_t> definition(source.GetDefinition().SerializeToMemory(nullptr, 0, 0));
    EXPECT_EQ(own.size() + definition.size(), bytes.size());
    std::vector<uint8_t> cramped(bytes.size() - 1);
    EXPECT_EQ(source.SerializeToMemory(cramped.data(), cramped.size(), 0), 0u) << "a definition that does not fit";

    SFXTemplate copy;
    size_t consumed = 0;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0, &consumed));
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_FLOAT_EQ(copy.GetActivationDelay(), 2.5f);
    EXPECT_FLOAT_EQ(copy.GetDefinition().GetScaleForAllElements().y, 2.0f);
    EXPECT_FLOAT_EQ(copy.GetDefinition().GetDeleteTimeout(), 4.0f);
    ASSERT_EQ(copy.GetDefinition().GetElements().Count(), 2);
    EXPECT_NE(copy.GetDefinition().GetElements()[0], nullptr);
    EXPECT_EQ(copy.GetDefinition().GetElements()[1], nullptr);
    EXPECT_TRUE(SFXDefinition::StaticClassProperties()->AreObjectsEqual(&source.GetDefinition(), &copy.GetDefinition()));
    EXPECT_EQ(RecordOf(copy), bytes);

    // Cut inside the definition: refused, and neither part of the template is touched.
    SFXTemplate untouched;
    EXPECT_FALSE(untouched.DeserializeFromMemory(bytes.data(), bytes.size() - 1, 0));
    EXPECT_FLOAT_EQ(untouched.GetActivationDelay(), 0.0f);
    EXPECT_FLOAT_EQ(untouched.GetDefinition().GetScaleForAllElements().x, 1.0f);
    EXPECT_FALSE(untouched.DeserializeFromMemory(bytes.data(), own.size(), 0));
    EXPECT_FLOAT_EQ(untouched.GetActivationDelay(), 0.0f);

    // A template body written by datakit carries the definition too.
    const std::vector<uint8_t> body = SceneWriter::BuildTemplateBody(source, SimpleGUID(), SFXTemplate::kTypeId);
    SFXTemplate loaded;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(loaded, body.data(), body.size()));
    EXPECT_FLOAT_EQ(loaded.GetDefinition().GetDeleteTimeout(), 4.0f);
}

TEST_F(SFXTemplateTest, ResourceCallsReachTheElements)
{
    SFXTemplate source;
    source.GetDefinition().AddElement(new CountingElement);
    source.GetDefinition().AddElement(Element(false));
    source.GetDefinition().AddElement(new CountingElement);
    source.SetResourceFlags(0x40);
    EXPECT_EQ(source.GetResourceFlags() & 0x40u, 0x40u);
    for (int32_t i : {0, 2})
        EXPECT_EQ(static_cast<CountingElement*>(source.GetDefinition().GetElements()[i])->resourceFlags, 0x40u);
    SFXElementDefinition* first = source.GetDefinition().GetElements()[0];
    SFXElementDefinition* third = source.GetDefinition().GetElements()[2];
    source.DeleteUnflaggedResources();
    ASSERT_EQ(source.GetDefinition().GetElements().Count(), 2);
    EXPECT_EQ(source.GetDefinition().GetElements()[0], first);
    EXPECT_EQ(source.GetDefinition().GetElements()[1], third);

    // Dependencies request every element's resources; an unload releases them with flag 0.
    SFXTemplate counted;
    CountingElement* a = new CountingElement;
    CountingElement* b = new CountingElement;
    counted.GetDefinition().AddElement(a);
    counted.GetDefinition().AddElement(nullptr);
    counted.GetDefinition().AddElement(b);
    counted.PrepareDependencies();
    EXPECT_EQ(a->requested, 1u);
    EXPECT_EQ(b->requested, 1u);
    EXPECT_EQ(a->released, 0u);
    counted.OnUnload();
    EXPECT_EQ(a->released, 1u);
    EXPECT_EQ(b->released, 1u);
    // Safe pointers to the definition are cleared with the template's.
    SafePointer<SFXDefinition> watched(&counted.GetDefinition());
    counted.InvalidateSafePointers();
    EXPECT_FALSE(watched);
}

class SFXTemplatePreviewTest : public RendererTestBase
{
};

TEST_F(SFXTemplatePreviewTest, APreviewIsARestartedEffectDrawnAndDestroyedOnTheRenderThread)
{
    SFXTemplate source;
    source.GetDefinition().AddElement(Element(true));
    source.GetDefinition().AddElement(Element(true));
    EntityTemplatePreview* instance = source.CreatePreviewInstance();
    auto* context = dynamic_cast<SFXContext*>(instance);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->GetEffectTemplate(), &source);
    EXPECT_EQ(context->GetDefinition(), &source.GetDefinition());
    EXPECT_EQ(source.GetDefinition().GetFirstContext(), context);
    EXPECT_EQ(context->GetRenderingFlags(), SFXContext::kFlagNoGrid);
    Matrix placed = Matrix::ONE;
    placed.rows[3].Set(4.0f, 5.0f, 6.0f, 1.0f);
    EXPECT_FALSE(source.DrawPreview(placed, HDRColor(), instance));
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        EXPECT_EQ(context->GetElementContextCount(), 2);
        EXPECT_TRUE(context->IsActive());
        EXPECT_TRUE(context->IsRegistered());
        EXPECT_FLOAT_EQ(context->GetWorld().rows[3].y, 5.0f);
        EXPECT_FLOAT_EQ(context->GetGlobal().rows[3].y, 5.0f);
        EXPECT_TRUE(context->GetLocalBounds() == kTemplatePreviewBounds);
    });
    source.DestroyPreviewInstance(instance);
    EXPECT_EQ(source.GetDefinition().GetFirstContext(), nullptr);
    m_renderer.SubmitCommands(true);
}
} // namespace
