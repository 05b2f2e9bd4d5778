#pragma once

#include "reader/SpokenPage.h"

#include <QPointer>

#include <memory>

class QWebEngineView;

// SpokenPage on the reading view. Content's text is what its innerText says; alongside, the
// page records which text node and offset each character of it comes from, so that a word
// given as a range of that text selects exactly those characters, across line breaks,
// elements and blanks the layout drops.
class WebSpokenPage : public SpokenPage {
public:
    explicit WebSpokenPage(QWebEngineView* view);
    ~WebSpokenPage() override;

    void takeSpokenText(std::function<void(const QString& text)> done) override;
    void highlightSpoken(int position, int length) override;

    static QString takeTextScript();
    static QString highlightScript(int position, int length);

private:
    QPointer<QWebEngineView> m_view;
    // Script results can arrive while the view is being torn down.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
