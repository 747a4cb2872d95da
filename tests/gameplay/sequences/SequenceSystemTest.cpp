// The sequence system over manual clocks: starts by name in any case, tracks on each clock with
// instant actions costing no frame, semaphores of each kind, stops and skips, the Log dump, the
// queries with their index checks, and sequences that scenes and scripts bring.
#include "gameplay/sequences/SequenceSystem.h"

#include "engine/Game.h"
#include "gameplay/sequences/Sequence.h"
#include "gameplay/sequences/SequenceActions.h"
#include "gameplay/sequences/SequenceClassRegistration.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
bool SetSequenceProperty(RTTIPolyBaseClass& object, const char* name, const char* text)
{
    const RTTIProperty* property = object.GetClassProperties()->FindPropertyInClassChain(name);
    return property != nullptr && property->SetFromText(&object, text);
}

// Records what the track asks of it, in order, and answers Update with a set value.
class ProbeAction : public SequenceAction
{
    RTTI_DECLARE_CLASS(ProbeAction, SequenceAction)

public:
    void Start(Sequence&, bool skip) override { calls.push_back(std::string("start") + (skip ? "!" : "")); }
    void End(Sequence&, bool skip) override { calls.push_back(std::string("end") + (skip ? "!" : "")); }
    void Stop(Sequence&) override { calls.push_back("stop"); }
    uint32_t Update(Sequence&, float, float fraction, bool) override
    {
        lastFraction = fraction;
        calls.push_back("update");
        return answer;
    }
    bool IsSkippable() const override { return skippable; }

    std::vector<std::string> calls;
    uint32_t answer = kLastsItsTime;
    float lastFraction = -1.0f;
    bool skippable = true;
};
RTTI_DEFINE_CLASS(ProbeAction, SequenceAction)
void ProbeAction::BuildClassProperties(RTTIPropertiesBase&) {}

class SequenceSystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSequenceClasses();
        ProbeAction::RegisterRTTIClass();
        for (GameTimer* timer : {&gGame.GetGameTimer(), &gGame.GetGameplayTimer()})
            timer->Reset();
        gSequenceSystem.EnableAndReset(true);
        m_log.Clear();
    }
    void TearDown() override
    {
        gSequenceSystem.Reset();
        gSequenceSystem.Enable(false);
    }
    // A frame: both clocks advance (the gameplay one unless paused), then the system runs.
    static void Frame(float seconds = 0.1f)
    {
        gGame.GetGameTimer().Tick(seconds);
        gGame.GetGameplayTimer().Tick(seconds);
        gSequenceSystem.Update();
    }
    template <class T>
    static T* Add(SequenceTrack& track, float time = 0.0f)
    {
        T* action = new T;
        action->SetTime(time);
        track.GetActions().Add(action);
        return action;
    }
    template <class T>
    static T* Add(SequenceTrack& track, const char* property, const char* value, float time = 0.0f)
    {
        T* action = Add<T>(track, time);
        EXPECT_TRUE(SetSequenceProperty(*action, property, value)) << property;
        return action;
    }
    static Sequence* Make(const char* name, int tracks = 1)
    {
        auto* sequence = new Sequence;
        sequence->SetName(name);
        for (int i = 0; i < tracks; ++i)
            sequence->GetTracks().Add(new SequenceTrack);
        EXPECT_TRUE(gSequenceSystem.AddSequence(sequence));
        return sequence;
    }
    static SequenceTrack& Track(Sequence* sequence, int index = 0) { return *sequence->GetTracks()[index]; }

    ConsoleCapture m_log;
};
} // namespace

