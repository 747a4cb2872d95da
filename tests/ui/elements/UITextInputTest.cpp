#include "ui/elements/UITextInput.h"

#include <gtest/gtest.h>

TEST(UITextInputTest, EditingKeepsTheCaretAndSelectionInsideTheText)
{
    UITextInput input("_system.ttf", 12, 5);
    for (char c : std::string("abcdefg"))
        input.InsertChar(c);
    EXPECT_EQ(input.GetText(), "abcde") << "the length limit holds";
    input.SetCursorPosition(-4, false);
    EXPECT_EQ(input.GetCursorPosition(), 0);
    input.SetCursorPosition(99, true);
    EXPECT_EQ(input.GetCursorPosition(), 5);
    EXPECT_EQ(input.GetSelectionStart(), 0);
    EXPECT_EQ(input.GetSelectionEnd(), 5);
    input.InsertChar('x');
    EXPECT_EQ(input.GetText(), "x") << "typing replaces the selection";

    input.SetInputText("hello world");
    EXPECT_EQ(input.GetText(), "hello");
    EXPECT_EQ(input.GetCursorPosition(), 5);
    input.SetCursorPosition(1, false);
    input.DeleteBackward();
    EXPECT_EQ(input.GetText(), "ello");
    input.DeleteBackward();
    EXPECT_EQ(input.GetText(), "ello") << "nothing before the start";
    input.SetCursorPosition(4, false);
    input.DeleteForward();
    EXPECT_EQ(input.GetText(), "ello") << "nothing after the end";
    input.SetCursorPosition(1, false);
    input.SetCursorPosition(3, true);
    input.DeleteBackward();
    EXPECT_EQ(input.GetText(), "eo");
    EXPECT_EQ(input.GetCursorPosition(), 1);
    EXPECT_EQ(input.GetSelectionStart(), input.GetSelectionEnd());
}
