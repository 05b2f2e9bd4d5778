#include "reader/ReadingView.h"

#include "platform/DesktopLauncher.h"
#include "reader/ReaderBridge.h"
#include "web/GuardedWebPage.h"
#include "web/WebGuard.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>
#include <QWebChannel>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace {

QString jsArgs(const QJsonArray& args)
{
    return QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact));
}

bool isHexColour(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    return re.match(text).hasMatch();
}

} // namespace

ReadingView::ReadingView(DesktopLauncher* desktop, QWidget* parent)
    : QWebEngineView(parent), m_desktop(desktop), m_channel(new QWebChannel(this)),
      m_bridge(
          new ReaderBridge([this](int code) { onKey(code); }, [this](const QString& url) { onLinkClicked(url); }, this))
{
    setObjectName(QStringLiteral("WebBrowser1"));
    // The page stays on Reader.html: it shows the service's snippets, and nothing in them
    // (a refresh tag, a link, a script) may take it elsewhere.
    auto* webPage = GuardedWebPage::forOwnPage(this);
    m_page = webPage;
    setPage(webPage);

    // The page talks to the program through qwebchannel.js, put in before its own scripts.
    QFile channelJs(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (channelJs.open(QIODevice::ReadOnly)) {
        QWebEngineScript script;
        script.setName(QStringLiteral("qwebchannel"));
        script.setSourceCode(QString::fromUtf8(channelJs.readAll()));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        script.setRunsOnSubFrames(false);
        webPage->scripts().insert(script);
    }
    m_bridge->setOnTopParagraph([this](int paragraph) { emit topParagraphShown(paragraph); });
    m_channel->registerObject(QStringLiteral("reader"), m_bridge);
    webPage->setWebChannel(m_channel);

    // The page's own menu is replaced by Menue_ReadPage (the reading page shows it).
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWebEngineView::loadFinished, this, &ReadingView::onLoadFinished);
}

ReadingView::~ReadingView()
{
    *m_alive = false;
}

void ReadingView::loadPage(const QString& htmlFile)
{
    m_loaded = false;
    m_page->loadOwnPage(QUrl::fromLocalFile(htmlFile));
}

void ReadingView::onKey(int code)
{
    if (m_keyHandler)
        m_keyHandler(code);
}

void ReadingView::setPagingHandler(std::function<void(int, bool, bool)> handler)
{
    m_bridge->setOnPaging(std::move(handler));
}

