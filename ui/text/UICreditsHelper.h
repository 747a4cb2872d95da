// The credits tokenizer: copies one localized string written as tags in angle brackets and runs of
// text, and hands a script one token at a time; a text token can be put into a text element with
// the size it takes. What the tags mean is the script's business. Main thread only.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>
#include <memory>

class UITextBase;

// Tokens of a credits text (script class "UICreditsHelper").
class UICreditsHelper
{
public:
    enum TokenKind : uint32_t
    {
        TOKEN_NONE = 0,
        TOKEN_TAG = 1,
        TOKEN_TEXT = 2,
    };
    static constexpr uint32_t kMaxTagLength = 127;

    UICreditsHelper() = default;
    // Copying moves the text and state to the target and resets the source.
    UICreditsHelper(UICreditsHelper& other) { *this = other; }
    UICreditsHelper& operator=(UICreditsHelper& other);

    void Clear();
    // Copies the string of `path` (current language, with fallback) and advances to its first
    // token; a missing or empty string gives an empty document.
    void Open(const char* path);
    // Opens a text given directly.
    void OpenText(const char16_t* text);
    bool IsEof() const { return m_cursor == nullptr; }
    bool IsTag() const { return m_kind == TOKEN_TAG; }
    bool IsString() const { return m_kind == TOKEN_TEXT; }
    const char* GetTag() const { return m_tagName; }
    // The current text token (null unless IsString).
    const char16_t* GetTokenText() const { return m_kind == TOKEN_TEXT ? m_cursor : nullptr; }
    uint32_t GetLineNumber() const { return m_lineNumber; }
    // Releases the current token and advances to the next; a syntax error ends the document.
    void SkipToken();
    // Puts the text token into the element (clears it for other tokens) and gives its drawn size.
    void TransferText(UITextBase* element, Vector* size) const;

private:
    void SyntaxError();

    std::unique_ptr<char16_t[]> m_buffer;
    char16_t* m_cursor = nullptr;
    char16_t* m_tokenEnd = nullptr;
    char16_t m_savedCharacter = 0;
    char m_tagName[kMaxTagLength + 1] = {};
    uint32_t m_kind = TOKEN_NONE;
    uint32_t m_lineNumber = 0;
};