TEST_F(SequenceSystemTest, SequencesAreFoundAndStartedByNameInAnyCaseAndOnlyOnceAtATime)
{
    for (const char* name : {"Outro", "alpha", "Intro", "beta", "Middle"})
        Make(name);
    EXPECT_FALSE(gSequenceSystem.AddSequence([] {
        auto* clash = new Sequence;
        clash->SetName("INTRO");
        return clash;
    }()));
    ASSERT_EQ(gSequenceSystem.GetSequenceCount(), 5);
    for (const char* name : {"alpha", "BETA", "intro", "MIDDLE", "outro"})
        EXPECT_NE(gSequenceSystem.FindSequence(name), nullptr) << name;
    EXPECT_EQ(gSequenceSystem.GetSequenceIndex("Intro"), 2);
    EXPECT_EQ(gSequenceSystem.GetSequenceIndex("intro"), -1);
    EXPECT_EQ(gSequenceSystem.GetSequenceIndex("Outro"), 4) << "the last one";

    EXPECT_EQ(gSequenceSystem.StartSequence("Nowhere", false, false), nullptr);
    EXPECT_TRUE(m_log.Messages().empty());
    EXPECT_EQ(gSequenceSystem.StartSequence("Nowhere", false, true), nullptr);
    EXPECT_TRUE(m_log.Contains("Sequence Nowhere cannot be found!", CONSOLE_ERROR));
    Sequence* intro = gSequenceSystem.StartSequence("iNtRo", true, true);
    ASSERT_NE(intro, nullptr);
    EXPECT_TRUE(intro->IsOnGameplayClock());
    EXPECT_EQ(gSequenceSystem.StartSequence("Intro", false, true), nullptr);
    EXPECT_TRUE(m_log.Contains("Sequence Intro already started!", CONSOLE_ERROR));
    gSequenceSystem.FindSequence("Middle")->SetDisabledInEditor(true);
    EXPECT_EQ(gSequenceSystem.StartSequence("Middle", false, true), nullptr);
    EXPECT_TRUE(m_log.Contains("Skipping sequence Middle (disabled in editor).", CONSOLE_WARNING));
    // A sequence without actions leaves at the first update.
    EXPECT_EQ(gSequenceSystem.GetActiveSequences().Count(), 1);
    Frame();
    EXPECT_EQ(gSequenceSystem.GetActiveSequences().Count(), 0);
    EXPECT_FALSE(intro->IsActive());
    gSequenceSystem.EnableAndReset(true);
    EXPECT_EQ(gSequenceSystem.GetSequenceCount(), 0) << "enabling starts again without sequences";
}

TEST_F(SequenceSystemTest, TracksRunTheirActionsOnTheChosenClockAndInstantActionsCostNoFrame)
{
    Sequence* sequence = Make("Run", 2);
    ProbeAction* first = Add<ProbeAction>(Track(sequence), 0.25f);
    ProbeAction* instantA = Add<ProbeAction>(Track(sequence));
    ProbeAction* instantB = Add<ProbeAction>(Track(sequence), "Editor flags", "2");
    ProbeAction* last = Add<ProbeAction>(Track(sequence), 1.0f);
    ProbeAction* held = Add<ProbeAction>(Track(sequence, 1), 0.05f);
    held->answer = SequenceAction::kRunning;
    ASSERT_NE(gSequenceSystem.StartSequence("Run", true, true), nullptr);
    EXPECT_TRUE(first->calls.empty());
    Frame();
    EXPECT_EQ(first->calls, (std::vector<std::string>{"start", "update"}));
    Frame();
    Frame();
    EXPECT_EQ(first->calls.back(), "update");
    // 0.3 s have passed: the first ends, and both instant actions pass in that same update.
    Frame();
    EXPECT_EQ(first->calls.back(), "end");
    EXPECT_EQ(instantA->calls, (std::vector<std::string>{"start", "update", "end"}));
    EXPECT_FLOAT_EQ(instantA->lastFraction, 1.0f);
    EXPECT_TRUE(instantB->calls.empty()) << "editor flag 2 passes the action over";
    EXPECT_EQ(last->calls, (std::vector<std::string>{"start", "update"}));
    // The gameplay clock stands still while paused, and so does the sequence on it.
    gGame.GetGameplayTimer().Pause(true);
    for (int i = 0; i < 20; ++i)
        Frame();
    EXPECT_EQ(last->calls.back(), "update");
    gGame.GetGameplayTimer().Pause(false);
    for (int i = 0; i < 10; ++i)
        Frame();
    EXPECT_EQ(last->calls.back(), "end");
    // The held action answers "running" past its time; stopping the sequence stops it, not ends it.
    EXPECT_TRUE(sequence->IsActive());
    EXPECT_EQ(held->calls.back(), "update");
    gSequenceSystem.StopAllSequences(true);
    EXPECT_EQ(held->calls.back(), "stop");
    EXPECT_EQ(std::count(held->calls.begin(), held->calls.end(), "end"), 0);
    // Stopped is stopped: the next frames leave the sequence alone.
    const size_t calls = held->calls.size();
    Frame();
    EXPECT_EQ(held->calls.size(), calls);
}

