#include "ui/widgets/UITextActions.h"

#include "ui/elements/UIText.h"

#include <cmath>

void UIActionTextPerCharBlendIn::OnStart()
{
    UIText* const text = static_cast<UIText*>(m_owner);
    m_characters = text->GetLaidOutCharacterCount();
    text->SetPerCharBlend(0.0f, 0.0f);
}

void UIActionTextPerCharBlendIn::Apply(float eased)
{
    if (m_characters == 0)
        return;
    UIText* const text = static_cast<UIText*>(m_owner);
    const double n = double(m_characters);
    const double s = std::isfinite(m_step) ? double(m_step) : 0.0;
    // A step of 0 would divide by zero: every character then blends at once, which is where a
    // step shrinking towards 0 leads.
    if (s == 0.0)
        text->SetPerCharBlend(0.0f, eased);
    else
    {
        const double c = std::ceil(-1.0 / s);
        text->SetPerCharBlend(float(s), float(1.0 + c * s - (n + c) * s * double(eased)));
    }
    if (m_follower != nullptr)
    {
        Vector position;
        if (text->GetCharacterPosition(uint32_t(n * double(eased)), position))
            m_follower->SetRenderPosition(position);
    }
}

void UIActionTextXFadeHelper::OnStart()
{
    UIActionBlendAndShowHide::OnStart();
    UIText* const text = static_cast<UIText*>(m_owner);
    if (m_fadeOut)
    {
        if (text->GetRenderText().empty())
            m_state = STATE_FINISHED;
    }
    else if (m_hasText)
    {
        text->SetRenderText(m_text.c_str());
    }
}

void UIActionTextXFadeHelper::Apply(float eased)
{
    UIActionBlendAndShowHide::Apply(eased);
    if (m_fadeOut && m_state == STATE_FINISHED)
    {
        UIText* const text = static_cast<UIText*>(m_owner);
        text->ClearRenderFlags(UIFLAG_HIDDEN, false);
        text->SetRenderText(nullptr);
    }
}
