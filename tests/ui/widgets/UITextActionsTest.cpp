// The text actions on a hand-set clock, with no render thread (commands run as written): the
// per-character blend window of a text box with its follower, a step of 0, and the cross-fade's
// two halves.
#include "ui/widgets/UITextActions.h"

#include "platform/os/Clock.h"
#include "support/UITextTestFont.h"
#include "ui/elements/UIText.h"
#include "ui/elements/UITextBox.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
const int64_t kTextActionSecond = os::kCounterFrequency;

class UITextActionsTest : public ::testing::Test
{
protected:
    void TearDown() override { text->Release(); }
    void Frame(int64_t ticks, UIElement* element = nullptr)
    {
        SetUIActionClocks({Time(ticks), Time(ticks), Time(ticks)});
        (element != nullptr ? element : text)->UpdateActions();
    }
    UIText* text = new UIText("font", 12);
};

TEST_F(UITextActionsTest, PerCharacterBlendFollowsTheStepAndAStepOfZeroBlendsAllAtOnce)
{
    UITextTestFont font;
    UITextBox* box = new UITextBox("font", 12);
    UIElement* follower = new UIElement;
    box->SetSizeXY(100.0f, 50.0f);
    font.Give(*box, 1.0f);
    const struct
    {
        float step;
        float atHalf;
        float atEnd;
    } cases[] = {
        // N = 4 (the line feed is no character): c = ceil(-1/s); 1 + c*s - (N + c)*s*e.
        {0.25f, 0.0f, 0.0f},      // c = -4
        {0.125f, 0.25f, 0.5f},    // c = -8: 0.5 e
        {0.75f, -0.875f, -2.0f},  // c = -1: 0.25 - 2.25 e
        {0.3f, -0.05f, -0.2f},    // c = -3: 0.1 - 0.3 e
        {-0.25f, 1.0f, 2.0f},     // c = 4: 2 e, every character faded in by the end
        {0.0f, 0.5f, 1.0f},
    };
    for (const auto& c : cases)
    {
        box->SetText("ab\ncd");
        box->BlendInTextPerChar(2.0f, 0, 0, c.step, follower);
        Frame(0, box);
        EXPECT_EQ(box->GetBlendBase(), c.step == 0.0f ? 0.0f : 1.0f + std::ceil(-1.0f / c.step) * c.step);
        Frame(kTextActionSecond, box);
        EXPECT_NEAR(box->GetBlendBase(), c.atHalf, 1e-5f) << "step " << c.step;
        EXPECT_FLOAT_EQ(box->GetBlendStep(), c.step);
        // Half way the follower is at character 2, the first of the second line.
        EXPECT_FLOAT_EQ(follower->GetRenderPosition().y, 14.0f) << "step " << c.step;
        Frame(2 * kTextActionSecond, box);
        EXPECT_NEAR(box->GetBlendBase(), c.atEnd, 1e-5f) << "step " << c.step;
        EXPECT_EQ(box->GetFirstAction(0), nullptr);
    }
    box->Clear();
    box->SetBlendWindow(7, 7);
    box->BlendInTextPerChar(1.0f, 0, 0, 0.5f, nullptr);
    Frame(3 * kTextActionSecond, box);
    EXPECT_EQ(box->GetBlendBase(), 0.0f) << "no characters: reset at start and left alone";
    box->ResetBlendWindow();
    EXPECT_EQ(box->GetBlendStep(), 0.0f);
    EXPECT_EQ(box->GetBlendBase(), 1.0f);
    follower->Release();
    box->Release();
}

TEST_F(UITextActionsTest, SmoothTextFadesOutEmptiesThenSetsAndFadesIn)
{
    text->ReplaceText(u"old");
    text->SetTextSmooth(1.0f, u"new", 0, 1);
    Frame(0);
    Frame(kTextActionSecond / 2);
    EXPECT_FLOAT_EQ(text->GetRenderColor().w, 0.5f);
    EXPECT_EQ(text->GetRenderText(), u"old");
    Frame(kTextActionSecond);
    EXPECT_EQ(text->GetRenderText(), u"new") << "the fade-in starts in the frame the fade-out ends";
    EXPECT_FALSE(text->IsRenderHidden()) << "the fade-out leaves the element visible";
    EXPECT_FLOAT_EQ(text->GetRenderColor().w, 0.0f);
    Frame(kTextActionSecond + kTextActionSecond / 2);
    EXPECT_FLOAT_EQ(text->GetRenderColor().w, 0.5f);
    Frame(2 * kTextActionSecond);
    EXPECT_FLOAT_EQ(text->GetRenderColor().w, 1.0f);
    EXPECT_EQ(text->GetFirstAction(1), nullptr);

    // An empty old text: the fade-out ends at once and the fade-in takes the full time.
    text->ReplaceText(nullptr);
    text->SetLinearColorRGBA(1, 1, 1, 0.2f);
    text->SetTextSmooth(1.0f, u"x", 0, 1);
    Frame(3 * kTextActionSecond);
    EXPECT_EQ(text->GetRenderText(), u"x");
    EXPECT_FLOAT_EQ(text->GetRenderColor().w, 0.2f);
    Frame(3 * kTextActionSecond + kTextActionSecond / 2);
    EXPECT_FLOAT_EQ(text->GetRenderColor().w, 0.6f);
    text->SetTextSmooth(1.0f, nullptr, 0, 2);
    Frame(5 * kTextActionSecond);
    Frame(6 * kTextActionSecond);
    EXPECT_EQ(text->GetRenderText(), u"") << "no new text: faded out to nothing";
}
} // namespace
