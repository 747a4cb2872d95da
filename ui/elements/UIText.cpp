#include "ui/elements/UIText.h"

#include "core/console/GameConsole.h"
#include "platform/os/CodePage.h"
#include "ui/widgets/UITextActions.h"

#include <atomic>
#include <new>

namespace
{
bool gLayoutReported = false;
std::atomic<bool> gPositionReported{false};
} // namespace

UIText::UIText(const char* fontName, uint32_t fontSize) : UITextBase(fontName, fontSize)
{
    m_scriptClassName = "UIText";
    if (!gLayoutReported)
    {
        gLayoutReported = true;
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "UIText: text layout and drawing are not built yet");
    }
}

void UIText::OnNarrowText(const char* text)
{
    m_text = text != nullptr ? text : "";
    UITextBase::OnNarrowText(text);
}

void UIText::OnWideText(const char16_t* text)
{
    UITextBase::OnWideText(text);
    const std::u16string& wide = GetMainText();
    m_text.assign(wide.size() * 2 + 1, '\0');
    m_text.resize(os::WideToNarrow(os::kCodePageSystem, wide.data(), wide.size(), m_text.data(), m_text.size()));
}

void UIText::SetTextSmooth(float time, const char16_t* text, uint32_t flags, uint32_t channel)
{
    AddAction(new (std::nothrow) UIActionTextXFadeHelper(time, true, nullptr, flags, channel));
    if (text != nullptr)
        AddAction(new (std::nothrow) UIActionTextXFadeHelper(time, false, text, flags, channel));
}

void UIText::BlendInTextPerChar(float time, uint32_t flags, uint32_t channel, float step, UIElement* follower)
{
    AddAction(new (std::nothrow) UIActionTextPerCharBlendIn(time, step, follower, flags, channel));
}

uint32_t UIText::GetLaidOutCharacterCount() const
{
    uint32_t count = 0;
    for (char16_t c : m_renderText)
        count += c != u'\n' ? 1 : 0;
    return count;
}

bool UIText::GetCharacterPosition(uint32_t, Vector&) const
{
    if (!gPositionReported.exchange(true, std::memory_order_relaxed))
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "UIText: character positions are not built yet");
    return false;
}
