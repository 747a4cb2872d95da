// Every registered scene class read from records by its record plan, against the same records read
// property by property through each property's own calls; and every class's stored form (names,
// kinds, flags and defaults of its properties) against the table the data files were written with.
#include "core/reflection/EntityReferences.h"
#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RecordStream.h"
#include "scene/templates/EntityTemplate.h"
#include "support/RecordBytes.h"
#include "support/GoldenText.h"
#include "support/SceneTestSupport.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// Entities die through their own road; every other reflected object is deleted.
struct ObjectDeleter
{
    void operator()(RTTIPolyBaseClass* object) const
    {
        if (Entity* const entity = dynamic_cast<Entity*>(object))
            entity->Destroy();
        else
            delete object;
    }
};
using Object = std::unique_ptr<RTTIPolyBaseClass, ObjectDeleter>;

class SceneClassRecordTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        m_target = Create(nullptr, Translation(20, 0, 20));
        m_target->SetName("target");
    }

    // The serialized properties of the object's class, in record order.
    static std::vector<const RTTIProperty*> RecordProperties(const RTTIPolyBaseClass& object, uint32_t flags)
    {
        std::vector<const RTTIProperty*> properties;
        for (const RTTIPropertiesBase* table : object.GetClassProperties()->GetClassChain())
            for (const RTTIProperty* property : table->GetProperties())
                if (property->IsSerialized(flags) && property->GetType() != RTTI_TYPE_GROUP &&
                    property->GetType() != RTTI_TYPE_SEPARATOR)
                    properties.push_back(property);
        return properties;
    }

    // The object's own record with a value of their own in every property whose form allows one:
    // fixed-size values a pattern of small floats (or small bytes), entity references the target's
    // GUID, texts and names a text naming the property; other kinds keep the object's bytes. Empty
    // for a class whose record carries more than its table's payload (it reads the rest itself).
    std::vector<uint8_t> VariedRecord(RTTIPolyBaseClass& object, uint32_t flags) const
    {
        const std::vector<uint8_t> own = SerializeToBytes(object, flags);
        RecordInput in(own.data(), own.size());
        std::vector<uint8_t> varied;
        uint32_t index = 0;
        for (const RTTIProperty* property : RecordProperties(object, flags))
        {
            ++index;
            const size_t from = in.Position();
            EXPECT_TRUE(property->Validate(in, flags)) << property->GetName();
            const uint32_t type = property->GetType();
            const uint32_t size = property->GetFixedSize();
            const std::string text = "p" + std::to_string(index);
            if (type == RTTI_TYPE_ENTITY_POINTER || type == RTTI_TYPE_ENTITY_SAFE_POINTER)
                varied.insert(varied.end(), m_target->GetGUID().bytes, m_target->GetGUID().bytes + 16);
            else if (size % 4 == 0 && size != 0)
                for (uint32_t word = 0; word < size / 4; ++word)
                {
                    const float value = float(index) + 0.25f * float(word);
                    const uint8_t* const bytes = reinterpret_cast<const uint8_t*>(&value);
                    varied.insert(varied.end(), bytes, bytes + 4);
                }
            else if (size != 0)
                varied.insert(varied.end(), size, uint8_t(index | 1));
            else if (type == RTTI_TYPE_STRING)
                varied.insert(varied.end(), text.c_str(), text.c_str() + text.size() + 1);
            else if (type == RTTI_TYPE_NAME_STRING)
            {
                varied.push_back(1);
                varied.insert(varied.end(), text.c_str(), text.c_str() + text.size() + 1);
            }
            else
                varied.insert(varied.end(), own.begin() + std::ptrdiff_t(from), own.begin() + std::ptrdiff_t(in.Position()));
        }
        if (in.Remaining() != 0)
            varied.clear();
        return varied;
    }

    // The reference: hooks and reference list as a record read has them, each property's own
    // Validate over the whole record first, then each one's own Deserialize.
    static bool ReadPropertyByProperty(RTTIPolyBaseClass& object, const std::vector<uint8_t>& bytes, uint32_t flags)
    {
        const std::vector<const RTTIProperty*> properties = RecordProperties(object, flags);
        RecordInput probe(bytes.data(), bytes.size());
        for (const RTTIProperty* property : properties)
            if (!property->Validate(probe, flags))
                return false;
        RecordInput in(bytes.data(), bytes.size());
        object.OnPreLoad(flags);
        const bool opened = BeginPendingEntityReferences();
        bool read = true;
        for (const RTTIProperty* property : properties)
            read = read && property->Deserialize(in, &object, flags);
        if (opened)
            ResolvePendingEntityReferences();
        object.OnPostLoad(flags);
        return read && in.Remaining() == 0;
    }

    // A way to make objects of one class.
    struct Maker
    {
        std::string name;
        std::function<Object()> make;
    };

    // Every class of the registry that makes objects by name, and every entity class that one of
    // their templates makes (entities are made by templates only).
    std::vector<Maker> EveryClass()
    {
        std::vector<Maker> makers;
        std::set<std::string> names;
        for (int id = 0; id < RTTIClassRegistry::GetClassCount(); ++id)
        {
            const char* const name = RTTIClassRegistry::GetClassName(id);
            Object probe{RTTIClassRegistry::CreateObject(name)};
            if (probe == nullptr || probe->GetClassProperties() == nullptr || !names.insert(name).second)
                continue;
            makers.push_back({name, [name] { return Object{RTTIClassRegistry::CreateObject(name)}; }});
            EntityTemplate* const maker = dynamic_cast<EntityTemplate*>(probe.get());
            if (maker == nullptr)
                continue;
            const Object entity{MakeEntity(maker)};
            if (entity == nullptr || !names.insert(entity->GetClassProperties()->GetClassName()).second)
                continue;
            m_makers.emplace_back(static_cast<EntityTemplate*>(probe.release()));
            makers.push_back({entity->GetClassProperties()->GetClassName(),
                              [this, maker] { return Object{MakeEntity(maker)}; }});
        }
        return makers;
    }

    static RTTIPolyBaseClass* MakeEntity(EntityTemplate* maker)
    {
        Entity* const entity = maker->CreateEntity();
        if (entity != nullptr)
            entity->InitFromTemplate(maker, 0);
        return entity;
    }

    // One line per property of the object's class chain, in record order: name, kind, flags, data
    // word, enumeration names and the value a new object holds (the size of objects held inside).
    // Values a new object draws at random (GUIDs and random ids) are shown only as drawn.
    static std::string DescribeClass(const RTTIPolyBaseClass& object)
    {
        const RTTIPropertiesBase* const table = object.GetClassProperties();
        std::ostringstream out;
        const char* const base = table->GetBaseTable() != nullptr ? table->GetBaseTable()->GetClassName() : "-";
        char magic[16];
        std::snprintf(magic, sizeof(magic), "%08x", table->GetLayoutMagic());
        out << table->GetClassName() << " : " << base << " layout " << magic << "\n";
        for (const RTTIPropertiesBase* link : table->GetClassChain())
            for (const RTTIProperty* property : link->GetProperties())
            {
                out << "  " << link->GetClassName() << "." << property->GetName() << " | kind " << property->GetType()
                    << " | flags " << property->GetFlags() << " | data " << property->GetData();
                if (const char* const* names = property->GetEnumerationNames())
                    for (out << " | names"; *names != nullptr; ++names)
                        out << " " << *names;
                out << " | " << DescribeValue(object, *property) << "\n";
            }
        return out.str();
    }

    static std::string DescribeValue(const RTTIPolyBaseClass& object, const RTTIProperty& property)
    {
        if (property.GetType() == RTTI_TYPE_GUID || property.GetName() == "Random id")
            return "drawn";
        char text[256];
        if (property.HasTextForm() && property.ToText(&object, text, sizeof(text)))
            return std::string("= ") + text;
        RecordOutput sizer(nullptr, 0, false);
        property.Serialize(sizer, &object, 0);
        std::vector<uint8_t> bytes(sizer.Size());
        RecordOutput out(bytes.data(), bytes.size(), false);
        property.Serialize(out, &object, 0);
        std::string hex = std::to_string(bytes.size()) + " bytes";
        // Objects held inside have their own rows, and may hold GUIDs of their own.
        const uint32_t type = property.GetType();
        if (type == RTTI_TYPE_EMBEDDED_OBJECT || type == RTTI_TYPE_EMBEDDED_POLY_OBJECT_POINTER ||
            (type >= RTTI_TYPE_DYNARRAY_OF_EMBEDDED_OBJECT_POINTERS && type <= RTTI_TYPE_DYNARRAY_OF_POLY_OBJECT_POINTERS))
            return hex;
        for (size_t i = 0; i < bytes.size() && i < 48; ++i)
        {
            char pair[4];
            std::snprintf(pair, sizeof(pair), " %02x", bytes[i]);
            hex += pair;
        }
        return hex;
    }

    Entity* m_target = nullptr;
    std::vector<std::unique_ptr<EntityTemplate>> m_makers;
};

