// UI actions on a hand-set clock with no render thread running (commands run as written, so the test
// thread is the render side): every kind, the curves, channels, repeat, do-not-wait, remove-others,
// refusals, and the delete that ends in Release on the main thread.
#include "ui/widgets/UIAction.h"

#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"
#include "ui/elements/UIDeferredDeletion.h"
#include "ui/elements/UIElement.h"
#include "ui/render/UIRenderFrame.h"
#include "ui/widgets/UIActionKinds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace
{
const int64_t kActionSecond = os::kCounterFrequency;

int gActionsDestroyed = 0;
class CountedWait : public UIAction
{
public:
    using UIAction::UIAction;
    ~CountedWait() override { ++gActionsDestroyed; }
};

int gElementsDestroyed = 0;
class CountedElement : public UIElement
{
public:
    ~CountedElement() override { ++gElementsDestroyed; }
};

class UIActionTest : public ::testing::Test
{
protected:
    void SetUp() override { SetClocks(0); }
    void TearDown() override { element->Release(); }
    // All three clocks at `ticks`, or each its own.
    static void SetClocks(int64_t ticks) { SetUIActionClocks({Time(ticks), Time(ticks), Time(ticks)}); }
    void Frame(int64_t ticks)
    {
        SetClocks(ticks);
        element->UpdateActions();
    }
    int ActionCount(uint32_t channel) const
    {
        int count = 0;
        for (UIAction* a = element->GetFirstAction(channel); a != nullptr; a = a->GetNext())
            ++count;
        return count;
    }

    UIElement* element = new UIElement;
};

bool Near(const Vector& a, const Vector& b)
{
    return std::fabs(a.x - b.x) < 1e-4f && std::fabs(a.y - b.y) < 1e-4f && std::fabs(a.z - b.z) < 1e-4f &&
           std::fabs(a.w - b.w) < 1e-4f;
}

TEST(UIActionCurveTest, CurveValuesAtHalfAndAtTheEnd)
{
    const struct
    {
        uint32_t curve; // by number, as data and scripts give it
        float atQuarter, atHalf;
    } cases[] = {{0, 0.25f, 0.5f},       {1, 0.38268f, 0.70711f}, {2, 0.07612f, 0.29289f}, {3, 0.14645f, 0.5f},
                 {4, 0.61862f, 0.84090f}, {5, 0.25f, 0.5f},       {6, 0.25f, 0.5f},       {7, 0.25f, 0.5f}};
    for (const auto& c : cases)
    {
        EXPECT_NEAR(EvaluateUIActionCurve(c.curve, 0.25f), c.atQuarter, 1e-5f) << "curve " << c.curve;
        EXPECT_NEAR(EvaluateUIActionCurve(c.curve, 0.5f), c.atHalf, 1e-5f) << "curve " << c.curve;
        EXPECT_NEAR(EvaluateUIActionCurve(c.curve, 1.0f), 1.0f, 1e-6f) << "curve " << c.curve;
        EXPECT_NEAR(EvaluateUIActionCurve(c.curve, 0.0f), 0.0f, 1e-6f) << "curve " << c.curve;
    }
}

TEST_F(UIActionTest, EveryTweenKindFollowsEachCurveToItsTarget)
{
    const struct
    {
        const char* name;
        std::function<void(UIElement&, uint32_t)> start;
        std::function<Vector(const UIElement&)> read;
        Vector from;
        Vector to;
    } kinds[] = {
        {"Move3", [](UIElement& e, uint32_t f) { e.Move3(2.0f, 10, 20, 30, f, 0); },
         [](const UIElement& e) { return e.GetRenderPosition(); }, Vector(0, 0, 0, 0), Vector(10, 20, 30, 1)},
        {"Move2", [](UIElement& e, uint32_t f) { e.Move2(2.0f, -4, 8, f, 1); },
         [](const UIElement& e) { return e.GetRenderPosition(); }, Vector(0, 0, 0, 0), Vector(-4, 8, 0, 1)},
        {"ChangeSize", [](UIElement& e, uint32_t f) { e.ChangeSize(2.0f, Vector(128, 32, 0, 0), f, 2); },
         [](const UIElement& e) { return e.GetRectMax(); }, Vector(64, 64, 0, 1), Vector(128, 32, 0, 1)},
        {"RotateAngle", [](UIElement& e, uint32_t f) { e.RotateAngle(2.0f, 90, f, 3); },
         [](const UIElement& e) { return e.GetRenderRotation(); }, Vector(0, 0, 0, 0), Vector(0, 0, 90, 0)},
        {"Rotate3", [](UIElement& e, uint32_t f) { e.Rotate3(2.0f, 10, 20, 30, f, 0); },
         [](const UIElement& e) { return e.GetRenderRotation(); }, Vector(0, 0, 0, 0), Vector(10, 20, 30, 0)},
        {"ScaleUniform", [](UIElement& e, uint32_t f) { e.ScaleUniform(2.0f, 3, f, 1); },
         [](const UIElement& e) { return e.GetRenderScale(); }, Vector(1, 1, 1, 0), Vector(3, 3, 3, 1)},
        {"Scale3", [](UIElement& e, uint32_t f) { e.Scale3(2.0f, -1, 2, 4, f, 2); },
         [](const UIElement& e) { return e.GetRenderScale(); }, Vector(1, 1, 1, 0), Vector(-1, 2, 4, 1)},
        {"ChangeColorRGBA", [](UIElement& e, uint32_t f) { e.ChangeColorRGBA(2.0f, 0.5f, 0, 1, 0.25f, f, 3); },
         [](const UIElement& e) { return e.GetRenderColor(); }, Vector(1, 1, 1, 1), Vector(std::pow(0.5f, 2.2f), 0, 1, 0.25f)},
        {"ChangeLinearColor", [](UIElement& e, uint32_t f) { e.ChangeLinearColor(2.0f, Vector(0.5f, 0, 1, 0.25f), f, 0); },
         [](const UIElement& e) { return e.GetRenderColor(); }, Vector(1, 1, 1, 1), Vector(0.5f, 0, 1, 0.25f)},
    };
    for (const auto& kind : kinds)
        for (uint32_t curve = 0; curve <= UIACTIONFLAG_HALFSINESLOW; ++curve)
        {
            SCOPED_TRACE(std::string(kind.name) + " curve " + std::to_string(curve));
            element->Release();
            element = new UIElement;
            kind.start(*element, curve);
            Frame(10 * kActionSecond);
            EXPECT_TRUE(Near(kind.read(*element), kind.from)) << "starts where the element is";
            Frame(11 * kActionSecond);
            const float e = EvaluateUIActionCurve(curve, 0.5f);
            Vector expected(kind.from.x * (1 - e) + kind.to.x * e, kind.from.y * (1 - e) + kind.to.y * e,
                            kind.from.z * (1 - e) + kind.to.z * e, kind.from.w * (1 - e) + kind.to.w * e);
            EXPECT_TRUE(Near(kind.read(*element), expected)) << kind.read(*element).x << " vs " << expected.x;
            Frame(12 * kActionSecond);
            EXPECT_TRUE(Near(kind.read(*element), kind.to));
            for (uint32_t channel = 0; channel < kUIActionChannelCount; ++channel)
                EXPECT_EQ(element->GetFirstAction(channel), nullptr) << "a finished action is destroyed";
        }
}

TEST_F(UIActionTest, FlagsPickTheClockAndDefaultFlagsAreAdded)
{
    const struct
    {
        uint32_t flags;
        int which; // 0 game, 1 gameplay, 2 system
    } cases[] = {{0, 0}, {UIACTIONFLAG_GAMEPLAYTIME, 1}, {UIACTIONFLAG_SYSTEMTIME, 2}, {UIACTIONFLAG_GAMEPLAYTIME | UIACTIONFLAG_SYSTEMTIME, 0}};
    for (const auto& c : cases)
    {
        element->Move2(1.0f, 10, 0, c.flags, 0);
        SetUIActionClocks({Time(0), Time(0), Time(0)});
        element->UpdateActions();
        UIActionClocks clocks{Time(0), Time(0), Time(0)};
        (c.which == 0 ? clocks.gameTime : c.which == 1 ? clocks.gameplayTime : clocks.systemTime) = Time(kActionSecond / 2);
        SetUIActionClocks(clocks);
        element->UpdateActions();
        EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 5.0f) << "flags " << c.flags;
        element->RemoveAllActions(0);
        element->SetPositionXYZ(0, 0, 0);
    }
    // A render frame hands over the engine (system), game and gameplay clocks in that order.
    UpdateUIRenderFrame(1, 2, 3);
    EXPECT_EQ(GetUIActionClocks().systemTime, Time(1));
    EXPECT_EQ(GetUIActionClocks().gameTime, Time(2));
    EXPECT_EQ(GetUIActionClocks().gameplayTime, Time(3));
    element->SetDefaultActionFlags(UIACTIONFLAG_REPEAT, false);
    element->Wait(1.0f, UIACTIONFLAG_SINE, 2);
    element->Delete(UIACTIONFLAG_DONOTWAIT, 3);
    ASSERT_NE(element->GetFirstAction(2), nullptr);
    EXPECT_EQ(element->GetFirstAction(2)->GetFlags(), UIACTIONFLAG_SINE | UIACTIONFLAG_REPEAT);
    ASSERT_NE(element->GetFirstAction(3), nullptr);
    EXPECT_EQ(element->GetFirstAction(3)->GetFlags(), UIACTIONFLAG_DONOTWAIT) << "delete takes its flags unchanged";
    element->RemoveAllActions(-1);
    for (uint32_t channel = 0; channel < kUIActionChannelCount; ++channel)
        EXPECT_EQ(element->GetFirstAction(channel), nullptr) << "-1 clears all four channels";
}

