#include "ScriptTestSupport.h"

#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "engine/scripting/ScriptSchedulerHelper.h"
#include "platform/os/Clock.h"

#include <memory>
#include <vector>

namespace
{
constexpr int64_t kSecond = os::kCounterFrequency;

// An entity whose numbered callbacks are recorded; one id may cancel itself when it runs.
class RecordingEntity : public Entity
{
public:
    void OnScheduledCallback(uint32_t id) override
    {
        calls.push_back(id);
        if (id == cancelOwnId)
            gGame.DeleteScheduledCallbacks(this, id);
    }
    std::vector<uint32_t> calls;
    uint32_t cancelOwnId = 0xFFFFFFFFu;
};

class ScriptSchedulerHelperTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        gGame.Init(nullptr);
        gGame.ResetTimers();
        Run("gRuns = {} function Mark(v) table.insert(gRuns, v) end "
            "function Entity:ScriptSchedulerHelper(name) table.insert(gRuns, name) end");
    }
    void TearDown() override
    {
        gGame.Close();
        gGlobalScriptScheduler.Clear();
        ScriptTest::TearDown();
    }
    std::string Runs()
    {
        Run("gJoined = table.concat(gRuns, ',')");
        return GlobalString("gJoined");
    }

    ScriptSchedulerHelper m_scheduler;
};

TEST_F(ScriptSchedulerHelperTest, EqualDueTimesRunInInsertionOrder)
{
    m_scheduler.AddCall(nullptr, "Mark('late')", 0, 2.0f, 0);
    m_scheduler.AddCall(nullptr, "Mark('a')", 0, 1.0f, 0);
    m_scheduler.AddCall(nullptr, "Mark('b')", 0, 1.0f, 0);
    m_scheduler.AddCall(nullptr, "Mark('c')", kSecond / 2, 0.5f, 0);
    m_scheduler.Update(kSecond);
    EXPECT_EQ(Runs(), "a,b,c");
    EXPECT_EQ(m_scheduler.GetCount(), 1);
    m_scheduler.Update(2 * kSecond);
    EXPECT_EQ(Runs(), "a,b,c,late");
    EXPECT_EQ(Depth(), 0);
}

TEST_F(ScriptSchedulerHelperTest, CallsAddedDuringAnUpdateRunInTheNext)
{
    gGame.ScheduleScriptCall("Mark('outer') gGame:ScheduleScriptCall(\"Mark('inner')\", 0, 0)", 0.0f, 0);
    gGame.UpdateSchedulers();
    EXPECT_EQ(Runs(), "outer");
    gGame.UpdateSchedulers();
    EXPECT_EQ(Runs(), "outer,inner");
}

TEST_F(ScriptSchedulerHelperTest, MoreThanSixteenDueCallsAllRunInOrder)
{
    std::string expected;
    for (int i = 0; i < 40; ++i)
    {
        const std::string call = "Mark(" + std::to_string(i) + ")";
        m_scheduler.AddCall(nullptr, call.c_str(), 0, 0.001f * float(i % 3), 0);
    }
    for (int delay = 0; delay < 3; ++delay)
        for (int i = delay; i < 40; i += 3)
            expected += (expected.empty() ? "" : ",") + std::to_string(i);
    m_scheduler.Update(kSecond);
    EXPECT_EQ(Runs(), expected);
    EXPECT_EQ(m_scheduler.GetCount(), 0);
}

TEST_F(ScriptSchedulerHelperTest, RepeatingCallsReArmFromTheTimeTheyRan)
{
    RecordingEntity entity;
    m_scheduler.AddOwnedCall(&entity, 7, 0, 1.0f, ScheduledScriptCall::FLAG_REPEAT);
    m_scheduler.Update(kSecond * 5 / 2);
    ASSERT_EQ(entity.calls.size(), 1u);
    EXPECT_EQ(m_scheduler.FindByOwnerAndId(&entity, 7), kSecond * 7 / 2);
    m_scheduler.Update(kSecond * 7 / 2);
    EXPECT_EQ(entity.calls.size(), 2u);

    // Without an owner a call may not repeat: it runs once, whatever owner flag a script passed.
    m_scheduler.AddCall(nullptr, "Mark('once')", 0, 1.0f,
                        ScheduledScriptCall::FLAG_REPEAT | ScheduledScriptCall::FLAG_HAS_OWNER);
    EXPECT_TRUE(m_log.Contains("Only entity based scripts are allowed to repeat - ignoring", CONSOLE_ERROR));
    m_scheduler.Update(kSecond * 10);
    m_scheduler.Update(kSecond * 20);
    EXPECT_EQ(Runs(), "once");
}

