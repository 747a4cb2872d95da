// Shows a long localized string on one text element line by line: each line is a part, the
// parts share the total time equally, and each change of part cross-fades the text. Scripts
// create it, start it and call its update with the time since the start. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class UIElement;

// A string shown part by part.
class GameStringPartitioner
{
public:
    static constexpr uint32_t kMaxPartLength = 2047;

    GameStringPartitioner() { Reset(); }
    // The initial values, and no parts.
    void Reset();

    // Looks the string up (current language, with fallback) and shows its first line on the
    // element. True when both the id and the element are given, also when the string is missing
    // (logged, nothing shown).
    bool StartGameStringPartitioning(const char* stringId, UIElement* textElement, float totalTime);
    // Shows the part the elapsed seconds fall in; after the last part's time the current part
    // becomes -1 and the last part stays shown.
    void Update(float elapsed);
    // Removes the element's actions and fades its text out.
    void Clear();
    void ShowPart(int32_t index);

    int32_t GetCurrentPart() const { return m_currentPart; }
    size_t GetPartCount() const { return m_parts.size(); }
    float GetPartDuration() const { return m_partDuration; }
    const char* GetSpeakerText() const { return m_speakerText; }
    void SetFadeTime(float seconds) { m_fadeTime = seconds; }
    void SetActionFlags(uint32_t flags) { m_actionFlags = flags; }

private:
    // Start of each line inside the string table's text.
    std::vector<const char16_t*> m_parts;
    const char16_t* m_end = nullptr;
    int32_t m_currentPart = 0;
    float m_partDuration = 1.0f;
    float m_fadeTime = 0.3f;
    uint32_t m_actionFlags = 0;
    UIElement* m_textElement = nullptr;
    const char* m_speakerText = nullptr;
    // The string manager's load count when the parts were taken: a reload frees their text.
    uint32_t m_loadCount = 0;
};