TEST_F(SequenceSystemTest, SemaphoresOfEachKindHoldAndReleaseTracks)
{
    Sequence* sequence = Make("Gates", 3);
    // Track 0 waits for "Open" (local), raised by track 1 later in the list: one frame late.
    Add<SequenceActionWaitForSemaphore>(Track(sequence), "Semaphore", "Open");
    ProbeAction* afterLocal = Add<ProbeAction>(Track(sequence), 5.0f);
    Add<ProbeAction>(Track(sequence, 1), 0.15f);
    Add<SequenceActionRaiseSemaphore>(Track(sequence, 1), "Semaphore", "Open");
    // Track 2 waits for a count of 2 and then for a global semaphore.
    Add<SequenceActionWaitForGlobalCountingSemaphoreToReach>(Track(sequence, 2), "Value", "2");
    ProbeAction* afterCount = Add<ProbeAction>(Track(sequence, 2), 5.0f);
    auto* waitGlobal = Add<SequenceActionWaitForGlobalSemaphore>(Track(sequence, 2), "Semaphore", "Go");
    EXPECT_EQ(waitGlobal->Update(*sequence, 0.0f, 0.0f, true), SequenceAction::kRunning) << "a skip does not pass it";
    ProbeAction* afterGlobal = Add<ProbeAction>(Track(sequence, 2), 5.0f);
    afterCount->SetTime(0.0f);
    ASSERT_NE(gSequenceSystem.StartSequence("Gates", false, true), nullptr);
    Frame();
    Frame();
    EXPECT_TRUE(afterLocal->calls.empty());
    Frame(); // track 1 raises "Open" after track 0 looked
    EXPECT_TRUE(sequence->IsSemaphoreRaised(NameString("Open")));
    EXPECT_TRUE(afterLocal->calls.empty());
    Frame();
    EXPECT_EQ(afterLocal->calls.front(), "start");

    EXPECT_EQ(gSequenceSystem.GetGlobalCountingSemaphoreValue(NameString("")), 0);
    gSequenceSystem.IncreaseGlobalCountingSemaphore(NameString(), 1);
    Frame();
    EXPECT_TRUE(afterCount->calls.empty());
    gSequenceSystem.IncreaseGlobalCountingSemaphore(NameString(), 3);
    gSequenceSystem.IncreaseGlobalCountingSemaphore(NameString(), -2);
    EXPECT_EQ(gSequenceSystem.GetGlobalCountingSemaphoreValue(NameString()), 2);
    Frame();
    EXPECT_EQ(afterCount->calls.back(), "end");
    EXPECT_TRUE(afterGlobal->calls.empty());
    gSequenceSystem.RaiseGlobalSemaphore(NameString("Go"));
    gSequenceSystem.RaiseGlobalSemaphore(NameString("Go"));
    EXPECT_EQ(gSequenceSystem.GetGlobalSemaphores().Count(), 1);
    Frame();
    EXPECT_EQ(afterGlobal->calls.front(), "start");
    // The clearing actions take their semaphore down when they start.
    SequenceActionClearGlobalSemaphore clearGlobal;
    ASSERT_TRUE(SetSequenceProperty(clearGlobal, "Semaphore", "Go"));
    clearGlobal.Start(*sequence, false);
    EXPECT_FALSE(gSequenceSystem.IsGlobalSemaphoreRaised(NameString("Go")));

    // A new start empties the local set.
    gSequenceSystem.StopAllSequences(true);
    EXPECT_EQ(gSequenceSystem.GetGlobalCountingSemaphoreValue(NameString()), 0);
    gSequenceSystem.StartSequence("Gates", false, true);
    EXPECT_FALSE(sequence->IsSemaphoreRaised(NameString("Open")));
    sequence->RaiseSemaphore(NameString("Open"));
    SequenceActionClearSemaphore clearLocal;
    ASSERT_TRUE(SetSequenceProperty(clearLocal, "Semaphore", "Open"));
    clearLocal.Start(*sequence, false);
    EXPECT_FALSE(sequence->IsSemaphoreRaised(NameString("Open")));
}

