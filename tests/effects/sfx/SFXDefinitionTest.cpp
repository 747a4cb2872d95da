#include "effects/sfx/SFXDefinition.h"

#include "effects/SFXContext.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

namespace
{
// A kind that records how it was resolved and adds its own pass bits and bytes.
class RecordingElement : public SFXElementDefinition
{
    RTTI_DECLARE_CLASS(RecordingElement, SFXElementDefinition)

public:
    void ResolveResources(bool load) override
    {
        SFXElementDefinition::ResolveResources(load);
        loads.push_back(load);
        m_passBits = passBits;
        m_depthPass = depthPass;
        m_flag32 = flag32;
    }
    std::vector<bool> loads;
    uint32_t passBits = 2;
    uint8_t depthPass = 0;
    uint8_t flag32 = 0;
};
} // namespace

RTTI_DEFINE_CLASS(RecordingElement, SFXElementDefinition)

void RecordingElement::BuildClassProperties(RTTIPropertiesBase&) {}

namespace
{
std::string Text(const RTTIPolyBaseClass& object, const RTTIProperty& property)
{
    char buffer[256] = {};
    property.ToText(&object, buffer, sizeof(buffer));
    return buffer;
}

std::vector<uint8_t> RecordOf(RTTIPolyBaseClass& object)
{
    std::vector<uint8_t> bytes(object.SerializeToMemory(nullptr, 0, 0));
    EXPECT_EQ(object.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    return bytes;
}

TEST(SFXElementDefinitionTest, TheBaseTableAndItsEnvelopeDefaults)
{
    struct Row
    {
        const char* name;
        uint32_t type;
        uint32_t flags;
    } const rows[] = {
        {"Position", 3, 0},
        {"Rotation", 3, 0},
        {"Scale", 3, 0},
        {"Pivot", 15, 0x4042},
        {"Pivot ", 3, 0},
        {"Color", 3, 0},
        {"Face camera mode", 11, 0x80},
        {"Face camera offset", 9, 0},
        {"Description", 13, 0},
        {"Scale with parent", 20, 0},
        {"Visible in combat view", 20, 0},
        {"Visible in tactical view", 20, 0},
        {"Visible in tactical extended", 25, 0x80},
        {"Enabled", 20, 0},
        {"Expands bounding box", 20, 0},
        {"Use FSE SFX color mult", 20, 0},
    };
    const SFXElementDefinition element;
    const RTTIPropertiesBase* table = element.GetClassProperties();
    ASSERT_EQ(table->GetProperties().Count(), int32_t(std::size(rows)));
    for (int32_t i = 0; i < table->GetProperties().Count(); ++i)
    {
        const RTTIProperty& property = *table->GetProperties()[i];
        EXPECT_EQ(property.GetName(), rows[i].name) << i;
        EXPECT_EQ(property.GetType(), rows[i].type) << rows[i].name;
        EXPECT_EQ(property.GetFlags(), rows[i].flags) << rows[i].name;
    }
    EXPECT_STREQ(table->FindProperty("Face camera mode")->GetEnumerationNames()[8], "World-ground");
    EXPECT_STREQ(table->FindProperty("Visible in tactical extended")->GetEnumerationNames()[0], "Same as VR");
    EXPECT_EQ(Text(element, *table->FindProperty("Visible in tactical extended")), "2");
    EXPECT_EQ(element.GetPassBits(), 17u);
    EXPECT_EQ(element.GetViewMask(), 0xFFFFFFFFu);

    struct EnvelopeDefault
    {
        const TEnvelope<Vector>& envelope;
        uint8_t combine;
        Vector constant;
    } const envelopes[] = {
        {element.GetPosition(), Envelope::COMBINE_ADD, Vector(0, 0, 0, 1)},
        {element.GetRotation(), Envelope::COMBINE_ADD, Vector(0, 0, 0, 0)},
        {element.GetScale(), Envelope::COMBINE_MULTIPLY, Vector(1, 1, 1, 0)},
        {element.GetPivot(), Envelope::COMBINE_ADD, Vector(0, 0, 0, 0)},
    };
    for (const auto& e : envelopes)
    {
        Vector constant;
        e.envelope.GetConstantValue(constant);
        EXPECT_EQ(e.envelope.GetCombineMode(), e.combine);
        EXPECT_TRUE(constant.Equal(e.constant));
    }
    HDRColor white;
    element.GetColor().GetConstantValue(white);
    EXPECT_EQ(element.GetColor().GetCombineMode(), Envelope::COMBINE_MULTIPLY);
    EXPECT_EQ(white.r + white.g + white.b + white.a, 4 * 255);
    EXPECT_FLOAT_EQ(white.multiplier, 1.0f);
}

TEST(SFXElementDefinitionTest, ResolvingBindsTheBaseEnvelopesAndBuildsTheViewMask)
{
    SFXElementDefinition element;
    element.ResolveResources(false);
    const Dynarray<SFXEnvelopeBinding>& bindings = element.GetEnvelopeBindings();
    ASSERT_EQ(bindings.Count(), 5);
    const Envelope* envelopes[] = {&element.GetPosition(), &element.GetRotation(), &element.GetScale(),
                                     &element.GetColor(), &element.GetPivot()};
    const uint32_t states[] = {0, 1, 2, 4, 3};
    for (int32_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ(bindings[i].envelope, envelopes[i]) << i;
        EXPECT_EQ(bindings[i].state, states[i]) << i;
    }
    element.ResolveResources(true);
    EXPECT_EQ(element.GetEnvelopeBindings().Count(), 5) << "resolving again starts the table afresh";

    struct Case
    {
        const char* combat;
        const char* tactical;
        const char* extended;
        uint32_t mask;
    } const cases[] = {
        {"1", "1", "2", 3}, {"1", "0", "2", 1}, {"0", "1", "1", 6}, {"0", "0", "1", 4},
        {"1", "1", "0", 7}, {"1", "0", "0", 1}, {"0", "0", "0", 0},
    };
    const RTTIPropertiesBase* table = element.GetClassProperties();
    for (const Case& c : cases)
    {
        ASSERT_TRUE(table->FindProperty("Visible in combat view")->SetFromText(&element, c.combat));
        ASSERT_TRUE(table->FindProperty("Visible in tactical view")->SetFromText(&element, c.tactical));
        ASSERT_TRUE(table->FindProperty("Visible in tactical extended")->SetFromText(&element, c.extended));
        element.ResolveResources(false);
        EXPECT_EQ(element.GetViewMask(), c.mask) << c.combat << c.tactical << c.extended;
    }
}

TEST(SFXElementDefinitionTest, ALegacyPivotMovesIntoADisabledZeroPivotEnvelope)
{
    struct Case
    {
        Vector legacy;
        bool pivotEnabled;
        Vector pivotConstant;
        Vector expectedConstant;
        Vector expectedLegacy;
    } const cases[] = {
        // Moved, and the legacy value cleared.
        {Vector(1, 2, 3, 0), false, Vector(0, 0, 0, 0), Vector(1, 2, 3, 0), Vector(0, 0, 0, 0)},
        // Only the w component set still counts as a pivot.
        {Vector(0, 0, 0, 5), false, Vector(0, 0, 0, 0), Vector(0, 0, 0, 5), Vector(0, 0, 0, 0)},
        // An envelope in use keeps its value; the legacy value is dropped all the same.
        {Vector(1, 2, 3, 0), true, Vector(0, 0, 0, 0), Vector(0, 0, 0, 0), Vector(0, 0, 0, 0)},
        {Vector(1, 2, 3, 0), false, Vector(0, 7, 0, 0), Vector(0, 7, 0, 0), Vector(0, 0, 0, 0)},
        // Nothing to migrate.
        {Vector(0, 0, 0, 0), false, Vector(0, 9, 0, 0), Vector(0, 9, 0, 0), Vector(0, 0, 0, 0)},
    };
    for (const Case& c : cases)
    {
        SFXElementDefinition element;
        element.SetLegacyPivot(c.legacy);
        element.GetPivot().SetEnabled(c.pivotEnabled);
        element.GetPivot().SetConstantValue(c.pivotConstant);
        element.OnPostLoad(0);
        Vector constant;
        element.GetPivot().GetConstantValue(constant);
        EXPECT_TRUE(constant.Equal(c.expectedConstant)) << c.legacy.x << " " << c.legacy.w << " " << c.pivotEnabled;
        EXPECT_TRUE(element.GetLegacyPivot().Equal(c.expectedLegacy));
    }
    // The legacy pivot is left out of records.
    SFXElementDefinition stored;
    stored.SetLegacyPivot(Vector(1, 1, 1, 1));
    SFXElementDefinition plain;
    EXPECT_EQ(RecordOf(stored), RecordOf(plain));
}

class SFXDefinitionTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        SFXDefinition::RegisterRTTIClass();
        SFXElementDefinition::RegisterRTTIClass();
        RecordingElement::RegisterRTTIClass();
    }
    void TearDown() override
    {
        for (SFXContext* context : m_contexts)
            context->Destroy();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }
    SFXContext& Play(SFXDefinition& definition)
    {
        SFXContext* context = new SFXContext(m_renderer, nullptr, 0, false);
        context->Init(definition, Matrix::ONE, false, 0);
        m_contexts.push_back(context);
        return *context;
    }
    std::vector<SFXContext*> m_contexts;
};

