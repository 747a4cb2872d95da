// The partitioner on a hand-set clock with no render thread: the parts shown over time, what is
// logged for a missing string, updates that change nothing, and a reload of the string table.
#include "ui/widgets/GameStringPartitioner.h"

#include "platform/os/Clock.h"
#include "support/ConsoleCapture.h"
#include "ui/elements/UIText.h"
#include "ui/text/StringManager.h"
#include "ui/widgets/UIAction.h"

#include <gtest/gtest.h>

namespace
{
class GameStringPartitionerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        GameStringGroup& story = m_strings.GetRootGroup().AddGroup("Story");
        story.AddString("Three").SetText(kTextLanguageEnglish, u"first\nsecond\nthird");
        story.AddString("One").SetText(kTextLanguageEnglish, u"only");
        story.AddString("Closed").SetText(kTextLanguageEnglish, u"One\nTwo\n");
        m_strings.MarkTreeChanged();
        gStringManager = &m_strings;
    }
    void TearDown() override
    {
        gStringManager = nullptr;
        m_text->Release();
    }
    // Runs the element's actions to the given time (seconds); returns the text it shows.
    std::u16string ShownAt(double seconds)
    {
        const Time now(int64_t(seconds * double(os::kCounterFrequency)));
        SetUIActionClocks({now, now, now});
        m_text->UpdateActions();
        return m_text->GetRenderText();
    }

    StringManager m_strings{nullptr};
    UIText* m_text = new UIText("font", 12);
};

TEST_F(GameStringPartitionerTest, EachLineTakesItsShareOfTheTotalTime)
{
    GameStringPartitioner partitioner;
    partitioner.SetFadeTime(0.1f);
    ShownAt(0.0);
    ASSERT_TRUE(partitioner.StartGameStringPartitioning("Story/Three", m_text, 3.0f));
    EXPECT_EQ(partitioner.GetPartCount(), 3u);
    EXPECT_FLOAT_EQ(partitioner.GetPartDuration(), 1.0f);
    ShownAt(0.25);
    EXPECT_EQ(ShownAt(0.75), u"first");
    const struct
    {
        float elapsed;
        int32_t part;
        const char16_t* shown;
    } steps[] = {
        {-2.5f, 0, u"first"}, // time before the start never reads part -1
        {0.9f, 0, u"first"},
        {1.0f, 1, u"second"},
        {2.5f, 2, u"third"},
        {3.0f, -1, u"third"}, // the last part stays shown
        {1.0f, -1, u"third"}, // finished: later updates do nothing
    };
    double clock = 0.25;
    for (const auto& step : steps)
    {
        partitioner.Update(step.elapsed);
        // A cross-fade starts on the next frame and shows its text once its fade-out is over.
        ShownAt(clock += 1.0);
        EXPECT_EQ(partitioner.GetCurrentPart(), step.part) << step.elapsed;
        EXPECT_EQ(ShownAt(clock += 0.5), step.shown) << step.elapsed;
    }
}

TEST_F(GameStringPartitionerTest, AnUpdateInTheShownPartStartsNoNewFade)
{
    GameStringPartitioner partitioner;
    ASSERT_TRUE(partitioner.StartGameStringPartitioning("Story/Three", m_text, 3.0f));
    const UIAction* fade = m_text->GetFirstAction(0);
    ASSERT_NE(fade, nullptr);
    partitioner.Update(0.5f);
    EXPECT_EQ(m_text->GetFirstAction(0), fade);
    partitioner.Update(1.5f);
    EXPECT_NE(m_text->GetFirstAction(0), fade);
    partitioner.Clear();
    ShownAt(1.0);
    EXPECT_EQ(ShownAt(2.0), u"") << "cleared mid-fade, the text fades out to nothing";
    GameStringPartitioner().Clear();
}

TEST_F(GameStringPartitionerTest, MissingStringsAndElementsStartNothing)
{
    GameStringPartitioner partitioner;
    ConsoleCapture log;
    EXPECT_TRUE(partitioner.StartGameStringPartitioning("Story/Missing", m_text, 3.0f)) << "an element was given";
    EXPECT_TRUE(log.Contains("stringId Story/Missing is empty!", CONSOLE_WARNING));
    EXPECT_FALSE(partitioner.StartGameStringPartitioning("Story/Missing", nullptr, 3.0f));
    EXPECT_EQ(partitioner.GetPartCount(), 0u);
    EXPECT_FALSE(partitioner.StartGameStringPartitioning(nullptr, m_text, 3.0f));
    EXPECT_FALSE(partitioner.StartGameStringPartitioning("Story/One", nullptr, 3.0f));
    EXPECT_EQ(ShownAt(1.0), u"");

    // Starting again replaces the earlier string's parts.
    ASSERT_TRUE(partitioner.StartGameStringPartitioning("Story/Three", m_text, 3.0f));
    ASSERT_TRUE(partitioner.StartGameStringPartitioning("Story/One", m_text, 2.0f));
    EXPECT_EQ(partitioner.GetPartCount(), 1u);
    ASSERT_TRUE(partitioner.StartGameStringPartitioning("Story/Closed", m_text, 2.0f));
    EXPECT_EQ(partitioner.GetPartCount(), 2u) << "a closing line feed starts no part of its own";
}

TEST_F(GameStringPartitionerTest, AReloadOfTheTableEndsThePartsThatPointedIntoIt)
{
    GameStringPartitioner partitioner;
    ASSERT_TRUE(partitioner.StartGameStringPartitioning("Story/Three", m_text, 3.0f));
    m_strings.LoadStrings();
    partitioner.Update(1.5f);
    EXPECT_EQ(partitioner.GetCurrentPart(), -1);
    EXPECT_EQ(partitioner.GetPartCount(), 0u);
}
} // namespace
