#include "ui/screens/UIGameConsoleScreen.h"

#include "platform/window/Window.h"
#include "ui/StringHistoryContainer.h"

#include <algorithm>
#include <cstring>

namespace
{
const float kHistoryListColour[4] = {0.5f, 0.5f, 0.5f, 1.0f};

bool IsDecimalNumber(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}
} // namespace

UIGameConsoleScreen::UIGameConsoleScreen(StringHistoryContainer& history, uint32_t width, uint32_t height)
    : m_history(history), m_width(width), m_height(height)
{
    // The console is laid out in window pixels, whatever the UI design size.
    SetWindowSizeLayout(true);
    m_background = new UIElement;
    m_panel = new UIElement;
    m_highlight = new UIElement;
    m_highlight->SetColorRGBA(0.3f, 0.0f, 0.3f, 1.0f);
    m_input = new UITextInput(kFontName, kFontSize);
    m_caret = new UIElement;
    m_caret->SetSizeXY(10.0f, 2.0f);
    // The caret blinks: a fade out and a fade in take turns on its channel for as long as it lives.
    m_caret->ChangeLinearColorRGBA(kCaretBlinkSeconds, 1.0f, 1.0f, 1.0f, 0.0f, UIACTIONFLAG_REPEAT, 0);
    m_caret->ChangeLinearColorRGBA(kCaretBlinkSeconds, 1.0f, 1.0f, 1.0f, 1.0f, UIACTIONFLAG_REPEAT, 0);
    m_selection = new UIElement;
    m_selection->SetSizeXY(10.0f, 18.0f);
    m_selection->SetColorRGBA(0.3f, 0.3f, 0.8f, 0.5f);
    for (UIElement* part : {m_background, m_panel, m_highlight, static_cast<UIElement*>(m_input)})
        AddChild(part);
    // The input places its caret and selection highlight where the font measures its text.
    m_input->SetCursorElement(m_caret);
    m_input->SetSelectionElement(m_selection);
    for (int32_t i = 0; i < kLineCount; ++i)
    {
        m_lines[i] = new UIText(kFontName, kFontSize);
        m_lineColours[i] = Vector(1.0f, 1.0f, 1.0f, 1.0f);
        AddChild(m_lines[i]);
    }
    Layout();
    // Screens show when made; the console opens only when the player asks for it.
    SetOpen(false);
}

UIGameConsoleScreen::~UIGameConsoleScreen() = default;

void UIGameConsoleScreen::OnLayout(uint32_t windowWidth, uint32_t windowHeight, const Matrix&, const Matrix&, float,
                                   float)
{
    if (windowWidth == m_width && windowHeight == m_height)
        return;
    m_width = windowWidth;
    m_height = windowHeight;
    Layout();
}

void UIGameConsoleScreen::Layout()
{
    m_background->SetSizeXY(float(m_width), float(m_height));
    m_panel->SetSizeXY(float(m_width), float(m_height));
    m_input->SetPositionXYZ(5.0f, float(m_height) - 20.0f, 0.0f);
    for (int32_t i = 0; i < kLineCount; ++i)
        m_lines[i]->SetPositionXYZ(5.0f, float(m_height) - 50.0f - float(i * kLineHeight), 0.0f);
}

void UIGameConsoleScreen::AddLine(const char* text, const float colour[4])
{
    for (int32_t i = kLineCount - 1; i > 0; --i)
    {
        m_lines[i]->CopyText(m_lines[i - 1], false, false);
        m_lineColours[i] = m_lineColours[i - 1];
        m_lines[i]->SetColor(m_lineColours[i]);
    }
    m_lines[0]->SetText(text != nullptr ? text : "");
    m_lineColours[0] = Vector(colour[0], colour[1], colour[2], colour[3]);
    m_lines[0]->SetColor(m_lineColours[0]);
}

