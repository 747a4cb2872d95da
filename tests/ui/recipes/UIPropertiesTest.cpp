// Named UI properties: binding order, values lost before binding and kept after it, numbers parsed
// for the elements that take them, dead listeners dropped, names checked against the project's list.
#include "ui/recipes/UIProperties.h"

#include "engine/config/ProjectConfig.h"
#include "support/ConsoleCapture.h"
#include "ui/elements/UIElement.h"
#include "ui/elements/UIText.h"
#include "ui/text/StringManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::vector<std::string> gReceived;

// Records what it receives, as "<name> <kind> <value>".
class ShowingElement : public UIElement
{
public:
    ShowingElement(const char* name, bool text, bool integer, bool number)
        : m_text(text), m_integer(integer), m_number(number)
    {
        SetName(name);
    }
    bool TakesText() const override { return m_text; }
    bool TakesInteger() const override { return m_integer; }
    bool TakesFloat() const override { return m_number; }
    void ReceiveText(const char16_t* text) override
    {
        gReceived.push_back(std::string(GetName()) + " text " +
                            (text == nullptr ? std::string("(null)") : std::string(text, text + std::char_traits<char16_t>::length(text))));
    }
    void ReceiveInteger(int32_t value) override
    {
        gReceived.push_back(std::string(GetName()) + " int " + std::to_string(value));
    }
    void ReceiveFloat(double value) override
    {
        gReceived.push_back(std::string(GetName()) + " float " + std::to_string(value));
    }

private:
    bool m_text, m_integer, m_number;
};

class UIPropertiesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gReceived.clear();
        m_names = gProjectConfig.m_uiPropertyNames;
        gProjectConfig.m_uiPropertyNames.Clear();
        for (const char* name : {"Score", "score", "Name"})
            gProjectConfig.m_uiPropertyNames.Add(NameString(name));
    }
    void TearDown() override
    {
        for (UIElement* element : m_elements)
            element->Release();
        gProjectConfig.m_uiPropertyNames = m_names;
    }
    ShowingElement* Make(const char* name, bool text, bool integer = false, bool number = false)
    {
        m_elements.push_back(new ShowingElement(name, text, integer, number));
        return static_cast<ShowingElement*>(m_elements.back());
    }
    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(gReceived);
        return out;
    }

    UIProperties properties;
    std::vector<UIElement*> m_elements;
    DynarraySafe<NameString> m_names;
};

using Strings = std::vector<std::string>;

TEST_F(UIPropertiesTest, BoundElementsReceiveTextsThenIntegersThenFloatsInBindingOrder)
{
    properties.Bind(NameString("Score"), Make("a", true));
    properties.Bind(NameString("Score"), Make("n", false, true, true));
    properties.Bind(NameString("Score"), Make("b", true, true));
    EXPECT_EQ(Take(), (Strings{"a text (null)", "n int 0", "n float 0.000000", "b text (null)", "b int 0"}));

    properties.SetText("Score", "12abc");
    EXPECT_EQ(Take(), (Strings{"a text 12abc", "b text 12abc", "n int 12", "b int 12", "n float 12.000000"}));
    properties.SetText("Score", "");
    EXPECT_EQ(Take(), (Strings{"a text ", "b text ", "n int 0", "b int 0", "n float 0.000000"}));
    properties.SetText("Score", "2.5");
    EXPECT_EQ(Take(), (Strings{"a text 2.5", "b text 2.5", "n int 2", "b int 2", "n float 2.500000"}));
    const UIPropertyValue* value = properties.Find("Score");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetListenerKinds(), 0x7u);
}

