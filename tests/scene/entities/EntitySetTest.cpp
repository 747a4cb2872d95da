// Entity set records: members stored as GUIDs come back as the live entities, and a member that no
// longer exists reads as none with the lost GUID in the log.
#include "scene/entities/EntitySet.h"

#include "core/reflection/GUIDReplacementTable.h"
#include "core/reflection/RecordStream.h"

#include "support/SceneTestSupport.h"
#include "tools/datakit/SceneWriter.h"

namespace
{
class EntitySetTest : public SceneTest
{
};
} // namespace

TEST_F(EntitySetTest, AMissingMemberReadsAsNoneAndIsReported)
{
    Entity* kept = Create();
    Entity* gone = Create();
    EntitySet written;
    written.SetName("Squad");
    written.AddEntity(gone);
    written.AddEntity(kept);
    const SimpleGUID goneGUID = gone->GetGUID();
    const std::string goneText = goneGUID.ToStringUnsafe();
    const std::vector<uint8_t> payload = SceneWriter::Payload(written, 0);
    gone->DeleteMe();
    m_log.Clear();

    EntitySet read;
    ASSERT_TRUE(read.DeserializeFromMemory(payload.data(), payload.size(), 0));
    ASSERT_EQ(read.GetEntities().Count(), 2);
    EXPECT_EQ(read.GetEntities()[0].Get(), nullptr);
    EXPECT_EQ(read.GetEntities()[1].Get(), kept);
    EXPECT_TRUE(m_log.Contains("Unable to deserialize entity pointer. Guid=" + goneText, CONSOLE_ERROR));
    RecordInput in(payload.data(), payload.size());
    EXPECT_TRUE(EntitySet::StaticClassProperties()->ValidateObject(in, 0));
    EXPECT_EQ(in.Position(), payload.size());

    // A load's replacement table maps a member's GUID before it is looked up.
    GUIDReplacementTable::OpenActive();
    GUIDReplacementTable::GetActive()->AddReplacement(goneGUID, kept->GetGUID());
    EntitySet mapped;
    const bool mappedRead = mapped.DeserializeFromMemory(payload.data(), payload.size(), 0);
    delete GUIDReplacementTable::CloseActive();
    ASSERT_TRUE(mappedRead);
    EXPECT_EQ(mapped.GetEntities()[0].Get(), kept);
    const RTTIProperty* members = EntitySet::StaticClassProperties()->FindProperty("Entities");
    EXPECT_TRUE(members->Equals(&written, &read));
    EXPECT_FALSE(members->Equals(&read, &mapped));

    // A member already gone when written is stored as none and reads back as none, unreported.
    const std::vector<uint8_t> holed = SceneWriter::Payload(read, 0);
    m_log.Clear();
    EntitySet reread;
    EXPECT_TRUE(reread.DeserializeFromMemory(holed.data(), holed.size(), 0) && members->Equals(&read, &reread));
    EXPECT_FALSE(m_log.Contains("Unable to deserialize entity pointer", CONSOLE_ERROR));
}
