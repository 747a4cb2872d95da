// An entity's replicated properties: the start set filled from the entity, the bytes of a written
// state, the received states applied when due (and refused when they do not fit), and the places
// the Game writes and reads them: the deferred entity calls and the send pass.
#include "engine/EngineClock.h"
#include "engine/Game.h"
#include "engine/profiler/Profiler.h"
#include "online/MultiplayerEngine.h"
#include "scene/entities/EntityMPProperties.h"
#include "support/SceneTestSupport.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace
{
class EntityReplicationTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        gMultiplayerEngine = &m_engine;
    }
    void TearDown() override
    {
        gMultiplayerEngine = nullptr;
        gGame.GetEntityLists().Clear();
        SceneTest::TearDown();
    }
    // An authority entity at (x, y, z) with a yaw of `yaw` degrees.
    Entity* Placed(float x, float y, float z, float yaw)
    {
        Entity* entity = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_AUTHORITY);
        entity->SetGlobalPosition(Vector(x, y, z, 1.0f));
        entity->SetGlobalRotation(Vector(0.0f, yaw, 0.0f, 0.0f));
        return entity;
    }
    std::vector<uint8_t> Outgoing() const
    {
        const Dynarray<uint8_t>& bytes = m_engine.GetOutgoingEntityStates();
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }
    template <typename T>
    static T At(const std::vector<uint8_t>& bytes, size_t offset)
    {
        T value{};
        std::memcpy(&value, bytes.data() + offset, sizeof(T));
        return value;
    }

    MultiplayerEngine m_engine;
};
} // namespace

TEST_F(EntityReplicationTest, TheStartSetDescribesWhereTheEntityStandsAndIsSentOnce)
{
    // The scene's height range is -50 to 500: a height of 227 is 0.5036 of it, kept to the hundredth.
    Entity* entity = Placed(10.0f, 227.0f, -4.0f, 30.0f);
    const int32_t updatedBefore = gGame.GetEntityLists().GetUpdatedList().Count();
    entity->InitMPProperties();
    const EntityMPProperties* record = entity->GetMPProperties();
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->Count(), 3);
    const struct
    {
        const char* name;
        uint8_t type;
    } kStart[] = {{"PosXZ", 10}, {"PosY", 3}, {"Rot", 5}};
    for (int32_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(record->Get(i).name, kStart[i].name);
        EXPECT_EQ(record->Get(i).type, kStart[i].type) << kStart[i].name;
        EXPECT_EQ(record->Find(kStart[i].name), i);
    }
    EXPECT_FLOAT_EQ(record->Get(1).minimum, 0.0f);
    EXPECT_FLOAT_EQ(record->Get(1).maximum, 1.0f);
    EXPECT_FLOAT_EQ(record->Get(1).step, 0.01f);
    EXPECT_FLOAT_EQ(record->Get(0).value.x, 10.0f);
    EXPECT_FLOAT_EQ(record->Get(0).value.z, -4.0f);
    EXPECT_FLOAT_EQ(record->Get(1).value.x, 0.5f);
    EXPECT_NEAR(record->Get(2).value.y, 30.0f, 1e-3f);
    EXPECT_EQ(entity->GetPendingChangeMask(), uint64_t(7));
    EXPECT_EQ(gGame.GetEntityLists().GetUpdatedList().Count(), updatedBefore + 1);
    EXPECT_TRUE(entity->m_inChangedList);
    // Above the scene's heights the height field stays at its top.
    Entity* above = Placed(0.0f, 900.0f, 0.0f, 0.0f);
    above->InitMPProperties();
    EXPECT_FLOAT_EQ(above->GetMPProperties()->Get(1).value.x, 1.0f);
}