TEST_F(SceneClassRecordTest, EveryClassReadsItsRecordAsItsPropertiesWould)
{
    const std::vector<Maker> classes = EveryClass();
    ASSERT_GT(classes.size(), 20u);
    bool sawEntity = false;
    size_t read = 0;
    for (const Maker& maker : classes)
        for (const uint32_t flags : {0u, uint32_t(RTTI_SKIP_FLAGGED_4)})
        {
            const std::string& name = maker.name;
            SCOPED_TRACE(name + " flags " + std::to_string(flags));
            const Object planned = maker.make();
            const Object reference = maker.make();
            const std::vector<uint8_t> record = VariedRecord(*planned, flags);
            if (record.empty())
                continue;
            ++read;
            size_t consumed = 0;
            ASSERT_TRUE(planned->DeserializeFromMemory(record.data(), record.size(), flags, &consumed));
            EXPECT_EQ(consumed, record.size());
            ASSERT_TRUE(ReadPropertyByProperty(*reference, record, flags));
            // With flag 1 the GUID and random id each object was made with stay its own.
            if (flags == 0)
            {
                EXPECT_TRUE(planned->GetClassProperties()->AreObjectsEqual(planned.get(), reference.get()));
            }
            EXPECT_EQ(SerializeToBytes(*planned, flags), SerializeToBytes(*reference, flags));
            if (name == "Entity")
            {
                // What the plan hands to setters really arrived: the name, the matrix, the layer
                // and the bone name (their places in the record move up when flag 1 leaves out
                // the GUID and the random id).
                const Entity& entity = static_cast<const Entity&>(*planned);
                const bool all = flags == 0;
                char bone[32];
                ASSERT_TRUE(entity.GetClassProperties()->FindProperty("Mount to bone")->ToText(&entity, bone, sizeof(bone)));
                EXPECT_STREQ(entity.GetName(), "p2");
                EXPECT_STREQ(bone, all ? "p12" : "p10");
                EXPECT_FLOAT_EQ(entity.GetLocalPosition().x, (all ? 8.0f : 7.0f) + 0.25f * 12.0f);
                EXPECT_EQ(entity.GetLayer(), all ? 11 : 9);
                EXPECT_EQ(entity.GetParent(), m_target);
                sawEntity = true;
            }
        }
    EXPECT_TRUE(sawEntity);
    // Only a few classes (effect templates, shader objects, UI elements) write records of their own.
    EXPECT_GE(read * 10, classes.size() * 2 * 9);
}