void ReadingView::onLinkClicked(const QString& url)
{
    // The user clicked a link of the banner or a snippet: the desktop's browser opens it.
    const QUrl address(url);
    if (m_desktop && (address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https")))
        m_desktop->openUrl(address.toString());
}

void ReadingView::onLoadFinished(bool ok)
{
    if (!ok)
        return;
    m_loaded = true;
    if (!m_pendingAppearance.isEmpty())
        page()->runJavaScript(m_pendingAppearance);
    if (!m_pendingTypography.isEmpty())
        page()->runJavaScript(m_pendingTypography);
    if (!m_pendingProgress.isEmpty())
        page()->runJavaScript(m_pendingProgress);
    if (m_hasChapter) {
        const QString place = m_pendingPlace;
        showChapterHtml(m_pendingChapter, m_pendingAds);
        if (!place.isEmpty())
            page()->runJavaScript(place);
    }
    emit pageReady();
}

QString ReadingView::appearanceScript(const QString& txtColor, const QString& txtSize, const QString& backColor)
{
    QJsonArray args;
    args.append(isHexColour(backColor) ? QStringLiteral("#") + backColor : QString());
    args.append(isHexColour(txtColor) ? QStringLiteral("#") + txtColor : QString());
    args.append(ReadingAppearance::fontSizeFor(txtSize));
    return QStringLiteral("(function(back,color,size){var e=document.getElementById('Content_Txt');if(!e)return false;"
                          "if(back)e.style.background=back;if(color)e.style.color=color;e.style.fontSize=size;"
                          "return true;}).apply(null,%1)")
        .arg(jsArgs(args));
}

QString ReadingView::typographyScript(const ReadingTypography& typography)
{
    const ReadingTypography t = typography.clamped();
    QJsonArray args;
    args.append(t.fontFamilyCss());
    args.append(t.lineHeightCss());
    args.append(t.paragraphSpacingCss());
    args.append(t.textIndentCss());
    args.append(t.columnWidthCss());
    args.append(t.linesAsParagraphs());
    args.append(t.lineStartCss());
    return QStringLiteral("(function(f,lh,ps,ti,w,p,ls){var d=document;var b=d.getElementById('Content_Txt'),"
                          "c=d.getElementById('Content'),t=d.getElementById('TXT');if(!b||!c||!t)return false;"
                          "b.style.fontFamily=f;t.style.lineHeight=lh;t.style.textIndent=ti;"
                          "t.style.setProperty('--line-height',lh);t.style.setProperty('--paragraph-spacing',ps);"
                          "t.style.setProperty('--line-start',ls);"
                          "t.classList.toggle('paragraphs',p);"
                          "c.style.maxWidth=w;return true;}).apply(null,%1)")
        .arg(jsArgs(args));
}

QString ReadingView::progressScript(const QString& text)
{
    QJsonArray args;
    args.append(text);
    return QStringLiteral("(function(s){var e=document.getElementById('Progress');if(!e)return false;"
                          "e.textContent=s;return true;}).apply(null,%1)")
        .arg(jsArgs(args));
}

void ReadingView::applyTypography(const ReadingTypography& typography)
{
    m_pendingTypography = typographyScript(typography);
    if (m_loaded)
        page()->runJavaScript(m_pendingTypography);
}

void ReadingView::showProgress(const QString& text)
{
    m_pendingProgress = progressScript(text);
    if (m_loaded)
        page()->runJavaScript(m_pendingProgress);
}

QString ReadingView::chapterScript(const QString& txtHtml, const QString& adsHtml)
{
    QJsonArray args;
    args.append(txtHtml);
    args.append(adsHtml);
    return QStringLiteral("(function(t,a){var d=document;var x=d.getElementById('TXT');if(!x)return false;"
                          "x.innerHTML=t;var ads=d.getElementById('AdsDiv');if(ads)ads.innerHTML=a;"
                          "var box=d.getElementById('Content_Txt');if(box){box.focus({preventScroll:true});"
                          "box.scrollTop=0;}return true;}).apply(null,%1)")
        .arg(jsArgs(args));
}

void ReadingView::applyAppearance(const QString& txtColor, const QString& txtSize, const QString& backColor)
{
    m_pendingAppearance = appearanceScript(txtColor, txtSize, backColor);
    if (m_loaded)
        page()->runJavaScript(m_pendingAppearance);
}

void ReadingView::showChapterHtml(const QString& txtHtml, const QString& adsHtml)
{
    m_pendingPlace.clear();
    m_pendingChapter = withoutMetaAndBase(txtHtml);
    m_pendingAds = withoutMetaAndBase(adsHtml);
    m_hasChapter = true;
    setFocus(Qt::OtherFocusReason);
    if (!m_loaded)
        return;
    QString script = chapterScript(m_pendingChapter, m_pendingAds);
    if (m_nextAtEnd) {
        m_nextAtEnd = false;
        script += QStringLiteral(";(function(){var b=document.getElementById('Content_Txt');"
                                 "if(b)b.scrollTop=b.scrollHeight;return true;})()");
    }
    page()->runJavaScript(script, [this, alive = m_alive](const QVariant&) {
        if (*alive)
            emit chapterDisplayed();
    });
}

QString ReadingView::placeScript(int paragraph, int column, int length)
{
    return QStringLiteral("window.readerShowPlace?window.readerShowPlace(%1,%2,%3):false")
        .arg(paragraph)
        .arg(column)
        .arg(length);
}

void ReadingView::showTextPlace(int paragraph, int column, int length)
{
    // Scripts run in the order given, so the place follows the chapter put in just before.
    const QString script = placeScript(paragraph, column, length);
    if (!m_loaded) {
        m_pendingPlace = script;
        return;
    }
    page()->runJavaScript(script);
}
