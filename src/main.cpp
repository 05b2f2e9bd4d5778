#include "desktop/ReaderProgram.h"
#include "platform/qt/ChineseTranslations.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The web views share one GL context with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Qt's own pickers and buttons in Chinese, like the rest of the reader.
    installChineseTranslations(app);
    return runReader(app);
}