TEST_F(EntityReplicationTest, AWrittenStateCarriesTheChangedPropertiesAsTheyAreNow)
{
    Entity* entity = Placed(10.0f, 225.0f, -4.0f, 0.0f);
    entity->SetMID(37);
    entity->InitMPProperties();
    entity->SetGlobalPosition(Vector(12.5f, 280.0f, 6.0f, 1.0f));
    entity->WriteMPProperties(0x11223344u, 0x5u, 0x99u, 0x1u);
    const std::vector<uint8_t> bytes = Outgoing();
    ASSERT_EQ(bytes.size(), 2u + 8u + 16u + 8u + 1u + 12u);
    EXPECT_EQ(At<uint16_t>(bytes, 0), 37);
    EXPECT_EQ(At<uint64_t>(bytes, 2), 0x100000099ull) << "the reference time";
    EXPECT_EQ(At<uint64_t>(bytes, 10), 0x511223344ull) << "the state's time";
    EXPECT_EQ(At<uint64_t>(bytes, 18), 7u);
    EXPECT_FLOAT_EQ(At<float>(bytes, 26), 12.5f) << "the position of the write, not of the start";
    EXPECT_FLOAT_EQ(At<float>(bytes, 30), 6.0f);
    EXPECT_EQ(bytes[34], 60) << "(280 + 50) / 550 in hundredths";
    EXPECT_EQ(entity->GetPendingChangeMask(), 0u);

    // Written states leave the entity free to be marked again; an unchanged entity writes nothing.
    entity->WriteMPProperties(1, 0, 0, 0);
    EXPECT_EQ(Outgoing().size(), bytes.size());
    const int32_t changed = gGame.GetEntityLists().GetChangedList().Count();
    gGame.GetEntityLists().SendChangedEntities(0, 0, 0, 0);
    entity->MarkMPPropertyChanged(0);
    entity->MarkMPPropertyChanged(9); // no such field: a receiver would refuse a state naming it
    EXPECT_EQ(gGame.GetEntityLists().GetChangedList().Count(), 1) << "changed again after " << changed;
    entity->WriteMPProperties(2, 0, 0, 0);
    ASSERT_EQ(Outgoing().size(), bytes.size() + 2u + 8u + 16u + 8u);
    EXPECT_EQ(At<uint64_t>(Outgoing(), bytes.size() + 18), 1u) << "only PosXZ";

    m_engine.SendEntityStates();
    EXPECT_TRUE(m_engine.GetOutgoingEntityStates().IsEmpty()) << "no session: no peer, nothing kept";

    // A field of 255 steps at its top sends the 255th step.
    const int32_t power = entity->MPPropAddFloat("Power", -10.0f, 245.0f, 1.0f);
    ASSERT_TRUE(entity->MPPropSetFloat(power, 245.0f));
    entity->WriteMPProperties(3, 0, 0, 0);
    EXPECT_EQ(Outgoing().back(), 255);
}

