// The narrow text input: inserting into a full buffer drops its last character, deletions move
// the caret with the text, the selection is clamped and extends from its anchor by signed caret
// steps, and every edit reaches the shown text.
#include "ui/elements/UITextInput.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
struct State
{
    std::string text;
    uint32_t cursor;
    uint32_t selectionStart;
    uint32_t selectionLength;
};

void Expect(const UITextInput& input, const State& state, const char* what)
{
    EXPECT_EQ(std::string(input.GetBuffer()), state.text) << what;
    EXPECT_EQ(input.GetLength(), state.text.size()) << what;
    EXPECT_EQ(input.GetText(), state.text) << what << ": the shown text follows the buffer";
    EXPECT_EQ(input.GetCursor(), state.cursor) << what;
    EXPECT_EQ(input.GetSelectionStart(), state.selectionStart) << what;
    EXPECT_EQ(input.GetSelectionLength(), state.selectionLength) << what;
}

TEST(UITextInputTest, AFullBufferDropsItsLastCharacterForOneTypedBeforeIt)
{
    UITextInput input("_system.ttf", 12, 5);
    input.SetText("abcdefg");
    Expect(input, {"abcde", 5, 0, 0}, "set text is cut to the maximum");
    input.InsertChar('X');
    Expect(input, {"abcde", 5, 0, 0}, "a caret at the maximum takes nothing");
    input.SetCursorPosition(-3, false);
    input.InsertChar('X');
    Expect(input, {"abXcd", 3, 0, 0}, "in the middle: the last character makes room");
    input.DeleteForward();
    Expect(input, {"abXd", 3, 0, 0}, "delete forward keeps the caret");
    input.InsertChar('Y');
    Expect(input, {"abXYd", 4, 0, 0}, "a free place takes the character");
    input.PlaceCursor(1);
    input.InsertString("123");
    Expect(input, {"a123b", 4, 0, 0}, "as much as fits after the caret, the tail making room");
    input.InsertString("6789");
    Expect(input, {"a1236", 5, 0, 0}, "one place left before the maximum");
    input.SetText(nullptr);
    Expect(input, {"", 0, 0, 0}, "null text");
}

TEST(UITextInputTest, DeletionsMoveTheCaretWithTheText)
{
    struct Case
    {
        uint32_t cursor;
        uint32_t start, length; // selection on "abcdef"
        State after;
    };
    const Case cases[] = {
        {5, 1, 2, {"adef", 3, 0, 0}}, // after the run: back by its length
        {3, 1, 2, {"adef", 1, 0, 0}}, // at its end
        {2, 1, 2, {"adef", 1, 0, 0}}, // inside: to its start
        {1, 1, 2, {"adef", 1, 0, 0}}, // at its start
        {0, 1, 2, {"adef", 0, 0, 0}}, // before it
        {6, 4, 10, {"abcd", 4, 0, 0}}, // a run past the end is clamped
    };
    for (const Case& c : cases)
    {
        UITextInput input("_system.ttf", 12, 16);
        input.SetText("abcdef");
        input.PlaceCursor(c.cursor);
        input.SetSelection(c.start, c.length);
        input.DeleteBackward();
        Expect(input, c.after, ("caret " + std::to_string(c.cursor)).c_str());
        EXPECT_EQ(input.GetAnchor(), -1);
    }
    UITextInput input("_system.ttf", 12, 16);
    input.SetText("abcdef");
    input.SetSelection(4, 10);
    Expect(input, {"abcdef", 6, 4, 2}, "a selection is clamped to the text");
    input.PlaceCursor(0);
    input.SetSelection(0, 0);
    input.DeleteBackward();
    Expect(input, {"abcdef", 0, 0, 0}, "backspace at the start");
    input.PlaceCursor(3);
    input.DeleteBackward();
    Expect(input, {"abdef", 2, 0, 0}, "backspace");
    input.PlaceCursor(5);
    input.DeleteForward();
    Expect(input, {"abdef", 5, 0, 0}, "delete at the end");
}

TEST(UITextInputTest, CaretStepsAreSignedAndExtendFromTheAnchor)
{
    UITextInput input("_system.ttf", 12, 16);
    input.SetText("abcdef");
    input.PlaceCursor(1);
    input.SetCursorPosition(2, true);
    Expect(input, {"abcdef", 3, 1, 2}, "+2 extending");
    EXPECT_EQ(input.GetAnchor(), 1);
    input.SetCursorPosition(-3, true);
    Expect(input, {"abcdef", 0, 0, 1}, "-3 extending: past the anchor");
    EXPECT_EQ(input.GetAnchor(), 1);
    input.SetCursorPosition(-65535, false);
    Expect(input, {"abcdef", 0, 0, 0}, "a long step back stops at the start");
    EXPECT_EQ(input.GetAnchor(), -1);
    input.PlaceCursor(3);
    input.SetCursorPosition(-65535, false);
    Expect(input, {"abcdef", 0, 0, 0}, "home from 3");
    input.SetCursorPosition(65535, true);
    Expect(input, {"abcdef", 6, 0, 6}, "end extending");
    input.InsertChar('x');
    Expect(input, {"x", 1, 0, 0}, "typing replaces the selection");
}

TEST(UITextInputTest, CompanionElementsAreChildrenReplacedByRelease)
{
    UITextInput* input = new UITextInput("_system.ttf", 12, 16);
    UIElement* caret = new UIElement;
    UIElement* highlight = new UIElement;
    input->SetCursorElement(caret);
    input->SetText("abc");
    input->SetCursorPosition(-1, true);
    input->SetSelectionElement(highlight);
    EXPECT_EQ(caret->GetParent(), input);
    EXPECT_EQ(highlight->GetParent(), input);
    EXPECT_EQ(input->GetSelectionLength(), 0u) << "a new highlight clears the selection";
    SafePointer<UIElement> old(caret);
    UIElement* second = new UIElement;
    input->SetCursorElement(second);
    EXPECT_EQ(old.Get(), nullptr) << "the old caret was released";
    EXPECT_EQ(input->GetCursorElement(), second);
    input->Release();
}
} // namespace
