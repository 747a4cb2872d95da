#include "ui/widgets/UIRoundList.h"

#include "core/console/GameConsole.h"
#include "ui/elements/UITextBase.h"
#include "ui/text/StringReplacementContainer.h"


namespace
{
// Gives every text of the subtree the variables of `container`, and looks localized texts up again.
void SetTextVariables(UIElement& element, StringReplacementContainer& container)
{
    if (element.IsUITextBase())
    {
        auto& text = static_cast<UITextBase&>(element);
        text.SetReplacementContainer(&container);
        text.RefreshForInputMode();
    }
    for (UIElement* child = element.GetFirstChild(); child != nullptr; child = child->GetNextSibling())
        SetTextVariables(*child, container);
}
} // namespace

UIRoundList::UIRoundList()
{
    m_scriptClassName = "UIRoundList";
}

UIRoundList::~UIRoundList() = default;

void UIRoundList::OnRemoved()
{
    m_entryVariables.clear();
    UIList::OnRemoved();
}

void UIRoundList::SetRange(int32_t from, int32_t to)
{
    m_rangeFrom = from;
    m_rangeTo = to;
    m_rangeCount = to - from;
}

void UIRoundList::OnCreated(uint32_t creationFlags)
{
    UIList::OnCreated(creationFlags);
    m_generated = 0;
    if ((creationFlags & 1) != 0)
        return;
    UIElement* last = nullptr;
    for (int64_t v = m_rangeFrom; v <= m_rangeTo; ++v)
    {
        UIElement* const entry = AddListElement("RoundListEntry", false, true);
        if (entry == nullptr)
            continue;
        // Each entry its own variables, kept while the list lives.
        auto variables = std::make_unique<StringReplacementContainer>();
        variables->AddInteger("Value", int32_t(v));
        SetTextVariables(*entry, *variables);
        m_entryVariables.push_back(std::move(variables));
        last = entry;
        ++m_generated;
    }
    m_firstEntry = GetContainer()->GetFirstChild();
    m_lastEntry = GetContainer()->GetLastChild();
    m_entryHeight = GetMainHeight(last);
    m_topOffset = 0.0f;
    m_bottomOffset = GetContentLength() - 3.0f * m_entryHeight;
    ThrowLastElementUp();
    ThrowLastElementUp();
    m_runningOffset = 0.0f;
}

void UIRoundList::ThrowLastElementUp()
{
    if (m_firstEntry == nullptr || m_lastEntry == nullptr)
        return;
    m_runningOffset -= m_entryHeight;
    UIElement* const moved = m_lastEntry;
    moved->SetPositionXYZ(0.0f, m_topOffset - m_entryHeight, 0.0f);
    m_topOffset -= m_entryHeight;
    m_bottomOffset -= m_entryHeight;
    UIElement* const previous = moved->GetPreviousSibling();
    m_lastEntry = previous != nullptr ? previous : GetContainer()->GetLastChild();
    m_firstEntry = moved;
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_REPORT, "ThrowLastElementUp");
}