TEST_F(ScriptSchedulerHelperTest, DeadOwnersDropTheirCalls)
{
    auto entity = std::make_unique<RecordingEntity>();
    m_scheduler.AddOwnedCall(entity.get(), 1, 0, 1.0f, ScheduledScriptCall::FLAG_REPEAT);
    m_scheduler.AddCall(entity.get(), "named", 0, 1.0f, ScheduledScriptCall::FLAG_REPEAT);
    entity.reset();
    m_scheduler.Update(kSecond * 2);
    EXPECT_EQ(m_scheduler.GetCount(), 0);
    EXPECT_EQ(Runs(), "");
}

TEST_F(ScriptSchedulerHelperTest, NamedOwnedCallsReachTheOwnersScript)
{
    RecordingEntity entity;
    m_scheduler.AddCall(&entity, "Tick", 0, 1.0f, ScheduledScriptCall::FLAG_REPEAT);
    m_scheduler.Update(kSecond);
    m_scheduler.Update(kSecond * 2);
    EXPECT_EQ(Runs(), "Tick,Tick");
    m_scheduler.DeleteByName(&entity, "Tick");
    m_scheduler.Update(kSecond * 3);
    EXPECT_EQ(Runs(), "Tick,Tick");
    EXPECT_EQ(m_scheduler.GetCount(), 0);
    // Without a name every named call of the owner goes, but not its callbacks by id.
    m_scheduler.AddCall(&entity, "Tick", kSecond * 3, 1.0f, ScheduledScriptCall::FLAG_REPEAT);
    m_scheduler.AddOwnedCall(&entity, 7, kSecond * 3, 1.0f, ScheduledScriptCall::FLAG_REPEAT);
    m_scheduler.DeleteByName(&entity, nullptr);
    m_scheduler.Update(kSecond * 4);
    m_scheduler.Update(kSecond * 5);
    EXPECT_EQ(Runs(), "Tick,Tick");
    EXPECT_EQ(entity.calls.size(), 2u);
}

TEST_F(ScriptSchedulerHelperTest, TheThreeClocks)
{
    os::EnableManualCounter(0);
    gEngineTimer.Reset();
    gGame.ScheduleScriptCall("Mark('global')", 1.0f, Game::kGlobalScheduler);

    // The game clock runs a second ahead of the paused gameplay clock: each call counts from its own.
    // The other flags go along: a call without an owner may not repeat.
    gGame.ScheduleScriptCall("Mark('gameplay')", 1.0f, Game::kGameplayScheduler | ScheduledScriptCall::FLAG_REPEAT);
    EXPECT_TRUE(m_log.Contains("Only entity based scripts are allowed to repeat - ignoring", CONSOLE_ERROR));
    gGame.GetGameplayTimer().Pause(true);
    gGame.TickTimers(1.0f);
    gGame.GetGameplayTimer().Pause(false);
    gGame.ScheduleScriptCall("Mark('game')", 1.0f, 0);
    gGame.UpdateSchedulers();
    gGlobalScriptScheduler.Update(gEngineTimer.GetTicks());
    EXPECT_EQ(Runs(), "");

    gGame.TickTimers(1.0f);
    gGame.UpdateSchedulers();
    gGlobalScriptScheduler.Update(gEngineTimer.GetTicks());
    EXPECT_EQ(Runs(), "game,gameplay");

    os::SetManualCounter(kSecond);
    gEngineTimer.Advance(false);
    gGlobalScriptScheduler.Update(gEngineTimer.GetTicks());
    EXPECT_EQ(Runs(), "game,gameplay,global");
    os::DisableManualCounter();

    // Without a game only the global scheduler takes calls.
    gGame.Close();
    gGame.ScheduleScriptCall("Mark('dropped')", 0.0f, 0);
    int64_t now = 0;
    EXPECT_EQ(gGame.SelectScheduler(0, now), nullptr);
    EXPECT_EQ(gGame.SelectScheduler(Game::kGlobalScheduler, now), &gGlobalScriptScheduler);
}