TEST_F(SceneClassRecordTest, EveryClassRefusesEveryCutOfItsRecordAndKeepsItsValues)
{
    for (const Maker& maker : EveryClass())
    {
        SCOPED_TRACE(maker.name);
        const Object source = maker.make();
        const std::vector<uint8_t> record = VariedRecord(*source, 0);
        if (record.empty())
            continue;
        const Object object = maker.make();
        const std::vector<uint8_t> before = SerializeToBytes(*object);
        for (size_t size = 0; size < record.size(); ++size)
        {
            ASSERT_FALSE(object->DeserializeFromMemory(record.data(), size, 0)) << "cut at " << size;
            ASSERT_EQ(SerializeToBytes(*object), before) << "cut at " << size;
        }
    }
}
// Data files name classes and properties and rely on their kinds, flags, order and defaults: a change
// to any of them is a change of every stored file, made on purpose with NORVEX_UPDATE_GOLDEN=1.
TEST_F(SceneClassRecordTest, EveryClassKeepsTheStoredFormTheDataWasWrittenWith)
{
    std::string tables;
    for (const Maker& maker : EveryClass())
        tables += DescribeClass(*maker.make());
    ExpectTextMatchesStoredCopy(tables, "tests/scene/templates/golden/ClassTables.txt");
}
} // namespace
