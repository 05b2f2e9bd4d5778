#include "desktop/ScreenshotTour.h"

#include "app/AppState.h"
#include "app/BookDialog.h"
#include "app/BookDialogs.h"
#include "app/LibraryDatabase.h"
#include "desktop/MainWindow.h"
#include "desktop/ThemeController.h"
#include "reader/ChapterListModel.h"
#include "reader/FindBar.h"
#include "reader/ReadingController.h"
#include "reader/ReadingPage.h"
#include "reader/ReadingView.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

ScreenshotTour::ScreenshotTour(MainWindow& window, AppState& state, QString folder)
    : m_window(window), m_state(state), m_folder(std::move(folder))
{
}

void ScreenshotTour::start()
{
    QDir().mkpath(m_folder);
    // Whatever happens, the tour ends.
    QTimer::singleShot(60000, this, [this] { finish(3); });
    ReadingView* view = m_window.readingPage()->view();
    if (view->isPageLoaded())
        after(300, [this] { next(); });
    else
        connect(
            view, &ReadingView::pageReady, this, [this] { after(300, [this] { next(); }); }, Qt::SingleShotConnection);
}

void ScreenshotTour::after(int ms, std::function<void()> step)
{
    QTimer::singleShot(ms, this, std::move(step));
}

void ScreenshotTour::next()
{
    const auto shelf = m_state.library ? m_state.library->shelfPage(ShelfQuery::all(), 1) : ShelfPage{};
    switch (m_step++) {
    case 0: {
        // The reading page with the third chapter of the newest book open.
        if (shelf.rows.isEmpty()) {
            after(100, [this] { next(); });
            return;
        }
        ReadingPage* reading = m_window.readingPage();
        connect(
            &reading->controller(), &ReadingController::chapterShown, this,
            [this, reading] {
                connect(
                    reading->view(), &ReadingView::chapterDisplayed, this, [this] { after(1200, [this] { next(); }); },
                    Qt::SingleShotConnection);
                if (reading->controller().selectedRow() == 0 && reading->chapterModel().count() > 2) {
                    reading->controller().setSelectedRow(2);
                    reading->controller().showSelected();
                }
            },
            Qt::SingleShotConnection);
        m_window.selectToolBar(2);
        m_window.getChapter(shelf.rows.first().path, QString());
        return;
    }
    case 1: {
        save(&m_window, QStringLiteral("reading.png"));
        // The same page searching its text.
        ReadingPage* reading = m_window.readingPage();
        reading->openFind();
        if (auto* text = reading->findBar()->findChild<QLineEdit*>(QStringLiteral("FindText")))
            text->setText(QStringLiteral("悟空"));
        after(1000, [this] { next(); });
        return;
    }
    case 2:
        save(&m_window, QStringLiteral("reading-find.png"));
        m_window.readingPage()->findBar()->close();
        m_window.selectToolBar(1);
        after(800, [this] { next(); });
        return;
    case 3:
        save(&m_window, QStringLiteral("bookshelf.png"));
        if (!shelf.rows.isEmpty())
            m_window.showBookDialog(QStringLiteral("edit>||<") + QString::number(shelf.rows.first().id));
        else
            m_window.showBookDialog(QStringLiteral("addnew"));
        after(800, [this] { next(); });
        return;
    case 4:
        if (!save(m_window.bookDialogs().current(), QStringLiteral("bookdialog.png")))
            ++m_failures;
        if (BookDialog* dialog = m_window.bookDialogs().current())
            dialog->close();
        m_window.selectToolBar(5);
        after(800, [this] { next(); });
        return;
    case 5:
        save(&m_window, QStringLiteral("settings.png"));
        // The online page's first visit loads the first category of the service's catalogue.
        m_window.selectToolBar(3);
        after(2000, [this] { next(); });
        return;
    case 6:
        save(&m_window, QStringLiteral("online.png"));
        if (m_themes) {
            nextTheme();
            return;
        }
        finish(m_failures == 0 ? 0 : 4);
        return;
    }
}

void ScreenshotTour::nextTheme()
{
    // Each theme on the reading page, and on the bookshelf: the whole window follows it.
    const QList<ReadingTheme> themes = ReadingThemes::presets();
    const int index = m_themeStep / 2;
    const bool shelf = m_themeStep % 2 == 1;
    if (m_themeStep > 0) {
        const int shot = m_themeStep - 1;
        save(&m_window, QStringLiteral("theme-%1%2.png")
                            .arg(themes[shot / 2].key, shot % 2 == 1 ? QStringLiteral("-bookshelf") : QString()));
    }
    if (index >= themes.size()) {
        finish(m_failures == 0 ? 0 : 4);
        return;
    }
    if (!shelf)
        m_themes->choose(themes[index].key);
    m_window.selectToolBar(shelf ? 1 : 2);
    ++m_themeStep;
    after(900, [this] { nextTheme(); });
}

bool ScreenshotTour::save(QWidget* widget, const QString& name)
{
    if (!widget)
        return false;
    const QString file = QDir(m_folder).filePath(name);
    const bool ok = widget->grab().save(file, "PNG");
    QTextStream(stdout) << (ok ? "saved " : "could not save ") << file << Qt::endl;
    if (!ok)
        ++m_failures;
    return ok;
}

void ScreenshotTour::finish(int code)
{
    QCoreApplication::exit(code);
}