TEST_F(UIPropertiesTest, AValueSetBeforeAnyBindingIsLostWithoutAMessage)
{
    StringManager strings(nullptr);
    strings.GetRootGroup().AddGroup("Hud").AddString("Score").SetText(kTextLanguageEnglish, u"Ten");
    strings.MarkTreeChanged();
    gStringManager = &strings;
    ConsoleCapture log;
    properties.SetText("Name", "Ana");
    properties.SetText("Unlisted", "1");
    properties.SetTextLocalized("Unlisted", "Hud/Score");
    gStringManager = nullptr;
    EXPECT_EQ(properties.GetCount(), 0) << "no record before a binding";
    EXPECT_EQ(log.Messages().size(), 0u) << "not even for a name missing from the project list";
    properties.Bind(NameString("Name"), Make("late", true, true));
    EXPECT_EQ(Take(), (Strings{"late text (null)", "late int 0"})) << "the element shows nothing yet";
    properties.SetText("Name", "7\xe9");
    EXPECT_EQ(Take(), (Strings{"late text 7\xe9", "late int 7"})) << "integers are read again without a float listener";
    const UIPropertyValue* value = properties.Find("Name");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->GetText()[1], u'\u00e9');
}

TEST_F(UIPropertiesTest, TextElementsShowTheValueAndKeepTheirOwnTextUntilThereIsOne)
{
    UIText* first = new UIText("body.ttf", 12);
    UIText* second = new UIText("body.ttf", 12);
    m_elements.push_back(first);
    m_elements.push_back(second);
    first->SetText("own");
    properties.Bind(NameString("Score"), first);
    EXPECT_TRUE(first->GetMainText() == u"own");
    properties.SetText("Score", "42");
    properties.Bind(NameString("Score"), second);
    EXPECT_TRUE(first->GetMainText() == u"42");
    EXPECT_TRUE(second->GetMainText() == u"42");
    properties.SetTextLocalized("Score", "Hud/Score");
    EXPECT_TRUE(second->GetMainText() == u"42") << "no strings loaded";
    StringManager strings(nullptr);
    strings.GetRootGroup().AddGroup("Hud").AddString("Score").SetText(kTextLanguageEnglish, u"Ten");
    strings.MarkTreeChanged();
    gStringManager = &strings;
    properties.SetTextLocalized("Score", "No/Such/Path");
    EXPECT_TRUE(second->GetMainText() == u"42");
    properties.SetTextLocalized("Score", "Hud/Score");
    EXPECT_TRUE(first->GetMainText() == u"Ten");
    gStringManager = nullptr;
}

TEST_F(UIPropertiesTest, NamesAreCaseSensitiveSortedAndCheckedAgainstTheProjectList)
{
    ConsoleCapture log;
    properties.Bind(NameString("Name"), Make("name", true)); // bound out of order: the table sorts them
    properties.Bind(NameString("score"), Make("lower", true));
    properties.Bind(NameString("Score"), Make("upper", true));
    EXPECT_FALSE(log.Contains("doesn't exist"));
    properties.Bind(NameString("Lives"), Make("lives", true));
    EXPECT_TRUE(log.Contains("Lives doesn't exist in project config uipropertynames", 4));
    Take();
    properties.SetText("Score", "1");
    properties.SetText("score", "2");
    properties.SetText("Lives", "3");
    EXPECT_EQ(Take(), (Strings{"upper text 1", "lower text 2", "lives text 3"}));
    EXPECT_EQ(properties.GetCount(), 4);
    for (const char* name : {"Lives", "Name", "Score", "score"})
        EXPECT_NE(properties.Find(name), nullptr) << name;
    EXPECT_EQ(properties.Find("Apple"), nullptr);
    EXPECT_EQ(properties.Find("Scorf"), nullptr);
}

TEST_F(UIPropertiesTest, DeadElementsLeaveTheListAndTheListenerKindsFollowTheLiving)
{
    properties.Bind(NameString("Score"), Make("label", true));
    ShowingElement* counter = Make("counter", false, true);
    properties.Bind(NameString("Score"), counter);
    Take();
    m_elements.pop_back();
    counter->Release();
    properties.SetText("Score", "5");
    EXPECT_EQ(Take(), (Strings{"label text 5"}));
    const UIPropertyValue* value = properties.Find("Score");
    EXPECT_EQ(value->GetListenerCount(), 1);
    EXPECT_EQ(value->GetListenerKinds(), 0x1u);
    properties.Clear();
    EXPECT_EQ(properties.GetCount(), 0);
}
} // namespace
