#pragma once

// Paging through a book: the wheel, Space and PageDown page within the chapter and, from
// its end, go on into the next chapter; PageUp (and Shift+Space, the wheel upwards) from
// its top go back into the previous chapter, shown at its end.
namespace PagingRule {

// The codes the reading page reports with the box's position before the key acts.
enum class Input { PageDown = 1, PageUp = 2, Space = 3, ShiftSpace = 4, WheelDown = 5, WheelUp = 6 };
enum class Action { Scroll, NextChapter, PreviousChapterAtEnd };

constexpr bool isForward(Input input)
{
    return input == Input::PageDown || input == Input::Space || input == Input::WheelDown;
}

// A chapter shorter than the box is at its top and its bottom at once.
constexpr Action decide(Input input, bool atTop, bool atBottom)
{
    if (isForward(input))
        return atBottom ? Action::NextChapter : Action::Scroll;
    return atTop ? Action::PreviousChapterAtEnd : Action::Scroll;
}

// An input code from the page, or nothing for a code it does not know.
constexpr bool isInput(int code)
{
    return code >= static_cast<int>(Input::PageDown) && code <= static_cast<int>(Input::WheelUp);
}

} // namespace PagingRule
