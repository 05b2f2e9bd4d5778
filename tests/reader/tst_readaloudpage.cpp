#include "ReadingFixture.h"

#include "reader/ChapterListModel.h"
#include "reader/HelpWindow.h"
#include "reader/ReadAloudController.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"
#include "reader/VoicePanel.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTreeView>
#include <QtTest>

namespace {

// The words as the synthesiser reports them: a Chinese character each, a run of ASCII
// letters and digits each; blanks and punctuation are not words.
QList<QPair<int, int>> wordsOf(const QString& text)
{
    QList<QPair<int, int>> words;
    int asciiStart = -1;
    for (int at = 0, next = 0; at < text.size(); at = next) {
        char32_t c = text.at(at).unicode();
        next = at + 1;
        if (text.at(at).isHighSurrogate() && next < text.size() && text.at(next).isLowSurrogate())
            c = QChar::surrogateToUcs4(text.at(at), text.at(next++));
        const bool ascii = c < 128 && QChar::isLetterOrNumber(c);
        if (asciiStart >= 0 && !ascii) {
            words.append({asciiStart, at - asciiStart});
            asciiStart = -1;
        }
        if (ascii) {
            if (asciiStart < 0)
                asciiStart = at;
        } else if (QChar::isLetterOrNumber(c)) {
            words.append({at, next - at});
        }
    }
    if (asciiStart >= 0)
        words.append({asciiStart, int(text.size()) - asciiStart});
    return words;
}

} // namespace

// Reading aloud on the real reading page with a recording engine: the toolbar, the voice
// panel and the highlight of each spoken word in the page.
class TestReadAloudPage : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void buttonsAndMenuDriveReading();
    void highlightIsExactlyTheSpokenWord_data();
    void highlightIsExactlyTheSpokenWord();
    void highlightKeepsTheWordInView();
    void anotherChapterKeepsSpeakingWithoutHighlight();
    void voicePanel();
    void helpButton();
    void helpWithoutABrowserInOwnWindow();

private:
    void openBook(const QString& text);
    // Presses button 11 and returns the text handed to the engine.
    QString startReading();
    QString selection();

    std::unique_ptr<ReadingFixture> m_fx;
    std::unique_ptr<RecordingNavigator> m_nav;
    std::unique_ptr<ReadingPage> m_page;
};

void TestReadAloudPage::init()
{
    m_fx = std::make_unique<ReadingFixture>();
    m_fx->speech.setVoices({{QStringLiteral("gmw/en"), QStringLiteral("English"), QStringLiteral("en-gb")},
                            {QStringLiteral("sit/cmn"), QStringLiteral("Chinese (Mandarin)"), QStringLiteral("cmn")},
                            {QStringLiteral("sit/yue"), QStringLiteral("Chinese (Cantonese)"), QStringLiteral("yue")}});
    m_nav = std::make_unique<RecordingNavigator>();
    m_page = std::make_unique<ReadingPage>(m_fx->services, *m_nav);
    m_page->resize(900, 600);
    m_page->show();
    m_page->view()->loadPage(m_fx->state.programFolder + QStringLiteral("/Reader.html"));
    QTRY_VERIFY_WITH_TIMEOUT(m_page->view()->isPageLoaded(), 20000);
    m_page->readAloud().load();
}

void TestReadAloudPage::cleanup()
{
    m_page.reset();
    m_nav.reset();
    m_fx.reset();
}

// Opens the book and shows its first chapter (body lines must not look like headings).
void TestReadAloudPage::openBook(const QString& text)
{
    QSignalSpy displayed(m_page->view(), &ReadingView::chapterDisplayed);
    m_page->controller().getChapter(m_fx->writeBook(QStringLiteral("book.txt"), text), QString());
    QVERIFY(displayed.wait(10000));
    // Row 0 holds the title line's surroundings; the first chapter is row 1.
    m_page->controller().setSelectedRow(1);
    m_page->controller().showSelected();
    QVERIFY(displayed.wait(10000));
}

QString TestReadAloudPage::startReading()
{
    const int calls = m_fx->speech.calls.size();
    m_page->toolbarButton(11)->trigger();
    if (!QTest::qWaitFor([&] { return m_fx->speech.calls.size() > calls; }, 5000))
        return QStringLiteral("<nothing spoken>");
    return m_fx->speech.lastCall().text;
}

QString TestReadAloudPage::selection()
{
    return runJs(m_page->view(), QStringLiteral("window.getSelection().toString()")).toString();
}