TEST_F(UIActionTest, ZeroDurationFinishesInItsFirstUpdate)
{
    element->ScaleUniform(0.0f, 2, UIACTIONFLAG_HALFSINESLOW, 0);
    element->Move2(-1.0f, 7, 0, 0, 1);
    Frame(0);
    EXPECT_FLOAT_EQ(element->GetRenderScale().x, 2.0f);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 7.0f);
    EXPECT_EQ(element->GetFirstAction(0), nullptr);
    EXPECT_EQ(element->GetFirstAction(1), nullptr);
}

TEST_F(UIActionTest, ChannelsRunSideBySideAndActionsInOneChannelInTurn)
{
    element->Move2(1.0f, 10, 0, 0, 0);
    element->Move2(1.0f, 10, 20, 0, 0);
    element->ChangeLinearColorRGBA(2.0f, 0, 0, 0, 0, 0, 1);
    Frame(0);
    Frame(kActionSecond / 2);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 5.0f);
    EXPECT_FLOAT_EQ(element->GetRenderColor().x, 0.75f) << "channel 1 runs at the same time";
    Frame(kActionSecond);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 10.0f);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().y, 0.0f) << "the second move starts in this frame at its start";
    EXPECT_EQ(ActionCount(0), 1);
    Frame(kActionSecond + kActionSecond / 2);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().y, 10.0f) << "from the position the first reached";
}