TEST_F(ScriptSchedulerHelperTest, CancellationWinsEvenInsideTheUpdate)
{
    // A repeating callback that cancels itself from its own callback runs once.
    RecordingEntity self;
    self.cancelOwnId = 3;
    gGame.GetGameScheduler()->AddOwnedCall(&self, 3, 0, 1.0f, ScheduledScriptCall::FLAG_REPEAT);
    gGame.TickTimers(1.0f);
    gGame.UpdateSchedulers();
    gGame.TickTimers(5.0f);
    gGame.UpdateSchedulers();
    EXPECT_EQ(self.calls.size(), 1u);

    // A call due in the same update cancels a later one of the batch and a repeating one on the
    // gameplay scheduler.
    RecordingEntity other;
    gGame.GetGameScheduler()->AddOwnedCall(&other, 9, gGame.GetGameTimerTicks(), 0.5f, 0);
    gGame.GetGameScheduler()->AddCall(&other, "Doomed", gGame.GetGameTimerTicks(), 0.6f, 0);
    gGame.GetGameplayScheduler()->AddCall(&other, "Repeating", gGame.GetGameplayTimerTicks(), 0.1f,
                                          ScheduledScriptCall::FLAG_REPEAT);
    gGame.ScheduleScriptCall("Mark('canceller')", 0.1f, 0);
    struct Canceller : RecordingEntity
    {
        RecordingEntity* target = nullptr;
        void OnScheduledCallback(uint32_t) override
        {
            gGame.DeleteScheduledCallbacks(target, 9);
            gGame.DeleteScheduledScriptCalls(target, nullptr);
        }
    } canceller;
    canceller.target = &other;
    gGame.GetGameScheduler()->AddOwnedCall(&canceller, 1, gGame.GetGameTimerTicks(), 0.2f, 0);
    gGame.TickTimers(1.0f);
    gGame.UpdateSchedulers();
    EXPECT_TRUE(other.calls.empty());
    EXPECT_EQ(Runs(), "canceller");
    EXPECT_EQ(gGame.GetGameplayScheduler()->GetCount(), 0);
    EXPECT_EQ(gGame.GetGameScheduler()->GetCount(), 0);
}
TEST_F(ScriptSchedulerHelperTest, ClearingInsideTheUpdateCancelsTheRestOfTheBatch)
{
    struct Clearer : RecordingEntity
    {
        ScriptSchedulerHelper* scheduler = nullptr;
        void OnScheduledCallback(uint32_t id) override
        {
            RecordingEntity::OnScheduledCallback(id);
            scheduler->Clear();
        }
    } clearer;
    clearer.scheduler = &m_scheduler;
    RecordingEntity later;
    m_scheduler.AddOwnedCall(&clearer, 1, 0, 0.1f, 0);
    m_scheduler.AddOwnedCall(&later, 2, 0, 0.2f, ScheduledScriptCall::FLAG_REPEAT);
    m_scheduler.Update(kSecond);
    EXPECT_EQ(clearer.calls, std::vector<uint32_t>{1});
    EXPECT_TRUE(later.calls.empty());
    EXPECT_EQ(m_scheduler.GetCount(), 0) << "nor is the repeating call armed again";
}

TEST_F(ScriptSchedulerHelperTest, WildDelaysAndOwnerlessCallbacksAreHarmless)
{
    // Delays come from scripts: one far beyond the clock's range must not wrap into the past.
    Run("gGame:ScheduleScriptCall(\"Mark('far')\", 1e30, 0) gGame:ScheduleScriptCall(\"Mark('nan')\", 0/0, 0)");
    gGame.TickTimers(1.0f);
    gGame.UpdateSchedulers();
    EXPECT_EQ(Runs(), "nan");
    EXPECT_EQ(gGame.GetGameScheduler()->GetCount(), 1);

    // A numbered callback needs an owner to reach.
    m_scheduler.AddOwnedCall(nullptr, 4, 0, 0.0f, 0);
    m_scheduler.Update(kSecond);
    EXPECT_EQ(m_scheduler.GetCount(), 0);
}
} // namespace