TEST_F(SFXDefinitionTest, TheRecordHoldsElementsTimeoutAndScaleInThatOrder)
{
    SFXDefinition empty;
    const RTTIPropertiesBase* table = empty.GetClassProperties();
    ASSERT_EQ(table->GetProperties().Count(), 3);
    EXPECT_EQ(table->GetProperties()[0]->GetType(), 8u);
    EXPECT_EQ(table->GetProperties()[2]->GetFlags(), 0x40u);
    std::vector<uint8_t> expected;
    auto u32 = [&expected](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            expected.push_back(uint8_t(v >> (8 * i)));
    };
    auto f32 = [&u32](float f) { u32(std::bit_cast<uint32_t>(f)); };
    u32(0), f32(1.0f), f32(1.0f), f32(1.0f), f32(1.0f), f32(1.0f); // no elements, 1 s, (1, 1, 1, 1)
    EXPECT_EQ(RecordOf(empty), expected);
    empty.ResolveElements(true);
    EXPECT_EQ(empty.GetPassBits(), 0u);

    // Read back, the elements belong to the definition and are resolved with loading, unless the
    // flags contain 4.
    SFXDefinition source;
    source.AddElement(new RecordingElement);
    source.AddElement(nullptr);
    source.GetElements()[0]->SetDescription("Spark");
    const std::vector<uint8_t> bytes = RecordOf(source);
    for (const uint32_t flags : {0u, 4u})
    {
        SFXDefinition read;
        ASSERT_TRUE(read.DeserializeFromMemory(bytes.data(), bytes.size(), flags));
        ASSERT_EQ(read.GetElements().Count(), 2);
        auto* element = dynamic_cast<RecordingElement*>(read.GetElements()[0]);
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(element->GetDescription(), "Spark");
        EXPECT_EQ(element->GetOwner(), &read);
        EXPECT_EQ(element->loads, std::vector<bool>{flags == 0});
        EXPECT_EQ(element->GetEnvelopeBindings().Count(), 5);
        EXPECT_EQ(read.GetPassBits(), 2u);
        EXPECT_EQ(read.GetElements()[1], nullptr);
        // Clearing the definition's watchers clears those of its elements too.
        SafePointer<SFXElementDefinition> watcher(element);
        read.InvalidateSafePointers();
        EXPECT_FALSE(watcher);
    }
}