TEST_F(UIActionTest, DoNotWaitLetsTheNextRunButTheNextStillHoldsItsFollowers)
{
    element->Move2(1.0f, 10, 0, UIACTIONFLAG_DONOTWAIT, 0);
    element->ChangeLinearColorRGBA(1.0f, 0, 0, 0, 0, 0, 0);
    element->ScaleUniform(1.0f, 3, 0, 0);
    Frame(0);
    Frame(kActionSecond / 2);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 5.0f);
    EXPECT_FLOAT_EQ(element->GetRenderColor().x, 0.5f);
    EXPECT_FLOAT_EQ(element->GetRenderScale().x, 1.0f) << "held back by the colour fade";
}

TEST_F(UIActionTest, ARepeatingActionRestartsFromTheValuesAtItsRestart)
{
    element->Move2(1.0f, 10, 0, UIACTIONFLAG_REPEAT, 0);
    Frame(0);
    Frame(kActionSecond);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 10.0f);
    ASSERT_EQ(ActionCount(0), 1) << "it went back to the end of its channel";
    EXPECT_EQ(element->GetFirstAction(0)->GetState(), uint32_t(UIAction::STATE_WAITING));
    element->SetPositionXYZ(0, 0, 0);
    Frame(2 * kActionSecond);
    Frame(2 * kActionSecond + kActionSecond / 2);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 5.0f) << "a fresh start time and start value";
    element->SetPositionXYZ(10, 0, 0);
    Frame(4 * kActionSecond);
    Frame(4 * kActionSecond + kActionSecond / 2);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 10.0f) << "a move to a fixed target moves only once visibly";
}