void TestReadAloudPage::buttonsAndMenuDriveReading()
{
    openBook(QStringLiteral("书名\n第1章 开篇\n　　天地玄黄。\n"));
    QAction* read = m_page->toolbarButton(11);
    QCOMPARE(read->toolTip(), QStringLiteral("开始朗读"));
    const qint64 idleIcon = read->icon().cacheKey();

    const QString spoken = startReading();
    // Content's text: what the page shows of the chapter, without CR.
    QVERIFY2(spoken.contains(QStringLiteral("天地玄黄。")), qPrintable(spoken));
    QVERIFY(!spoken.contains(QLatin1Char('\r')));
    QCOMPARE(m_fx->speech.lastCall().flags, int(SpeechEngine::SpeakAsync));
    QCOMPARE(read->toolTip(), QStringLiteral("暂停朗读"));
    QCOMPARE(read->text(), QStringLiteral("暂停朗读"));
    QVERIFY(read->icon().cacheKey() != idleIcon);

    // "语音朗读" in the reading menu does what button 11 does.
    m_page->readMenu()->findChild<QAction*>(QStringLiteral("Menue_VoiceRead"))->trigger();
    QCOMPARE(read->toolTip(), QStringLiteral("继续朗读"));
    QVERIFY(m_fx->speech.isPaused());
    read->trigger();
    QCOMPARE(read->toolTip(), QStringLiteral("暂停朗读"));

    m_page->toolbarButton(12)->trigger();
    QCOMPARE(m_fx->speech.lastCall().flags, int(SpeechEngine::PurgeBeforeSpeak));
    m_fx->speech.finishAll();
    QCOMPARE(read->toolTip(), QStringLiteral("开始朗读"));

    // An empty page says so.
    runJs(m_page->view(), QStringLiteral("document.getElementById('TXT').innerHTML=''"));
    QCOMPARE(startReading(), QStringLiteral("没有可朗读内容"));
}

void TestReadAloudPage::highlightIsExactlyTheSpokenWord_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("book");
    QTest::newRow("chinese") << QString()
                             << QStringLiteral("书名\n第1章 风雪山神庙\n　　话说林冲，踏着那瑞雪，迎着北风。\n"
                                               "　　“好大雪！”他说道。\n\n　　𠀀字也读。\n");
    QTest::newRow("mixed chinese and ascii")
        << QStringLiteral("<p>本站 <b>QuillMere</b> 提供<span style=\"display:none\">隐藏广告</span></p>")
        << QStringLiteral("书名\n第2章 Hello  World\n　　他说：OK，a<b>c 与 x&y 都是 ASCII 123。\n"
                          "  Two  blanks   here.\n");
}

void TestReadAloudPage::highlightIsExactlyTheSpokenWord()
{
    QFETCH(QString, header);
    QFETCH(QString, book);
    m_fx->state.chapterHeaderHtml = header;
    openBook(book);
    const QString text = startReading();
    const int stream = m_fx->speech.lastCall().stream;
    QVERIFY(!text.contains(QStringLiteral("隐藏广告")));

    const QList<QPair<int, int>> words = wordsOf(text);
    QVERIFY(words.size() > 10);
    for (const auto& [position, length] : words) {
        m_fx->speech.sayWord(stream, position, length);
        const QString word = text.mid(position, length);
        QTRY_COMPARE_WITH_TIMEOUT(selection(), word, 3000);
    }
}

void TestReadAloudPage::highlightKeepsTheWordInView()
{
    QString book = QStringLiteral("书名\n第1章 长章\n");
    for (int i = 1; i <= 300; ++i)
        book += QStringLiteral("　　这是%1行，天地玄黄，宇宙洪荒。\n").arg(i);
    openBook(book);
    const QString text = startReading();
    const int stream = m_fx->speech.lastCall().stream;
    const QString target = QStringLiteral("这是290行");
    const int position = text.indexOf(target);
    QVERIFY(position > 0);
    m_fx->speech.sayWord(stream, position, target.size());
    QTRY_COMPARE_WITH_TIMEOUT(selection(), target, 3000);
    const QString inView =
        QStringLiteral("(function(){var r=window.getSelection().getRangeAt(0).getBoundingClientRect();"
                       "var b=document.getElementById('Content_Txt').getBoundingClientRect();"
                       "return r.top>=b.top&&r.bottom<=b.bottom;})()");
    QVERIFY(runJs(m_page->view(), inView).toBool());
    QVERIFY(runJs(m_page->view(), QStringLiteral("document.getElementById('Content_Txt').scrollTop")).toInt() > 0);
}

