#pragma once

#include "reader/ChapterDisplay.h"
#include "reader/ReadingAppearance.h"
#include "reader/ReadingTypography.h"

#include <QWebEngineView>

#include <functional>
#include <memory>

class DesktopLauncher;
class GuardedWebPage;
class QWebChannel;
class ReaderBridge;

// WebBrowser1: the reading page Reader.html in a web view. Chapter text, banner and
// appearance given before the page has loaded are kept and applied once it has.
class ReadingView : public QWebEngineView, public ChapterDisplay, public ReadingAppearance {
    Q_OBJECT
public:
    explicit ReadingView(DesktopLauncher* desktop, QWidget* parent = nullptr);
    ~ReadingView() override;

    // Loads the page file (program folder + "/Reader.html").
    void loadPage(const QString& htmlFile);
    bool isPageLoaded() const { return m_loaded; }
    ReaderBridge* bridge() const { return m_bridge; }

    void showChapterHtml(const QString& txtHtml, const QString& adsHtml) override;
    void showTextPlace(int paragraph, int column, int length) override;
    static QString placeScript(int paragraph, int column, int length);
    void applyAppearance(const QString& txtColor, const QString& txtSize, const QString& backColor) override;

    // Font, spacing, indent and column width, applied to the page as it stands.
    void applyTypography(const ReadingTypography& typography);
    // The reading progress line at the foot of the page ("第 3/120 章 · 2.4%").
    void showProgress(const QString& text);

    // Key codes pressed in the page.
    void setKeyHandler(std::function<void(int)> handler) { m_keyHandler = std::move(handler); }
    // Paging at the top or bottom of the text (PagingRule::Input, at top, at bottom).
    void setPagingHandler(std::function<void(int, bool, bool)> handler);
    // The next chapter shown opens at its end (paging back from the top of the one after it).
    void showNextChapterAtEnd() { m_nextAtEnd = true; }

    // The script that styles Content_Txt; colours that are not six hexadecimal digits
    // are left out rather than passed to the page.
    static QString appearanceScript(const QString& txtColor, const QString& txtSize, const QString& backColor);
    static QString typographyScript(const ReadingTypography& typography);
    static QString progressScript(const QString& text);
    static QString chapterScript(const QString& txtHtml, const QString& adsHtml);

signals:
    void pageReady();
    // The page has taken the chapter (its TXT holds the new text).
    void chapterDisplayed();
    // The paragraph of TXT at the top of the text box, once the page has rested after scrolling.
    void topParagraphShown(int paragraph);

private:
    void onLoadFinished(bool ok);
    void onKey(int code);
    void onLinkClicked(const QString& url);

    DesktopLauncher* m_desktop;
    GuardedWebPage* m_page;
    QWebChannel* m_channel;
    ReaderBridge* m_bridge;
    std::function<void(int)> m_keyHandler;
    // Script results can arrive while the view is being torn down; they check this first.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_loaded = false;
    bool m_hasChapter = false;
    bool m_nextAtEnd = false;
    QString m_pendingChapter;
    QString m_pendingAds;
    QString m_pendingAppearance;
    QString m_pendingTypography;
    QString m_pendingProgress;
    QString m_pendingPlace; // for the chapter kept until the page has loaded
};