bool UIGameConsoleScreen::TakeCommand(char* buffer, size_t size)
{
    if (!m_hasPendingCommand || buffer == nullptr || size == 0)
        return false;
    const size_t length = std::min(m_pendingCommand.size(), size - 1);
    std::memcpy(buffer, m_pendingCommand.data(), length);
    buffer[length] = '\0';
    m_pendingCommand.clear();
    m_hasPendingCommand = false;
    return true;
}

const char* UIGameConsoleScreen::FindByPrefix(const std::string& prefix) const
{
    for (int32_t i = 0; i < m_history.GetCount(); ++i)
    {
        const char* entry = m_history.GetAt(i).CStr();
        if (std::strncmp(entry, prefix.c_str(), prefix.size()) == 0)
            return entry;
    }
    return nullptr;
}

std::string UIGameConsoleScreen::Resolve(const std::string& input)
{
    size_t bangs = 0;
    while (bangs < input.size() && input[bangs] == '!')
        ++bangs;
    if (bangs == 0)
        return input;
    const std::string rest = input.substr(bangs);
    if (bangs == 1)
    {
        if (rest.empty())
            return std::string();
        if (IsDecimalNumber(rest))
        {
            // More digits than any history holds name no entry (and must not overflow).
            return rest.size() <= 9 ? m_history.GetAt(int32_t(std::stol(rest))).CStr() : std::string();
        }
        const char* entry = FindByPrefix(rest);
        return entry != nullptr ? entry : std::string();
    }
    if (bangs == 2)
        return m_history.GetAt(1).CStr();
    for (int32_t i = m_history.GetCount() - 1; i >= 0; --i)
        AddLine(m_history.GetAt(i).CStr(), kHistoryListColour);
    return std::string();
}

void UIGameConsoleScreen::BrowseHistory(int32_t index)
{
    // Only an entry the history really has moves the cursor, so browsing never leaves it.
    if (index < 0 || index >= m_history.GetCount())
        return;
    m_input->SetText(m_history.GetAt(index).CStr());
    m_historyCursor = index;
}

bool UIGameConsoleScreen::OnKey(uint32_t key)
{
    if (key < kKeyBackspace || key > kKeyDelete)
        return false;
    const bool shift = win::GetAsyncKeyState(kKeyShift) < 0;
    UITextInput& input = *m_input;
    switch (key)
    {
    case kKeyBackspace:
        input.DeleteBackward();
        m_historyCursor = -1;
        return true;
    case kKeyTab:
    {
        const std::string& text = input.GetText();
        if (text.size() >= 1 && text[0] == '!' && (text.size() == 1 || text[1] != '!'))
        {
            const char* entry = FindByPrefix(text.substr(1));
            if (entry != nullptr)
            {
                std::string command(1, '!');
                command += entry;
                input.SetText(command.c_str());
            }
        }
        return true;
    }
    case kKeyEnter:
    {
        const std::string command = Resolve(input.GetText());
        if (!command.empty())
        {
            m_pendingCommand = command;
            m_hasPendingCommand = true;
            m_history.Add(command.c_str());
        }
        m_historyCursor = -1;
        input.SetText("");
        return true;
    }
    case kKeyEnd:
        input.SetCursorPosition(kLongCaretStep, shift);
        return true;
    case kKeyHome:
        input.SetCursorPosition(-kLongCaretStep, shift);
        return true;
    case kKeyLeft:
        input.SetCursorPosition(-1, shift);
        return true;
    case kKeyRight:
        input.SetCursorPosition(1, shift);
        return true;
    case kKeyUp:
        BrowseHistory(m_historyCursor + 1);
        return true;
    case kKeyDown:
        BrowseHistory(m_historyCursor - 1 < 0 ? 0 : m_historyCursor - 1);
        return true;
    case kKeyDelete:
        input.DeleteForward();
        m_historyCursor = -1;
        return true;
    default:
        return false;
    }
}

bool UIGameConsoleScreen::OnChar(uint32_t character)
{
    // Control characters arrive as keys (Enter, Tab, Backspace) and are not text.
    if (character < 32 || character == 127 || character > 255)
        return false;
    m_input->InsertChar(char(character));
    return true;
}
