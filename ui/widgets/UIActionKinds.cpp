#include "ui/widgets/UIActionKinds.h"

#include "ui/elements/UIDeferredDeletion.h"
#include "ui/elements/UIElement.h"

namespace
{
void HideOwner(UIElement* owner)
{
    if (owner != nullptr && !owner->IsRenderHidden())
        owner->SetRenderFlags(UIFLAG_HIDDEN, false);
}
} // namespace

Vector UIActionTween::Lerp(float eased) const
{
    const float keep = 1.0f - eased;
    return Vector(m_start.x * keep + m_target.x * eased, m_start.y * keep + m_target.y * eased,
                  m_start.z * keep + m_target.z * eased, m_start.w * keep + m_target.w * eased);
}

void UIActionMove::OnStart()
{
    m_start = m_owner->GetRenderPosition();
}

void UIActionMove::Apply(float eased)
{
    m_owner->SetRenderPosition(Lerp(eased));
}

void UIActionChangeSize::OnStart()
{
    m_start = m_owner->GetRenderSize();
}

void UIActionChangeSize::Apply(float eased)
{
    m_owner->SetRect(Lerp(eased));
}

void UIActionRotate::OnStart()
{
    m_start = m_owner->GetRenderRotation();
}

void UIActionRotate::Apply(float eased)
{
    m_owner->SetRenderRotation(Lerp(eased));
}

void UIActionScale::OnStart()
{
    m_start = m_owner->GetRenderScale();
}

void UIActionScale::Apply(float eased)
{
    m_owner->SetRenderScale(Lerp(eased));
}

void UIActionColor::OnStart()
{
    m_start = m_owner->GetRenderColor();
}

void UIActionColor::Apply(float eased)
{
    m_owner->SetRenderColor(Lerp(eased));
}

UIActionBlendAndShowHide::~UIActionBlendAndShowHide()
{
    // A hide that is cut short still hides.
    if (!m_show && m_state != STATE_FINISHED)
        HideOwner(m_owner);
}

bool UIActionBlendAndShowHide::CanAttach(UIElement& element)
{
    element.ClearRenderFlags(UIFLAG_HIDDEN, false);
    return true;
}

void UIActionBlendAndShowHide::OnStart()
{
    m_startAlpha = m_owner->GetRenderColor().w;
}

void UIActionBlendAndShowHide::Apply(float eased)
{
    const float target = m_show ? 1.0f : 0.0f;
    Vector color = m_owner->GetRenderColor();
    color.w = m_startAlpha * (1.0f - eased) + target * eased;
    m_owner->SetRenderColor(color);
    if (!m_show && m_state == STATE_FINISHED)
        HideOwner(m_owner);
}

UIActionHide::~UIActionHide()
{
    if (m_state != STATE_FINISHED)
        HideOwner(m_owner);
}

void UIActionHide::Apply(float)
{
    if (m_state == STATE_FINISHED)
        HideOwner(m_owner);
}

void UIActionDelete::OnStart()
{
    UIElement* const element = m_owner;
    if (element->IsRenderDeletedInHierarchy())
        return;
    element->SetRenderState(element->GetRenderState() | UIRENDERSTATE_DELETED);
    element->SetRenderFlags(UIFLAG_HIDDEN, false);
    element->DetachFromRenderParent();
    QueueUIElementForDeletion(element);
}

void UIActionLocalRotateWithOffset::OnStart()
{
    const Matrix* const local = m_owner->GetRenderLocal3DMatrix();
    if (local == nullptr)
        return;
    m_startRotation.LoadMatrix(*local);
    m_startOffset = local->rows[3];
}

void UIActionLocalRotateWithOffset::Apply(float eased)
{
    Matrix* const local = m_owner->GetRenderLocal3DMatrix();
    if (local == nullptr)
        return;
    Quaternion rotation;
    rotation.Slerp(m_startRotation, m_targetRotation, eased);
    const float keep = 1.0f - eased;
    const Vector offset(m_startOffset.x * keep + m_targetOffset.x * eased, m_startOffset.y * keep + m_targetOffset.y * eased,
                        m_startOffset.z * keep + m_targetOffset.z * eased, m_startOffset.w * keep + m_targetOffset.w * eased);
    local->LoadQuaternionAndTranslation(rotation, offset);
}