TEST_F(SequenceSystemTest, ActionsStartStopAndBranchToSequencesInTheSameFrame)
{
    Sequence* boss = Make("Boss");
    ProbeAction* bossAction = Add<ProbeAction>(Track(boss), 10.0f);
    Sequence* yes = Make("Yes");
    ProbeAction* yesAction = Add<ProbeAction>(Track(yes), 10.0f);
    Sequence* no = Make("No");
    ProbeAction* noAction = Add<ProbeAction>(Track(no), 10.0f);
    Sequence* director = Make("Director");
    Add<SequenceActionStartSequence>(Track(director), "Sequence", "boss");
    auto* branch = Add<SequenceActionCheckGlobalSemaphore>(Track(director), "Semaphore", "Lit", 0.2f);
    ASSERT_TRUE(SetSequenceProperty(*branch, "IfYes", "Yes"));
    ASSERT_TRUE(SetSequenceProperty(*branch, "IfNo", "No"));
    ASSERT_TRUE(SetSequenceProperty(*branch, "GameplayTime", "1"));
    Add<SequenceActionStopSequence>(Track(director), "Sequence", "Boss");
    Add<SequenceActionStartSequence>(Track(director), "Sequence", "Missing");
    Add<SequenceActionStopSequence>(Track(director), "Sequence", "Yes");

    gSequenceSystem.StartSequence("Director", false, true);
    Frame();
    // Started during the update: run in the same frame, behind the director.
    EXPECT_EQ(bossAction->calls, (std::vector<std::string>{"start", "update"}));
    EXPECT_EQ(noAction->calls.front(), "start");
    EXPECT_TRUE(yesAction->calls.empty());
    Frame();
    EXPECT_EQ(bossAction->calls.back(), "update");
    Frame();
    // The stop request is seen when the boss, behind the director, is reached: Stop, not End.
    EXPECT_EQ(bossAction->calls.back(), "stop");
    EXPECT_FALSE(boss->IsActive());
    EXPECT_TRUE(m_log.Contains("Sequence Missing cannot be found!", CONSOLE_ERROR));
    // A stopped sequence starts afresh, and a stop for one that was not running leaves no trace.
    ASSERT_NE(gSequenceSystem.StartSequence("Boss", false, true), nullptr);
    ASSERT_NE(gSequenceSystem.StartSequence("Yes", false, true), nullptr);
    Frame();
    EXPECT_EQ(bossAction->calls.back(), "update");
    EXPECT_EQ(yesAction->calls, (std::vector<std::string>{"start", "update"}));

    // The parameters as the queries list them: own class first, then each base.
    const int32_t index = gSequenceSystem.GetSequenceIndex("Director");
    ASSERT_GE(index, 0);
    EXPECT_STREQ(gSequenceSystem.GetActionName(index, 0, 1), "SequenceActionCheckGlobalSemaphore");
    ASSERT_EQ(gSequenceSystem.GetParamCount(index, 0, 1), 9);
    const char* const expected[] = {"Semaphore", "IfYes", "IfNo", "GameplayTime", "Time", "Minimal start time",
                                    "EditorHelperTime", "Designer comment", "Editor flags"};
    for (int32_t p = 0; p < 9; ++p)
        EXPECT_STREQ(gSequenceSystem.GetParamName(index, 0, 1, p), expected[p]);
    EXPECT_STREQ(gSequenceSystem.GetStringParamValue(index, 0, 1, 1), "Yes");
    EXPECT_FLOAT_EQ(gSequenceSystem.GetFloatParamValue(index, 0, 1, 4), 0.2f);
    EXPECT_EQ(gSequenceSystem.GetParamType(index, 0, 1, 4), 9);
    EXPECT_TRUE(gSequenceSystem.GetBoolParamValue(index, 0, 1, 3));
    EXPECT_FALSE(gSequenceSystem.GetBoolParamValue(index, 0, 0, 1));
    ASSERT_TRUE(SetSequenceProperty(*director, "RepeatingAllowedFlag", "1"));
    Track(director).SetName("Cues");
    branch->SetEditorFlags(SequenceAction::kDisabledFlag);
    EXPECT_TRUE(gSequenceSystem.IsSequenceRepeatingAllowed(index));
    EXPECT_FALSE(gSequenceSystem.IsSequenceRepeatingAllowed(gSequenceSystem.GetSequenceIndex("Boss")));
    ASSERT_TRUE(SetSequenceProperty(*director, "UnusedEditorFlag", "1"));
    EXPECT_TRUE(gSequenceSystem.IsSequenceDisabled(index));
    EXPECT_FALSE(gSequenceSystem.IsSequenceDisabled(gSequenceSystem.GetSequenceIndex("Boss")));
    EXPECT_STREQ(gSequenceSystem.GetTrackName(index, 0), "Cues");
    EXPECT_TRUE(gSequenceSystem.IsActionDisabled(index, 0, 1));
    EXPECT_FALSE(gSequenceSystem.IsActionDisabled(index, 0, 0));
    // Indices from scripts are checked.
    m_log.Clear();
    EXPECT_STREQ(gSequenceSystem.GetActionName(index, 0, 5), "");
    EXPECT_EQ(gSequenceSystem.GetParamCount(index, 1, 0), 0);
    EXPECT_STREQ(gSequenceSystem.GetSequenceName(-1), "");
    EXPECT_STREQ(gSequenceSystem.GetTrackName(index, 1), "");
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_WARNING), 4u);
}

