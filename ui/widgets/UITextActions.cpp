#include "ui/widgets/UITextActions.h"

#include "ui/elements/UITemplateView.h"
#include "ui/elements/UITextBase.h"

#include <cmath>

void UIActionTextPerCharBlendIn::OnStart()
{
    UITextBase* const text = static_cast<UITextBase*>(m_owner);
    m_characters = text->GetLaidOutCharacterCount();
    text->SetBlendWindow(0.0f, 0.0f);
}

void UIActionTextPerCharBlendIn::Apply(float eased)
{
    // The text is complete: an effect riding along lets its loops run out.
    if (eased >= 1.0f && m_follower != nullptr && m_follower->IsUITemplateView())
        static_cast<UITemplateView*>(m_follower)->LeaveEffectLoops();
    if (m_characters == 0)
        return;
    UITextBase* const text = static_cast<UITextBase*>(m_owner);
    const double n = double(m_characters);
    const double s = std::isfinite(m_step) ? double(m_step) : 0.0;
    // A step of 0 would divide by zero: every character then blends at once, which is where a
    // step shrinking towards 0 leads.
    if (s == 0.0)
        text->SetBlendWindow(0.0f, eased);
    else
    {
        const double c = std::ceil(-1.0 / s);
        text->SetBlendWindow(float(s), float(1.0 + c * s - (n + c) * s * double(eased)));
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
    UITextBase* const text = static_cast<UITextBase*>(m_owner);
    if (m_fadeOut)
    {
        if (text->IsEmpty())
            m_state = STATE_FINISHED;
    }
    else if (m_hasText)
    {
        text->ReplaceText(m_text.c_str());
    }
}

void UIActionTextXFadeHelper::Apply(float eased)
{
    UIActionBlendAndShowHide::Apply(eased);
    if (m_fadeOut && m_state == STATE_FINISHED)
    {
        UITextBase* const text = static_cast<UITextBase*>(m_owner);
        text->ClearRenderFlags(UIFLAG_HIDDEN, false);
        text->ReplaceText(nullptr);
    }
}
