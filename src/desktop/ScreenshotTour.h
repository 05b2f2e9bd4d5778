#pragma once

#include <QObject>
#include <QString>

#include <functional>

class MainWindow;
class QWidget;
class ThemeController;
struct AppState;

// A photo tour for the documentation and for checking the look: opens the newest shelf
// book, then saves the reading page (also with the find bar), the bookshelf page, the book
// dialog, the settings page and the online page as PNG files into a folder, then the reading page
// and the bookshelf in each theme, and ends the program. Started by QUILLMERE_SCREENSHOTS=<folder>.
class ScreenshotTour : public QObject {
    Q_OBJECT
public:
    ScreenshotTour(MainWindow& window, AppState& state, QString folder);

    void start();
    // The themes to photograph after the pages; none without it.
    void setThemes(ThemeController* themes) { m_themes = themes; }

private:
    void next();
    void after(int ms, std::function<void()> step);
    bool save(QWidget* widget, const QString& name);
    void finish(int code);
    void nextTheme();

    MainWindow& m_window;
    AppState& m_state;
    QString m_folder;
    ThemeController* m_themes = nullptr;
    int m_themeStep = 0;
    int m_step = 0;
    int m_failures = 0;
};
