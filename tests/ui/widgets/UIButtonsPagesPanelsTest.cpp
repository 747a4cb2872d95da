// Buttons, pages, panels and radio containers driven by the screen's pointer input: the states a
// button takes, a panel shielding what lies behind it, a page pressed through its children showing
// and hiding its panels, and a radio container keeping one choice. And a fixed run of pointer, mouse-over
// and pad input through a screen of them and a scroll pane, as a transcript against its stored copy.
#include "support/GoldenText.h"
#include "support/UIWidgetScreen.h"
#include "ui/screens/UIScreenStack.h"
#include "ui/widgets/UIButton.h"
#include "ui/widgets/UIPage.h"
#include "ui/widgets/UIPanel.h"
#include "ui/widgets/UIRadioContainer.h"
#include "ui/widgets/UIScrollPane.h"

#include <sstream>
#include <utility>

namespace
{
using UIButtonsPagesPanelsTest = UIWidgetScreen;

TEST_F(UIButtonsPagesPanelsTest, AButtonPressesHighlightsAndTogglesOnlyWhenBiState)
{
    struct Case
    {
        bool triState;
        bool selectedAfterTap;
    };
    for (const Case c : {Case{false, false}, Case{true, true}})
    {
        UIButton* button = Place(new UIButton, "b", 10, 10, 50, 50);
        button->SetTriState(c.triState);
        UIEventLog log;
        log.Listen(*button, {UIEVENT_ONPRESS, UIEVENT_ONUNPRESS, UIEVENT_CLICK, UIEVENT_ONHIGHLIGHT, UIEVENT_ONUNHIGHLIGHT});
        Draw();
        EXPECT_TRUE(button->ConsumeMouseOverBegin());
        EXPECT_TRUE(button->IsHighlightedFlag());
        ASSERT_TRUE(m_screen->OnPointerBegin(At(20, 20), 1));
        EXPECT_EQ(m_screen->GetPressedElement(), button);
        EXPECT_TRUE(button->IsPressedFlag());
        EXPECT_TRUE(m_screen->OnPointerEnd(At(20, 20), 1));
        EXPECT_FALSE(button->IsPressedFlag());
        EXPECT_EQ(button->IsSelected(), c.selectedAfterTap);
        EXPECT_TRUE(button->ConsumeMouseOverEnd());
        EXPECT_FALSE(button->IsHighlightedFlag());
        EXPECT_EQ(log.events, (std::vector<std::string>{"b:17", "b:15", "b:4", "b:16", "b:18"}));
        button->Release();
    }
}

TEST_F(UIButtonsPagesPanelsTest, APanelInFrontKeepsTheButtonBehindFromTheClick)
{
    for (const bool withPanel : {false, true})
    {
        UIButton* button = Place(new UIButton, "b", 10, 10, 50, 50);
        UIPanel* panel = withPanel ? Place(new UIPanel, "p", 0, 0, 100, 100) : nullptr;
        UIEventLog log;
        log.Listen(*button, {UIEVENT_CLICK});
        Draw();
        Tap(20, 20);
        EXPECT_EQ(log.events.size(), withPanel ? 0u : 1u) << withPanel;
        EXPECT_FALSE(button->IsPressedFlag());
        button->Release();
        if (panel != nullptr)
        {
            UIEventRecord anything;
            anything.type = UIEVENT_POINTERMOVE;
            EXPECT_TRUE(panel->HandleEvent(anything)) << "a panel consumes anything";
            EXPECT_TRUE(panel->NotifyScreen(anything));
            anything.flags = UIDISPATCH_STOPBUBBLING;
            EXPECT_FALSE(panel->NotifyScreen(anything)) << "a consumed event goes no further";
            panel->Release();
        }
    }
}

TEST_F(UIButtonsPagesPanelsTest, PressingAPageChildSelectsThePageItsButtonsAndShowsItsPanels)
{
    UIPage* page = Place(new UIPage, "page", 0, 0, 200, 100, nullptr, false);
    page->SetTriState(true);
    UIButton* tab = Place(new UIButton, "tab", 10, 10, 50, 50, page);
    tab->SetTriState(true);
    UIPanel* panel = Place(new UIPanel, "panel", 100, 10, 50, 50, page, false);
    UIElement* plain = Place(new UIElement, "plain", 160, 10, 20, 20, page, false);
    UIEventLog log;
    log.Listen(*tab, {UIEVENT_MOUSEDOWN, UIEVENT_MOUSEUP});
    Draw();

    Tap(20, 20);
    EXPECT_TRUE(page->IsSelected());
    EXPECT_TRUE(tab->IsSelectedFlag()) << "the page selects its buttons";
    EXPECT_TRUE(panel->IsVisibleFlag());
    EXPECT_TRUE(plain->IsVisibleFlag());
    EXPECT_FALSE(page->IsPressedFlag());
    EXPECT_TRUE(log.events.empty()) << "the child never hears the press the page took";

    Tap(20, 20);
    EXPECT_FALSE(page->IsSelectedFlag());
    EXPECT_FALSE(tab->IsSelectedFlag()) << "unselecting the page unselects its buttons";
    EXPECT_FALSE(panel->IsVisibleFlag()) << "and hides its panels";
    EXPECT_TRUE(plain->IsVisibleFlag()) << "other children stay";

    EXPECT_EQ(UIScreenWithPanels::GetPanelByName(*page, NameString("panel")), panel);
    EXPECT_EQ(UIScreenWithPanels::GetPanelByName(*m_screen, NameString("panel")), nullptr) << "direct children only";

    UIElement* dialog = Place(new UIElement, "dialog", 0, 150, 20, 20);
    dialog->SetModal(2);
    dialog->Hide();
    dialog->Show();
    tab->ConsumeMouseDown(0);
    EXPECT_FALSE(page->IsPressedFlag()) << "the screen's modal holds the press back before the page takes it";
}

TEST_F(UIButtonsPagesPanelsTest, ARadioContainerKeepsOneChoiceAndReportsPressesWhileOneIsMade)
{
    UIRadioContainer* radio = Place(new UIRadioContainer, "radio", 0, 0, 300, 100, nullptr, false);
    radio->SetBlockEvents(true);
    UIButton* a = Place(new UIButton, "a", 10, 10, 40, 40, radio);
    UIButton* b = Place(new UIButton, "b", 60, 10, 40, 40, radio);
    UIButton* plain = Place(new UIButton, "c", 110, 10, 40, 40, radio);
    a->SetTriState(true);
    b->SetTriState(true);
    UIEventLog log;
    log.Listen(*radio, {UIEVENT_ONSELECTIONCHANGED});
    Draw();
    struct Step
    {
        const char* what;
        float x;
        UIElement* selected;
        bool aSelected, bSelected;
        size_t changes;
    };
    const Step steps[] = {
        {"first choice", 20, a, true, false, 1},
        {"another choice replaces it", 70, b, false, true, 1},
        {"pressing the choice again keeps it", 70, b, false, true, 0},
        {"a child that cannot be selected keeps the choice but is reported", 120, b, false, true, 1},
    };
    for (const Step& step : steps)
    {
        log.events.clear();
        Tap(step.x, 20);
        EXPECT_EQ(radio->GetSelected(), step.selected) << step.what;
        EXPECT_EQ(a->IsSelectedFlag(), step.aSelected) << step.what;
        EXPECT_EQ(b->IsSelectedFlag(), step.bSelected) << step.what;
        size_t changes = 0;
        for (const std::string& e : log.events)
            changes += e == "radio:21";
        EXPECT_EQ(changes, step.changes) << step.what;
    }
    (void)plain;
}

using UIInputTranscriptGoldenTest = UIWidgetScreen;

TEST_F(UIInputTranscriptGoldenTest, PointerMouseOverAndPadInputThroughEveryWidgetKind)
{
    UIPage* page = Place(new UIPage, "page", 0, 0, 150, 100, nullptr, false);
    UIRadioContainer* radio = Place(new UIRadioContainer, "radio", 160, 0, 160, 60, nullptr, false);
    UIScrollPane* pane = Place(new UIScrollPane, "pane", 0, 120, 200, 100);
    UIElement* content = Place(new UIElement, "content", 0, 0, 400, 300, pane, false);
    std::vector<UIElement*> all = {page, radio, pane, content, Place(new UIButton, "toggle", 240, 150, 60, 60),
                                   Place(new UIButton, "tab", 10, 10, 40, 30, page),
                                   Place(new UIPanel, "panel", 60, 10, 80, 80, page, false),
                                   Place(new UIButton, "a", 10, 10, 40, 40, radio),
                                   Place(new UIButton, "b", 60, 10, 40, 40, radio),
                                   Place(new UIButton, "c", 110, 10, 40, 40, radio),
                                   Place(new UIButton, "inner", 20, 20, 40, 40, content)};
    pane->UpdateTotalSize();
    UIEventLog log;
    for (UIElement* e : all)
    {
        log.Listen(*e, {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23});
        e->SetTriState(std::string("page tab a b").find(e->GetName()) != std::string::npos);
        if (e->IsUIButton())
            e->RaiseFlag(0x400); // pad navigation reaches buttons
    }
    UIScreenStack stack;
    stack.PushScreen(m_screen);
    DrawAt(1.0);
    // b/m/e: pointer begin, move, end; o: mouse over; n: pad stick; f: a frame that much later. No
    // element is tapped twice: double clicks read the wall clock.
    const struct
    {
        char op;
        float x, y;
    } steps[] = {{'o', 30, 20}, {'b', 30, 20}, {'e', 30, 20}, {'b', 30, 20}, {'m', 30, 60}, {'e', 30, 60},
                 {'o', 180, 20}, {'b', 180, 20}, {'e', 180, 20}, {'b', 230, 20}, {'e', 230, 20}, {'b', 280, 20},
                 {'e', 280, 20}, {'b', 40, 150}, {'m', 40, 151}, {'m', 40, 150}, {'m', 20, 140}, {'f', 0.1f, 0},
                 {'m', 0, 130}, {'f', 0.1f, 0}, {'e', 0, 130}, {'f', 0.5f, 0}, {'b', 50, 160}, {'e', 50, 160},
                 {'n', 1, 0}, {'n', 0, 0}, {'n', 0, 1}, {'n', 0, 0}, {'n', -1, 0}, {'b', 250, 160}, {'o', 10, 230},
                 {'e', 250, 160}};
    std::ostringstream out;
    double now = 1.0;
    for (const auto& s : steps)
    {
        if (s.op == 'b' || s.op == 'm' || s.op == 'e')
            (m_screen->*(s.op == 'b' ? &UIScreen::OnPointerBegin : s.op == 'm' ? &UIScreen::OnPointerMove
                                                                             : &UIScreen::OnPointerEnd))(At(s.x, s.y), 1);
        else if (s.op == 'o')
            stack.UpdateMouseOver(At(s.x, s.y));
        else if (s.op == 'n')
            stack.UpdateNavigation(Vector(s.x, s.y, 0.0f, 0.0f));
        DrawAt(now += s.op == 'f' ? s.x : 0.0);
        out << s.op << " " << s.x << " " << s.y << "\n  events";
        for (const std::string& e : std::exchange(log.events, {}))
            out << " " << e;
        const UIElement* pressed = m_screen->GetPressedElement();
        const UIElement* lit = stack.GetHighlightedElement();
        out << "\n  pressed " << (pressed ? pressed->GetName() : "-") << " dragging " << m_screen->IsDragging()
            << " highlighted " << (lit ? lit->GetName() : "-") << " content y "
            << std::lround(content->GetRenderPosition().y * 1024) << "\n  states";
        for (const UIElement* e : all)
        {
            out << " " << e->GetName() << ":";
            for (uint32_t bit = 0; bit < 10; ++bit) // visible, modal, semi-modal, enabled, highlighted, pressed,
                out << (e->IsFlag(1u << bit) ? "vmMehpsf?t"[bit] : '.'); // selected, focused, tri-state
            out << (e->IsSelectedFlag() ? 'S' : '.');
        }
        out << "\n";
    }
    stack.Clear(false);
    ExpectTextMatchesStoredCopy(out.str(), "tests/ui/widgets/golden/InputTranscript.txt");
}
} // namespace