TEST_F(SequenceSystemTest, SkipsRunTracksToTheirEndExceptAtHeldWaitsAndHandOverToAfterSkip)
{
    Sequence* cutscene = Make("Cutscene", 2);
    cutscene->SetSkippable(true);
    cutscene->SetAfterSkip("Aftermath");
    ProbeAction* longShot = Add<ProbeAction>(Track(cutscene), 30.0f);
    ProbeAction* closing = Add<ProbeAction>(Track(cutscene), 30.0f);
    auto* wait = Add<SequenceActionWaitForSemaphore>(Track(cutscene, 1), "Semaphore", "Never");
    (void)wait;
    Sequence* aftermath = Make("Aftermath");
    aftermath->SetSkippable(true);
    ProbeAction* after = Add<ProbeAction>(Track(aftermath), 30.0f);

    gSequenceSystem.StartSequence("Cutscene", false, true);
    Frame();
    EXPECT_FALSE(cutscene->CanSkip()); // a wait that is not skippable holds track 1
    cutscene->RequestSkip();
    Frame();
    EXPECT_EQ(longShot->calls, (std::vector<std::string>{"start", "update", "update", "end!"}));
    EXPECT_EQ(closing->calls, (std::vector<std::string>{"start!", "update", "end!"}));
    // The wait holds track 1, so the cutscene runs on; the hand-over has started the aftermath,
    // which could be skipped and was, within the same frame it was appended in.
    EXPECT_TRUE(cutscene->IsActive());
    EXPECT_FALSE(cutscene->IsSkipRequested());
    EXPECT_EQ(after->calls.back(), "end!");

    // An after-skip sequence that is not skippable itself just starts.
    Sequence* second = Make("Second");
    second->SetSkippable(true);
    second->SetAfterSkip("Credits");
    Add<ProbeAction>(Track(second), 30.0f);
    ProbeAction* roll = Add<ProbeAction>(Track(Make("Credits")), 30.0f);
    gSequenceSystem.StartSequence("Second", false, true);
    Frame();
    second->RequestSkip();
    Frame();
    EXPECT_EQ(roll->calls, (std::vector<std::string>{"start", "update"}));
}

TEST_F(SequenceSystemTest, LogWritesTheDumpLineByLine)
{
    Sequence* sequence = Make("Dump", 1);
    Add<SequenceActionRaiseSemaphore>(Track(sequence), "Semaphore", "Flag", 0.0f);
    Add<SequenceActionWaitForSemaphore>(Track(sequence), "Semaphore", "Other");
    gSequenceSystem.RaiseGlobalSemaphore(NameString("World"));
    gSequenceSystem.StartSequence("Dump", false, true);
    Frame();
    m_log.Clear();
    gSequenceSystem.Log(0, 4);
    const std::vector<std::string> expected = {
        "//===== Active Sequences Begin ======//",
        "\t\t//===== Sequence: Dump Begin",
        "\t\t\t//===== Active Semaphores Begin",
        "\t\t\tSemaphore: Flag",
        "\t\t\t//===== Active Semaphores End",
        "\t\t\t\t//===== Track Begin",
        "\t\t\t\t\t\tActiveSequenceIndex: 1",
        "\t\t\t\t\t\t0.) Action: SequenceActionRaiseSemaphore, skippable: true",
        "\t\t\t\t\t\t1.) Action: SequenceActionWaitForSemaphore, skippable: false",
        "\t\t\t\t//===== Track End",
        "\t\t//===== Sequence: Dump End",
        "//===== Active Sequences End ======//",
        "//===== Raised Global Semaphores Begin ======//",
        "Semaphore: World",
        "//===== Raised Global Semaphores End ======//",
        "//=====================================//",
    };
    ASSERT_EQ(m_log.Messages().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(m_log.Messages()[i].text, expected[i]) << i;
}

TEST_F(SequenceSystemTest, ALoadStopsTheRunningActionsBeforeReplacingTheSequences)
{
    Sequence* sequence = Make("Old");
    ProbeAction* probe = Add<ProbeAction>(Track(sequence), 10.0f);
    std::vector<std::string>* calls = &probe->calls;
    gSequenceSystem.StartSequence("Old", false, true);
    Frame();
    gSequenceSystem.OnPreLoad(0);
    EXPECT_EQ(calls->back(), "stop");
    EXPECT_EQ(gSequenceSystem.GetActiveSequences().Count(), 0);
}
