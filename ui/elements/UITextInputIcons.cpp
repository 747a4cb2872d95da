// The input icon children of a text element: one picture per pad button, tagged with the name the
// text writes between "|" to show it inline. Main thread only.
#include "engine/config/GameConfig.h"
#include "ui/elements/UIPicture.h"
#include "ui/elements/UITextBase.h"

#include <cstdio>

namespace
{
struct InputIcon
{
    const char* tag;
    const char* file;
};

const InputIcon kInputIcons[] = {
    {"XPadStart", "button_star.dds"},         {"XPadBack", "button_back.dds"},
    {"XPadLeftBumper", "bumper_left.dds"},     {"XPadRightBumper", "bumper_right.dds"},
    {"XPadA", "button_a.dds"},                 {"XPadB", "button_b.dds"},
    {"XPadX", "button_x.dds"},                 {"XPadY", "button_y.dds"},
    {"XPadLeftTrigger", "trigger_left.dds"},   {"XPadRightTrigger", "trigger_right.dds"},
    {"LeftStick", "stick_left.dds"},           {"RightStick", "stick_right.dds"},
};

constexpr uint32_t kIconSamplerPreset = 7;

void ReleaseTagChildren(UIElement& parent)
{
    UIElement* child = parent.GetFirstChild();
    while (child != nullptr)
    {
        // Release unlinks the child, so the next sibling is taken first.
        UIElement* const next = child->GetNextSibling();
        if ((child->GetUserFlags() & UIFLAG_TEXTTAG) != 0)
            child->Release();
        child = next;
    }
}
} // namespace

void UITextBase::SetInputIcons(uint32_t mode)
{
    if (mode == m_inputIconsMode)
        return;
    m_inputIconsMode = mode;
    ReleaseTagChildren(*this);
    RebuildInputIcons();
}

void UITextBase::RebuildInputIcons()
{
    // Without icons the tag children are the text's own (inline elements a script added).
    if (m_inputIconsMode == 0)
        return;
    ReleaseTagChildren(*this);
    if (m_inputIconsMode != 2 && gGameConfig.m_inputMode != 0)
        return;
    const float height = GetFontHeight();
    char path[96];
    for (const InputIcon& icon : kInputIcons)
    {
        UIPicture* const picture = new UIPicture;
        picture->RaiseFlag(UIFLAG_TEXTTAG);
        picture->SetSizeXY(height, height);
        picture->SetAnchorXYZ(0.0f, height * 0.8f, 0.0f);
        picture->SetTag(icon.tag);
        std::snprintf(path, sizeof(path), "System/InputIcons/XBox/%s", icon.file);
        picture->SetTexture(path, 0, kIconSamplerPreset);
        AddChild(picture);
    }
}
