// The game frame drives trigger occupancy: reports come from the logic ticks, and a scene switch
// forgets entities still waiting for their next occupancy update.
#include "engine/Game.h"

#include "support/ManualClockGameTest.h"
#include "support/TriggerTestSupport.h"

namespace
{
class GameTriggerTest : public ManualClockGameTest<TriggerTest>
{
protected:
    // Frames until at least one logic tick has run.
    void RunATick()
    {
        const int before = m_delegate.ticks;
        for (int i = 0; i < 10 && m_delegate.ticks == before; ++i)
            Frame();
        ASSERT_GT(m_delegate.ticks, before);
    }
};
} // namespace

TEST_F(GameTriggerTest, LogicTicksReportEntersAndExits)
{
    MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* unit = MakeUnit("unit", 50, 50);
    RunATick();
    m_reports.events.clear();
    MoveTo(unit, 101, 99);
    RunATick();
    EXPECT_EQ(m_reports.events, Events{"enter zone unit"});
    m_reports.events.clear();
    MoveTo(unit, 300, 300);
    RunATick();
    EXPECT_EQ(m_reports.events, Events{"exit zone unit"});
}

TEST_F(GameTriggerTest, ASceneSwitchLeavesNoEntityWaitingForOccupancy)
{
    MakeTrigger("zone", MakeTriggerTemplate(5.0f), 100, 100);
    Entity* unit = MakeUnit("unit", 50, 50);
    MoveTo(unit, 101, 99);
    ASSERT_GT(TriggerOccupancyTracker::GetPendingList().Count(), 0);
    gGame.SwitchScene("Nowhere", 0, 0, nullptr);
    gGame.ProcessPendingSceneSwitch();
    EXPECT_EQ(TriggerOccupancyTracker::GetPendingList().Count(), 0);
}
