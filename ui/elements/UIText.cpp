#include "ui/elements/UIText.h"

#include "core/console/GameConsole.h"

namespace
{
bool gLayoutReported = false;
} // namespace

UIText::UIText(const char* fontName, uint32_t fontSize) : m_fontName(fontName != nullptr ? fontName : ""), m_fontSize(fontSize)
{
    m_scriptClassName = "UIText";
    if (!gLayoutReported)
    {
        gLayoutReported = true;
        gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_RESOURCE, "UIText: text layout and drawing are not built yet");
    }
}