TEST_F(EntityReplicationTest, ReceivedStatesApplyWhenDueAndAStateThatDoesNotFitIsDropped)
{
    Entity* source = Placed(40.0f, 500.0f, 30.0f, 90.0f);
    source->InitMPProperties();
    source->WriteMPProperties(2000, 0, 0, 0);
    const std::vector<uint8_t> written = Outgoing();
    const std::vector<uint8_t> record(written.begin() + 10, written.end());

    Entity* proxy = Create(nullptr, Matrix::ONE, ENTITYCREATION_MULTIPLAYER_PROXY);
    proxy->QueueReceivedMPState(record.data(), record.size());
    EXPECT_TRUE(proxy->ReadMPProperties(1999, 0)) << "not due: kept";
    EXPECT_FLOAT_EQ(proxy->GetGlobalPosition().x, 0.0f);
    EXPECT_FALSE(proxy->ReadMPProperties(2000, 0)) << "applied and used up";
    EXPECT_FLOAT_EQ(proxy->GetGlobalPosition().x, 40.0f);
    EXPECT_FLOAT_EQ(proxy->GetGlobalPosition().y, 500.0f);
    EXPECT_FLOAT_EQ(proxy->GetGlobalPosition().z, 30.0f);
    EXPECT_NEAR(proxy->GetGlobalRotation().y, 90.0f, 1e-3f);
    EXPECT_EQ(proxy->GetPendingChangeMask(), 0u) << "a receiver sends nothing back";
    // A height byte past the field's steps reads as the top of the range.
    std::vector<uint8_t> high = record;
    high[24] = 255;
    proxy->QueueReceivedMPState(high.data(), high.size());
    EXPECT_FALSE(proxy->ReadMPProperties(5000, 0));
    EXPECT_FLOAT_EQ(proxy->GetGlobalPosition().y, 500.0f);

    // A record cut short, or one naming a property the record lacks, moves nothing.
    const auto naming = [&record](size_t at, uint8_t bits) {
        std::vector<uint8_t> more = record;
        more[at] = uint8_t(more[at] | bits);
        return more;
    };
    // Mask bit 3, one past the last property, and bit 63, the last a mask can name.
    for (const std::vector<uint8_t>& bad :
         {std::vector<uint8_t>(record.begin(), record.end() - 1), naming(8, 0x08), naming(15, 0x80)})
    {
        proxy->SetGlobalPosition(Vector(1.0f, 2.0f, 3.0f, 1.0f));
        m_log.Clear();
        proxy->QueueReceivedMPState(bad.data(), bad.size());
        EXPECT_FALSE(proxy->ReadMPProperties(5000, 0));
        EXPECT_FLOAT_EQ(proxy->GetGlobalPosition().x, 1.0f);
        EXPECT_TRUE(m_log.Contains("does not fit its replicated properties", CONSOLE_WARNING));
    }
}

TEST_F(EntityReplicationTest, DeferredCallsWriteBeforeTheCallAndTheSendPassReportsItsCount)
{
    Entity* entity = Placed(1.0f, 0.0f, 2.0f, 0.0f);
    entity->InitMPProperties();
    gGame.GetEntityLists().QueueEntityCall(entity, GameEntityLists::CALL_NET_INIT);
    gGame.GetEntityLists().FireDueEntityCalls(true, gEngineClock.GetFrameTime() + 5);
    ASSERT_FALSE(Outgoing().empty()) << "the peer hears of the entity before its network start";
    EXPECT_EQ(At<uint64_t>(Outgoing(), 2), 5u) << "the reference: how long since the frame's time";
    EXPECT_EQ(At<uint64_t>(Outgoing(), 10), gEngineClock.GetFrameTime());
    EXPECT_EQ(entity->GetPendingChangeMask(), 0u);
    m_engine.SendEntityStates();

    Entity* other = Placed(3.0f, 0.0f, 4.0f, 0.0f);
    other->InitMPProperties();
    gProfiler.SetValue(PROFILER_MP_PROPS_ENTITY_TICK_NUM, 99.0f, PROFILER_SOURCE_MAIN);
    const uint32_t listed = gGame.GetEntityLists().SendChangedEntities(10, 0, 5, 0);
    EXPECT_EQ(listed, 2u) << "both entered the changed list at their start";
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_MP_PROPS_ENTITY_TICK_NUM), 2.0f);
    EXPECT_EQ(Outgoing().size(), 2u + 8u + 16u + 8u + 1u + 12u) << "only the one with changes wrote";

    // Registered entities that change again write in the pass after.
    m_engine.SendEntityStates();
    other->ClearReplicationState();
    other->MarkMPPropertyChanged(2);
    gGame.GetEntityLists().SendChangedEntities(11, 0, 10, 0);
    m_engine.SendEntityStates();
    entity->MarkMPPropertyChanged(0);
    EXPECT_EQ(gGame.GetEntityLists().WriteUpdatedEntities(12, 0, 11, 0), 1u) << "only the entity that changed";
    const size_t written = Outgoing().size();
    EXPECT_EQ(written, 2u + 8u + 16u + 8u);
    gGame.GetEntityLists().SendChangedEntities(13, 0, 12, 0);
    EXPECT_EQ(Outgoing().size(), written) << "written once, though it is in the changed list too";
}

