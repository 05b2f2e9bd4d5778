#include "app/AppPaths.h"
#include "platform/Clock.h"
#include "platform/qt/ApplicationIcon.h"
#include "platform/qt/ChineseTranslations.h"
#include "platform/qt/QtDialogs.h"
#include "update/updater/UpdaterController.h"
#include "update/updater/UpdaterWindow.h"

#include <QApplication>
#include <QNetworkAccessManager>

// `update`: started by the reader as "update -v1.3" when an update is accepted. It replaces
// the listed files in the folder of the programs, its own folder, and ends; the reader is
// not running meanwhile. QUILLMERE_HOME moves the reader's data, never the programs, so it
// plays no part here.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("update"));
    installChineseTranslations(app);
    installApplicationIcon();

    SystemClock clock;
    QtDialogs dialogs;
    QNetworkAccessManager network;
    // The whole argument text, as one version mark.
    const QString commandLine = QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
    UpdaterController controller(network, dialogs, clock, QCoreApplication::applicationDirPath(),
                                 AppPaths::serviceBase(), commandLine);
    UpdaterWindow window(controller);
    QObject::connect(
        &controller, &UpdaterController::finished, &app,
        [&window](int code) {
            window.hide();
            QCoreApplication::exit(code);
        },
        Qt::QueuedConnection);
    window.show();
    controller.start();
    return app.exec();
}