TEST_F(UIActionTest, RemoveOthersClearsTheChannelBeforeTheActionJoins)
{
    gActionsDestroyed = 0;
    element->AddAction(new CountedWait(5.0f, 0, 1));
    element->AddAction(new CountedWait(5.0f, 0, 1));
    element->AddAction(new CountedWait(5.0f, 0, 2));
    element->Move2(1.0f, 10, 0, UIACTIONFLAG_REMOVEOTHERACTIONS, 1);
    EXPECT_EQ(gActionsDestroyed, 2);
    EXPECT_EQ(ActionCount(1), 1);
    EXPECT_EQ(ActionCount(2), 1) << "other channels keep theirs";
}

TEST_F(UIActionTest, RefusedNullAndOutOfRangeActionsAreDestroyedOnceAndNeverAppended)
{
    ConsoleCapture log;
    gActionsDestroyed = 0;
    element->AddAction(nullptr);
    EXPECT_EQ(ActionCount(0), 0) << "an allocation failure is ignored";
    element->AddAction(new CountedWait(1.0f, 0, 4));
    EXPECT_EQ(gActionsDestroyed, 1);
    EXPECT_TRUE(log.Contains("Action channel out of range [4/4]", CONSOLE_ERROR));
    element->Hide();
    element->AddAction(new CountedWait(1.0f, 0, 0));
    EXPECT_EQ(gActionsDestroyed, 2);
    EXPECT_EQ(ActionCount(0), 0) << "refused: destroyed and not appended";
    EXPECT_TRUE(log.Contains("Attempt to add UI action to an invisible element. Ignoring...", CONSOLE_WARNING));
    element->Move2(1.0f, 10, 0, 0, 0);
    Frame(kActionSecond);
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 0.0f) << "the hidden element is unchanged";
}

TEST_F(UIActionTest, ShowAndBlendInUnhidesClearsTheChannelAndRaisesAlpha)
{
    element->SetLinearColorRGBA(1, 1, 1, 0.2f);
    gActionsDestroyed = 0;
    element->AddAction(new CountedWait(5.0f, 0, 0));
    element->Hide();
    EXPECT_FALSE(element->IsVisibleFlag());
    element->ShowAndBlendIn(1.0f, 0, 0);
    EXPECT_EQ(gActionsDestroyed, 1) << "the older action of the channel is deleted";
    EXPECT_TRUE(element->IsVisibleFlag()) << "the main-side visible bit at once";
    EXPECT_FALSE(element->IsRenderHidden()) << "unhidden when the command arrives";
    EXPECT_EQ(ActionCount(0), 1);
    Frame(0);
    Frame(kActionSecond / 2);
    EXPECT_NEAR(element->GetRenderColor().w, 0.6f, 1e-6f);
    EXPECT_FLOAT_EQ(element->GetRenderColor().x, 1.0f) << "only alpha";
}