TEST_F(EntityReplicationTest, TearingOffAndTheReplicatedMarkAreKept)
{
    Entity* entity = Placed(0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_FALSE(entity->IsTornOff());
    m_engine.TearOff(entity);
    EXPECT_TRUE(entity->IsTornOff());
    entity->SetReplicated(true);
    EXPECT_TRUE(entity->IsReplicated());
    entity->SetReplicated(false);
    EXPECT_FALSE(entity->IsReplicated());
    entity->InitMPProperties();
    entity->DropReplicationRole();
    EXPECT_EQ(entity->GetMPProperties(), nullptr) << "the record goes with the role";
}

TEST_F(EntityReplicationTest, AddedFieldsJoinTheRecordOnceAndARangeMustFitOneByte)
{
    Entity* entity = Placed(0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(entity->MPPropAddAnim("Anim"), -1) << "no record yet";
    entity->InitMPProperties();
    entity->ClearReplicationState();
    const int32_t anim = entity->MPPropAddAnim("Anim");
    ASSERT_EQ(anim, 3);
    EXPECT_EQ(entity->GetMPProperties()->Get(anim).type, MPPROPERTY_ANIMATION);
    EXPECT_EQ(entity->GetMPProperties()->Get(anim).packed, 0x7Fu) << "a new field plays nothing";
    EXPECT_EQ(entity->GetPendingChangeMask(), uint64_t(1) << 3);
    EXPECT_EQ(entity->MPPropAddAnim("Anim"), -1);
    EXPECT_EQ(entity->MPPropFind("Anim"), 3);
    EXPECT_EQ(entity->MPPropFind("Rot"), 2);
    EXPECT_EQ(entity->MPPropFind("Other"), -1);
    EXPECT_TRUE(entity->MPPropSetAnim(anim, 0xAB123456u));
    EXPECT_EQ(entity->GetMPProperties()->Get(anim).packed, 0x123456u) << "three bytes travel";

    struct Case
    {
        float minimum, maximum, step;
        bool added;
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {0.0f, 1.0f, 1.0f / 255.0f, true}, {-10.0f, 245.0f, 1.0f, true}, {0.0f, 256.0f, 1.0f, false},
        {0.0f, 1.0f, 0.0f, false},         {0.0f, 1.0f, -0.1f, false},   {1.0f, 1.0f, 0.1f, false},
        {2.0f, 1.0f, 0.1f, false},         {0.0f, nan, 0.1f, false},
    };
    int32_t expected = anim + 1;
    for (size_t i = 0; i < std::size(cases); ++i)
    {
        const Case& c = cases[i];
        const std::string name = "F" + std::to_string(i);
        const int32_t field = entity->MPPropAddFloat(name.c_str(), c.minimum, c.maximum, c.step);
        EXPECT_EQ(field, c.added ? expected : -1) << i;
        if (!c.added)
            continue;
        const EntityMPProperties::Property& property = entity->GetMPProperties()->Get(field);
        EXPECT_EQ(property.type, MPPROPERTY_RANGED_FLOAT) << i;
        EXPECT_EQ(property.minimum, c.minimum) << i;
        EXPECT_EQ(property.maximum, c.maximum) << i;
        EXPECT_EQ(property.step, c.step) << i;
        EXPECT_EQ(property.value.x, c.minimum) << i;
        ++expected;
    }
    // A state's mask has 64 bits: the 65th field is refused.
    while (entity->GetMPProperties()->Count() < 64)
        ASSERT_GE(entity->MPPropAddAnim(("A" + std::to_string(entity->GetMPProperties()->Count())).c_str()), 0);
    m_log.Clear();
    EXPECT_EQ(entity->MPPropAddAnim("Last"), -1);
    EXPECT_TRUE(m_log.Contains("one past the 64", CONSOLE_WARNING));
}