TEST_F(SFXDefinitionTest, ResolvingAggregatesTheElementsPassBitsAndBytes)
{
    SFXDefinition definition;
    auto* depth = new RecordingElement;
    depth->passBits = 4;
    depth->depthPass = 1;
    auto* channel = new RecordingElement;
    channel->passBits = 32;
    channel->flag32 = 1;
    definition.AddElement(depth);
    definition.AddElement(new SFXElementDefinition);
    definition.AddElement(channel);
    definition.ResolveElements(false);
    EXPECT_EQ(definition.GetPassBits(), 4u | 17u | 32u);
    EXPECT_EQ(definition.GetDepthPassByte(), 1);
    EXPECT_EQ(definition.GetFlag32Byte(), 1);
    depth->depthPass = 0;
    channel->passBits = 8;
    channel->flag32 = 0;
    definition.ResolveElements(false);
    EXPECT_EQ(definition.GetPassBits(), 4u | 17u | 8u);
    EXPECT_EQ(definition.GetDepthPassByte(), 0);
    EXPECT_EQ(definition.GetFlag32Byte(), 0);
}

TEST_F(SFXDefinitionTest, EditsAndDeletionsReinitialiseEveryPlayingContext)
{
    SFXDefinition definition;
    auto* a = new RecordingElement;
    auto* b = new RecordingElement;
    auto* c = new RecordingElement;
    for (RecordingElement* element : {a, b, c})
    {
        element->SetOwner(&definition);
        definition.AddElement(element);
    }
    SFXContext& first = Play(definition);
    SFXContext& second = Play(definition);
    EXPECT_EQ(definition.GetFirstContext(), &first);
    EXPECT_EQ(first.GetNextOfDefinition(), &second);

    // An element's own edit: it resolves again and every context restarts (taking up an element
    // added meanwhile), but the definition's aggregate stays.
    auto* added = new RecordingElement;
    definition.AddElement(added);
    b->passBits = 64;
    b->OnPropertyChanged(nullptr);
    EXPECT_EQ(b->loads, std::vector<bool>{true});
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(first.GetElementContextCount(), 4);
    EXPECT_EQ(second.GetElementContextCount(), 4);
    EXPECT_EQ(definition.GetPassBits(), 0u);
    // The definition's edit resolves every element.
    definition.OnPropertyChanged(nullptr);
    EXPECT_EQ(definition.GetPassBits(), 2u | 64u);
    EXPECT_EQ(a->loads, std::vector<bool>{true}) << "loaded at once";

    // [enabled A, disabled B, enabled C, disabled D] leaves [A, C], and the contexts see two elements.
    b->SetEnabled(false);
    added->SetEnabled(false);
    definition.DeleteUnflaggedElements();
    ASSERT_EQ(definition.GetElements().Count(), 2);
    EXPECT_EQ(definition.GetElements()[0], a);
    EXPECT_EQ(definition.GetElements()[1], c);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(second.GetElementContextCount(), 2);

    // A released context leaves the list; the other keeps playing the definition.
    first.Destroy();
    m_contexts.erase(m_contexts.begin());
    EXPECT_EQ(definition.GetFirstContext(), &second);
    EXPECT_EQ(second.GetNextOfDefinition(), nullptr);
    definition.AddElement(new RecordingElement);
    definition.ReinitContexts(true);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(second.GetElementContextCount(), 3);
}

TEST_F(SFXDefinitionTest, TheRegistryTracksEveryLiveDefinitionInOrder)
{
    const int32_t before = SFXDefinition::GetRegistryCount();
    auto* a = new SFXDefinition;
    auto* b = new SFXDefinition;
    auto* c = new SFXDefinition;
    EXPECT_EQ(SFXDefinition::GetRegistryCount(), before + 3);
    delete b;
    std::vector<SFXDefinition*> seen;
    SFXDefinition::WalkRegistry([&seen](SFXDefinition& definition) { seen.push_back(&definition); });
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], a);
    EXPECT_EQ(seen.back(), c);
    delete c;
    delete a;
    EXPECT_EQ(SFXDefinition::GetRegistryCount(), before);

    // A definition that dies under a playing context leaves no pointer to itself behind.
    auto* doomed = new SFXDefinition;
    SFXContext& context = Play(*doomed);
    m_log.Clear();
    delete doomed;
    EXPECT_EQ(context.GetDefinition(), nullptr);
    EXPECT_TRUE(m_log.Contains("SFXDefinition destroyed while effects still play it", CONSOLE_ERROR));
}
} // namespace