TEST_F(UIActionTest, HidesThatAreCutShortStillHide)
{
    element->BlendOutAndHide(1.0f, 0, 0);
    EXPECT_FALSE(element->IsVisibleFlag());
    Frame(0);
    Frame(kActionSecond / 2);
    EXPECT_FLOAT_EQ(element->GetRenderColor().w, 0.5f);
    EXPECT_FALSE(element->IsRenderHidden());
    element->RemoveAllActions(0);
    EXPECT_TRUE(element->IsRenderHidden()) << "cut short by RemoveAllActions";

    element->ClearFlag(UIFLAG_HIDDEN);
    element->ApplyHide(false);
    EXPECT_FALSE(element->IsRenderHidden()) << "a hide action with the hide time";
    Frame(kActionSecond);
    EXPECT_TRUE(element->IsRenderHidden()) << "delay 0 without recipe behaviours";
    EXPECT_EQ(ActionCount(0), 0);
    element->ClearFlag(UIFLAG_HIDDEN);
    element->ApplyHide(false);
    element->RemoveAllActions(0);
    EXPECT_TRUE(element->IsRenderHidden()) << "a hide action cut short hides too";

    element->ClearFlag(UIFLAG_HIDDEN);
    element->BlendOutAndHide(1.0f, 0, 0);
    Frame(2 * kActionSecond);
    Frame(3 * kActionSecond);
    EXPECT_TRUE(element->IsRenderHidden()) << "finished: hidden";
}

TEST_F(UIActionTest, ADeleteActionEndsInReleaseOnTheMainThread)
{
    gElementsDestroyed = 0;
    CountedElement* doomed = new CountedElement;
    CountedElement* grandchild = new CountedElement;
    element->AddChild(doomed);
    doomed->AddChild(grandchild);
    SafePointer<UIElement> watch(doomed);
    doomed->Delete(0, 0);
    doomed->UpdateActions();
    EXPECT_EQ(element->GetRenderFirstChild(), nullptr) << "detached from the render tree";
    EXPECT_TRUE(doomed->IsRenderHidden());
    EXPECT_TRUE(grandchild->IsRenderDeletedInHierarchy());
    EXPECT_EQ(doomed->GetFirstAction(0), nullptr) << "duration 0: destroyed in the same update";
    EXPECT_EQ(doomed->GetParent(), element) << "the main tree does not know yet";
    EXPECT_EQ(GetPendingUIElementDeletionCount(), 1);
    UIElement::FinishDeferredDeletion();
    EXPECT_TRUE(watch) << "nothing published yet";
    PublishPendingUIElementDeletion();
    EXPECT_EQ(GetPendingUIElementDeletionCount(), 0);
    UIElement::FinishDeferredDeletion();
    EXPECT_FALSE(watch);
    EXPECT_EQ(gElementsDestroyed, 2) << "the element and its child, once each";
    EXPECT_EQ(element->GetFirstChild(), nullptr);
    UIElement::FinishDeferredDeletion();
    EXPECT_EQ(gElementsDestroyed, 2);

    // Two deletes in one frame: the slot holds one at a time, so the second waits for the next frame.
    for (CountedElement* doomedToo : {new CountedElement, new CountedElement})
    {
        element->AddChild(doomedToo);
        doomedToo->Delete(0, 0);
        doomedToo->UpdateActions();
    }
    for (int frame = 0; frame < 2; ++frame)
    {
        PublishPendingUIElementDeletion();
        PublishPendingUIElementDeletion();
        UIElement::FinishDeferredDeletion();
    }
    EXPECT_EQ(gElementsDestroyed, 4);
}

TEST_F(UIActionTest, AnElementReleasedWhileItWaitsInTheSlotDiesOnce)
{
    gElementsDestroyed = 0;
    CountedElement* doomed = new CountedElement;
    element->AddChild(doomed);
    doomed->Delete(0, 0);
    doomed->UpdateActions();
    PublishPendingUIElementDeletion();
    element->DeleteChildren();
    EXPECT_EQ(gElementsDestroyed, 0) << "the main thread still has to take it from the slot";
    doomed->Release();
    EXPECT_EQ(gElementsDestroyed, 0);
    UIElement::FinishDeferredDeletion();
    EXPECT_EQ(gElementsDestroyed, 1);

    CountedElement* pending = new CountedElement;
    element->AddChild(pending);
    pending->Delete(0, 0);
    pending->Delete(0, 1);
    pending->UpdateActions();
    EXPECT_EQ(GetPendingUIElementDeletionCount(), 1) << "a second delete of a deleted element does nothing";
    pending->Release();
    EXPECT_EQ(gElementsDestroyed, 2);
    EXPECT_EQ(GetPendingUIElementDeletionCount(), 0) << "released before it was published";
}
} // namespace