void TestReadAloudPage::anotherChapterKeepsSpeakingWithoutHighlight()
{
    openBook(QStringLiteral("书名\n第1章 甲\n　　甲章的内容。\n第2章 乙\n　　乙章的内容。\n"));
    const QString text = startReading();
    const int stream = m_fx->speech.lastCall().stream;
    const int position = text.indexOf(QStringLiteral("内容"));
    m_fx->speech.sayWord(stream, position, 2);
    QTRY_COMPARE_WITH_TIMEOUT(selection(), QStringLiteral("内容"), 3000);

    QSignalSpy displayed(m_page->view(), &ReadingView::chapterDisplayed);
    m_page->controller().changeChapter(ReadingController::KeyRight);
    QVERIFY(displayed.wait(5000));
    runJs(m_page->view(), QStringLiteral("window.getSelection().removeAllRanges()"));
    // The reading goes on with the text taken at the click; its words are not in this page.
    QCOMPARE(m_fx->speech.purges, 0);
    QCOMPARE(m_page->toolbarButton(11)->toolTip(), QStringLiteral("暂停朗读"));
    m_fx->speech.sayWord(stream, position, 2);
    QTest::qWait(200);
    QCOMPARE(selection(), QString());
}

void TestReadAloudPage::voicePanel()
{
    VoicePanel* panel = m_page->voicePanel();
    QCOMPARE(panel->objectName(), QStringLiteral("Picture1"));
    QComboBox* combo = panel->voiceList();
    QCOMPARE(combo->objectName(), QStringLiteral("Combo1"));
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    QCOMPARE(entries, (QStringList{"普通话 — Chinese (Mandarin)", "粤语 — Chinese (Cantonese)", "English"}));
    QCOMPARE(combo->currentText(), QStringLiteral("普通话 — Chinese (Mandarin)"));
    QCOMPARE(m_fx->speech.currentVoice(), 1);
    QVERIFY(!panel->isVisible());

    m_page->activateWindow();
    QTRY_VERIFY(m_page->isActiveWindow());
    QAction* button = m_page->toolbarButton(13);
    button->trigger();
    QVERIFY(panel->isVisible());
    QTRY_VERIFY(combo->hasFocus());
    // Under button 13, over the reading view.
    QVERIFY(panel->geometry().top() >= m_page->findChild<QWidget*>(QStringLiteral("Toolbar2"))->geometry().bottom());
    button->trigger();
    QVERIFY(!panel->isVisible());

    // Clicking elsewhere hides it again.
    button->trigger();
    QTRY_VERIFY(combo->hasFocus());
    m_page->chapterList()->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(!panel->isVisible());

    // Choosing a voice while reading: speech purged, voice set, button 11 idle, panel hidden.
    openBook(QStringLiteral("书名\n第1章 甲\n　　内容。\n"));
    startReading();
    button->trigger();
    QTRY_VERIFY(combo->hasFocus());
    const int purges = m_fx->speech.purges;
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    QCOMPARE(m_fx->speech.purges, purges + 1);
    QCOMPARE(m_fx->speech.currentVoice(), 0);
    QCOMPARE(m_page->toolbarButton(11)->toolTip(), QStringLiteral("开始朗读"));
    QVERIFY(!panel->isVisible());
}

void TestReadAloudPage::helpButton()
{
    m_page->toolbarButton(14)->trigger();
    QCOMPARE(m_fx->desktop.urls.size(), 1);
    const QUrl url(m_fx->desktop.urls.first());
    QVERIFY(url.isLocalFile());
    QCOMPARE(url.toLocalFile(), m_fx->state.programFolder + QStringLiteral("/help/voiceread.html"));
    QVERIFY(QFileInfo::exists(url.toLocalFile()));
    QVERIFY(!m_page->helpWindow());
    // Without a copy beside the program, the one beside the executable.
    QVERIFY(ReadAloudController::helpFileIn(QStringLiteral("/nonexistent"))
                .startsWith(QCoreApplication::applicationDirPath() + QStringLiteral("/help/")));
}

void TestReadAloudPage::helpWithoutABrowserInOwnWindow()
{
    // "Unable to detect a launcher": the desktop refuses the page; the reader shows it itself,
    // in one window however often the button is pressed.
    m_fx->desktop.answers = false;
    for (int press = 0; press < 2; ++press) {
        m_page->toolbarButton(14)->trigger();
        HelpWindow* help = m_page->helpWindow();
        QVERIFY(help);
        QTRY_VERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QCOMPARE(help->browser()->source(),
                 QUrl::fromLocalFile(m_fx->state.programFolder + QStringLiteral("/help/voiceread.html")));
        QCOMPARE(help->windowTitle(), QStringLiteral("语音朗读 - 使用帮助"));
        QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("选择朗读语音")));
    }
    QCOMPARE(m_fx->desktop.urls.size(), 2);
    QCOMPARE(m_page->findChildren<HelpWindow*>().size(), 1);
}

QTEST_MAIN(TestReadAloudPage)
#include "tst_readaloudpage.moc"
