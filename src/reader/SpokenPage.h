#pragma once

#include <QString>

#include <functional>

// The reading page as reading aloud sees it: the text to speak, and the place to show
// the word being spoken.
class SpokenPage {
public:
    virtual ~SpokenPage() = default;
    // Takes the text of Content as it stands now, every CR removed, and hands it to `done`
    // later on the GUI thread (empty when the page has no such element). The page keeps
    // where each character of this text sits, for highlightSpoken().
    virtual void takeSpokenText(std::function<void(const QString& text)> done) = 0;
    // Selects the characters [position, position + length) of the text last taken and
    // keeps them in view. Nothing happens once the page shows other text.
    virtual void highlightSpoken(int position, int length) = 0;
};
