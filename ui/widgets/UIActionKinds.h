// The kinds of UI action: tweens of position, size, rotation, scale and colour, the alpha fades that
// show or hide, the delayed hide, the delete and the turn of a local 3D matrix. Render thread once handed over (UIAction.h).
#pragma once

#include "core/math/Quaternion.h"
#include "ui/widgets/UIAction.h"

// Base of the tweens: a start value captured at start and a target.
class UIActionTween : public UIAction
{
public:
    UIActionTween(float duration, const Vector& target, uint32_t flags, uint32_t channel)
        : UIAction(duration, flags, channel), m_target(target)
    {
    }
    const Vector& GetTarget() const { return m_target; }

protected:
    Vector Lerp(float eased) const;

    Vector m_start{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_target;
};

class UIActionMove : public UIActionTween
{
public:
    using UIActionTween::UIActionTween;
    void OnStart() override;
    void Apply(float eased) override;
};

class UIActionChangeSize : public UIActionTween
{
public:
    using UIActionTween::UIActionTween;
    void OnStart() override;
    void Apply(float eased) override;
};

class UIActionRotate : public UIActionTween
{
public:
    using UIActionTween::UIActionTween;
    void OnStart() override;
    void Apply(float eased) override;
};

class UIActionScale : public UIActionTween
{
public:
    using UIActionTween::UIActionTween;
    void OnStart() override;
    void Apply(float eased) override;
};

class UIActionColor : public UIActionTween
{
public:
    using UIActionTween::UIActionTween;
    void OnStart() override;
    void Apply(float eased) override;
};

// Fades alpha to 1 (showing) or 0 (hiding); a hiding fade hides the element when it ends, and also
// when it is cut short.
class UIActionBlendAndShowHide : public UIAction
{
public:
    UIActionBlendAndShowHide(float duration, bool show, uint32_t flags, uint32_t channel)
        : UIAction(duration, flags, channel), m_show(show)
    {
    }
    ~UIActionBlendAndShowHide() override;
    bool CanAttach(UIElement& element) override;
    void OnStart() override;
    void Apply(float eased) override;
    bool IsShowing() const { return m_show; }

protected:
    float m_startAlpha = 0.0f;
    bool m_show;
};

// Hides the element when it ends (or is cut short).
class UIActionHide : public UIAction
{
public:
    using UIAction::UIAction;
    ~UIActionHide() override;
    bool CanAttach(UIElement&) override { return true; }
    void Apply(float eased) override;
};

// Hides the element, detaches it from the render tree and queues it for deletion by the main thread.
class UIActionDelete : public UIAction
{
public:
    UIActionDelete(uint32_t flags, uint32_t channel) : UIAction(0.0f, flags, channel) {}
    void OnStart() override;
};

// Turns the element's local 3D matrix to a rotation by spherical interpolation while its translation
// moves to an offset; nothing for kinds without such a matrix.
class UIActionLocalRotateWithOffset : public UIAction
{
public:
    UIActionLocalRotateWithOffset(float duration, const Quaternion& rotation, const Vector& offset, uint32_t flags,
                                  uint32_t channel)
        : UIAction(duration, flags, channel), m_targetRotation(rotation), m_targetOffset(offset)
    {
    }
    void OnStart() override;
    void Apply(float eased) override;

private:
    Quaternion m_startRotation;
    Vector m_startOffset{0.0f, 0.0f, 0.0f, 1.0f};
    Quaternion m_targetRotation;
    Vector m_targetOffset;
};
