#include "ReadingFixture.h"

#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QSignalSpy>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QtTest>

// The reading page asks the engine to collect the chapters it has let go, where the engine
// lets it (window.gc), once the reader has stayed on a chapter; never in the middle of a run
// of turns, which would wait for it.
class TestReadingPageMemory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void collectsOnceAfterTheTurnsRest();
};

void TestReadingPageMemory::collectsOnceAfterTheTurnsRest()
{
    ReadingFixture fx;
    RecordingNavigator nav;
    ReadingPage page(fx.services, nav);
    page.resize(900, 600);
    page.show();
    ReadingView* view = page.view();
    // A stand-in for the engine's collector, counting the calls.
    QWebEngineScript counter;
    counter.setName(QStringLiteral("gc-counter"));
    counter.setSourceCode(QStringLiteral("window.collections=0;window.gc=function(){++window.collections;};"));
    counter.setInjectionPoint(QWebEngineScript::DocumentCreation);
    counter.setWorldId(QWebEngineScript::MainWorld);
    view->page()->scripts().insert(counter);
    view->loadPage(fx.state.programFolder + QStringLiteral("/Reader.html"));
    QTRY_VERIFY_WITH_TIMEOUT(view->isPageLoaded(), 20000);

    const QString path = fx.writeChapters(QStringLiteral("book.txt"), 6);
    QSignalSpy shown(view, &ReadingView::chapterDisplayed);
    page.controller().getChapter(path, QString());
    QVERIFY(shown.wait(10000));
    const auto collections = [view] { return runJs(view, QStringLiteral("window.collections")).toInt(); };
    // Three quick turns: nothing is collected while they come.
    for (int row = 1; row <= 3; ++row) {
        page.controller().setSelectedRow(row);
        page.controller().showSelected();
        QVERIFY(shown.wait(10000));
        QCOMPARE(collections(), 0);
    }
    // Once they rest, one collection.
    QTRY_COMPARE_WITH_TIMEOUT(collections(), 1, 5000);
    QTest::qWait(1500);
    QCOMPARE(collections(), 1);
}

QTEST_MAIN(TestReadingPageMemory)
#include "tst_readingpagememory.moc"
