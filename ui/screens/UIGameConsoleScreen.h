// UIGameConsoleScreen: the developer console drawn over the game. A text input line for script
// commands, the eleven most recent output lines above it, and the command history of the user
// configuration, which survives restarts. The Game routes keys and characters to it while it is
// open, takes the entered command once per frame and appends output lines to it.
//
// Main thread only.
#pragma once

#include "ui/elements/UIText.h"
#include "ui/elements/UITextInput.h"
#include "ui/screens/UIScreen.h"

#include <cstddef>
#include <cstdint>
#include <string>

class StringHistoryContainer;

// The in-game console screen.
class UIGameConsoleScreen : public UIScreen
{
public:
    static constexpr int32_t kLineCount = 11;
    static constexpr uint32_t kFontSize = 12;
    static constexpr const char* kFontName = "_system.ttf";
    // Distance between output lines in UI pixels (the system font at size 12).
    static constexpr int32_t kLineHeight = 14;
    // Seconds of each of the caret's two fades.
    static constexpr float kCaretBlinkSeconds = 0.2f;

    // Virtual-key codes the console handles.
    static constexpr uint32_t kKeyBackspace = 8;
    static constexpr uint32_t kKeyTab = 9;
    static constexpr uint32_t kKeyEnter = 13;
    static constexpr uint32_t kKeyShift = 16;
    static constexpr uint32_t kKeyEnd = 35;
    static constexpr uint32_t kKeyHome = 36;
    static constexpr uint32_t kKeyLeft = 37;
    static constexpr uint32_t kKeyUp = 38;
    static constexpr uint32_t kKeyRight = 39;
    static constexpr uint32_t kKeyDown = 40;
    static constexpr uint32_t kKeyDelete = 46;
    // The caret step of End and Home: past any line the input holds.
    static constexpr int32_t kLongCaretStep = 65535;

    // `history` belongs to the user configuration and outlives the screen.
    UIGameConsoleScreen(StringHistoryContainer& history, uint32_t width, uint32_t height);
    ~UIGameConsoleScreen() override;

    // Lines 1 to 10 take the text and colour of the line below them (the oldest falls off); line 0
    // shows the text (empty for null) in the colour (r, g, b, a).
    void AddLine(const char* text, const float colour[4]);
    // When a command is pending: copies at most size - 1 characters of it, drops it, true.
    bool TakeCommand(char* buffer, size_t size);
    bool HasPendingCommand() const { return m_hasPendingCommand; }
    // Handles the editing and history keys; Shift extends the selection of the caret keys.
    bool OnKey(uint32_t key) override;
    // Printable characters go into the input line.
    bool OnChar(uint32_t character) override;
    // The input was replaced from outside: history browsing starts again.
    void ResetHistoryCursor() { m_historyCursor = -1; }
    // Log messages of a lower kind (0 to 4) are not shown on the screen.
    void SetMessageThreshold(uint32_t kind) { m_messageThreshold = kind; }
    uint32_t GetMessageThreshold() const { return m_messageThreshold; }

    // The console is drawn and takes input only while open.
    bool IsOpen() const { return IsVisible(); }
    void SetOpen(bool open) { SetVisible(open); }

    UITextInput& GetInput() { return *m_input; }
    const UIText& GetLine(int32_t index) const { return *m_lines[index]; }
    // The colour a line was given (the gamma colour, as AddLine took it).
    const Vector& GetLineColour(int32_t index) const { return m_lineColours[index]; }
    int32_t GetHistoryCursor() const { return m_historyCursor; }
    const UIElement& GetCaret() const { return *m_caret; }
    const UIElement& GetSelection() const { return *m_selection; }
    const UIElement& GetHighlight() const { return *m_highlight; }

protected:
    // The console follows the window: a new window size places its parts again.
    void OnLayout(uint32_t windowWidth, uint32_t windowHeight, const Matrix&, const Matrix&, float, float) override;

private:
    void Layout();

    // The command an entered line stands for; empty when nothing is to run.
    std::string Resolve(const std::string& input);
    // The first history entry, by index, that begins with the prefix; null when none.
    const char* FindByPrefix(const std::string& prefix) const;
    void BrowseHistory(int32_t index);

    StringHistoryContainer& m_history;
    // Children of the screen: they die with it.
    UIElement* m_background;
    UIElement* m_panel;
    UIElement* m_highlight;
    UITextInput* m_input;
    UIElement* m_caret;
    UIElement* m_selection;
    UIText* m_lines[kLineCount];
    Vector m_lineColours[kLineCount];
    int32_t m_historyCursor = -1;
    uint32_t m_messageThreshold = 0;
    std::string m_pendingCommand;
    bool m_hasPendingCommand = false;
    uint32_t m_width;
    uint32_t m_height;
};
