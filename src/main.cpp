#include "desktop/ReaderProgram.h"
#include "desktop/instance/LaunchFiles.h"
#include "platform/qt/ChineseTranslations.h"
#include "web/WebEngineDefaults.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    // Read by the web engine once, when it starts: set before anything can start it.
    WebEngineDefaults::apply();
    // The web views share one GL context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Qt's own pickers and buttons in Chinese, like the rest of the reader.
    installChineseTranslations(app);
    // "Quillmere FILE..." (the application menu's "Open with") opens those books.
    return runReader(app, LaunchFiles::fromArguments(QCoreApplication::arguments().mid(1), QDir::currentPath()));
}
